#include "fader/button_images.h"

namespace fader {

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kSilver = 0xC0C0C0;
constexpr std::uint32_t kLight = 0xCCCCCC;
constexpr std::uint32_t kMid = 0x999999;

template <class ColourAt> Picture Make(int width, int height, ColourAt colourAt)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.reserve(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels.push_back(colourAt(x, y));
    return p;
}

// The small horizontal button: black top and bottom rows, every row between the same.
Picture MakeDraggerSourceH()
{
    static constexpr std::uint32_t kRow[9] = {kBlack, kWhite, kGrey, kSilver, kSilver, kSilver, kWhite, kGrey, kBlack};
    return Make(9, 20, [](int x, int y) { return (y == 0 || y == 19) ? kBlack : kRow[x]; });
}

// The small vertical button: black outer columns, every column between the same.
Picture MakeDraggerSourceV()
{
    static constexpr std::uint32_t kColumn[9] = {kBlack,  kGrey, kWhite, kSilver, kSilver,
                                                 kSilver, kGrey, kWhite, kBlack};
    return Make(20, 9, [](int x, int y) { return (x == 0 || x == 19) ? kBlack : kColumn[y]; });
}

// The large cap lying on a horizontal track (30 x 20), lit from the top left: a black outline
// with a two-pixel slot down the middle and a heavier edge at the bottom; each half of the face
// has a white top row and left column, a mid-grey right column and bottom row, and between them
// a stipple that darkens downwards: white and light grey, light grey, light and mid grey.
std::uint32_t DshAt(int x, int y)
{
    if (y == 0 || y >= 18 || x == 0 || x == 14 || x == 15 || x == 29)
        return kBlack;
    const int across = x < 14 ? x - 1 : x - 16; // 0..12 within one half of the face
    if (y == 1 || across == 0)
        return kWhite;
    if (y == 17 || across == 12)
        return kMid;
    const bool odd = (x + y) % 2 != 0;
    if (y <= 8)
        return odd ? kLight : kWhite;
    if (y <= 12)
        return kLight;
    return odd ? kMid : kLight;
}

Picture MakeDSH()
{
    return Make(30, 20, DshAt);
}

// The same cap turned upright (20 x 30), with its lower corners rounded off by black dots.
Picture MakeDSV()
{
    return Make(20, 30, [](int x, int y) {
        if ((y == 28 && (x == 1 || x == 17)) || (y == 27 && x == 17))
            return kBlack;
        return DshAt(y, x);
    });
}

} // namespace

const Picture &ButtonPicture(ButtonImage image)
{
    static const Picture kNone;
    static const Picture kDSH = MakeDSH();
    static const Picture kDSV = MakeDSV();
    static const Picture kH = MakeDraggerSourceH();
    static const Picture kV = MakeDraggerSourceV();
    switch (image) {
    case ButtonImage::DSH: return kDSH;
    case ButtonImage::DSV: return kDSV;
    case ButtonImage::DraggerSourceH: return kH;
    case ButtonImage::DraggerSourceV: return kV;
    case ButtonImage::None: break;
    }
    return kNone;
}

} // namespace fader
