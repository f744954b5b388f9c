// What loading a sound costs the UI thread, per second of sound decoded: the worst cases a file may
// declare within the loader's limits (the lowest and highest rates, eight channels, 8 to 32 bits),
// and an ordinary file. Each benchmark reports
//   ms_per_s: CPU milliseconds per second of decoded sound (the goal is at most 10; Google Benchmark
//             prints it with an "s", as the inverse of a rate).
// Run: build/bench/bench_wav (a build without sanitizers).
#include <benchmark/benchmark.h>

#include "sound/wav_loader.h"
#include "sound/wav_writer.h"

namespace {

void Decode(benchmark::State &state, soundtest::WavFormat format, double seconds)
{
    const int frames = static_cast<int>(format.rate * seconds);
    const soundtest::Bytes file =
        soundtest::MakeWav(format, std::vector<double>(format.channels, format.tag == 3 ? 0.25 : 20.0), frames);
    const sound::LoadLimits limits{.maxFileBytes = 64u << 20, .maxSeconds = 60};
    for (auto _ : state)
        benchmark::DoNotOptimize(sound::DecodeWav(file.data(), file.size(), limits));
    // Seconds of CPU per second decoded, shown in ms: the inverted rate of decoded seconds.
    state.counters["ms_per_s"] = benchmark::Counter(double(state.iterations()) * seconds / 1e3,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK_CAPTURE(Decode, rate4000_8bit_mono, soundtest::WavFormat{1, 1, 4000, 8}, 10.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, rate4000_16bit_8ch, soundtest::WavFormat{1, 8, 4000, 16}, 10.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, rate44100_16bit_stereo, soundtest::WavFormat{1, 2, 44100, 16}, 10.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, rate48000_24bit_stereo, soundtest::WavFormat{1, 2, 48000, 24}, 10.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, rate384000_float_8ch, soundtest::WavFormat{3, 8, 384000, 32}, 1.0)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
