#include "ui/fader_data.h"

namespace ui {

fader::PropertyBag StoredFaderProperties(std::string_view name)
{
    // Tempo: 0..249 at 120, horizontal, large button, no tick marks.
    if (name == "Fader1")
        return {{"max", 249}, {"value", 120}, {"style", 1}, {"butsz", 1}, {"tickmarks", 0}};
    // Beats per cycle: 0..7 at 3, horizontal, large button, tick marks (the default).
    if (name == "Fader2")
        return {{"max", 7}, {"value", 3}, {"style", 1}, {"butsz", 1}};
    return {};
}

} // namespace ui
