// The sample slots as the window uses them, with this test in the role of the audio thread.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <thread>

#include "sound/levels.h"
#include "sound/sound_slots.h"
#include "sound/wav_writer.h"

namespace {

using sound::SlotPlayer;
using sound::SoundSlots;

const double kMinus9dB = std::pow(10.0, -900 / 2000.0);

class SlotsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every file is a constant, distinct value, so that the mix says which one sounds.
        soundtest::WriteFile(klack, soundtest::ConstantWav(4000, 16384, 16384));       // 0.5
        soundtest::WriteFile(snare, soundtest::ConstantWav(4000, 8192, 8192));         // 0.25
        soundtest::WriteFile(hihat, soundtest::ConstantWav(4000, 4096, 4096));         // 0.125
        soundtest::WriteFile(dir / "broken.wav", {'R', 'I', 'F', 'F', 1, 2, 3});
        slots.CreateBuffers(10, klack);
    }

    // One block as the audio thread would play it.
    std::vector<float> Block(int frames = 512)
    {
        std::vector<float> out(2 * static_cast<std::size_t>(frames));
        player.Render(out.data(), frames);
        return out;
    }

    soundtest::TempDir dir;
    const std::string klack = dir / "Klack.wav", snare = dir / "Snare.wav", hihat = dir / "HiHat.wav";
    sound::SampleKeeper keeper;
    sound::SampleCache cache;
    SlotPlayer player{sound::kSlotCount};
    SoundSlots slots{cache, keeper, player};
};

TEST_F(SlotsTest, CreateBuffersFillsElevenSlotsAtVolume80)
{
    ASSERT_EQ(slots.size(), 11);
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(slots.slot(i)->Loaded);
        EXPECT_EQ(slots.slot(i)->Buffer, slots.slot(0)->Buffer) << "one decoded copy shared";
        EXPECT_EQ(slots.slot(i)->attenuation, -1200);
        EXPECT_EQ(slots.slot(i)->pan, 0);
    }
    EXPECT_EQ(slots.slot(11), nullptr);
    EXPECT_EQ(cache.loads(), 1u);
}

TEST_F(SlotsTest, PlayVoice1SoundsAtMinus9DecibelsCentred)
{
    ASSERT_TRUE(slots.PlayVoice1(klack));
    const auto out = Block();
    const float expected = 0.5f * static_cast<float>(kMinus9dB);
    EXPECT_EQ(out[0], expected) << "from the block's first frame";
    EXPECT_EQ(out[1], expected);
    EXPECT_NEAR(20 * std::log10(out[2 * 300] / 0.5), -9.0, 1e-6);
    EXPECT_EQ(slots.slot(0)->attenuation, -900);
}

TEST_F(SlotsTest, ReplayCutsOffOnlyItsOwnSlot)
{
    slots.PlayVoice1(klack);
    slots.PlayVoice2(snare);
    Block();
    slots.PlayVoice1(hihat); // slot 0 changes its sound; slot 1 rings on
    const auto out = Block();
    const float g = static_cast<float>(kMinus9dB);
    const float after = out[2 * (sound::Mixer::kCutFadeFrames + 10)];
    EXPECT_FLOAT_EQ(after, (0.125f + 0.25f) * g) << "the hi-hat and the snare, no klack";
    EXPECT_GT(out[0], after) << "the klack fades out instead of stopping dead";
}

TEST_F(SlotsTest, FailedLoadPlaysThePreviousSampleAgain)
{
    slots.PlayVoice1(snare);
    Block();
    Block();
    const auto snareSample = slots.slot(0)->Buffer;
    for (const std::string &bad : {dir / "missing.wav", dir / "broken.wav", dir.path().string()}) {
        EXPECT_TRUE(slots.PlayVoice1(bad)) << bad;
        EXPECT_EQ(slots.slot(0)->Buffer, snareSample);
        const auto out = Block();
        EXPECT_FLOAT_EQ(out[2 * sound::Mixer::kCutFadeFrames], 0.25f * static_cast<float>(kMinus9dB)) << bad;
    }
    // Right after start a missing voice file sounds as the click from CreateBuffers.
    slots.CreateBuffers(10, klack);
    EXPECT_TRUE(slots.PlayVoice3(dir / "Count-1.wav"));
    Block(); // the stop of CreateBuffers, then the click
    EXPECT_FLOAT_EQ(Block()[0], 0.5f * static_cast<float>(kMinus9dB));
}

TEST_F(SlotsTest, NothingPlaysFromASlotThatNeverLoaded)
{
    slots.CreateBuffers(2, dir / "missing.wav");
    EXPECT_EQ(slots.size(), 3);
    EXPECT_FALSE(slots.slot(0)->Loaded);
    EXPECT_FALSE(slots.PlayVoice1(dir / "missing.wav"));
    EXPECT_TRUE(slots.PlayVoice2(snare));
    EXPECT_FALSE(slots.PlayBuffer(3, snare, 85, 50)) << "slot 3 was not made";
    EXPECT_FALSE(slots.PlayBuffer(-1, snare, 85, 50));
}

