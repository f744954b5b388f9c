// The sample slots as the window uses them, with this test in the role of the audio thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "engine/metronome.h"
#include "sound/sound_slots.h"
#include "sound/wav_writer.h"
#include "tempo/tempo_model.h"

namespace {

const float kMinus9dB = static_cast<float>(std::pow(10.0, -900 / 2000.0));
constexpr int kFade = sound::Mixer::kCutFadeFrames;

class SlotsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every file is a constant, distinct value (0.5, 0.25, 0.125), so that the mix says which one sounds.
        for (auto [path, v] : {std::pair{klack, 16384.0}, {snare, 8192.0}, {hihat, 4096.0}})
            soundtest::WriteFile(path, soundtest::MakeWav({}, {v, v}, 4000));
        slots.CreateBuffers(10, klack);
    }
    // One block as the audio thread would play it.
    std::vector<float> Block()
    {
        std::vector<float> out(2 * 512);
        player.Render(out.data(), 512);
        return out;
    }

    soundtest::TempDir dir;
    const std::string klack = dir / "Klack.wav", snare = dir / "Snare.wav", hihat = dir / "HiHat.wav";
    sound::SampleKeeper keeper;
    sound::SampleCache cache;
    sound::SlotPlayer player{sound::kSlotCount};
    sound::SoundSlots slots{cache, keeper, player};
};

TEST_F(SlotsTest, FailedLoadPlaysThePreviousSampleAgain)
{
    soundtest::WriteFile(dir / "broken.wav", {'R', 'I', 'F', 'F', 1, 2, 3}); // the loader's cases say why files fail
    slots.PlayVoice1(snare);
    const auto snareSample = slots.slot(0)->Buffer;
    EXPECT_TRUE(slots.PlayVoice1(dir / "broken.wav"));
    EXPECT_EQ(slots.slot(0)->Buffer, snareSample);
    EXPECT_FLOAT_EQ(Block()[2 * kFade], 0.25f * kMinus9dB);
    // Right after start a missing voice file sounds as the click from CreateBuffers.
    slots.CreateBuffers(10, klack);
    EXPECT_TRUE(slots.PlayVoice3(dir / "Count-1.wav"));
    Block(); // the stop of CreateBuffers, then the click
    EXPECT_FLOAT_EQ(Block()[0], 0.5f * kMinus9dB);
    slots.CreateBuffers(2, dir / "missing.wav");
    EXPECT_FALSE(slots.PlayVoice1(dir / "missing.wav")) << "a slot that never loaded plays nothing";
}

// Volume and pan set the slot's attenuation and pan and the channel gains (below -100 dB: silent).
TEST_F(SlotsTest, VolumeAndPanSetTheSlotAndTheChannelGains)
{
    const struct {
        int volume, pan, attenuation, panHundredths;
        double leftDb, rightDb;
    } cases[] = {{0, 50, -6000, 0, -60, -60},
                 {85, 50, -900, 0, -9, -9},
                 {100, 0, 0, -10000, 0, -999},
                 {100, 100, 0, 10000, -999, 0},
                 {85, 99, -900, 4900, -58, -9}};
    auto gain = [](double dB) { return dB < -100 ? 0.0 : 0.5 * std::pow(10.0, dB / 20); };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        ASSERT_TRUE(slots.PlayBuffer(4, klack, c.volume, c.pan));
        EXPECT_EQ(std::pair(slots.slot(4)->attenuation, slots.slot(4)->pan), std::pair(c.attenuation, c.panHundredths));
        const auto out = Block(); // the cut of the last case's klack is over by frame 100
        EXPECT_NEAR(out[2 * 100], gain(c.leftDb), 1e-6);
        EXPECT_NEAR(out[2 * 100 + 1], gain(c.rightDb), 1e-6);
    }
}

TEST_F(SlotsTest, Pan50AndVolume100KeepTheSlotsSettingsAndOutOfRangeIsRefused)
{
    ASSERT_TRUE(slots.SetBufferPan(6, 20));
    slots.PlayBuffer(6, dir / "missing.wav", 100, 50); // a failed load keeps the previous settings
    EXPECT_FALSE(slots.SetBufferVolume(6, 101) || slots.SetBufferVolume(6, -1) || slots.SetBufferPan(6, 101) ||
                 slots.SetBufferVolume(11, 50) || slots.PlayBuffer(11, snare, 85, 50)); // slot 11 was not made
    EXPECT_EQ(std::pair(slots.slot(6)->attenuation, slots.slot(6)->pan), std::pair(-1200, -3000));
}

