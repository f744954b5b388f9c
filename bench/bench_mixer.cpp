// What the mixer costs the audio thread. Besides the time per block of 512 frames, each benchmark
// reports
//   frame_time: CPU time per stereo frame mixed;
//   rt_share:   CPU seconds per second of sound, i.e. the share of one core's real-time budget
//               (44100 frames per second) that the mixer takes: 100u is 0.01 %.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "sound/mixer.h"

namespace {

constexpr int kBlock = 512;

// Ten seconds of a 1 kHz tone at `level`; at full level three voices reach the limiter.
std::unique_ptr<sound::Sample> MakeTone(float level)
{
    auto s = std::make_unique<sound::Sample>();
    const int frames = 10 * sound::kStreamRate;
    s->data.resize(2 * static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const float v = level * static_cast<float>(std::sin(2 * std::numbers::pi * 1000.0 * i / sound::kStreamRate));
        s->data[2 * i] = v;
        s->data[2 * i + 1] = -v;
    }
    return s;
}

void Report(benchmark::State &state)
{
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    using C = benchmark::Counter;
    state.counters["frame_time"] = C(frames, C::kIsRate | C::kInvert);
    state.counters["rt_share"] = C(frames / sound::kStreamRate, C::kIsRate | C::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
}

// `voices` slots sounding at once at -9 dB; with `restartEvery` > 0 slot 0 is played again every
// that many blocks (the cut-off fade), as a beat would.
void Mix(benchmark::State &state, int voices, float level, int restartEvery)
{
    const auto tone = MakeTone(level);
    const float g = static_cast<float>(std::pow(10.0, -0.45));
    sound::Mixer mixer(11);
    std::vector<float> out(2 * kBlock);
    int block = 0;
    for (auto _ : state) {
        for (int v = 0; v < voices; ++v)
            if (!mixer.IsPlaying(v))
                mixer.StartVoice(v, tone.get(), g, g, 0);
        if (restartEvery > 0 && ++block % restartEvery == 0)
            mixer.StartVoice(0, tone.get(), g, g, kBlock / 3);
        mixer.Render(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_ThreeVoices(benchmark::State &state)
{
    Mix(state, 3, 0.5f, 0);
}
void BM_ThreeVoicesBeatEvery20Blocks(benchmark::State &state)
{
    Mix(state, 3, 0.5f, 20);
}
void BM_ThreeLoudVoicesLimited(benchmark::State &state)
{
    Mix(state, 3, 1.0f, 0);
}
void BM_ElevenVoices(benchmark::State &state)
{
    Mix(state, 11, 0.25f, 0);
}
void BM_Silence(benchmark::State &state)
{
    Mix(state, 0, 0.5f, 0);
}

BENCHMARK(BM_ThreeVoices);
BENCHMARK(BM_ThreeVoicesBeatEvery20Blocks);
BENCHMARK(BM_ThreeLoudVoicesLimited);
BENCHMARK(BM_ElevenVoices);
BENCHMARK(BM_Silence);

} // namespace

BENCHMARK_MAIN();
