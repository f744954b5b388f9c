#include "engine/pendulum_animation.h"

#include <algorithm>
#include <cmath>

namespace engine {

PendulumPose PoseAt(const tempo::PendulumGeometry &g, double s)
{
    s = std::clamp(s, -1.0, 1.0);
    PendulumPose p;
    p.tipX = g.PivotX + g.RodSwing * s;
    const double dx = p.tipX - g.PivotX;
    p.tipY = g.PivotY - std::sqrt(std::max(0.0, g.RodLength * g.RodLength - dx * dx));
    p.weightX = g.PivotX + g.SliderSwing * s;
    const double wx = p.weightX - g.PivotX;
    p.weightY = g.PivotY - std::sqrt(std::max(0.0, g.SliderRadius * g.SliderRadius - wx * wx));
    return p;
}

} // namespace engine
