#include "tempo/tempo_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tempo {

std::string Tempowort(int iTempo)
{
    struct Range {
        int upTo;
        const char *word;
    };
    // Each row covers the tempos up to and including `upTo`; the first match wins.
    static constexpr Range kWords[] = {
        {0, ""},        {19, "Larghissimo"}, {39, "Largamente"}, {59, "Largo"},    {65, "Larghetto"},
        {75, "Adagio"}, {107, "Andante"},    {119, "Moderato"},  {167, "Allegro"}, {199, "Presto"},
    };
    for (const Range &r : kWords)
        if (iTempo <= r.upTo)
            return r.word;
    return "Prestissimo";
}

double RoundTo(double x, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(x * scale) / scale;
}

double Round2(double number)
{
    if (number - RoundTo(number, 0) >= 0.005)
        number = RoundTo(number, 2) + 0.1;
    if (number - RoundTo(number, 0) < 0.005)
        number = RoundTo(number, 2);
    return number;
}

int BpmFromSliderTop(int sliderTop)
{
    return static_cast<int>(std::nearbyint(TempoSlope * sliderTop + TempoOffset));
}

int StepTempo(int bpm, int index)
{
    int step = 0;
    switch (index) {
    case 0: step = -1; break;
    case 1: step = 1; break;
    case 2: step = -10; break;
    case 3: step = bpm == 1 ? 9 : 10; break; // ">>" from 1 lands on the round 10
    default: return bpm;
    }
    // Beyond the weight's scale only a shared session's tempo goes (up to 999): there a step down
    // takes its size off, rather than pulling the session down to the buttons' end.
    if (bpm > kMaxWeightBpm && step < 0)
        return bpm + step;
    const int stepped = std::clamp(bpm + step, kMinBpm, kMaxBpm);
    return step > 0 ? std::max(stepped, bpm) : stepped; // a step up never slows down
}

double PhaseRateForBpm(int bpm, double swingFactor)
{
    // The swing crosses the centre every pi / (swingFactor * rate) ms, which is 60000 / bpm.
    return bpm * std::numbers::pi / (60000.0 * swingFactor);
}

} // namespace tempo
