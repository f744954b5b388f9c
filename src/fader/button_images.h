#pragma once
#include <cstdint>
#include <vector>

// The four button images of the slider, pixel by pixel. Plain data, so that the widget paints
// them as rectangles at any device pixel ratio and tests can read them without a display.
namespace fader {

enum class ButtonImage {
    None,           // an empty picture (what `DraggerSource` holds before a style is chosen)
    DSH,            // large button, horizontal track: 30 x 20
    DSV,            // large button, vertical track: 20 x 30
    DraggerSourceH, // small button, horizontal track: 9 x 20
    DraggerSourceV, // small button, vertical track: 20 x 9
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // colours 0x00BBGGRR, row by row from the top

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

const Picture &ButtonPicture(ButtonImage image);

} // namespace fader
