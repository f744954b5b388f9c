#pragma once
#include <cstdint>
#include <optional>

// The pendulum on the metronome face: where the pivot, the rod and the weight are, and where the
// weight sits for a tempo. Positions are pixels of the face (y grows downwards). UI thread only.
namespace tempo {

inline constexpr int kWeightSize = 32;     // the weight picture is 32 x 32
inline constexpr int kMinDragTop = 24;     // highest top the weight can be dragged to (slowest)
inline constexpr int kMaxDragTop = 296;    // lowest top (fastest)
inline constexpr int kFirstTableTempo = 22;
inline constexpr int kLastTableTempo = 275;
inline constexpr int kStartSliderTop = 131;

struct PendulumGeometry {
    double PivotX = 0, PivotY = 350;
    double TipX = 0, TipY = 20;
    double RodLength = 330, RodSwing = 0, MaxAngle = 0;
    std::uint32_t RodColor = 0x787878; // 0x00BBGGRR, grey 120/120/120
    double SliderLeft = 0;
    int SliderTop = kStartSliderTop;   // top edge of the weight at rest
    double SliderRadius = 0;           // pivot to the weight's centre
    double SliderSwing = 0;            // horizontal amplitude of the weight's centre
    double SwingFactor = 30.5;

    // The start-up geometry for a face `faceWidth` pixels wide with the weight at `sliderTop`.
    static PendulumGeometry Initial(int faceWidth, int sliderTop = kStartSliderTop);
};

// The top of the weight that shows `tempo` (22..275): the smallest top whose tempo is `tempo`.
std::optional<int> SliderTopForTempo(int tempo);

// Puts the weight at `sliderTop` and recomputes its radius and swing.
void PlaceWeight(PendulumGeometry &g, int sliderTop);

// Places the weight for a tempo from the table; a tempo without an entry (below 22, above 275,
// not whole) leaves the top where it is. Radius and swing are recomputed either way. True when
// the table had the tempo.
bool GetSldrTop(PendulumGeometry &g, double bpm);

// Places the weight for any tempo: from the table, or at the nearer end of the scale.
void PlaceWeightForTempo(PendulumGeometry &g, int bpm);

// The resting pendulum: rod upright, the weight centred on it at the top its radius gives.
void RestPosition(PendulumGeometry &g);

// The weight's top after a drag by `dy` pixels; nothing when that leaves 24..296.
std::optional<int> DraggedTop(int sliderTop, int dy);

} // namespace tempo
