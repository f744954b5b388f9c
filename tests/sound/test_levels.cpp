#include <gtest/gtest.h>

#include <cmath>

#include "sound/levels.h"

namespace {

struct LevelCase {
    int in;
    int expected;
};
void PrintTo(const LevelCase &c, std::ostream *os) { *os << c.in; }

class VolumeTest : public ::testing::TestWithParam<LevelCase> {};
TEST_P(VolumeTest, PercentToHundredthsOfDecibel)
{
    EXPECT_EQ(sound::VolumeToAttenuation(GetParam().in), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Volumes, VolumeTest,
                         ::testing::Values(LevelCase{0, -6000}, LevelCase{1, -5940}, LevelCase{80, -1200},
                                           LevelCase{85, -900}, LevelCase{100, 0}));

class PanTest : public ::testing::TestWithParam<LevelCase> {};
TEST_P(PanTest, PercentToHundredthsOfDecibel)
{
    EXPECT_EQ(sound::PanToHundredths(GetParam().in), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Pans, PanTest,
                         ::testing::Values(LevelCase{0, -10000}, LevelCase{1, -4900}, LevelCase{50, 0},
                                           LevelCase{99, 4900}, LevelCase{100, 10000}));

TEST(Levels, GainsFollowTheDecibels)
{
    EXPECT_DOUBLE_EQ(sound::AttenuationToGain(0), 1.0);
    EXPECT_NEAR(sound::AttenuationToGain(-900), std::pow(10.0, -0.45), 1e-12); // -9 dB
    EXPECT_NEAR(20 * std::log10(sound::AttenuationToGain(-1200)), -12.0, 1e-9);
    EXPECT_EQ(sound::AttenuationToGain(-10000), 0.0);

    const auto right = sound::ChannelGains(-900, 10000);
    EXPECT_EQ(right.left, 0.0) << "right only silences the left channel";
    EXPECT_DOUBLE_EQ(right.right, sound::AttenuationToGain(-900));
    const auto left = sound::ChannelGains(0, -600);
    EXPECT_NEAR(20 * std::log10(left.right), -6.0, 1e-9);
    EXPECT_DOUBLE_EQ(left.left, 1.0);
    const auto centre = sound::ChannelGains(-900, 0);
    EXPECT_DOUBLE_EQ(centre.left, centre.right);
}

} // namespace
