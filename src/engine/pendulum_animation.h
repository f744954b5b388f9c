#pragma once
#include "tempo/pendulum_scale.h"

// Where the swinging pendulum is drawn for a swing position.
// Threads (see sound/threads.h): UI thread.
namespace engine {

struct PendulumPose {
    double tipX, tipY;       // the rod's tip
    double weightX, weightY; // the weight's centre
};

// The pose for swing position s (-1 .. 1): tip and weight move sinusoidally sideways and stay on
// their circles about the pivot (radius RodLength and SliderRadius).
PendulumPose PoseAt(const tempo::PendulumGeometry &g, double s);

} // namespace engine
