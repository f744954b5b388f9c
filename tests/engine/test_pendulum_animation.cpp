#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/pendulum_animation.h"

namespace {

struct PoseCase {
    double s;
    double tipX, tipY;
};
void PrintTo(const PoseCase &c, std::ostream *os) { *os << "s=" << c.s; }

class PoseTest : public ::testing::TestWithParam<PoseCase> {};

TEST_P(PoseTest, TipAndWeightStayOnTheirCircles)
{
    const auto g = tempo::PendulumGeometry::Initial(308, 131);
    const auto p = engine::PoseAt(g, GetParam().s);
    EXPECT_NEAR(p.tipX, GetParam().tipX, 0.01);
    EXPECT_NEAR(p.tipY, GetParam().tipY, 0.01);
    EXPECT_NEAR(std::hypot(p.tipX - 154, p.tipY - 350), 330, 1e-9);
    EXPECT_NEAR(std::hypot(p.weightX - 154, p.weightY - 350), g.SliderRadius, 1e-9);
    // The weight leans by the same angle as the rod.
    EXPECT_NEAR(std::atan2(p.weightX - 154, 350 - p.weightY), std::atan2(p.tipX - 154, 350 - p.tipY), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Swings, PoseTest,
                         ::testing::Values(PoseCase{0, 154, 20}, PoseCase{1, 154 + 143.18, 52.68},
                                           PoseCase{-1, 154 - 143.18, 52.68},
                                           PoseCase{1.5, 154 + 143.18, 52.68})); // clamped to the swing

} // namespace
