// The audio callback never allocates or frees: the global operator new and delete are replaced in
// this executable and count what the test's thread asks of them while it renders.
#include <gtest/gtest.h>

#include <new>

#include "engine/metronome.h"
#include "tempo/tempo_model.h"

namespace {
thread_local bool counting = false; // only Render's own calls, on this thread
thread_local int calls = 0;
} // namespace

// The array forms of libstdc++ end in these (Render holds no over-aligned types).
void *operator new(std::size_t n)
{
    calls += counting;
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { calls += counting && p, std::free(p); }
void operator delete(void *p, std::size_t) noexcept { calls += counting && p, std::free(p); }

namespace {

// Tempo changes, new samples, START and STOP, slot commands, and every practice tool (volume
// glides and the limiter at work, subdivisions, trainer steps, silent cycles, spoken numbers
// started ahead of their beats and cut by STOP): every block rendered around them allocates and
// frees nothing.
TEST(RenderAllocations, NoneAtTempoChangesNewSamplesStartStopAndPracticeTools)
{
    sound::SampleKeeper keeper;
    sound::SlotPlayer player(11);
    engine::Metronome metronome(player);
    engine::SettingsPublisher publisher(metronome, keeper);
    std::vector<float> out(2 * 512);
    int blocks = 0, beats = 0, muted = 0, steps = 0;
    auto render = [&](int n) {
        for (int i = 0; i < n; ++i, ++blocks) {
            counting = true;
            metronome.Render(out.data(), 512);
            counting = false;
            EXPECT_EQ(std::exchange(calls, 0), 0) << "Render allocated or freed in block " << blocks;
        }
        for (engine::BeatEvent e; metronome.PopBeat(e);) {
            ++beats;
            muted += e.muted;
            steps += e.bpm > 0;
        }
        publisher.Collect();
        keeper.Collect(player.Acknowledged());
    };
    auto publish = [&](int bpm, bool voice, int round) {
        auto sample = std::make_shared<sound::Sample>(); // a preset's new sample for every sound
        sample->data.assign(2 * 3000, 0.9f);             // rings into the next blocks, so voices are cut and replaced
        sample->swellFrames = 1500;                      // a spoken number starts ahead of its beat
        const sound::Sample *p = sample.get();
        engine::Settings s;
        s.rules = {voice, true, true, true, true};
        s.pattern = engine::BeatPattern::Initial();
        s.beatsPerCycle = 3 + bpm % 5;
        s.phaseRate = tempo::PhaseRateForBpm(bpm, 30.5);
        s.samples = {p, p, p};
        s.samples.countPlain.fill(p);
        s.samples.countAccented.fill(p);
        s.slotSamples = {p, p, p};
        engine::Practice &practice = s.practice;
        practice.volume = (round * 37) % 101; // loud sums limited, glides between volumes
        practice.subdivision = 1 + round % 4;
        practice.trainerOn = round % 3 != 0;
        practice.trainerEveryCycles = 1;
        practice.trainerStepBpm = 10;
        practice.trainerStartBpm = bpm;
        practice.trainerGoalBpm = 271;
        practice.trainerRun = std::uint64_t(round / 2);
        practice.gapOn = round % 2 == 0;
        practice.gapPlayCycles = practice.gapMuteCycles = 1;
        publisher.Publish(s, {sample});
    };
    publish(120, false, 0);
    for (int round = 0; round < 30; ++round) {
        metronome.Start();
        render(10);
        publish(60 + 40 * round, round % 2, round); // a tempo change with a preset's new samples
        render(40);
        player.Post({sound::SlotCommand::Kind::Play, round % 11, nullptr, 0.5f, 0.5f});
        metronome.Stop(); // the play and the stop in one block
        render(2);
    }
    EXPECT_GE(beats, 50) << "the beats played";
    EXPECT_GT(muted, 0) << "silent cycles played";
    EXPECT_GT(steps, 0) << "trainer steps taken";
}

} // namespace
