// The sample cache: one read per file until the file changes, bounded memory.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "sound/sample_cache.h"
#include "sound/wav_writer.h"

namespace {

namespace fs = std::filesystem;

class CacheTest : public ::testing::Test {
protected:
    soundtest::TempDir dir;
    const std::string path = dir / "Klack.wav";
};

TEST_F(CacheTest, ReadsAFileOnceWhileItIsUnchanged)
{
    soundtest::WriteFile(path, soundtest::ConstantWav(100, 1000, 1000));
    sound::SampleCache cache;
    const auto first = cache.Get(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.Get(path), first);
    EXPECT_EQ(cache.Get(path), first);
    EXPECT_EQ(cache.loads(), 1u);
}

TEST_F(CacheTest, ReadsAgainWhenSizeOrTimeChanges)
{
    soundtest::WriteFile(path, soundtest::ConstantWav(100, 1000, 1000));
    sound::SampleCache cache;
    const auto first = cache.Get(path);

    soundtest::WriteFile(path, soundtest::ConstantWav(200, 2000, 2000)); // other size
    const auto second = cache.Get(path);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->frames(), 200);

    soundtest::WriteFile(path, soundtest::ConstantWav(200, 3000, 3000)); // same size, newer
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    const auto third = cache.Get(path);
    ASSERT_TRUE(third);
    EXPECT_NEAR(third->data[0], 3000 / 32768.0, 1e-6);
    EXPECT_EQ(cache.loads(), 3u);
    EXPECT_EQ(first->frames(), 100) << "a sample handed out earlier stays as it was";
}

TEST_F(CacheTest, FailuresAreRememberedUntilTheFileChanges)
{
    soundtest::WriteFile(path, {'n', 'o', 'p', 'e'});
    sound::SampleCache cache;
    EXPECT_FALSE(cache.Get(path));
    EXPECT_FALSE(cache.lastError().empty());
    EXPECT_FALSE(cache.Get(path));
    EXPECT_EQ(cache.loads(), 1u) << "a broken file is not decoded on every beat";
    soundtest::WriteFile(path, soundtest::ConstantWav(100, 1000, 1000));
    EXPECT_TRUE(cache.Get(path));
    EXPECT_TRUE(cache.lastError().empty());
}

TEST_F(CacheTest, VanishedFileOrFolderGivesNothing)
{
    soundtest::WriteFile(path, soundtest::ConstantWav(100, 1000, 1000));
    sound::SampleCache cache;
    EXPECT_TRUE(cache.Get(path));
    fs::remove(path);
    EXPECT_FALSE(cache.Get(path));
    fs::create_directory(path);
    EXPECT_FALSE(cache.Get(path));
    EXPECT_EQ(cache.size(), 0u);
}

TEST_F(CacheTest, KeepsWithinItsBudgetDroppingTheLeastRecentlyUsed)
{
    const std::size_t sampleBytes = 1000 * 2 * sizeof(float);
    sound::SampleCache cache({}, 2 * sampleBytes);
    for (const char *name : {"a.wav", "b.wav", "c.wav"})
        soundtest::WriteFile(dir / name, soundtest::ConstantWav(1000, 1000, 1000));
    soundtest::WriteFile(dir / "huge.wav", soundtest::ConstantWav(3000, 1000, 1000));

    const auto a = cache.Get(dir / "a.wav");
    cache.Get(dir / "b.wav");
    cache.Get(dir / "a.wav"); // a is newer than b now
    cache.Get(dir / "c.wav");
    EXPECT_EQ(cache.bytes(), 2 * sampleBytes);
    EXPECT_EQ(cache.Get(dir / "a.wav"), a) << "a stayed";
    EXPECT_EQ(cache.loads(), 3u);
    cache.Get(dir / "b.wav");
    EXPECT_EQ(cache.loads(), 4u) << "b was dropped and is read again";

    EXPECT_FALSE(cache.Get(dir / "huge.wav")) << "larger than the whole budget";
    EXPECT_LE(cache.bytes(), 2 * sampleBytes);
}

} // namespace
