// The sample slots and the metronome on one player, as the window drives them: the UI thread loads
// the slots and publishes the beat's settings, the audio thread (or this test in its role) renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "engine/render_test.h"
#include "sound/sound_slots.h"
#include "sound/wav_writer.h"
#include "tempo/tempo_model.h"

namespace {

using enginetest::Constant;

class SlotsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        soundtest::WriteFile(klack, soundtest::MakeWav({}, {16384, 16384}, 4000));
        slots.CreateBuffers(10, klack);
    }
    // Settings whose beats all sound `sample` and whose slots hold what the slots hold now.
    std::uint64_t Publish(std::shared_ptr<const sound::Sample> sample, int bpm)
    {
        engine::Settings s;
        s.phaseRate = tempo::PhaseRateForBpm(bpm, 30.5);
        s.samples.click = s.samples.accent1 = s.samples.accent2 = sample.get(); // counting off
        std::vector<std::shared_ptr<const sound::Sample>> held{std::move(sample)};
        for (int i = 0; i < 3; ++i)
            s.slotSamples[i] = held.emplace_back(slots.slot(i)->Buffer).get();
        return publisher.Publish(s, std::move(held));
    }
    void Collect() { publisher.Collect(), slots.Collect(); } // frees what the audio thread no longer plays
    void Render(int blocks)
    {
        for (std::vector<float> out(2 * 512); blocks-- > 0;)
            metronome.Render(out.data(), 512);
    }

    soundtest::TempDir dir;
    const std::string klack = dir / "Klack.wav";
    sound::SampleKeeper keeper; // outlives every voice that may play its samples
    sound::SampleCache cache;
    sound::SlotPlayer player{sound::kSlotCount};
    sound::SoundSlots slots{cache, keeper, player};
    engine::Metronome metronome{player};
    engine::SettingsPublisher publisher{metronome, keeper};
};

// A play sounds from the first frame. The play calls: -9 dB; a file that cannot be loaded plays the
// slot's previous sample again, and a replay cuts only its own slot. A pan other than the centre
// attenuates the other channel by its hundredths of a decibel: 0 and 100 silence it, 25 takes 25 dB
// from the right; beyond 100 the slot's pan stays.
TEST_F(SlotsTest, PlayVoiceAtMinus9DecibelsAFailedLoadReplaysThePreviousSampleAndAPanAttenuates)
{
    constexpr int heard = sound::Mixer::kLookAheadFrames; // the limiter's look-ahead
    std::vector<float> out(2 * 512);
    const float minus9dB = static_cast<float>(std::pow(10.0, -900 / 2000.0));
    const std::string snare = dir / "Snare.wav";
    soundtest::WriteFile(snare, soundtest::MakeWav({}, {8192, 8192}, 4000));
    ASSERT_TRUE(slots.PlayVoice1(klack));
    player.Render(out.data(), 512);
    EXPECT_FLOAT_EQ(out[2 * heard], 0.5f * minus9dB);
    slots.PlayVoice2(snare);
    player.Render(out.data(), 512);
    EXPECT_TRUE(slots.PlayVoice1(dir / "missing.wav"));
    player.Render(out.data(), 512);
    EXPECT_FLOAT_EQ(out[2 * (heard + sound::Mixer::kCutFadeFrames + 10)], (0.5f + 0.25f) * minus9dB)
        << "klack again, snare on";
    const float cases[][3] = {{50, 0.5f, 0.5f},       {0, 0.5f, 0.0f},        {100, 0.0f, 0.5f},
                              {25, 0.5f, 0.0281171f}, {75, 0.0281171f, 0.5f}, {101, 0.5f, 0.5f}};
    for (auto [pan, left, right] : cases) {
        slots.CreateBuffers(10, klack); // the last sound stops, faded out within the first block
        player.Render(out.data(), 512);
        ASSERT_TRUE(slots.PlayBuffer(0, klack, 100, int(pan), 0));
        player.Render(out.data(), 512);
        EXPECT_NEAR(out[2 * heard], left, 1e-6) << "pan " << pan;
        EXPECT_NEAR(out[2 * heard + 1], right, 1e-6) << "pan " << pan;
    }
}

// Settings replaced while their click still sounds: the old click is freed only once its voice has
// ended and the metronome plays another. Then the UI thread reloads the slots from a changing file
// and publishes settings with fresh samples while the audio thread renders: under ThreadSanitizer a
// data race fails, under AddressSanitizer a sample freed while still read; at the end only the
// samples in use remain.
TEST_F(SlotsTest, AReplacedSampleIsFreedOnlyAfterItsVoiceHasEndedAlsoWhileTheAudioThreadRenders)
{
    auto first = Constant(20000, 0.1f);
    const std::weak_ptr<const sound::Sample> old = first;
    Publish(std::move(first), 120);
    metronome.Start();
    Render(44); // the first beat at frame 22050
    Publish(Constant(100, 0.1f), 120);
    Render(1); // the new settings taken
    Collect();
    EXPECT_FALSE(old.expired()) << "freed while its voice sounds";
    Render(180); // its end, and beat 5 with the new click
    Collect();
    EXPECT_TRUE(old.expired());

    Publish(Constant(300, 0.1f), 999);
    std::atomic<bool> done{false};
    metronome.Handover(); // the blocks from here on are rendered on a thread of their own
    std::thread audio([&] {
        for (std::vector<float> out(2 * 512); !done.load(std::memory_order_acquire);) // pairs with the release below
            metronome.Render(out.data(), 512);
    });
    for (int round = 0; round < 2000; ++round, std::this_thread::yield()) {
        if (round % 7 == 0) // another size: read again at the next load
            soundtest::WriteFile(klack, soundtest::MakeWav({}, {double(round), 0}, 200 + round % 50));
        if (round % 5 == 0)
            slots.CreateBuffers(10, klack);
        Publish(Constant(300, 0.1f), 999); // long enough to overlap the next beats at this tempo
        metronome.Clock();
        for (engine::BeatEvent e; metronome.PopBeat(e);) {}
    }
    for (int i = 0; i < 2; ++i) // the second block taken has applied the slots' last commands too
        for (const std::uint64_t last = Publish(Constant(300, 0.1f), 999); metronome.Taken() < last;)
            std::this_thread::yield();
    done.store(true, std::memory_order_release);
    audio.join();
    Collect();
    // In use: the settings' and the slots' samples, and those of the mixer's last blocks, which it
    // keeps for STOP (Mixer::kBlocksKept).
    EXPECT_LE(keeper.size(), 12u) << "of thousands of samples only those in use remain";
}

} // namespace
