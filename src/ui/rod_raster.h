#pragma once
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <array>
#include <vector>

// Drawing the swinging pendulum straight into a picture in memory, a few hundred pixels a frame:
// the rod, a bar with flat ends, antialiased by the share of each pixel it covers, and the weight's
// picture laid over it. Both touch only the pixels inside `clip`, so a picture can be mended band
// by band. Images of Format_RGB32; device pixels throughout.
namespace ui::rod {

// The bar from `from` to `to` (the centres of its flat ends), `width` wide, in the opaque colour
// `color`, painted over what is there.
class Bar {
public:
    Bar(QPointF from, QPointF to, qreal width, QRgb color);
    void Paint(QImage &image, const QRect &clip) const;

private:
    // How much of a pixel the bar covers (0..255) whose centre lies `inside` within one side.
    int SideLevel(double inside) const;

    QPointF from_;
    double length_ = 0, half_ = 0;
    double ux_ = 0, uy_ = 0, invUx_ = 0, invNx_ = 0;
    double a_ = 1, b_ = 0, reach_ = 0.5; // the normal's components, larger first; a pixel's reach
    QRgb color_;
    static constexpr int kSteps = 128; // table entries per pixel of distance
    // SideLevel from -reach_ on, kSteps a pixel, up to reach_ (at most half a pixel's diagonal).
    std::array<unsigned char, 184> levels_{};
    int levelCount_ = 0;
};

// A picture (Format_ARGB32_Premultiplied) laid over others. Each row's transparent ends are
// skipped and its opaque middle copied; only the pixels between are blended.
class Sprite {
public:
    Sprite() = default;
    explicit Sprite(QImage picture);
    // Over the image with the sprite's top left at `at`.
    void Paint(QImage &image, const QRect &clip, QPoint at) const;

private:
    struct Row {
        int begin = 0, opaqueBegin = 0, opaqueEnd = 0, end = 0; // [begin, end) not wholly transparent
    };
    QImage picture_;
    std::vector<Row> rows_;
};

// The pixels of `from` copied into `image` where `from` has them (its top left at the image's),
// black beyond; both of one format.
void Copy(QImage &image, const QRect &clip, const QImage &from);

} // namespace ui::rod
