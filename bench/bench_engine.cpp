// What the running metronome costs the audio thread: Metronome::Render (beat clock, beat choice,
// mixer, limiter) in blocks of 512 frames, the plain beat beside the practice tools. Reports
//   frame_time: CPU time per stereo frame rendered;
//   rt_share:   CPU seconds per second of sound, the share of one core's real-time budget.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/metronome.h"
#include "tempo/tempo_model.h"

namespace {

constexpr int kBlock = 512;

// A 30 ms click: a decaying noise peaking at -1 dBFS, like the shipped percussion.
std::unique_ptr<sound::Sample> MakeClick()
{
    auto s = std::make_unique<sound::Sample>();
    std::uint32_t seed = 1;
    for (int i = 0; i < 1323; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float v = 0.891f * std::exp(-i / 200.0f) * (float(seed >> 8) / float(1 << 24) * 2 - 1);
        s->data.push_back(v);
        s->data.push_back(v);
    }
    return s;
}

void Run(benchmark::State &state, const engine::Practice &practice, int bpm)
{
    const auto click = MakeClick();
    sound::SlotPlayer player(11);
    engine::Metronome metronome(player);
    engine::Settings s;
    s.rules = {false, true, true, true, true};
    s.pattern = engine::BeatPattern::Initial();
    s.phaseRate = tempo::PhaseRateForBpm(bpm, 30.5);
    s.samples = {click.get(), click.get(), click.get()};
    s.slotSamples = {click.get(), click.get(), click.get()};
    s.gain = static_cast<float>(std::pow(10.0, -0.45));
    s.practice = practice;
    metronome.Publish(s);
    metronome.Start();
    std::vector<float> out(2 * kBlock);
    for (auto _ : state) {
        metronome.Render(out.data(), kBlock);
        for (engine::BeatEvent e; metronome.PopBeat(e);) {}
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    using C = benchmark::Counter;
    state.counters["frame_time"] = C(frames, C::kIsRate | C::kInvert);
    state.counters["rt_share"] = C(frames / sound::kStreamRate, C::kIsRate | C::kInvert);
}

// 120 bpm, accents on, nothing else.
void BM_Plain120(benchmark::State &state)
{
    Run(state, {}, 120);
}

// Four clicks a beat, the trainer stepping every cycle from 120 towards 271, gap training, at
// volume 100 (the accented beats reach the limiter).
void BM_Subdivision4Trainer(benchmark::State &state)
{
    engine::Practice p;
    p.volume = 100;
    p.subdivision = 4;
    p.trainerOn = true;
    p.trainerStartBpm = 120;
    p.trainerEveryCycles = 1;
    p.trainerStepBpm = 1;
    p.trainerGoalBpm = 271;
    p.gapOn = true;
    Run(state, p, 120);
}

BENCHMARK(BM_Plain120);
BENCHMARK(BM_Subdivision4Trainer);

} // namespace

BENCHMARK_MAIN();
