// The Sounds folder that the build lays beside the program: every sound the presets and the
// counting voices name is there, in the stream's format, with headroom, and starts at once; the
// percussion sounds are equally loud and the default accent stands out on small speakers.
#include <gtest/gtest.h>

#include <SDL.h>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sound_level.h"

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

// Every sound of the folder's top level.
std::vector<std::string> Percussion()
{
    std::vector<std::string> files;
    std::error_code ec; // a missing folder gives no files (and the test below fails)
    for (const auto &e : std::filesystem::directory_iterator(METRONOM_SOUNDS_DIR, ec))
        if (e.path().extension() == ".wav")
            files.push_back(e.path().filename().string());
    return files;
}

std::vector<std::string> AllFiles()
{
    std::vector<std::string> files = Percussion();
    for (const char *voice : {"Long", "Englisch", "Computer"})
        for (int n = 1; n <= 8; ++n)
            for (const char *suffix : {"", "a"})
                files.push_back(std::string("Count/") + voice + "/" + std::to_string(n) + suffix + ".wav");
    return files;
}

class SoundFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SoundFileTest, StereoSixteenBitWithHeadroomAndTheAttackAtTheStart)
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
    EXPECT_LE(peak, 29205) << "above -1 dBFS";
    if (GetParam().rfind("Count/", 0) == 0) { // the percussion's level: the test below
        EXPECT_GT(peak, 32767 / 4) << "quieter than -12 dBFS";
    }
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

// Loudness and band level as sound_level.h measures them (first 100 ms): every percussion sound
// within 1.5 dB of their mean, and the default accent (Bassdrum) 6 dB above the default beat
// (Klack) within 200 Hz-8 kHz, where laptop speakers play it.
TEST(PercussionTest, EquallyLoudAndTheAccentAudibleOnSmallSpeakers)
{
    std::map<std::string, std::pair<double, double>> levels; // loudness, band
    double mean = 0;
    for (const std::string &name : Percussion()) {
        const Wave w = Load(std::string(METRONOM_SOUNDS_DIR) + "/" + name);
        ASSERT_TRUE(w.ok) << name;
        const std::size_t frames = w.samples.size() / 2;
        levels[name] = {sound_level::LoudnessDb(w.samples.data(), frames, 2, 32768.0),
                        sound_level::BandDb(w.samples.data(), frames, 2, 32768.0)};
        mean += levels[name].first;
    }
    ASSERT_TRUE(levels.count("Klack.wav") && levels.count("Bassdrum.wav"));
    mean /= double(levels.size());
    for (const auto &[name, level] : levels)
        EXPECT_NEAR(level.first, mean, 1.5) << name;
    EXPECT_GE(levels["Bassdrum.wav"].second - levels["Klack.wav"].second, 6.0);
}

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
