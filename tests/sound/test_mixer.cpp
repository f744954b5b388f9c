// The mixer, driven block by block without any device. (Voices on their frames: the engine's tests.)
#include <gtest/gtest.h>

#include <cmath>

#include "engine/render_test.h"
#include "sound/mixer.h"

namespace {

using sound::Mixer;

std::vector<float> Render(Mixer &m, int blocks = 1)
{
    std::vector<float> out(2 * 512 * static_cast<std::size_t>(blocks), 99.0f);
    for (int b = 0; b < blocks; ++b)
        m.Render(out.data() + 2 * 512 * b, 512);
    return out;
}

using enginetest::kHeard; // every frame leaves the limiter this much later

// A gain that is not a number or negative plays nothing; one above 8 plays at 8.
TEST(Mixer, GainsOutsideZeroToEightAreHeldThere)
{
    const auto sample = enginetest::Constant(10, 0.01f);
    for (auto [gain, heard] : {std::pair{NAN, 0.0f}, {-1.0f, 0.0f}, {0.5f, 0.005f}, {8.0f, 0.08f}, {100.0f, 0.08f}}) {
        Mixer m(1);
        m.StartVoice(0, sample.get(), gain, 1.0f, 0);
        EXPECT_FLOAT_EQ(Render(m)[2 * kHeard], heard) << "gain " << gain;
    }
}

TEST(Mixer, ReplayCutsThePreviousSoundWithAShortFade)
{
    const auto first = enginetest::Constant(5000, 0.5f), second = enginetest::Constant(5000, 0.25f);
    Mixer m(2);
    m.StartVoice(0, first.get(), 1, 1, 0);
    m.StartVoice(0, second.get(), 1, 1, 100);
    const auto out = Render(m);
    // Before the cut the old sound; then the new one plus the old one fading to nothing step by step.
    for (int i = 1; i < 512 - kHeard; ++i) {
        const float now = out[2 * (i + kHeard)], before = out[2 * (i + kHeard - 1)];
        const bool fading = i >= 100 && i < 100 + Mixer::kCutFadeFrames;
        ASSERT_TRUE(fading || now == (i < 100 ? 0.5f : 0.25f)) << i;
        ASSERT_TRUE(!fading || (now >= 0.25f && (i == 100 || now < before) &&
                                std::fabs(now - before) <= 0.25f + 0.5f / Mixer::kCutFadeFrames + 1e-6f))
            << i;
    }
}

// A sound peaking at -1 dBFS (as every shipped sound does) leaves untouched, bit for bit, at any
// gain that keeps it there; loud voices summed far above full scale (four at +9 dB) never leave
// above -0.3 dBFS, the gain glides down instead of jumping, and once they have ended a single sound
// is untouched again.
TEST(Limiter, ASingleSoundLeavesBitForBitAndNoSumExceedsMinus03Dbfs)
{
    auto sound = std::make_unique<sound::Sample>(); // a decaying noise, peak 0.891 (-1 dBFS)
    std::uint32_t seed = 1;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float v = 0.891f * std::exp(-i / 600.0f) * (float(seed >> 8) / float(1 << 24) * 2 - 1);
        sound->data.insert(sound->data.end(), {v, -v});
    }
    sound::Sample loud; // -1 dBFS, opposite on the two channels
    for (int i = 0; i < 20000; ++i)
        loud.data.insert(loud.data.end(), {0.891f, -0.891f});
    const float plus9dB = static_cast<float>(std::pow(10.0, 0.45)), minus9dB = 1 / plus9dB;
    Mixer m(4);
    auto expectUntouched = [&](float gain, float master) {
        m.SetMasterGain(master);
        Render(m); // the glide to the new master gain
        m.StartVoice(0, sound.get(), gain, gain, 0);
        const auto out = Render(m, 7);
        for (int i = 0; i < 3000; ++i)
            ASSERT_EQ(out[2 * (i + kHeard)], sound->data[2 * i] * gain * master)
                << gain << " x " << master << " at " << i;
    };
    expectUntouched(1.0f, 1.0f);
    expectUntouched(minus9dB, plus9dB);
    expectUntouched(minus9dB, 0.1f);

    m.SetMasterGain(plus9dB);
    Render(m);
    for (int slot = 0; slot < 4; ++slot)
        m.StartVoice(slot, &loud, 1.0f, 1.0f, 100 * slot);
    const float ceiling = static_cast<float>(std::pow(10.0, -0.3 / 20));
    const auto out = Render(m, 39);
    float last = out[2 * kHeard] / (0.891f * plus9dB);
    for (int i = kHeard; i < 39 * 512; ++i) {
        ASSERT_LE(std::fabs(out[2 * i]), ceiling) << i;
        ASSERT_LE(std::fabs(out[2 * i + 1]), ceiling) << i;
        const int voices = std::min((i - kHeard) / 100 + 1, 4);
        const float gain = out[2 * i] / (0.891f * plus9dB * float(voices)); // what the limiter left of the sum
        ASSERT_LE(std::fabs(gain - last), 1.0f / kHeard) << "the gain jumped at " << i;
        last = gain;
    }
    Render(m, 100); // 1.2 s: the gain has come back
    expectUntouched(minus9dB, plus9dB);
}

} // namespace