struct LevelCase {
    int volume, pan;
    double left, right; // expected gains
};
void PrintTo(const LevelCase &c, std::ostream *os) { *os << "volume " << c.volume << " pan " << c.pan; }

class PlayLevelTest : public SlotsTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(PlayLevelTest, VolumeAndPanSetTheChannelGains)
{
    const LevelCase c = GetParam();
    ASSERT_TRUE(slots.PlayBuffer(4, klack, c.volume, c.pan));
    Block(); // the first block carries the end of the klacks CreateBuffers stopped: none here
    const auto out = Block();
    EXPECT_NEAR(out[2 * 100], 0.5 * c.left, 1e-6);
    EXPECT_NEAR(out[2 * 100 + 1], 0.5 * c.right, 1e-6);
}

const double dB = std::log(10.0) / 20.0;
INSTANTIATE_TEST_SUITE_P(
    Levels, PlayLevelTest,
    ::testing::Values(LevelCase{100, 50, 1.0, 1.0}, LevelCase{85, 50, kMinus9dB, kMinus9dB},
                      LevelCase{80, 50, std::exp(-12 * dB), std::exp(-12 * dB)},
                      LevelCase{0, 50, std::exp(-60 * dB), std::exp(-60 * dB)},
                      LevelCase{100, 0, 1.0, 0.0},  // left only
                      LevelCase{100, 100, 0.0, 1.0}, // right only
                      LevelCase{100, 40, 1.0, std::exp(-10 * dB)}, // -1000: the right side 10 dB down
                      LevelCase{85, 99, std::exp(-58 * dB), kMinus9dB}));

TEST_F(SlotsTest, VolumeAndPanOutsideTheirRangeAreRefused)
{
    EXPECT_TRUE(slots.SetBufferVolume(5, 1));
    EXPECT_EQ(slots.slot(5)->attenuation, -5940);
    EXPECT_TRUE(slots.SetBufferPan(5, 100));
    EXPECT_EQ(slots.slot(5)->pan, 10000);
    EXPECT_FALSE(slots.SetBufferVolume(5, 101)) << "a positive attenuation is refused";
    EXPECT_FALSE(slots.SetBufferVolume(5, -1));
    EXPECT_FALSE(slots.SetBufferPan(5, 101));
    EXPECT_FALSE(slots.SetBufferVolume(11, 50));
    EXPECT_EQ(slots.slot(5)->attenuation, -5940);
    EXPECT_EQ(slots.slot(5)->pan, 10000);
}

TEST_F(SlotsTest, PlayBufferKeepsThePanAtCentreAndTheVolumeAtFull)
{
    // Pan 50 and volume 100 leave the slot as it is: a fresh load is full and centred, and after
    // a failed load the previous settings stay.
    slots.SetBufferPan(6, 20);
    slots.PlayBuffer(6, dir / "missing.wav", 100, 50);
    EXPECT_EQ(slots.slot(6)->pan, -3000);
    EXPECT_EQ(slots.slot(6)->attenuation, -1200);
    slots.PlayBuffer(6, snare, 100, 50);
    EXPECT_EQ(slots.slot(6)->pan, 0);
    EXPECT_EQ(slots.slot(6)->attenuation, 0);
}

TEST_F(SlotsTest, LoadSoundReplacesTheSampleAndEndsItsSound)
{
    slots.PlayVoice1(klack);
    Block();
    EXPECT_TRUE(slots.LoadSound(0, snare));
    EXPECT_FALSE(slots.LoadSound(0, dir / "missing.wav"));
    EXPECT_FALSE(slots.LoadSound(11, snare));
    const auto out = Block();
    EXPECT_EQ(out[2 * sound::Mixer::kCutFadeFrames], 0.0f);
    EXPECT_EQ(slots.slot(0)->Buffer, cache.Get(snare));
}

TEST_F(SlotsTest, SamplesAreFreedOnlyAfterTheAudioThreadLetsGo)
{
    // A play still in the queue keeps its sample although the UI side has dropped it.
    slots.PlayVoice1(klack);
    std::weak_ptr<const sound::Sample> queued = slots.slot(0)->Buffer;
    soundtest::WriteFile(klack, soundtest::ConstantWav(3000, 8192, 8192));
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
    soundtest::WriteFile(hihat, soundtest::ConstantWav(3000, 8192, 8192));
    cache.Get(hihat);
    slots.LoadSound(1, snare);
    slots.Collect();
    EXPECT_FALSE(playing.expired());
    Block();
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
    slots.Collect();
    EXPECT_EQ(keeper.size(), 1u);
}

} // namespace
