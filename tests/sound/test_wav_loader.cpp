// Decoding and converting WAV files: every encoding SDL knows arrives as stereo float at 44100 Hz
// with the right values, and broken or hostile files are refused without harm.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <sys/stat.h>
#include <unistd.h>

#include "sound/wav_loader.h"
#include "sound/wav_writer.h"

namespace {

using soundtest::Bytes;
using soundtest::MakeWav;
using soundtest::WavFormat;

std::shared_ptr<const sound::Sample> Decode(const Bytes &b, std::string *error = nullptr,
                                            const sound::LoadLimits &limits = {})
{
    return sound::DecodeWav(b.data(), b.size(), limits, error);
}

// Files of four frames at 44100 Hz whose every frame holds the same value per channel.
struct FormatCase {
    const char *name;
    Bytes file;
    float left, right;
    float tolerance;
};
void PrintTo(const FormatCase &c, std::ostream *os) { *os << c.name; }

std::vector<FormatCase> FormatCases()
{
    auto repeat = [](auto... v) {
        std::vector<std::common_type_t<decltype(v)...>> out;
        for (int i = 0; i < 4; ++i)
            (out.push_back(v), ...);
        return out;
    };
    const WavFormat stereo16;
    WavFormat mono16 = stereo16;
    mono16.channels = 1;
    WavFormat u8 = mono16;
    u8.bits = 8;
    WavFormat s24 = stereo16;
    s24.bits = 24;
    WavFormat s32 = stereo16;
    s32.bits = 32;
    WavFormat f32 = stereo16;
    f32.tag = 3;
    f32.bits = 32;
    WavFormat ext16 = stereo16;
    ext16.extensible = true;
    WavFormat extFloat = f32;
    extFloat.extensible = true;
    WavFormat ext24Mono = s24;
    ext24Mono.channels = 1;
    ext24Mono.extensible = true;
    WavFormat mulaw = mono16;
    mulaw.tag = 7;
    mulaw.bits = 8;
    return {
        {"Pcm16Stereo", MakeWav(stereo16, soundtest::Pcm16(repeat(std::int16_t{16384}, std::int16_t{-8192}))), 0.5f, -0.25f, 0},
        {"Pcm16MonoOnBothSides", MakeWav(mono16, soundtest::Pcm16(repeat(std::int16_t{8192}))), 0.25f, 0.25f, 0},
        {"Pcm8Unsigned", MakeWav(u8, soundtest::Pcm8(repeat(std::uint8_t{192}))), 0.5f, 0.5f, 0},
        {"Pcm24", MakeWav(s24, soundtest::Pcm24(repeat(0x400000, -0x200000))), 0.5f, -0.25f, 1e-6f},
        {"Pcm32", MakeWav(s32, soundtest::Pcm32(repeat(0x40000000, -0x20000000))), 0.5f, -0.25f, 1e-6f},
        {"Float32", MakeWav(f32, soundtest::Float32(repeat(0.75f, -0.125f))), 0.75f, -0.125f, 0},
        {"Extensible16", MakeWav(ext16, soundtest::Pcm16(repeat(std::int16_t{16384}, std::int16_t{-8192}))), 0.5f, -0.25f, 0},
        {"ExtensibleFloat", MakeWav(extFloat, soundtest::Float32(repeat(0.75f, -0.125f))), 0.75f, -0.125f, 0},
        {"Extensible24Mono", MakeWav(ext24Mono, soundtest::Pcm24(repeat(-0x400000))), -0.5f, -0.5f, 1e-6f},
        // mu-law 0x80 is the largest positive step, 32124 of 32768.
        {"MuLaw", MakeWav(mulaw, soundtest::Pcm8(repeat(std::uint8_t{0x80}))), 0.98035f, 0.98035f, 1e-4f},
    };
}

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, DecodesToStereoFloatWithTheSameValues)
{
    std::string error;
    const auto sample = Decode(GetParam().file, &error);
    ASSERT_TRUE(sample) << error;
    ASSERT_EQ(sample->frames(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(sample->data[2 * i], GetParam().left, GetParam().tolerance) << "frame " << i;
        EXPECT_NEAR(sample->data[2 * i + 1], GetParam().right, GetParam().tolerance) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, FormatTest, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// A 1 kHz sine of amplitude 0.5 lasting 0.1 s at other rates: converted, it keeps its length
// (the last frames included), its pitch and its level.
class RateTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(RateTest, ResampledSineKeepsLengthPitchAndLevel)
{
    const auto [rate, channels] = GetParam();
    const int frames = rate / 10;
    std::vector<std::int16_t> values;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            values.push_back(static_cast<std::int16_t>(std::lround(16384 * std::sin(2 * std::numbers::pi * 1000.0 * i / rate))));
    WavFormat format;
    format.rate = static_cast<std::uint32_t>(rate);
    format.channels = static_cast<std::uint16_t>(channels);
    std::string error;
    const auto sample = Decode(MakeWav(format, soundtest::Pcm16(values)), &error);
    ASSERT_TRUE(sample) << error;

    EXPECT_NEAR(sample->frames(), 4410, 2);
    int crossings = 0;
    float peak = 0;
    for (std::int64_t i = 1; i < sample->frames(); ++i) {
        const float a = sample->data[2 * (i - 1)], b = sample->data[2 * i];
        crossings += (a < 0) != (b < 0);
        peak = std::max(peak, std::fabs(b));
        EXPECT_FLOAT_EQ(sample->data[2 * i], sample->data[2 * i + 1]) << "both sides alike, frame " << i;
    }
    EXPECT_NEAR(crossings, 200, 2) << "1 kHz for 0.1 s";
    EXPECT_NEAR(peak, 0.5f, 0.02f);
    // The tail survives the conversion: the last 5 ms still carry the full sine.
    float tailPeak = 0;
    for (std::int64_t i = sample->frames() - 220; i < sample->frames() - 5; ++i)
        tailPeak = std::max(tailPeak, std::fabs(sample->data[2 * i]));
    EXPECT_GT(tailPeak, 0.45f);
}

INSTANTIATE_TEST_SUITE_P(Rates, RateTest,
                         ::testing::Values(std::pair{22050, 1}, std::pair{48000, 2}, std::pair{8000, 1},
                                           std::pair{96000, 2}, std::pair{44100, 1}),
                         [](const auto &info) {
                             return std::to_string(info.param.first) + (info.param.second == 1 ? "Mono" : "Stereo");
                         });

TEST(WavLoader, FloatValuesOutsideFullScaleAreTamed)
{
    WavFormat f;
    f.tag = 3;
    f.bits = 32;
    const auto sample = Decode(MakeWav(f, soundtest::Float32({NAN, INFINITY, 3.0f, -7.0f})));
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->data, (std::vector<float>{0.0f, 0.0f, 1.0f, -1.0f}));
}

// Inputs that must be refused, each with a reason, none with a crash.
struct BadCase {
    const char *name;
    Bytes file;
};
void PrintTo(const BadCase &c, std::ostream *os) { *os << c.name; }

std::vector<BadCase> BadCases()
{
    const Bytes good = soundtest::ConstantWav(100, 1000, 1000);
    auto with = [](auto change) {
        WavFormat f;
        change(f);
        return MakeWav(f, soundtest::Constant16(100, 1000, 1000));
    };
    Bytes truncatedHeader(good.begin(), good.begin() + 30);
    Bytes noData(good.begin(), good.begin() + 44);
    Bytes shortBody(good.begin(), good.begin() + 44 + 40);
    Bytes text;
    for (char c : std::string("This is a text file named like a sound.\n"))
        text.push_back(static_cast<std::uint8_t>(c));
    Bytes riffOnly = {'R', 'I', 'F', 'F'};
    Bytes notWave = good;
    std::copy_n("AVI ", 4, notWave.begin() + 8);
    return {
        {"Empty", {}},
        {"RiffOnly", riffOnly},
        {"TruncatedHeader", truncatedHeader},
        {"HeaderWithoutData", noData},
        {"ShortBody", shortBody},
        {"Text", text},
        {"NotWave", notWave},
        {"ZeroChannels", with([](WavFormat &f) { f.channels = 0; })},
        {"ZeroHertz", with([](WavFormat &f) { f.rate = 0; })},
        {"ZeroBits", with([](WavFormat &f) { f.bits = 0; })},
        {"OneHertzTooLong", with([](WavFormat &f) { f.rate = 1; f.channels = 1; })},
        {"NineChannels", MakeWav({1, 9, 44100, 16}, Bytes(9 * 2 * 10, 0))},
        {"Mp3", with([](WavFormat &f) { f.tag = 0x55; })},
        {"Gsm", with([](WavFormat &f) { f.tag = 0x31; })},
        {"ExtensibleUnknown", with([](WavFormat &f) { f.extensible = true; f.tag = 0x1234; })},
        {"EmptyDataChunk", MakeWav({}, {})},
        {"HugeDeclaredSize", MakeWav({}, soundtest::Constant16(100, 1000, 1000), 0xFFFFFFF0u)},
        {"DeclaredSizeOneFrameLong", MakeWav({}, soundtest::Constant16(100, 1000, 1000), 404)},
    };
}

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, IsRefused)
{
    std::string error;
    EXPECT_FALSE(Decode(GetParam().file, &error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadInputTest, ::testing::ValuesIn(BadCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WavLoader, LimitsRefuseLargeFilesAndLongSounds)
{
    const Bytes oneSecond = soundtest::ConstantWav(44100, 1, 1);
    EXPECT_TRUE(Decode(oneSecond));
    EXPECT_FALSE(Decode(oneSecond, nullptr, {.maxFileBytes = oneSecond.size() - 1, .maxSeconds = 30}));
    EXPECT_FALSE(Decode(oneSecond, nullptr, {.maxFileBytes = 1u << 20, .maxSeconds = 0.5}));
}

class WavFileTest : public ::testing::Test {
protected:
    soundtest::TempDir dir;
};

TEST_F(WavFileTest, ReadsAFileAndRefusesWhatIsNoSoundFile)
{
    soundtest::WriteFile(dir / "good.wav", soundtest::ConstantWav(10, 100, 200));
    EXPECT_TRUE(sound::LoadWavFile(dir / "good.wav"));

    std::filesystem::create_directory(dir / "folder.wav");
    soundtest::WriteFile(dir / "empty.wav", {});
    soundtest::WriteFile(dir / "big.wav", soundtest::ConstantWav(1000, 1, 1));
    std::filesystem::create_symlink(dir / "nowhere.wav", dir / "dangling.wav");
    for (const char *name : {"missing.wav", "folder.wav", "empty.wav", "dangling.wav"}) {
        std::string error;
        EXPECT_FALSE(sound::LoadWavFile(dir / name, {}, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_FALSE(sound::LoadWavFile(dir / "big.wav", {.maxFileBytes = 1000, .maxSeconds = 30}))
        << "refused by its size before it is read";
    EXPECT_FALSE(sound::LoadWavFile("/dev/zero")) << "not a regular file";
}

TEST_F(WavFileTest, UnreadableFileIsRefused)
{
    const std::string path = dir / "locked.wav";
    soundtest::WriteFile(path, soundtest::ConstantWav(10, 100, 200));
    ::chmod(path.c_str(), 0);
    // The superuser reads anything; a child process drops to an ordinary user to try.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0)
                std::_Exit(2);
            std::_Exit(sound::LoadWavFile(path) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// Every sound the program ships loads and keeps its length.
TEST(WavLoader, ShippedSoundsLoad)
{
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(METRONOM_SOURCE_SOUNDS)) {
        if (entry.path().extension() != ".wav")
            continue;
        ++files;
        std::string error;
        const auto sample = sound::LoadWavFile(entry.path().string(), {}, &error);
        ASSERT_TRUE(sample) << entry.path() << ": " << error;
        EXPECT_EQ(sample->frames() * 4 + 44, static_cast<std::int64_t>(entry.file_size())) << entry.path();
    }
    EXPECT_GE(files, 8 + 3 * 16);
}

} // namespace

namespace {

// Files written by another program (the fuzzer's seeds): the compressed encodings SDL decodes
// load, the others are refused.
class SeedFileTest : public ::testing::TestWithParam<std::pair<const char *, bool>> {};

TEST_P(SeedFileTest, LoadsOrIsRefused)
{
    std::string error;
    const auto sample = sound::LoadWavFile(std::string(METRONOM_FUZZ_SEEDS) + "/" + GetParam().first, {}, &error);
    EXPECT_EQ(static_cast<bool>(sample), GetParam().second) << error;
    if (sample) {
        float peak = 0;
        for (float v : sample->data)
            peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.5f) << "a full-scale sine";
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SeedFileTest,
                         ::testing::Values(std::pair{"ima_adpcm.wav", true}, std::pair{"ms_adpcm.wav", true},
                                           std::pair{"alaw.wav", true}, std::pair{"ulaw.wav", true},
                                           std::pair{"pcm24_48000.wav", true}, std::pair{"quad_extensible.wav", true},
                                           std::pair{"pcm8_mono_22050.wav", true}, std::pair{"gsm.wav", false},
                                           std::pair{"huge_declared.wav", false}, std::pair{"riff_huge.wav", false}),
                         [](const auto &info) {
                             std::string n = info.param.first;
                             return n.substr(0, n.find('.'));
                         });

} // namespace
