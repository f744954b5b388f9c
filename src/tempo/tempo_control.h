#pragma once
#include <algorithm>

#include "tempo/pendulum_scale.h"
#include "tempo/tempo_model.h"

// The one tempo of the window, `Bpm`, and everything that follows from it: the weight's place on
// the rod and the pendulum's phase rate, so that the tempo shown is the tempo played. Every way of
// changing the tempo goes through here. UI thread only.
namespace tempo {

class TempoControl {
public:
    // Start-up: the weight at top 131 on a face `faceWidth` pixels wide, which shows 120.
    explicit TempoControl(int faceWidth = 308);

    int Bpm() const { return bpm_; }
    double PhaseRate() const { return phaseRate_; }
    const PendulumGeometry &Geometry() const { return geometry_; }
    PendulumGeometry &Geometry() { return geometry_; }
    // The tempo slider's position for the tempo, within the slider's range 0..249.
    int Fader1Value() const { return std::clamp(bpm_ - 1, 0, kMaxBpm - 1); }

    // Step buttons 0 "<", 1 ">", 2 "<<", 3 ">>" (StepTempo), the weight placed for the tempo.
    void Step(int index);
    // The tempo slider moved to `value`: the tempo is value + 1, the weight placed for it.
    void Fader1Moved(int value);
    // A tapped tempo: the tempo kept within what the weight can show (1..271), the weight placed
    // for it.
    void Tapped(int tempo);
    // A tempo from a shared session (any tempo, 20..999 there): shown rounded, the weight placed
    // for it; beyond the tempos it can be dragged to (1..271) it stops where a drag to that end of
    // the rod leaves it.
    void Shared(double bpm);
    // The weight dragged by `dy` pixels: false (nothing changes) when its top would leave 24..296;
    // otherwise the top moves and the tempo is the one the new top shows.
    bool DragWeight(int dy);

private:
    void SetTempo(int bpm);

    PendulumGeometry geometry_;
    int bpm_ = 0;
    double phaseRate_ = 0;
};

} // namespace tempo
