#include "engine/beat_clock.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace engine {

void BeatClock::Start(double phaseRatePerMs, double swingFactor)
{
    swingFactor_ = swingFactor;
    if (pendingSubdivision_ > 0)
        subdivision_ = pendingSubdivision_; // a run begins with the kind chosen last
    pendingSubdivision_ = 0;
    frame_ = 0;
    anchorFrame_ = 0;
    anchorUnits_ = 0;
    // The centre at the start and the pendulum leaving it are only the reference: the first beat
    // is taken on the way back, and its interval is measured from here.
    lastBeatFrame_ = 0;
    nextCrossing_ = 1;
    nextSub_ = subdivision_; // nothing before the first beat
    SetRate(phaseRatePerMs);
}

void BeatClock::Anchor(double frame, double units, double phaseRatePerMs)
{
    // Whole swings off both the phase and the crossing count: exact, and the numbers stay small.
    const double swings = std::floor(units / 2);
    units -= 2 * swings;
    nextCrossing_ -= 2 * static_cast<std::int64_t>(swings);
    anchorUnits_ = units;
    anchorFrame_ = frame;
    ratePerMs_ = phaseRatePerMs;
    // Phase per ms * ms per frame * SwingFactor / pi.
    unitsPerFrame_ = phaseRatePerMs * 1000.0 / sampleRate_ * swingFactor_ / std::numbers::pi;
}

void BeatClock::Follow(double units, double unitsPerFrame, std::int64_t firstUnit)
{
    const double next = double(nextCrossing_);
    const double late = kLateMs / 1000.0 * sampleRate_ * unitsPerFrame;
    if (units >= next + late || units < next - 1 - late) {
        nextCrossing_ = static_cast<std::int64_t>(std::ceil(units - 1e-9));
        // The first subdivision of this beat not yet passed.
        const double into = units - double(nextCrossing_ - 1);
        nextSub_ = std::clamp(static_cast<int>(std::floor(into * subdivision_)) + 1, 1, subdivision_);
    }
    if (nextCrossing_ < firstUnit) {
        nextCrossing_ = firstUnit;
        nextSub_ = subdivision_; // nothing before the first beat
    }
    anchorUnits_ = units;
    anchorFrame_ = double(frame_);
    unitsPerFrame_ = unitsPerFrame;
    ratePerMs_ = unitsPerFrame * sampleRate_ / 1000.0 * std::numbers::pi / swingFactor_;
}

void BeatClock::SetRate(double phaseRatePerMs)
{
    Anchor(double(frame_), UnitsAt(frame_), phaseRatePerMs);
}

void BeatClock::SetRateFromLastBeat(double phaseRatePerMs)
{
    // The last beat was crossing nextCrossing_ - 1, exactly at lastBeatFrame_.
    Anchor(lastBeatFrame_, double(nextCrossing_ - 1), phaseRatePerMs);
}

void BeatClock::SetNextBeatAt(double frame)
{
    const double frames = std::max(frame - lastBeatFrame_, 1.0);
    // Phase per ms for one crossing unit in `frames` frames (the inverse of Anchor's conversion).
    const double rate = sampleRate_ / 1000.0 * std::numbers::pi / swingFactor_ / frames;
    Anchor(lastBeatFrame_, double(nextCrossing_ - 1), rate);
}

void BeatClock::SetSubdivision(int clicksPerBeat)
{
    clicksPerBeat = std::clamp(clicksPerBeat, 1, 4);
    if (lastBeatFrame_ == 0) {
        subdivision_ = clicksPerBeat;
        pendingSubdivision_ = 0;
        nextSub_ = subdivision_; // before the first beat there is nothing to subdivide
        return;
    }
    // Within a beat the clicks already begun go on to its end (two kinds mixed in one beat would
    // put two clicks close together, 1/2 then 2/3); the new kind divides the beats from the next on.
    pendingSubdivision_ = clicksPerBeat == subdivision_ ? 0 : clicksPerBeat;
}

std::int64_t BeatClock::NextBeatFrame() const
{
    if (!(unitsPerFrame_ > 0))
        return std::numeric_limits<std::int64_t>::max();
    const double at = anchorFrame_ + (double(nextCrossing_) - anchorUnits_) / unitsPerFrame_;
    return static_cast<std::int64_t>(std::ceil(at - 1e-4));
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
