// Loading WAV files, and the cache that reads a file only again when it changes.
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "sound/sample_cache.h"
#include "sound/wav_loader.h"
#include "sound/wav_writer.h"

namespace {

namespace fs = std::filesystem;
using soundtest::Bytes;
using soundtest::MakeWav;

// Files laid out at a path by `make`, as SDL decodes them and worse: played as stereo float at
// 44100 Hz for the whole frames they hold (with the values given, taken from every frame), or
// refused with a reason; never a crash or a hang. What only SDL refuses or accepts is left to SDL
// (and to the fuzz corpus).
struct FileCase {
    const char *name;
    std::function<void(const std::string &path)> make;
    int frames = 0;                 // 0: refused
    std::vector<float> values = {}; // left, right, tolerance
    sound::LoadLimits limits = {};
};

std::function<void(const std::string &)> File(const Bytes &bytes)
{
    return [bytes](const std::string &path) { soundtest::WriteFile(path, bytes); };
}

TEST(WavLoader, EveryEncodingPlaysWithItsValuesAndBadInputIsRefusedOrPlayedForWhatItHolds)
{
    const Bytes good = MakeWav({}, {1000, 1000}, 100);
    const FileCase cases[] = {
        {"Pcm16Stereo", File(MakeWav({1, 2, 44100, 16}, {16384, -8192}, 4)), 4, {0.5f, -0.25f, 0}},
        {"FloatNanAndBeyondFullScaleTamed", File(MakeWav({3, 2, 44100, 32}, {NAN, -7}, 4)), 4, {0, -1, 0}},
        {"FloatInfinityAndBeyondFullScaleTamed", File(MakeWav({3, 2, 44100, 32}, {INFINITY, 3}, 4)), 4, {0, 1, 0}},
        {"Mono22050OnBothSides", File(MakeWav({1, 1, 22050, 16}, {8192}, 2205)), 4410, {0.25f, 0.25f, 2e-3f}},
        {"Empty", File({})},
        // Played: a data chunk cut short (its size field says 4 GB), a RIFF size too small.
        {"HugeDeclaredSizeShortBody", File(MakeWav({}, {1000, 1000}, 100, 0xFFFFFFF0u)), 100},
        {"RiffSizeTooSmallSeed",
         [](const std::string &path) { fs::create_symlink(METRONOM_FUZZ_SEEDS "/riff_small.wav", path); }, 220},
        {"TooLong", File(MakeWav({}, {1, 1}, 44100)), 0, {}, {.maxFileBytes = 1u << 20, .maxSeconds = 0.5}},
        {"Rate3999Hz", File(MakeWav({.rate = 3999}, {1000, 1000}, 100))},
        {"Rate384001Hz", File(MakeWav({.rate = 384001}, {1000, 1000}, 100))},
        {"TooLargeFile", File(MakeWav({}, {1, 1}, 1000)), 0, {}, {.maxFileBytes = 1000, .maxSeconds = 30}},
        {"Missing", [](const std::string &) {}},
        {"Unreadable", [good](const std::string &p) { soundtest::WriteFile(p, good), ::chmod(p.c_str(), 0); }},
        {"Fifo", [](const std::string &path) { ::mkfifo(path.c_str(), 0600); }},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.name);
        soundtest::TempDir dir;
        const std::string path = dir / "Klack.wav";
        c.make(path);
        std::string error;
        auto refused = [&] { return !sound::LoadWavFile(path, c.limits, &error) && !error.empty(); };
        if (c.frames) {
            const auto sample = sound::LoadWavFile(path, c.limits, &error);
            ASSERT_TRUE(sample) << error;
            const bool resampled = c.name == std::string("Mono22050OnBothSides");
            ASSERT_NEAR(sample->frames(), c.frames, resampled ? 2 : 0);
            const std::int64_t margin = resampled ? 32 : 0; // a resampler may ring at both ends
            for (std::int64_t i = margin; !c.values.empty() && i < sample->frames() - margin; ++i) {
                ASSERT_NEAR(sample->data[2 * i], c.values[0], c.values[2]) << "frame " << i;
                ASSERT_NEAR(sample->data[2 * i + 1], c.values[1], c.values[2]) << "frame " << i;
            }
        } else if (std::string(c.name) != "Unreadable" || ::geteuid() != 0) {
            EXPECT_TRUE(refused());
        } else { // the superuser reads anything: a child process drops to an ordinary user to try
            ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
            EXPECT_EXIT(std::_Exit(::setuid(65534) == 0 && refused() ? 0 : 1), ::testing::ExitedWithCode(0), "");
        }
    }
    // The fuzzer's seeds in encodings SDL decodes (ADPCM, A-law, ...), each a full-scale sine.
    for (const char *seed :
         {"ima_adpcm", "ms_adpcm", "alaw", "ulaw", "pcm24_48000", "quad_extensible", "pcm8_mono_22050"}) {
        const auto sample = sound::LoadWavFile(std::string(METRONOM_FUZZ_SEEDS "/") + seed + ".wav");
        ASSERT_TRUE(sample) << seed;
        EXPECT_GT(*std::max_element(sample->data.begin(), sample->data.end()), 0.5f) << seed;
    }
}

TEST(SampleCache, ReadsAgainOnlyWhenTheFileChanges)
{
    soundtest::TempDir dir;
    const std::string path = dir / "Klack.wav";
    auto write = [](const std::string &to, double v) { soundtest::WriteFile(to, MakeWav({}, {v, v}, 100)); };
    auto level = [](const auto &sample) { return std::lround(sample->data[0] * 32768); };
    sound::SampleCache cache;
    soundtest::WriteFile(path, {'n', 'o', 'p', 'e'});
    EXPECT_FALSE(cache.Get(path));
    write(path, 1000); // another size
    const auto first = cache.Get(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.Get(path), first);
    write(path, 3000); // the same size, newer
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_EQ(level(cache.Get(path)), 3000);
    EXPECT_EQ(level(first), 1000) << "a sample handed out earlier stays as it was";
    // Replaced keeping size and modification time, as `cp -p`, `rsync -t` or `tar x` do: in place
    // (the change time moves on) and by a rename (another inode).
    const auto modified = fs::last_write_time(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    write(path, 5000);
    fs::last_write_time(path, modified);
    EXPECT_EQ(level(cache.Get(path)), 5000);
    write(dir / "neu.wav", 7000);
    fs::last_write_time(dir / "neu.wav", modified);
    fs::rename(dir / "neu.wav", path);
    EXPECT_EQ(level(cache.Get(path)), 7000);
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_FALSE(cache.Get(path)) << "the file became a folder";
}

// Over its budget the cache lets go of the sample used longest ago, not the one read first.
TEST(SampleCache, OverItsBudgetTheLeastRecentlyUsedGoes)
{
    soundtest::TempDir dir;
    for (const char *name : {"a", "b", "c"})
        soundtest::WriteFile(dir / name, MakeWav({}, {100, 100}, 100)); // 800 bytes decoded
    sound::SampleCache cache({}, 2000);
    for (const char *name : {"a", "b", "a", "c", "a", "c", "b"}) // c brings it over budget: b goes
        cache.Get(dir / name);
    EXPECT_EQ(cache.loads(), 4u) << "only b read again";
}

} // namespace
