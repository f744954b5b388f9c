#include "sound/wav_loader.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sound/swell.h"

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

void SetLenientLoading()
{
    // Files as players take them: a last partial frame, a data chunk cut short by a copy, and a
    // RIFF size that is too small or too large are played for what they hold, not refused; the
    // fact chunk, which most writers get wrong, is ignored. Set over whatever the environment says.
    static std::once_flag once;
    std::call_once(once, [] {
        SDL_SetHintWithPriority(SDL_HINT_WAVE_TRUNCATION, "dropframe", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_WAVE_RIFF_CHUNK_SIZE, "ignore", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_WAVE_FACT_CHUNK, "ignore", SDL_HINT_OVERRIDE);
    });
}

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::shared_ptr<const Sample> DecodeWav(const void *bytes, std::size_t size, const LoadLimits &limits,
                                        std::string *error)
{
    if (!bytes || size == 0)
        return Fail(error, "empty file");
    if (size > limits.maxFileBytes || size > static_cast<std::size_t>(INT32_MAX))
        return Fail(error, "file too large");
    SetLenientLoading();

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
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_F32SYS, kStreamChannels, kStreamRate) < 0)
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
    sample->swellFrames = SwellFrames(out);
    return sample;
}

std::shared_ptr<const Sample> LoadWavFile(const std::string &path, const LoadLimits &limits, std::string *error)
{
    // Only a regular file is opened, and without waiting, so that a FIFO or a device put in its
    // place meanwhile cannot block the caller either.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Fail(error, errno == ENOENT ? "not a file" : std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return Fail(error, "not a file");
    const Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0)
        return Fail(error, std::strerror(errno));
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(error, "not a file");
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (size == 0)
        return Fail(error, "empty file");
    if (size > limits.maxFileBytes)
        return Fail(error, "file too large");

    // One byte more than measured is asked for, to notice a file that grows while it is read.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error, "read error");
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got != size)
        return Fail(error, "file changed while it was read");
    return DecodeWav(bytes.data(), got, limits, error);
}

} // namespace sound
