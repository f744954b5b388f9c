// The Sounds folder that the build lays beside the program.
#include <gtest/gtest.h>

#include <SDL.h>
#include <filesystem>

#include "sound_level.h"

namespace {

// The file's interleaved samples, empty when it does not load as 16-bit stereo at 44100 Hz.
std::vector<Sint16> Load(const std::string &name)
{
    SDL_AudioSpec spec{};
    Uint8 *buf = nullptr;
    Uint32 len = 0;
    if (!SDL_LoadWAV((std::string(METRONOM_SOUNDS_DIR) + "/" + name).c_str(), &spec, &buf, &len))
        return {};
    std::vector<Sint16> s(reinterpret_cast<const Sint16 *>(buf), reinterpret_cast<const Sint16 *>(buf) + len / 2);
    SDL_FreeWAV(buf);
    return spec.freq == 44100 && spec.channels == 2 && spec.format == AUDIO_S16LSB ? s : std::vector<Sint16>{};
}

int Peak(const std::vector<Sint16> &s, size_t to = SIZE_MAX)
{
    int peak = 0;
    for (size_t i = 0; i < std::min(to, s.size()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

// Every sound of the folder's top level in the stream's format, with headroom, starting at once;
// equally loud (sound_level.h, first 100 ms: within 1.5 dB of the mean) and the default accent
// (Bassdrum) 6 dB above the default beat (Klack) within 200 Hz-8 kHz, where laptop speakers play it.
TEST(SoundsFolder, EverySoundInTheStreamsFormatWithHeadroomAttackAndEqualLoudness)
{
    std::map<std::string, std::pair<double, double>> levels; // loudness, band
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(METRONOM_SOUNDS_DIR, ec)) {
        const std::string file = e.path().filename().string();
        if (e.path().extension() != ".wav")
            continue;
        const std::vector<Sint16> s = Load(file);
        ASSERT_FALSE(s.empty()) << file << " is not 16-bit stereo at 44100 Hz: " << SDL_GetError();
        EXPECT_GT(s.size() / 2, 441u) << file;
        EXPECT_LT(s.size() / 2, 2 * 44100u) << file << ": a long file keeps ringing into the next beats";
        const int peak = Peak(s);
        EXPECT_LE(peak, 29205) << file << " above -1 dBFS";
        // The first 10 ms carry sound within 30 dB of the peak: a late attack makes every beat late.
        EXPECT_GT(Peak(s, 2 * 441), peak / 32) << file << ": late attack";
        levels[file] = {sound_level::LoudnessDb(s.data(), s.size() / 2, 2, 32768.0),
                        sound_level::BandDb(s.data(), s.size() / 2, 2, 32768.0)};
    }
    ASSERT_TRUE(levels.count("Klack.wav") && levels.count("Bassdrum.wav"));
    double mean = 0;
    for (const auto &[name, level] : levels)
        mean += level.first / double(levels.size());
    for (const auto &[name, level] : levels)
        EXPECT_NEAR(level.first, mean, 1.5) << name;
    EXPECT_GE(levels["Bassdrum.wav"].second - levels["Klack.wav"].second, 6.0);
}

} // namespace
