// The Sounds folder that the build lays beside the program: every sound the presets and the
// counting voices name is there, in the stream's format, loud enough, and starts at once.
#include <gtest/gtest.h>

#include <SDL.h>
#include <string>
#include <vector>

namespace {

// The peak of the file's interleaved samples [from, to), or -1 when it does not load as 16-bit
// stereo at 44100 Hz; `frames` is set to its length.
int Peak(const std::string &name, size_t from = 0, size_t to = SIZE_MAX, size_t *frames = nullptr)
{
    SDL_AudioSpec spec{};
    Uint8 *buf = nullptr;
    Uint32 len = 0;
    if (!SDL_LoadWAV((std::string(METRONOM_SOUNDS_DIR) + "/" + name).c_str(), &spec, &buf, &len))
        return -1;
    const auto *s = reinterpret_cast<const Sint16 *>(buf);
    int peak = 0;
    for (size_t i = from; i < std::min<size_t>(to, len / 2); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    SDL_FreeWAV(buf);
    if (frames)
        *frames = len / 4;
    return spec.freq == 44100 && spec.channels == 2 && spec.format == AUDIO_S16LSB ? peak : -1;
}

TEST(SoundsFolder, StereoSixteenBitFullLevelAndTheAttackAtTheStart)
{
    std::vector<std::string> files = {"Klack.wav", "Bassdrum.wav", "Snare.wav", "HiHat.wav",
                                      "HandClaps.wav", "Crash.wav", "Sticks.wav", "Triangel.wav"};
    for (const char *voice : {"Long", "Englisch", "Computer"})
        for (int n = 1; n <= 8; ++n) {
            const std::string base = std::string("Count/") + voice + "/" + std::to_string(n);
            files.push_back(base + ".wav");
            files.push_back(base + "a.wav");
            EXPECT_GT(Peak(base + "a.wav"), Peak(base + ".wav")) << base << ": the accented number is louder";
        }
    for (const std::string &file : files) {
        size_t frames = 0;
        const int peak = Peak(file, 0, SIZE_MAX, &frames);
        ASSERT_GE(peak, 0) << file << " is missing or not 16-bit stereo at 44100 Hz: " << SDL_GetError();
        EXPECT_GT(frames, 441u) << file;
        EXPECT_LT(frames, 2 * 44100u) << file << ": a long file keeps ringing into the next beats";
        EXPECT_LT(peak, 32767) << file << " clipped";
        EXPECT_GT(peak, 32767 / 4) << file << " quieter than -12 dBFS";
        // The first 10 ms carry sound within 30 dB of the peak: a late attack makes every beat late.
        EXPECT_GT(Peak(file, 0, 2 * 441), peak / 32) << file << ": late attack";
    }
}

} // namespace
