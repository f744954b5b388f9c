#include "sound/wav_loader.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace sound {

namespace {

// Sample rates outside this range are not sounds but broken headers.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
// Upper bound of SDL's conversion buffer (input length times its worst-case growth).
constexpr std::uint64_t kMaxConversionBytes = 256u << 20;

std::shared_ptr<const Sample> Fail(std::string *error, std::string why)
{
    if (error)
        *error = std::move(why);
    return nullptr;
}

struct WavBuffer {
    Uint8 *data = nullptr;
    ~WavBuffer() { SDL_FreeWAV(data); }
};

void SetStrictLoading()
{
    // A data chunk that is longer than the file (a cut-off copy, or a forged size) is refused
    // instead of being played in part.
    static std::once_flag once;
    std::call_once(once, [] { SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict"); });
}

} // namespace

std::shared_ptr<const Sample> DecodeWav(const void *bytes, std::size_t size, const LoadLimits &limits,
                                        std::string *error)
{
    if (!bytes || size == 0)
        return Fail(error, "empty file");
    if (size > limits.maxFileBytes || size > static_cast<std::size_t>(INT32_MAX))
        return Fail(error, "file too large");
    SetStrictLoading();

    SDL_RWops *rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    if (!rw)
        return Fail(error, SDL_GetError());
    SDL_AudioSpec spec{};
    WavBuffer wav;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &spec, &wav.data, &length))
        return Fail(error, SDL_GetError());

    if (spec.channels < 1 || spec.channels > 8)
        return Fail(error, "unsupported number of channels");
    if (spec.freq < kMinRate || spec.freq > kMaxRate)
        return Fail(error, "unsupported sample rate");
    const std::uint32_t frameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    const std::uint64_t inFrames = length / frameBytes;
    if (inFrames == 0)
        return Fail(error, "no sound data");
    if (static_cast<double>(inFrames) / spec.freq > limits.maxSeconds)
        return Fail(error, "sound too long");

    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_F32SYS, kStreamChannels,
                          kStreamRate) < 0)
        return Fail(error, SDL_GetError());
    const std::uint64_t inBytes = inFrames * frameBytes; // a trailing partial frame is dropped
    const std::uint64_t workBytes = inBytes * static_cast<std::uint64_t>(std::max(cvt.len_mult, 1));
    if (workBytes > kMaxConversionBytes)
        return Fail(error, "sound too long");

    auto sample = std::make_shared<Sample>();
    std::vector<float> &out = sample->data;
    out.resize((workBytes + sizeof(float) - 1) / sizeof(float));
    std::memcpy(out.data(), wav.data, inBytes);
    cvt.buf = reinterpret_cast<Uint8 *>(out.data());
    cvt.len = static_cast<int>(inBytes);
    int outBytes = cvt.len;
    if (cvt.needed) {
        if (SDL_ConvertAudio(&cvt) < 0)
            return Fail(error, SDL_GetError());
        outBytes = cvt.len_cvt;
    }
    const std::size_t outFrames = static_cast<std::size_t>(outBytes) / (sizeof(float) * kStreamChannels);
    if (outFrames == 0)
        return Fail(error, "no sound data");
    out.resize(outFrames * kStreamChannels);
    out.shrink_to_fit();

    // Float files may carry NaN, infinities or values past full scale; the mixer expects -1..1.
    for (float &v : out)
        v = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
    return sample;
}

std::shared_ptr<const Sample> LoadWavFile(const std::string &path, const LoadLimits &limits, std::string *error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return Fail(error, "not a file");
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size == 0)
        return Fail(error, "empty file");
    if (size > limits.maxFileBytes)
        return Fail(error, "file too large");

    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Fail(error, std::strerror(errno));
    // One byte more than measured is asked for, to notice a file that grows while it is read.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size) + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return Fail(error, "read error");
    if (got != size)
        return Fail(error, "file changed while it was read");
    return DecodeWav(bytes.data(), got, limits, error);
}

} // namespace sound
