// The mixer, driven block by block without any device.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sound/mixer.h"

namespace {

using sound::Mixer;
using sound::Sample;

// A sample whose frames hold `left` and `right`, or a ramp 1, 2, 3... / 1000 when `left` is 0.
std::unique_ptr<Sample> MakeSample(int frames, float left = 0.0f, float right = 0.0f)
{
    auto s = std::make_unique<Sample>();
    for (int i = 0; i < frames; ++i) {
        s->data.push_back(left != 0.0f ? left : static_cast<float>(i + 1) / 1000.0f);
        s->data.push_back(right != 0.0f ? right : -static_cast<float>(i + 1) / 1000.0f);
    }
    return s;
}

std::vector<float> RenderBlock(Mixer &m, int frames)
{
    std::vector<float> out(2 * static_cast<std::size_t>(frames), 99.0f);
    m.Render(out.data(), frames);
    return out;
}

// The first sounding frame of a rendered stretch.
int Onset(const std::vector<float> &out)
{
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] != 0.0f)
            return static_cast<int>(i / 2);
    return -1;
}

class OnsetTest : public ::testing::TestWithParam<int> {};

TEST_P(OnsetTest, VoiceStartsAtItsFrameOffset)
{
    const int offset = GetParam();
    const auto sample = MakeSample(300);
    Mixer m(3);
    ASSERT_TRUE(m.StartVoice(1, sample.get(), 0.5f, 0.25f, offset));
    std::vector<float> out;
    for (int block = 0; block < 3; ++block) {
        const auto b = RenderBlock(m, 512);
        out.insert(out.end(), b.begin(), b.end());
    }
    ASSERT_EQ(Onset(out), offset);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(out[2 * (offset + i)], sample->data[2 * i] * 0.5f) << "frame " << i;
        ASSERT_EQ(out[2 * (offset + i) + 1], sample->data[2 * i + 1] * 0.25f) << "frame " << i;
    }
    EXPECT_EQ(out[2 * (offset + 300)], 0.0f) << "the voice ends with its sample";
    EXPECT_FALSE(m.IsPlaying(1));
    EXPECT_EQ(sample->mixerRefs.load(), 0);
    EXPECT_EQ(m.framesRendered(), 3u * 512u);
}

INSTANTIATE_TEST_SUITE_P(Offsets, OnsetTest, ::testing::Values(0, 1, 255, 511, 512, 700));

TEST(Mixer, ReplayCutsThePreviousSoundWithAShortFade)
{
    const auto first = MakeSample(5000, 0.5f, 0.5f);
    const auto second = MakeSample(5000, 0.25f, 0.25f);
    Mixer m(2);
    m.StartVoice(0, first.get(), 1, 1, 0);
    const int cut = 100;
    m.StartVoice(0, second.get(), 1, 1, cut);
    const auto out = RenderBlock(m, 512);

    for (int i = 0; i < cut; ++i)
        ASSERT_EQ(out[2 * i], 0.5f);
    // From the cut on: the new sound plus the old one fading to nothing within the fade, without
    // a step larger than one fade step.
    float previous = out[2 * (cut - 1)];
    for (int i = cut; i < cut + Mixer::kCutFadeFrames; ++i) {
        const float old = out[2 * i] - 0.25f;
        EXPECT_GE(old, 0.0f);
        EXPECT_LE(old, 0.5f);
        EXPECT_LE(std::fabs(out[2 * i] - previous), 0.25f + 0.5f / Mixer::kCutFadeFrames + 1e-6f) << i;
        if (i > cut) {
            EXPECT_LT(out[2 * i], previous) << "fading at " << i;
        }
        previous = out[2 * i];
    }
    for (int i = cut + Mixer::kCutFadeFrames; i < 512; ++i)
        ASSERT_EQ(out[2 * i], 0.25f) << "only the new sound at " << i;
    EXPECT_EQ(first->mixerRefs.load(), 0) << "the cut voice let go of its sample";
    EXPECT_EQ(second->mixerRefs.load(), 1);
}

