// The UI thread and the audio thread at the same time. Run under ThreadSanitizer too
// (METRONOM_TSAN): any data race between the two fails the test there.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "sound/sound_slots.h"
#include "sound/wav_writer.h"

namespace {

// The UI side plays, replaces files on disk, reloads and re-creates the slots while another thread
// renders block after block.
TEST(Threads, PlayingWhileTheUiReloadsSamples)
{
    soundtest::TempDir dir;
    const std::string names[] = {dir / "a.wav", dir / "b.wav", dir / "c.wav"};
    for (const std::string &name : names)
        soundtest::WriteFile(name, soundtest::ConstantWav(300, 1000, 1000));
    sound::SampleKeeper keeper;
    sound::SampleCache cache;
    sound::SlotPlayer player(sound::kSlotCount);
    sound::SoundSlots slots(cache, keeper, player);
    slots.CreateBuffers(10, names[0]);

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
    for (int round = 0; round < 3000; ++round) {
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
    // Once the UI side lets go of everything and the last commands are played out (two more
    // blocks on the audio thread), every sample the audio thread had is freed.
    cache.Clear();
    slots.CreateBuffers(-1, "");
    const int played = blocks.load();
    while (blocks.load() < played + 2)
        std::this_thread::yield();
    stop = true;
    audio.join();
    slots.Collect();
    EXPECT_EQ(keeper.size(), 0u);
}

} // namespace
