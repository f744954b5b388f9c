#include <gtest/gtest.h>

#include "engine/beat_clock.h"
#include "tempo/tempo_model.h"

namespace {

constexpr double kRate = 44100.0;

// Onsets (absolute frames) and measured intervals of the beats the clock finds in blocks of `blockFrames`.
std::vector<std::pair<std::int64_t, double>> Beats(engine::BeatClock &clock, int blockFrames, std::int64_t totalFrames)
{
    std::vector<std::pair<std::int64_t, double>> beats;
    while (clock.Frame() < totalFrames) {
        const std::int64_t start = clock.Frame();
        clock.Advance(blockFrames, [&](engine::BeatClock::Beat b) {
            EXPECT_TRUE(b.offset >= 0 && b.offset < blockFrames) << b.offset;
            beats.emplace_back(start + b.offset, b.intervalMs);
        });
    }
    return beats;
}

// Every beat on the first frame at or after its exact crossing, none lost or doubled, at any tempo
// and block size; the first beat half a swing after the start and measured from it.
TEST(BeatClock, EveryBeatOnTheFirstFrameAtOrAfterItsExactCrossing)
{
    for (auto [bpm, blockFrames] : {std::pair{120, 512}, {120, 1}, {97, 441}, {1, 4096}, {271, 333}, {999, 512}}) {
        SCOPED_TRACE(testing::Message() << bpm << " bpm in blocks of " << blockFrames);
        engine::BeatClock clock(kRate);
        clock.Start(tempo::PhaseRateForBpm(bpm, 30.5), 30.5);
        const double framesPerBeat = 60.0 / bpm * kRate;
        constexpr int kBeats = 10000;
        const auto beats = Beats(clock, blockFrames, std::int64_t(framesPerBeat * (kBeats + 0.5)));
        ASSERT_EQ(beats.size(), size_t(kBeats)) << "beats lost or doubled";
        for (int k = 1; k <= kBeats; ++k) {
            ASSERT_GE(double(beats[k - 1].first), k * framesPerBeat - 1e-3) << "beat " << k << " early";
            ASSERT_LT(double(beats[k - 1].first), k * framesPerBeat + 1.0) << "beat " << k << " late";
            ASSERT_NEAR(beats[k - 1].second, 60000.0 / bpm, 1e-6) << "beat " << k;
        }
    }
}

} // namespace
