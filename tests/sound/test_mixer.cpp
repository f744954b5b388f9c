// The mixer, driven block by block without any device.
#include <gtest/gtest.h>

#include <cmath>

#include "sound/mixer.h"

namespace {

using sound::Mixer;

// A sample whose frames hold `left` and `right`, or a ramp 1, 2, 3... / 1000 (negated on the right).
std::unique_ptr<sound::Sample> MakeSample(int frames, float left = 0.0f, float right = 0.0f)
{
    auto s = std::make_unique<sound::Sample>();
    for (int i = 0; i < frames; ++i) {
        s->data.push_back(left != 0.0f ? left : static_cast<float>(i + 1) / 1000.0f);
        s->data.push_back(right != 0.0f ? right : -static_cast<float>(i + 1) / 1000.0f);
    }
    return s;
}

std::vector<float> Render(Mixer &m, int blocks = 1)
{
    std::vector<float> out(2 * 512 * static_cast<std::size_t>(blocks), 99.0f);
    for (int b = 0; b < blocks; ++b)
        m.Render(out.data() + 2 * 512 * b, 512);
    return out;
}

// A voice starts at its frame offset with its gains: 400 crosses from the first block into the
// second, 700 starts in the second.
TEST(Mixer, VoiceStartsAtItsFrameOffsetWithItsGains)
{
    for (int offset : {0, 1, 400, 700}) {
        const auto sample = MakeSample(300);
        Mixer m(3);
        ASSERT_TRUE(m.StartVoice(1, sample.get(), 0.5f, 0.25f, offset));
        const auto out = Render(m, 3);
        for (int i = 0; i < 3 * 512; ++i) {
            const bool sounding = i >= offset && i < offset + 300;
            ASSERT_EQ(out[2 * i], sounding ? sample->data[2 * (i - offset)] * 0.5f : 0.0f) << offset << " frame " << i;
            ASSERT_EQ(out[2 * i + 1], sounding ? sample->data[2 * (i - offset) + 1] * 0.25f : 0.0f)
                << offset << " frame " << i;
        }
        EXPECT_EQ(sample->mixerRefs.load(), 0) << "the voice ended with its sample";
    }
}

// A gain that is not a number or negative plays nothing; one above 8 plays at 8.
TEST(Mixer, GainsOutsideZeroToEightAreHeldThere)
{
    const float cases[][2] = {{NAN, 0.0f}, {-1.0f, 0.0f}, {0.5f, 0.005f}, {8.0f, 0.08f}, {100.0f, 0.08f}};
    for (auto [gain, heard] : cases) {
        const auto sample = MakeSample(10, 0.01f, 0.01f);
        Mixer m(1);
        m.StartVoice(0, sample.get(), gain, 1.0f, 0);
        const auto out = Render(m);
        EXPECT_FLOAT_EQ(out[0], heard) << "gain " << gain;
        EXPECT_FLOAT_EQ(out[1], 0.01f) << "gain " << gain << ": the other channel as asked";
    }
}

TEST(Mixer, ReplayCutsThePreviousSoundWithAShortFade)
{
    const auto first = MakeSample(5000, 0.5f, 0.5f), second = MakeSample(5000, 0.25f, 0.25f);
    Mixer m(2);
    m.StartVoice(0, first.get(), 1, 1, 0);
    m.StartVoice(0, second.get(), 1, 1, 100);
    const auto out = Render(m);
    // Before the cut the old sound; then the new one plus the old one fading to nothing step by step.
    for (int i = 1; i < 512; ++i) {
        const float now = out[2 * i], before = out[2 * (i - 1)];
        const bool fading = i >= 100 && i < 100 + Mixer::kCutFadeFrames;
        ASSERT_TRUE(fading || now == (i < 100 ? 0.5f : 0.25f)) << i;
        ASSERT_TRUE(!fading || (now >= 0.25f && (i == 100 || now < before) &&
                                std::fabs(now - before) <= 0.25f + 0.5f / Mixer::kCutFadeFrames + 1e-6f))
            << i;
    }
    EXPECT_EQ(first->mixerRefs.load(), 0) << "the cut voice let go of its sample";
    EXPECT_EQ(second->mixerRefs.load(), 1);
}

TEST(Limiter, TransparentUpToTheKneeAndThreeFullScaleVoicesAtMinusNineDecibelsDoNotClip)
{
    float previous = 0;
    for (float x = 0.0f; x < 10.0f; x += 0.001f) {
        const float y = Mixer::Limit(x);
        ASSERT_TRUE(x > Mixer::kLimiterKnee || y == x) << x;
        ASSERT_TRUE(y >= previous && y - previous <= 0.001f + 1e-6f && y <= 1.0f && Mixer::Limit(-x) == -y) << x;
        previous = y;
    }
    const float g = static_cast<float>(std::pow(10.0, -0.45));
    const auto loud = MakeSample(1000, 1.0f, -1.0f);
    Mixer m(3);
    for (int slot = 0; slot < 3; ++slot)
        m.StartVoice(slot, loud.get(), g, g, 0);
    ASSERT_GT(3 * g, 1.0f) << "the plain sum would clip";
    for (float v : Render(m))
        ASSERT_TRUE(std::fabs(v) < 1.0f && std::fabs(v) > 0.9f) << v;
}

} // namespace