TEST(Mixer, StopFadesOutAndStopAllFadesEverySlot)
{
    const auto a = MakeSample(4000, 0.25f, 0.25f);
    Mixer m(3);
    m.StartVoice(0, a.get(), 1, 1, 0);
    m.StartVoice(2, a.get(), 1, 1, 0);
    m.StopVoice(2, 100);
    auto out = RenderBlock(m, 512);
    EXPECT_EQ(out[2 * 99], 0.5f);
    EXPECT_EQ(out[2 * (100 + Mixer::kCutFadeFrames)], 0.25f);
    EXPECT_FALSE(m.IsPlaying(2));
    m.StopAll(0);
    out = RenderBlock(m, 512);
    EXPECT_GT(out[0], 0.0f);
    EXPECT_EQ(out[2 * Mixer::kCutFadeFrames], 0.0f);
    EXPECT_EQ(a->mixerRefs.load(), 0);
}

TEST(Mixer, SamplesAreCountedWhileHeld)
{
    const auto a = MakeSample(1000);
    Mixer m(2);
    EXPECT_FALSE(m.StartVoice(2, a.get(), 1, 1, 0)) << "no such slot";
    EXPECT_FALSE(m.StartVoice(-1, a.get(), 1, 1, 0));
    EXPECT_FALSE(m.StartVoice(0, nullptr, 1, 1, 0));
    EXPECT_EQ(a->mixerRefs.load(), 0);
    m.StartVoice(0, a.get(), 1, 1, 2000); // waiting for a later block
    m.StartVoice(1, a.get(), 1, 1, 0);
    EXPECT_EQ(a->mixerRefs.load(), 2);
    RenderBlock(m, 64);
    EXPECT_EQ(a->mixerRefs.load(), 2);
    m.Clear();
    EXPECT_EQ(a->mixerRefs.load(), 0);
    EXPECT_EQ(Onset(RenderBlock(m, 4096)), -1) << "Clear forgets scheduled starts";

    int accepted = 0;
    while (m.StartVoice(0, a.get(), 1, 1, 10))
        ++accepted;
    EXPECT_EQ(accepted, Mixer::kMaxScheduled);
    EXPECT_EQ(a->mixerRefs.load(), Mixer::kMaxScheduled);
    {
        Mixer other(1);
        other.StartVoice(0, a.get(), 1, 1, 0);
    }
    EXPECT_EQ(a->mixerRefs.load(), Mixer::kMaxScheduled) << "a destroyed mixer lets go too";
    RenderBlock(m, 512);
    EXPECT_EQ(a->mixerRefs.load(), 1) << "63 starts cut before they sounded, one playing";
}

TEST(Limiter, TransparentUpToTheKneeThenBelowFullScale)
{
    for (float x = 0.0f; x <= Mixer::kLimiterKnee; x += 0.001f) {
        ASSERT_EQ(Mixer::Limit(x), x);
        ASSERT_EQ(Mixer::Limit(-x), -x);
    }
    float previous = Mixer::Limit(Mixer::kLimiterKnee);
    for (float x = Mixer::kLimiterKnee + 0.001f; x < 10.0f; x += 0.001f) {
        const float y = Mixer::Limit(x);
        ASSERT_GE(y, previous) << "rises with its input at " << x;
        ASSERT_LE(y, 1.0f) << x;
        ASSERT_LE(y - previous, 0.001f + 1e-6f) << "no steeper than the input at " << x;
        ASSERT_EQ(Mixer::Limit(-x), -y);
        previous = y;
    }
}

TEST(Limiter, ThreeFullScaleVoicesAtMinusNineDecibelsDoNotClip)
{
    const float g = static_cast<float>(std::pow(10.0, -0.45));
    const auto loud = MakeSample(1000, 1.0f, -1.0f);
    Mixer m(3);
    for (int slot = 0; slot < 3; ++slot)
        m.StartVoice(slot, loud.get(), g, g, 0);
    const auto out = RenderBlock(m, 512);
    ASSERT_GT(3 * g, 1.0f) << "the plain sum would clip";
    for (float v : out) {
        ASSERT_LT(std::fabs(v), 1.0f);
        ASSERT_GT(std::fabs(v), 0.9f);
    }
}

TEST(Mixer, BadGainsAreSilencedNotSpread)
{
    const auto a = MakeSample(10, 0.5f, 0.5f);
    Mixer m(1);
    m.StartVoice(0, a.get(), NAN, -1.0f, 0);
    const auto out = RenderBlock(m, 16);
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
}

} // namespace
