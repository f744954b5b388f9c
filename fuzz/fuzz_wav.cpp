// Fuzz target for loading sounds: any bytes given as a WAV file are either refused or become a
// sample in the stream's format that the mixer can play. Built with libFuzzer when the compiler
// is clang; otherwise with a small main that replays the files it is given.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/mixer.h"
#include "sound/wav_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Short sounds only, so that one input never takes long to convert.
    const sound::LoadLimits limits{.maxFileBytes = 1u << 20, .maxSeconds = 2.0};
    const auto sample = sound::DecodeWav(data, size, limits);
    if (!sample)
        return 0;
    if (sample->frames() <= 0 || sample->data.size() % 2 != 0)
        std::abort();
    for (float v : sample->data)
        if (!std::isfinite(v) || std::fabs(v) > 1.0f)
            std::abort();

    // Play it at the end of a block and over the next one, cut by a replay.
    sound::Mixer mixer(1);
    std::vector<float> block(2 * 512);
    mixer.StartVoice(0, sample.get(), 1.0f, 1.0f, 500);
    mixer.Render(block.data(), 512);
    mixer.StartVoice(0, sample.get(), 1.0f, 1.0f, 7);
    mixer.Render(block.data(), 512);
    for (float v : block)
        if (!(std::fabs(v) <= 1.0f))
            std::abort();
    return 0;
}
