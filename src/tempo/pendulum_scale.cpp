#include "tempo/pendulum_scale.h"

#include <cmath>
#include <numbers>
#include <string>

namespace tempo {

PendulumGeometry PendulumGeometry::Initial(int faceWidth, int sliderTop)
{
    PendulumGeometry g;
    g.PivotX = faceWidth / 2.0;
    g.PivotY = 350;
    g.TipX = g.PivotX;
    g.TipY = 20;
    g.RodLength = g.PivotY - g.TipY;
    g.SwingFactor = 30.5;
    g.MaxAngle = std::numbers::pi / 7;
    g.RodSwing = std::sin(g.MaxAngle) * g.RodLength;
    g.SliderLeft = g.PivotX - kWeightSize / 2.0;
    PlaceWeight(g, sliderTop);
    return g;
}

std::optional<int> SliderTopForTempo(int tempo)
{
    if (tempo < kFirstTableTempo || tempo > kLastTableTempo)
        return std::nullopt;
    return (12 * tempo + 5) / 11;
}

void PlaceWeight(PendulumGeometry &g, int sliderTop)
{
    g.SliderTop = sliderTop;
    g.SliderRadius = g.PivotY - (sliderTop + kWeightSize / 2.0);
    g.SliderSwing = g.SliderRadius * std::sin(g.MaxAngle);
}

bool GetSldrTop(PendulumGeometry &g, double bpm)
{
    std::optional<int> top;
    if (bpm == std::floor(bpm) && std::abs(bpm) < 1e6)
        top = SliderTopForTempo(static_cast<int>(bpm));
    PlaceWeight(g, top.value_or(g.SliderTop));
    return top.has_value();
}

void PlaceWeightForTempo(PendulumGeometry &g, int bpm)
{
    if (!GetSldrTop(g, static_cast<double>(bpm)))
        PlaceWeight(g, bpm < kFirstTableTempo ? *SliderTopForTempo(kFirstTableTempo) : *SliderTopForTempo(kLastTableTempo));
}

void RestPosition(PendulumGeometry &g)
{
    g.TipX = g.PivotX;
    g.TipY = 20;
    g.SliderLeft = g.PivotX - kWeightSize / 2.0;
    g.SliderTop = static_cast<int>(std::lround(g.PivotY - g.SliderRadius - kWeightSize / 2.0));
}

std::optional<int> DraggedTop(int sliderTop, int dy)
{
    const int top = sliderTop + dy;
    if (top < kMinDragTop || top > kMaxDragTop)
        return std::nullopt;
    return top;
}

} // namespace tempo
