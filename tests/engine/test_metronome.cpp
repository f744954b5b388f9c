// The metronome rendered offline, block by block, with no device: every sound is a one-frame
// impulse of its own height, so the output tells which sounds started at which frame.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "engine/metronome.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "tempo/tempo_model.h"

namespace {

std::shared_ptr<const sound::Sample> Impulse(float height)
{
    auto s = std::make_shared<sound::Sample>();
    s->data = {height, height};
    return s;
}

class MetronomeTest : public ::testing::Test {
protected:
    MetronomeTest()
    {
        settings.rules = {false, true, true, true, true};
        settings.pattern = engine::BeatPattern::Initial();
        settings.beatsPerCycle = 4;
        settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5);
        settings.gain = 1.0f;
        settings.samples.click = click.get();
        settings.samples.accent1 = accent1.get();
        settings.samples.accent2 = accent2.get();
        for (int n = 0; n < 8; ++n) {
            plain[n] = Impulse(0.01f * (n + 1));
            accented[n] = Impulse(0.01f * (n + 1) + 0.1f);
            settings.samples.countPlain[n] = plain[n].get();
            settings.samples.countAccented[n] = accented[n].get();
        }
        settings.slotSamples = {klack.get(), klack.get(), klack.get()};
    }

    // Renders `frames` frames in blocks and returns the frames that sounded, with their height.
    std::map<std::uint64_t, float> Render(std::int64_t frames, int block = 512)
    {
        std::map<std::uint64_t, float> onsets;
        std::vector<float> out(2 * block);
        for (std::int64_t done = 0; done < frames; done += block) {
            metronome.Render(out.data(), block);
            for (int i = 0; i < block; ++i)
                if (out[2 * i] != 0.0f)
                    onsets[rendered + i] = out[2 * i];
            rendered += block;
        }
        return onsets;
    }
    std::vector<engine::BeatEvent> Events()
    {
        std::vector<engine::BeatEvent> v;
        engine::BeatEvent e;
        while (metronome.PopBeat(e))
            v.push_back(e);
        return v;
    }

    std::shared_ptr<const sound::Sample> click = Impulse(0.1f), accent1 = Impulse(0.2f), accent2 = Impulse(0.3f),
                                         klack = Impulse(0.05f);
    std::array<std::shared_ptr<const sound::Sample>, 8> plain, accented;
    sound::SlotPlayer player{11};
    engine::Metronome metronome{player};
    engine::Settings settings;
    std::uint64_t rendered = 0;
};

TEST_F(MetronomeTest, BeatsOnTheirExactFramesWithTheirSounds)
{
    metronome.Publish(settings);
    metronome.Start();
    const auto onsets = Render(22050 * 8 + 100);
    // Half a swing after the start, then every half second; click + accent 1 on beat 1 (and 5),
    // click + accent 2 on beat 3.
    const std::map<std::uint64_t, float> expected = {
        {22050, 0.3f}, {44100, 0.1f}, {66150, 0.4f}, {88200, 0.1f},
        {110250, 0.3f}, {132300, 0.1f}, {154350, 0.4f}, {176400, 0.1f}};
    ASSERT_EQ(onsets.size(), expected.size());
    for (auto [frame, height] : expected) {
        ASSERT_TRUE(onsets.count(frame)) << "no beat at " << frame;
        EXPECT_NEAR(onsets.at(frame), height, 1e-6) << "at " << frame;
    }
    const auto events = Events();
    ASSERT_EQ(events.size(), 8u);
    const int beats[] = {1, 2, 3, 4, 1, 2, 3, 4};
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].beat, beats[i]);
        EXPECT_EQ(events[i].onsetFrame, 22050u * (i + 1));
        EXPECT_EQ(events[i].darkRed, beats[i] == 1) << "dark red on accent-1 beats";
        EXPECT_EQ(events[i].measuredBpm, 120) << "the first beat measured from the start";
    }
}

TEST_F(MetronomeTest, ANameThatCannotBeLoadedSoundsTheSlotsLastSample)
{
    settings.rules.counting = true;
    settings.pattern = {};
    settings.pattern.Accent2[3] = true; // beat 4 speaks "4a"
    settings.samples.countPlain[2] = nullptr; // 3.wav missing: slot 1 repeats 2.wav
    settings.samples.countPlain[0] = nullptr; // 1.wav missing at the start: slot 1 still holds the click
    metronome.Publish(settings);
    metronome.Start();
    const auto onsets = Render(22050 * 4 + 100);
    EXPECT_NEAR(onsets.at(22050), 0.05f, 1e-6);
    EXPECT_NEAR(onsets.at(44100), 0.02f, 1e-6);
    EXPECT_NEAR(onsets.at(66150), 0.02f, 1e-6);
    EXPECT_NEAR(onsets.at(88200), 0.14f, 1e-6);
}

