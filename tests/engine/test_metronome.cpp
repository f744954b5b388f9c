// The metronome rendered offline, block by block, with no device: every sound is a one-frame
// impulse of its own height, so the output tells which sounds started at which frame.
#include <cmath>
#include <functional>

#include "engine/render_test.h"
#include "sound/stream_feed.h"

namespace {

using enginetest::Constant;

struct MetronomeTest : enginetest::RenderTest {
    MetronomeTest()
    {
        settings.rules = {false, true, true, true, true}; // four beats, gain 1: the defaults
        settings.samples = {click, accent1, accent2};
        settings.slotSamples = {klack, klack, klack};
    }
    // Renders `frames` frames more in whole blocks and returns the frames that sounded, with their height.
    std::map<std::int64_t, float> Render(std::int64_t frames)
    {
        const std::int64_t from = rendered - enginetest::kHeard;
        RenderTo(rendered + (frames + 511) / 512 * 512);
        return Onsets(from);
    }
    std::map<std::int64_t, float> Run(std::int64_t frames)
    {
        Start();
        return Render(frames);
    }
    // The heights heard at beats 1, 2, ... of a run started at frame `start`, to 1e-4 (0: silent).
    static std::vector<float> Heights(const std::map<std::int64_t, float> &onsets, int beats, std::int64_t start = 0)
    {
        std::vector<float> v;
        for (std::int64_t f = start + 22050; f <= start + 22050 * beats; f += 22050)
            v.push_back(onsets.count(f) ? float(std::round(onsets.at(f) * 1e4) / 1e4) : 0.0f);
        return v;
    }

