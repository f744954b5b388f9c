#pragma once
#include <string_view>

#include "fader/property_bag.h"

namespace ui {

// The stored settings of the main window's sliders ("Fader1", "Fader2") as the window
// description keeps them, keys in lower case; an empty bag (all defaults) for any other name.
fader::PropertyBag StoredFaderProperties(std::string_view name);

} // namespace ui
