#include "engine/beat_clock.h"

#include <algorithm>
#include <numbers>

namespace engine {

void BeatClock::Start(double phaseRatePerMs, double swingFactor)
{
    swingFactor_ = swingFactor;
    frame_ = 0;
    anchorFrame_ = 0;
    anchorUnits_ = 0;
    // The centre at the start and the pendulum leaving it are only the reference: the first beat
    // is taken on the way back, and its interval is measured from here.
    lastBeatFrame_ = 0;
    nextCrossing_ = 1;
    SetRate(phaseRatePerMs);
}

void BeatClock::SetRate(double phaseRatePerMs)
{
    double units = UnitsAt(frame_);
    // Whole swings off both the phase and the crossing count: exact, and the numbers stay small.
    const double swings = std::floor(units / 2);
    units -= 2 * swings;
    nextCrossing_ -= 2 * static_cast<std::int64_t>(swings);
    anchorUnits_ = units;
    anchorFrame_ = frame_;
    ratePerMs_ = phaseRatePerMs;
    // Phase per ms * ms per frame * SwingFactor / pi.
    unitsPerFrame_ = phaseRatePerMs * 1000.0 / sampleRate_ * swingFactor_ / std::numbers::pi;
}

void BeatClock::Follow(double units, double unitsPerFrame, std::int64_t firstUnit)
{
    const double next = double(nextCrossing_);
    const double late = kLateMs / 1000.0 * sampleRate_ * unitsPerFrame;
    if (units >= next + late || units < next - 1 - late)
        nextCrossing_ = static_cast<std::int64_t>(std::ceil(units - 1e-9));
    nextCrossing_ = std::max(nextCrossing_, firstUnit);
    anchorUnits_ = units;
    anchorFrame_ = frame_;
    unitsPerFrame_ = unitsPerFrame;
    ratePerMs_ = unitsPerFrame * sampleRate_ / 1000.0 * std::numbers::pi / swingFactor_;
}

double BeatClock::PhaseAt(std::int64_t frame) const
{
    const double units = UnitsAt(frame);
    return (units - 2 * std::floor(units / 2)) * std::numbers::pi / swingFactor_;
}

double BeatClock::SwingAt(std::int64_t frame) const
{
    const double units = UnitsAt(frame);
    return std::sin((units - 2 * std::floor(units / 2)) * std::numbers::pi);
}

} // namespace engine