TEST_F(SlotsTest, SamplesAreFreedOnlyAfterTheAudioThreadLetsGo)
{
    // A play still in the queue keeps its sample although the UI side has dropped it.
    slots.PlayVoice1(klack);
    std::weak_ptr<const sound::Sample> queued = slots.slot(0)->Buffer;
    soundtest::WriteFile(klack, soundtest::MakeWav({}, {8192, 8192}, 3000));
    cache.Get(klack);               // the cache lets go of the old klack
    slots.CreateBuffers(10, snare); // and so do the slots
    slots.Collect();
    EXPECT_FALSE(queued.expired());
    Block(); // starts the play and cuts it at once: the fade ends within the block
    slots.Collect();
    EXPECT_TRUE(queued.expired());

    // A sounding voice keeps its sample until it has faded out.
    slots.PlayVoice2(hihat);
    Block();
    std::weak_ptr<const sound::Sample> playing = slots.slot(1)->Buffer;
    soundtest::WriteFile(hihat, soundtest::MakeWav({}, {8192, 8192}, 3000));
    cache.Get(hihat);
    EXPECT_TRUE(slots.LoadSound(1, snare));
    slots.Collect();
    EXPECT_FALSE(playing.expired());
    EXPECT_EQ(Block()[2 * kFade], 0.0f) << "LoadSound ends the old sound";
    slots.Collect();
    EXPECT_TRUE(playing.expired());
    EXPECT_EQ(keeper.size(), 0u);
}

TEST_F(SlotsTest, PlaysWhileNoStreamRunsAreDroppedNotBurstOut)
{
    for (int i = 0; i < 1000; ++i)
        slots.PlayVoice1(klack);
    EXPECT_FALSE(slots.PlayVoice1(klack)) << "the queue is full";
    player.Restart(); // a stream starts
    EXPECT_EQ(Block()[0], 0.0f);
    EXPECT_TRUE(slots.PlayVoice1(klack));
}

// The UI thread plays and reloads slots, rewrites their files and publishes settings with fresh
// samples while the audio thread renders the metronome through the same player: under
// ThreadSanitizer a data race fails, under AddressSanitizer a sample freed while still read.
TEST_F(SlotsTest, PlayingAndPublishingWhileTheAudioThreadRenders)
{
    engine::Metronome metronome(player);
    engine::SettingsPublisher publisher(metronome, keeper);
    auto publish = [&] {
        auto sample = std::make_shared<sound::Sample>();
        sample->data.assign(2 * 300, 0.1f); // long enough to overlap the next beats at this tempo
        engine::Settings s;
        s.rules.accentOn = true;
        s.pattern = engine::BeatPattern::Initial();
        s.phaseRate = tempo::PhaseRateForBpm(999, 30.5);
        s.samples.click = s.samples.accent1 = s.samples.accent2 = sample.get(); // counting off
        s.slotSamples = {sample.get(), sample.get(), sample.get()};
        return publisher.Publish(s, {sample});
    };
    publish();
    metronome.Start();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (std::vector<float> out(2 * 512); !done.load(std::memory_order_acquire);) // pairs with the release below
            metronome.Render(out.data(), 512);
    });
    const std::string names[] = {klack, snare, hihat};
    for (int round = 0; round < 2000; ++round, std::this_thread::yield()) {
        const std::string &name = names[round % 3];
        if (round % 7 == 0)
            soundtest::WriteFile(name, soundtest::MakeWav({}, {double(round), 0}, 200 + round % 50));
        slots.PlayVoice1(name);
        if (round % 97 == 0)
            slots.CreateBuffers(10, klack);
        publish();
        metronome.Clock();
        for (engine::BeatEvent e; metronome.PopBeat(e);) {}
    }
    cache.Clear(); // the UI side lets go of everything
    slots.CreateBuffers(-1, "");
    for (int i = 0; i < 2; ++i) // the second block taken has applied the slots' last commands too
        for (const std::uint64_t last = publish(); metronome.Taken() < last;)
            std::this_thread::yield();
    done.store(true, std::memory_order_release);
    audio.join();
    publisher.Collect();
    slots.Collect();
    EXPECT_EQ(publisher.pending(), 1u) << "only the settings in use are kept";
    EXPECT_LE(keeper.size(), 4u) << "of thousands of samples only those the metronome still holds remain";
}

} // namespace
