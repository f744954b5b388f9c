#include "engine/beat_pattern.h"

namespace engine {

bool BeatPattern::Toggle(AccentRow row, int index)
{
    if (index < 0 || index >= kPatternSize)
        return false;
    bool &mark = row == AccentRow::Accent1 ? Accent1[index] : Accent2[index];
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
