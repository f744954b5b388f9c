// The UI thread and the audio thread at the same time. Run under ThreadSanitizer too
// (METRONOM_TSAN): any data race between the two fails the test there.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sound/dx7_sound.h"
#include "sound/spsc_queue.h"
#include "sound/wav_writer.h"

namespace {

using namespace std::chrono_literals;

TEST(SpscQueue, CarriesEveryItemInOrderAcrossThreads)
{
    sound::SpscQueue<std::uint64_t, 64> queue;
    constexpr std::uint64_t kItems = 200000;
    std::thread producer([&] {
        for (std::uint64_t i = 1; i <= kItems; ++i)
            while (!queue.Push(i))
                std::this_thread::yield();
    });
    std::uint64_t expected = 1, item = 0;
    while (expected <= kItems) {
        if (queue.Pop(item))
            ASSERT_EQ(item, expected++);
        else
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(queue.Empty());
}

// The UI side plays, replaces files on disk, reloads and re-creates the slots while another
// thread renders block after block.
void PlayAndReload(sound::SoundSlots &slots, soundtest::TempDir &dir, const std::atomic<bool> &stop,
                   std::chrono::milliseconds duration, int maxRounds)
{
    const std::string names[] = {dir / "a.wav", dir / "b.wav", dir / "c.wav"};
    const auto end = std::chrono::steady_clock::now() + duration;
    for (int round = 0; round < maxRounds && !stop && std::chrono::steady_clock::now() < end; ++round) {
        const std::string &name = names[round % 3];
        if (round % 7 == 0)
            soundtest::WriteFile(name, soundtest::ConstantWav(200 + round % 50, static_cast<std::int16_t>(round), 0));
        slots.PlayVoice1(name);
        slots.PlayVoice2(names[(round + 1) % 3]);
        slots.PlayVoice3(names[(round + 2) % 3]);
        if (round % 97 == 0)
            slots.CreateBuffers(10, names[0]);
        if (round % 13 == 0)
            slots.LoadSound(3, name);
        std::this_thread::yield();
    }
}

TEST(Threads, PlayingWhileTheUiReloadsSamples)
{
    soundtest::TempDir dir;
    for (const char *n : {"a.wav", "b.wav", "c.wav"})
        soundtest::WriteFile(dir / n, soundtest::ConstantWav(300, 1000, 1000));
    sound::SampleKeeper keeper;
    sound::SampleCache cache;
    sound::SlotPlayer player(sound::kSlotCount);
    sound::SoundSlots slots(cache, keeper, player);
    slots.CreateBuffers(10, dir / "a.wav");

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> block(2 * 512);
        // Relaxed: a plain stop flag; the join below orders everything else.
        while (!stop.load(std::memory_order_relaxed)) {
            player.Render(block.data(), 512);
            blocks.fetch_add(1, std::memory_order_relaxed);
            for (float v : block)
                ASSERT_LE(std::fabs(v), 1.0f);
        }
    });
    PlayAndReload(slots, dir, stop, 3s, 3000);
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 0);

    // Once the UI side lets go of everything and the last commands are played out, every sample
    // the audio thread had is freed.
    cache.Clear();
    slots.CreateBuffers(-1, "");
    std::vector<float> block(2 * 512);
    player.Render(block.data(), 512);
    slots.Collect();
    EXPECT_EQ(keeper.size(), 0u);
}

TEST(Threads, PlayingThroughTheDeviceWhileTheUiReloadsAndSwapsSources)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    soundtest::TempDir dir;
    for (const char *n : {"a.wav", "b.wav", "c.wav"})
        soundtest::WriteFile(dir / n, soundtest::ConstantWav(3000, 1000, 1000));
    sound::DX7Sound output;
    ASSERT_TRUE(output.OpenDevice());
    output.soundSlots().CreateBuffers(10, dir / "a.wav");

    struct Silence : sound::AudioSource {
        void Render(float *out, int frames) override { std::fill(out, out + 2 * frames, 0.0f); }
    } silence;
    std::atomic<bool> stop{false};
    for (int i = 0; i < 5; ++i) {
        PlayAndReload(output.soundSlots(), dir, stop, 100ms, 1000);
        output.device().SetSource(&silence);
        output.PollDevice();
        output.device().SetSource(&output.player());
    }
    EXPECT_GT(output.device().blocks(), 5u);
}

} // namespace
