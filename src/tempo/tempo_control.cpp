#include "tempo/tempo_control.h"

#include <algorithm>
#include <cmath>

#include "tempo/tempo_model.h"

namespace tempo {

TempoControl::TempoControl(int faceWidth) : geometry_(PendulumGeometry::Initial(faceWidth))
{
    bpm_ = BpmFromSliderTop(geometry_.SliderTop);
    phaseRate_ = PhaseRateForBpm(bpm_, geometry_.SwingFactor);
}

void TempoControl::SetTempo(int bpm)
{
    bpm_ = bpm;
    phaseRate_ = PhaseRateForBpm(bpm_, geometry_.SwingFactor);
    PlaceWeightForTempo(geometry_, bpm_);
}

void TempoControl::Step(int index)
{
    SetTempo(StepTempo(bpm_, index));
}

void TempoControl::Fader1Moved(int value)
{
    SetTempo(std::clamp(value + 1, kMinBpm, kMaxBpm));
}

void TempoControl::Tapped(int tempo)
{
    SetTempo(std::clamp(tempo, kMinBpm, kMaxWeightBpm));
}

void TempoControl::Shared(double bpm)
{
    SetTempo(static_cast<int>(std::lround(std::max(bpm, 1.0))));
    // The scale goes on below the drag's end (to 275): a faster tempo rests at that end.
    if (bpm_ > kMaxWeightBpm)
        PlaceWeight(geometry_, kMaxDragTop);
}

bool TempoControl::DragWeight(int dy)
{
    const auto top = DraggedTop(geometry_.SliderTop, dy);
    if (!top)
        return false;
    PlaceWeight(geometry_, *top);
    bpm_ = BpmFromSliderTop(*top);
    phaseRate_ = PhaseRateForBpm(bpm_, geometry_.SwingFactor);
    return true;
}

} // namespace tempo
