// The metronome rendered offline, block by block, with no device: every sound is a one-frame
// impulse of its own height, so the output tells which sounds started at which frame.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/metronome.h"
#include "tempo/tempo_model.h"

namespace {

std::shared_ptr<const sound::Sample> Impulse(float height)
{
    auto s = std::make_shared<sound::Sample>();
    s->data = {height, height};
    return s;
}

class MetronomeTest : public ::testing::Test {
public:
    MetronomeTest()
    {
        settings.rules = {false, true, true, true, true};
        settings.pattern = engine::BeatPattern::Initial();
        settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5); // four beats, gain 1: the defaults
        settings.samples = {click.get(), accent1.get(), accent2.get()};
        settings.slotSamples = {klack.get(), klack.get(), klack.get()};
    }
    // Renders `frames` frames in blocks of 512 and returns the frames that sounded, with their height
    // (numbered as the mixer's frames: the limiter's look-ahead later in the output).
    std::map<std::uint64_t, float> Render(std::int64_t frames)
    {
        std::map<std::uint64_t, float> onsets;
        for (std::vector<float> out(2 * 512); frames > 0; frames -= 512, rendered += 512) {
            metronome.Render(out.data(), 512);
            for (int i = 0; i < 512; ++i)
                if (out[2 * i] != 0.0f)
                    onsets[rendered + i - sound::Mixer::kLookAheadFrames] = out[2 * i];
        }
        return onsets;
    }
    std::map<std::uint64_t, float> Run(std::int64_t frames)
    {
        metronome.Publish(settings);
        metronome.Start();
        return Render(frames);
    }
    std::vector<engine::BeatEvent> Events()
    {
        std::vector<engine::BeatEvent> v;
        for (engine::BeatEvent e; metronome.PopBeat(e);)
            v.push_back(e);
        return v;
    }
    // The heights heard at beats 1, 2, ... to 1e-4 (0: silent).
    static std::vector<float> Heights(const std::map<std::uint64_t, float> &onsets, int beats)
    {
        std::vector<float> v;
        for (int k = 1; k <= beats; ++k)
            v.push_back(onsets.count(22050u * k) ? float(std::round(onsets.at(22050u * k) * 1e4) / 1e4) : 0.0f);
        return v;
    }

    std::shared_ptr<const sound::Sample> click = Impulse(0.1f), accent1 = Impulse(0.2f), accent2 = Impulse(0.3f),
                                         klack = Impulse(0.05f), two = Impulse(0.02f), fourAccented = Impulse(0.14f);
    sound::SlotPlayer player{11};
    engine::Metronome metronome{player};
    engine::Settings settings;
    std::uint64_t rendered = 0;
};

// Then STOP silences it, and two quick presses (a stop and a restart) begin at beat 1 half a swing later.
TEST_F(MetronomeTest, BeatsOnTheirExactFramesWithTheirSoundsUntilStopped)
{
    // Half a swing after the start, then every half second; click + accent 1 on beat 1 (and 5),
    // click + accent 2 on beat 3.
    const auto onsets = Run(22050 * 8 + 100);
    EXPECT_EQ(onsets.size(), 8u);
    EXPECT_EQ(Heights(onsets, 8), (std::vector<float>{0.3f, 0.1f, 0.4f, 0.1f, 0.3f, 0.1f, 0.4f, 0.1f}));
    const auto events = Events();
    ASSERT_EQ(events.size(), 8u);
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].beat, int(i % 4 + 1));
        EXPECT_EQ(events[i].onsetFrame, 22050u * (i + 1));
        EXPECT_EQ(events[i].darkRed, i % 4 == 0) << "dark red on accent-1 beats";
        EXPECT_EQ(events[i].measuredBpm, 120) << "the first beat measured from the start";
    }
    EXPECT_NEAR(metronome.Clock().clock.SwingAt(22050 * 8 + 11025), 1.0, 1e-9)
        << "the published swing on the frames played";
    metronome.Stop();
    EXPECT_TRUE(Render(22050 * 4).empty()) << "no beat after STOP";
    const std::uint64_t restart = rendered;
    metronome.Stop();
    metronome.Start();
    const auto again = Render(22050 + 512);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.begin()->first, restart + 22050);
    const auto restarted = Events();
    ASSERT_EQ(restarted.size(), 1u);
    EXPECT_EQ(std::pair(restarted[0].beat, restarted[0].measuredBpm), std::pair(1, 120));
}

// A sound that cannot be loaded sounds the slot's last sample (an unnamed one: ChooseBeatTest).
TEST_F(MetronomeTest, MissingSoundsRepeatTheSlotsLastSample)
{
    settings.rules.counting = true;
    settings.pattern = {};
    settings.pattern.Accent2[3] = true; // beat 4 speaks "4a"
    // 1.wav missing at the start: slot 1 still holds the klack; 3.wav missing: slot 1 repeats 2.wav.
    settings.samples.countPlain[1] = two.get();
    settings.samples.countAccented[3] = fourAccented.get();
    EXPECT_EQ(Heights(Run(22050 * 4 + 100), 4), (std::vector<float>{0.05f, 0.02f, 0.02f, 0.14f}));
}

TEST_F(MetronomeTest, AShortenedCycleFinishesTheBeatThenStartsAgain)
{
    settings.beatsPerCycle = 8;
    Run(22050 * 6 + 100); // beats 1..6
    settings.beatsPerCycle = 4;
    metronome.Publish(settings);
    Render(22050 * 3);
    std::vector<int> beats;
    for (const auto &e : Events())
        beats.push_back(e.beat);
    EXPECT_EQ(beats, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2}));
}

TEST_F(MetronomeTest, ATempoChangeWhileRunningHasNoJump)
{
    settings.phaseRate = tempo::PhaseRateForBpm(60, 30.5);
    Run(44100 + 22016); // beat 1 at 44100, then half way (a whole number of blocks)
    settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5);
    metronome.Publish(settings);
    const auto onsets = Render(11025 + 22050 + 512);
    ASSERT_GE(onsets.size(), 2u);
    // The half beat left at 60 goes on at 120: a quarter second, then every half second.
    const double change = 44544 + 22016, first = double(onsets.begin()->first);
    EXPECT_NEAR(first, change + (44100.0 * 2 - change) / 2, 1.0);
    EXPECT_NEAR(double(std::next(onsets.begin())->first) - first, 22050, 1.0);
}

} // namespace