    // Held by the fixture, which outlives the metronome.
    const sound::Sample *click = Hold(Constant(1, 0.1f)), *accent1 = Hold(Constant(1, 0.2f)),
                        *accent2 = Hold(Constant(1, 0.3f)), *klack = Hold(Constant(1, 0.05f)),
                        *two = Hold(Constant(1, 0.02f)), *fourAccented = Hold(Constant(1, 0.14f));
};

// Beats every half second from half a swing after START (accent 1 on beat 1, 2 on 3) until STOP;
// START, also mid-cycle, begins on beat 1: its accent (or spoken "1a"), lamp and number.
TEST_F(MetronomeTest, BeatsOnTheirFramesUntilStopAndStartBeginsOnBeatOne)
{
    settings.samples.countAccented[0] = fourAccented; // here the spoken "1a"
    const std::vector<float> clicks{0.3f, 0.1f, 0.4f, 0.1f, 0.3f, 0.1f, 0.4f, 0.1f};
    const struct {
        int beatsBefore;
        bool counting;
        float first; // the height of the first sound after START
        int stopped; // frames between STOP and START (0: two quick presses)
    } cases[] = {{8, false, 0.3f, 22050 * 4}, {2, false, 0.3f, 5000}, {3, false, 0.3f, 0},
                 {6, false, 0.3f, 5000},      {2, true, 0.14f, 0},    {7, true, 0.14f, 5000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.beatsBefore << " beats, counting " << c.counting);
        settings.rules.counting = c.counting;
        const std::int64_t started = rendered;
        const auto before = Run(22050 * c.beatsBefore + 300);
        ASSERT_EQ(before.size(), std::size_t(c.beatsBefore));
        if (!c.counting) {
            EXPECT_EQ(Heights(before, c.beatsBefore, started),
                      std::vector(clicks.begin(), clicks.begin() + c.beatsBefore));
        }
        const auto played = Events();
        ASSERT_EQ(played.size(), std::size_t(c.beatsBefore));
        for (std::size_t i = 0; i < played.size(); ++i)
            EXPECT_EQ(std::tuple(played[i].beat, played[i].onsetFrame, played[i].darkRed, played[i].measuredBpm),
                      std::tuple(int(i % 4 + 1), std::uint64_t(started) + 22050u * (i + 1),
                                 i % 4 == 0 || (c.counting && i % 4 == 2), 120))
                << "beat " << i + 1 << ": lamp, frame, dark red (counting: either row's mark), measured from START";
        metronome.Stop();
        EXPECT_TRUE(Render(c.stopped).empty()) << "no beat after STOP";
        const std::int64_t pressed = rendered;
        metronome.Start();
        const auto onsets = Render(22050 + 512);
        ASSERT_EQ(onsets.size(), 1u);
        EXPECT_EQ(onsets.begin()->first, pressed + 22050);
        EXPECT_NEAR(onsets.begin()->second, c.first, 1e-6);
        const auto events = Events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(std::tuple(events[0].beat, events[0].darkRed, events[0].measuredBpm), std::tuple(1, true, 120))
            << "lamp and number of beat 1, the tempo measured from the press";
        metronome.Stop();
    }
}

// STOP while the server holds a beat unheard (up to 160 ms): what the feed has written again, and all
// after, is what STOP before that beat's render would have played (beat 1's sounds ringing on).
TEST_F(MetronomeTest, StopTakesBackABeatTheServerHoldsUnheard)
{
    auto decaying = std::make_shared<sound::Sample>(); // rings through the next beat
    for (int i = 0; i < 30000; ++i)
        decaying->data.insert(decaying->data.end(), 2, 0.25f * float(30000 - i) / 30000.0f);
    settings.samples.click = Hold(decaying);
    settings.samples.accent1 = Hold(Constant(30000, 0.125f));
    constexpr std::int64_t kBeat2 = 22050 * 70, // beat 2 of a cycle, after more starts than the mixer lists
        kOnset = kBeat2 + enginetest::kHeard, kBlocks = kOnset / 512 + 6; // 2500-3000 frames of it rendered
    const struct {
        const char *what;
        std::int64_t heard, replaceable; // -1: from the frame after the beat's onset on
        bool takenBack;
    } cases[] = {{"beat 2 with the server", kBeat2 - 2000, 7056, true},
                 {"beat 2 heard already", kBeat2 + 10, 7056, false},
                 {"beat 2 too close to be replaced", kBeat2 - 2000, -1, false}};
    // What plays when STOP comes before the block of beat 2 is rendered.
    const auto play = [&](std::int64_t stopAtBlock, const std::function<void(sound::StreamFeed &)> &atStop) {
        sound::SlotPlayer slots(3);
        engine::Metronome running(slots);
        sound::StreamFeed feed(&running);
        std::vector<float> block(2 * 512), played;
        running.Publish(settings);
        running.Start();
        for (std::int64_t b = 0; b < kBlocks + 8; ++b) {
            if (b == stopAtBlock) {
                running.Stop();
                atStop(feed);
            }
            feed.SetLatency(0);
            feed.Render(block.data(), 512);
            for (int f = 0; f < 512; ++f)
                played.push_back(block[2 * std::size_t(f)]);
        }
        return played;
    };
    const std::vector<float> stoppedBefore = play(kBeat2 / 512, [](sound::StreamFeed &) {});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        int again = 0;
        std::vector<float> written;
        std::vector<float> played = play(kBlocks, [&](sound::StreamFeed &feed) {
            const std::int64_t given = kBlocks * 512;
            again = feed.TakeBack(double(c.heard), c.replaceable < 0 ? given - kOnset - 1 : c.replaceable);
            written.resize(2 * std::size_t(std::max(again, 1)));
            if (again > 0)
                feed.CopyGiven(again, written.data(), again);
        });
        if (!c.takenBack) {
            EXPECT_EQ(again, 0);
            EXPECT_NE(played.back(), 0.0f) << "beat 2 rings on";
            continue;
        }
        ASSERT_GT(again, kBlocks * 512 - kOnset) << "beat 2's onset not written again";
        for (int f = 0; f < again; ++f)
            ASSERT_EQ(written[2 * std::size_t(f)], stoppedBefore[std::size_t(kBlocks * 512 - again + f)])
                << "written again, frame " << f;
        for (std::size_t f = std::size_t(kBlocks * 512); f < played.size(); ++f)
            ASSERT_EQ(played[f], stoppedBefore[f]) << "after STOP, frame " << f;
        EXPECT_GT(played.back(), 0.1f) << "beat 1's sounds ring on";
    }
}

// A sound that cannot be loaded sounds the slot's last sample (an unnamed one: ChooseBeat).
TEST_F(MetronomeTest, MissingSoundsRepeatTheSlotsLastSample)
{
    settings.rules.counting = true;
    settings.pattern = {};
    settings.pattern.Accent2[3] = true; // beat 4 speaks "4a"
    // 1.wav missing at the start: slot 1 still holds the klack; 3.wav missing: slot 1 repeats 2.wav.
    settings.samples.countPlain[1] = two;
    settings.samples.countAccented[3] = fourAccented;
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

} // namespace
