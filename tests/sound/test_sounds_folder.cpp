// The Sounds folder that the build lays beside the program: every sound the presets and the
// counting voices name is there, in the stream's format, loud enough, and starts at once.
#include <gtest/gtest.h>

#include <SDL.h>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Wave {
    bool ok = false;
    SDL_AudioSpec spec{};
    std::vector<Sint16> samples; // interleaved
};

Wave Load(const std::string &path)
{
    Wave w;
    Uint8 *buf = nullptr;
    Uint32 len = 0;
    if (!SDL_LoadWAV(path.c_str(), &w.spec, &buf, &len))
        return w;
    w.ok = true;
    w.samples.assign(reinterpret_cast<Sint16 *>(buf), reinterpret_cast<Sint16 *>(buf) + len / 2);
    SDL_FreeWAV(buf);
    return w;
}

int Peak(const std::vector<Sint16> &s, size_t from = 0, size_t to = SIZE_MAX)
{
    int peak = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

std::vector<std::string> AllFiles()
{
    std::vector<std::string> files = {"Klack.wav", "Bassdrum.wav", "Snare.wav", "HiHat.wav",
                                      "HandClaps.wav", "Crash.wav", "Sticks.wav", "Triangel.wav"};
    for (const char *voice : {"Long", "Englisch", "Computer"})
        for (int n = 1; n <= 8; ++n)
            for (const char *suffix : {"", "a"})
                files.push_back(std::string("Count/") + voice + "/" + std::to_string(n) + suffix + ".wav");
    return files;
}

class SoundFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SoundFileTest, StereoSixteenBitFullLevelAndTheAttackAtTheStart)
{
    const Wave w = Load(std::string(METRONOM_SOUNDS_DIR) + "/" + GetParam());
    ASSERT_TRUE(w.ok) << GetParam() << ": " << SDL_GetError();
    EXPECT_EQ(w.spec.freq, 44100);
    EXPECT_EQ(w.spec.channels, 2);
    EXPECT_EQ(w.spec.format, AUDIO_S16LSB);
    const double seconds = w.samples.size() / 2.0 / 44100.0;
    EXPECT_GT(seconds, 0.01);
    EXPECT_LT(seconds, 2.0) << "a long file keeps ringing into the next beats";
    const int peak = Peak(w.samples);
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(peak, 32767 / 4) << "quieter than -12 dBFS";
    // The first 10 ms must already carry sound (within 30 dB of the peak): a late attack would
    // make every beat sound late.
    EXPECT_GT(Peak(w.samples, 0, 2 * 441), peak / 32) << "late attack";
}

INSTANTIATE_TEST_SUITE_P(Files, SoundFileTest, ::testing::ValuesIn(AllFiles()),
                         [](const auto &info) {
                             std::string n = info.param;
                             for (char &c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

class AccentedCountTest : public ::testing::TestWithParam<const char *> {};

TEST_P(AccentedCountTest, AccentedNumbersAreLouderThanPlainOnes)
{
    for (int n = 1; n <= 8; ++n) {
        const std::string base = std::string(METRONOM_SOUNDS_DIR) + "/Count/" + GetParam() + "/" + std::to_string(n);
        const Wave plain = Load(base + ".wav"), accented = Load(base + "a.wav");
        ASSERT_TRUE(plain.ok && accented.ok) << base;
        EXPECT_GT(Peak(accented.samples), Peak(plain.samples)) << base;
    }
}

INSTANTIATE_TEST_SUITE_P(Voices, AccentedCountTest, ::testing::Values("Long", "Englisch", "Computer"));

} // namespace
