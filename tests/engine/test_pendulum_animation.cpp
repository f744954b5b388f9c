#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/pendulum_animation.h"

namespace {

// The rod's tip on its circle of 330 around the pivot (154, 350), the weight on its own, both at
// the same angle; a swing beyond 1 is held at the widest.
TEST(PoseAt, TipAndWeightStayOnTheirCircles)
{
    const auto g = tempo::PendulumGeometry::Initial(308, 131);
    for (auto [s, tipX, tipY] : {std::tuple{0.0, 154.0, 20.0}, {1.0, 154 + 143.18, 52.68}, {-1.0, 154 - 143.18, 52.68},
                                 {1.5, 154 + 143.18, 52.68}}) {
        const auto p = engine::PoseAt(g, s);
        EXPECT_NEAR(p.tipX, tipX, 0.01) << s;
        EXPECT_NEAR(p.tipY, tipY, 0.01) << s;
        EXPECT_NEAR(std::hypot(p.weightX - 154, p.weightY - 350), g.SliderRadius, 1e-9) << s;
        EXPECT_NEAR(std::atan2(p.weightX - 154, 350 - p.weightY), std::atan2(p.tipX - 154, 350 - p.tipY), 1e-9) << s;
    }
}

} // namespace