TEST_F(MetronomeTest, EmptySoundNamesPlayNothingForTheirLayer)
{
    settings.rules.clickNamed = false;
    metronome.Publish(settings);
    metronome.Start();
    const auto onsets = Render(22050 * 4 + 100);
    EXPECT_NEAR(onsets.at(22050), 0.2f, 1e-6);
    EXPECT_FALSE(onsets.count(44100)) << "beat 2 has nothing to play";
    EXPECT_NEAR(onsets.at(66150), 0.3f, 1e-6);
    EXPECT_EQ(Events().size(), 4u) << "the beat is counted all the same";
}

TEST_F(MetronomeTest, AShortenedCycleFinishesTheBeatThenStartsAgain)
{
    settings.beatsPerCycle = 8;
    metronome.Publish(settings);
    metronome.Start();
    Render(22050 * 6 + 100); // beats 1..6
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
    metronome.Publish(settings);
    metronome.Start();
    Render(44100 + 22016); // beat 1 at 44100, then half way (a whole number of blocks)
    settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5);
    metronome.Publish(settings);
    const auto onsets = Render(11025 + 22050 + 512);
    ASSERT_GE(onsets.size(), 2u);
    // The half beat left at 60 goes on at 120: a quarter second, then every half second.
    const std::uint64_t change = 44544 + 22016;
    const std::uint64_t first = onsets.begin()->first;
    const double remaining = (44100.0 * 2 - change) / 2; // frames of the half swing left, at double speed
    EXPECT_NEAR(double(first), change + remaining, 1.0);
    EXPECT_NEAR(double(std::next(onsets.begin())->first - first), 22050, 1.0);
}

TEST_F(MetronomeTest, StopEndsTheBeatsAndARestartBeginsAtBeatOneHalfASwingLater)
{
    metronome.Publish(settings);
    metronome.Start();
    Render(22050 * 2 + 1000);
    metronome.Stop();
    EXPECT_TRUE(Render(22050 * 4).empty()) << "no beat after STOP";
    Events();
    const std::uint64_t restart = rendered;
    metronome.Stop();
    metronome.Start(); // two quick presses: a stop and a restart
    const auto onsets = Render(22050 + 512);
    ASSERT_EQ(onsets.size(), 1u);
    EXPECT_EQ(onsets.begin()->first, restart + 22050);
    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].beat, 1);
    EXPECT_EQ(events[0].measuredBpm, 120);
}

TEST_F(MetronomeTest, ThePublishedClockFollowsTheRun)
{
    metronome.Publish(settings);
    metronome.Start();
    Render(11025 + 100); // a quarter beat: the pendulum at its widest
    const engine::ClockState &state = metronome.Clock();
    EXPECT_TRUE(state.running);
    EXPECT_EQ(state.renderedFrame, rendered);
    EXPECT_NEAR(state.clock.SwingAt(11025), 1.0, 1e-9);
    EXPECT_NEAR(state.clock.SwingAt(22050), 0.0, 1e-9);
}

// The UI thread publishes new settings with freshly decoded samples and lets go of old ones while
// the audio thread renders: run under ThreadSanitizer and AddressSanitizer this catches a sample
// freed while the audio thread may still read it.
TEST(MetronomeThreads, PublishingWhileRenderingFreesNothingInUse)
{
    sound::SampleKeeper keeper; // outlives every voice that may play its samples
    sound::SlotPlayer player(11);
    engine::Metronome metronome(player);
    engine::SettingsPublisher publisher(metronome, keeper);
    auto make = [](float h) {
        auto s = std::make_shared<sound::Sample>();
        s->data.assign(2 * 300, h); // long enough to overlap the next beats at this tempo
        return std::shared_ptr<const sound::Sample>(s);
    };
    auto publish = [&](float h) {
        auto sample = make(h);
        engine::Settings s;
        s.rules.accentOn = true;
        s.pattern = engine::BeatPattern::Initial();
        s.phaseRate = tempo::PhaseRateForBpm(999, 30.5);
        s.samples.click = s.samples.accent1 = s.samples.accent2 = sample.get();
        s.samples.countPlain.fill(nullptr); // counting off; left null on purpose
        s.slotSamples = {sample.get(), sample.get(), sample.get()};
        return publisher.Publish(s, {sample});
    };
    publish(0.1f);
    metronome.Start();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> out(2 * 512);
        while (!done.load(std::memory_order_acquire))
            metronome.Render(out.data(), 512);
    });
    for (int i = 0; i < 2000; ++i) {
        publish(0.1f + 0.0001f * i);
        keeper.Collect(player.Acknowledged());
        engine::BeatEvent e;
        while (metronome.PopBeat(e)) {
        }
        std::this_thread::yield();
    }
    const std::uint64_t last = publish(0.2f);
    while (metronome.Taken() < last) // the newest settings taken, on the audio thread
        std::this_thread::yield();
    done.store(true, std::memory_order_release);
    audio.join();
    publisher.Collect();
    keeper.Collect(player.Acknowledged());
    EXPECT_EQ(publisher.pending(), 1u) << "only the settings in use are kept";
    // Of 2000 samples only those the voices and the slots still hold remain.
    EXPECT_LE(keeper.size(), 8u);
}

} // namespace
