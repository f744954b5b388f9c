#include "engine/beat_pattern.h"

namespace engine {

void BeatPattern::Clear()
{
    Accent1.fill(false);
    Accent2.fill(false);
}

bool BeatPattern::Toggle(int row, int index)
{
    if (index < 0 || index >= kPatternSize || (row != 1 && row != 2))
        return false;
    bool &mark = row == 1 ? Accent1[index] : Accent2[index];
    mark = !mark;
    return mark;
}

BeatPattern BeatPattern::Initial()
{
    BeatPattern p;
    p.Accent1[0] = p.Accent1[4] = true;
    p.Accent2[2] = p.Accent2[6] = true;
    return p;
}

} // namespace engine
