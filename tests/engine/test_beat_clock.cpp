#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/beat_clock.h"
#include "tempo/tempo_model.h"

namespace {

constexpr double kRate = 44100.0;

// Onsets (absolute frames) of the beats the clock finds in `blocks` blocks of `blockFrames`.
std::vector<std::int64_t> Onsets(engine::BeatClock &clock, int blockFrames, std::int64_t totalFrames,
                                 std::vector<double> *intervals = nullptr)
{
    std::vector<std::int64_t> onsets;
    while (clock.Frame() < totalFrames) {
        const std::int64_t start = clock.Frame();
        clock.Advance(blockFrames, [&](engine::BeatClock::Beat b) {
            EXPECT_GE(b.offset, 0);
            EXPECT_LT(b.offset, blockFrames);
            onsets.push_back(start + b.offset);
            if (intervals)
                intervals->push_back(b.intervalMs);
        });
    }
    return onsets;
}

struct ClockCase {
    int bpm;
    int blockFrames;
};
void PrintTo(const ClockCase &c, std::ostream *os) { *os << c.bpm << " bpm in blocks of " << c.blockFrames; }

class BeatClockTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(BeatClockTest, EveryBeatOnTheFirstFrameAtOrAfterItsExactCrossing)
{
    const int bpm = GetParam().bpm;
    engine::BeatClock clock(kRate);
    clock.Start(tempo::PhaseRateForBpm(bpm, 30.5), 30.5);
    const double framesPerBeat = 60.0 / bpm * kRate;
    constexpr int kBeats = 10000;
    std::vector<double> intervals;
    const auto onsets = Onsets(clock, GetParam().blockFrames, std::int64_t(framesPerBeat * (kBeats + 0.5)), &intervals);
    ASSERT_EQ(onsets.size(), size_t(kBeats)) << "beats lost or doubled";
    for (int k = 1; k <= kBeats; ++k) {
        const double ideal = k * framesPerBeat; // the first beat half a swing after the start
        const std::int64_t onset = onsets[k - 1];
        ASSERT_GE(double(onset), ideal - 1e-3) << "beat " << k << " early";
        ASSERT_LT(double(onset), ideal + 1.0) << "beat " << k << " late";
    }
    for (size_t i = 0; i < intervals.size(); ++i) // the first measured from the start
        ASSERT_NEAR(intervals[i], 60000.0 / bpm, 1e-6) << "beat " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Tempos, BeatClockTest,
                         ::testing::Values(ClockCase{120, 512}, ClockCase{120, 441}, ClockCase{120, 1},
                                           ClockCase{97, 512}, ClockCase{1, 4096}, ClockCase{22, 1024},
                                           ClockCase{250, 512}, ClockCase{271, 333}, ClockCase{999, 512}));

TEST(BeatClock, AStillPendulumNeverBeats)
{
    engine::BeatClock clock(kRate);
    clock.Start(0.0, 30.5);
    EXPECT_TRUE(Onsets(clock, 512, 441000).empty());
}

TEST(BeatClock, ThePhaseStaysBoundedAndTheSwingKeepsItsDirection)
{
    engine::BeatClock clock(kRate);
    clock.Start(tempo::PhaseRateForBpm(120, 30.5), 30.5);
    double previous = clock.SwingAt(0);
    int signChanges = 0, beats = 0;
    for (int block = 0; block < 44100 * 60 / 512; ++block) { // one minute
        clock.Advance(512, [&](engine::BeatClock::Beat) { ++beats; });
        EXPECT_LE(clock.PhaseAt(clock.Frame()), 2 * 3.14159265358979 / 30.5);
        const double s = clock.SwingAt(clock.Frame());
        if ((s < 0) != (previous < 0))
            ++signChanges;
        previous = s;
    }
    EXPECT_EQ(beats, 119);
    EXPECT_EQ(signChanges, beats) << "the swing and the beats went apart";
}

} // namespace
