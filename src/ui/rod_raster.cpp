#include "ui/rod_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ui::rod {
namespace {

// x * a + y * b per 8-bit channel, divided by 255 and rounded (two channels at a time).
inline QRgb Mix(QRgb x, unsigned a, QRgb y, unsigned b)
{
    unsigned t = (x & 0xff00ffu) * a + (y & 0xff00ffu) * b;
    t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    unsigned u = ((x >> 8) & 0xff00ffu) * a + ((y >> 8) & 0xff00ffu) * b;
    u = (u + ((u >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return u | t;
}

// std::floor for a value above -2^20 (a pixel's place near an image): truncation of a positive
// number. A value within 2^-33 below a whole number may come out as that number.
inline int FloorNear(double v)
{
    constexpr double kShift = 1 << 20;
    return int(v + kShift) - int(kShift);
}

// The share of a pixel on the inner side of a straight edge whose unit normal has the components
// `a` >= `b` >= 0 in some order, the pixel's centre lying `d` inside it (negative: outside). Exact
// for a square pixel: linear while the edge crosses two opposite sides of the pixel, quadratic
// where it cuts off a corner.
double EdgeShare(double d, double a, double b)
{
    const double outer = (a + b) / 2, inner = (a - b) / 2;
    if (d >= outer)
        return 1;
    if (d <= -outer)
        return 0;
    if (d > inner)
        return 1 - (outer - d) * (outer - d) / (2 * a * b);
    if (d < -inner)
        return (outer + d) * (outer + d) / (2 * a * b);
    return 0.5 + d / a;
}

// The pixel centres x of a row where c0 + slope * x lies within [from, to], narrowing [lo, hi];
// `inverse` is 1 / slope.
inline void Within(double c0, double slope, double inverse, double from, double to, double &lo, double &hi)
{
    if (slope == 0) {
        if (c0 < from || c0 > to)
            lo = 1, hi = 0;
        return;
    }
    double x1 = (from - c0) * inverse, x2 = (to - c0) * inverse;
    if (x1 > x2)
        std::swap(x1, x2);
    lo = std::max(lo, x1);
    hi = std::min(hi, x2);
}

} // namespace

Bar::Bar(QPointF from, QPointF to, qreal width, QRgb color) : from_(from), half_(width / 2), color_(color | 0xff000000u)
{
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    length_ = std::hypot(dx, dy);
    if (!(length_ > 0) || !(width > 0)) {
        length_ = 0;
        return;
    }
    // Along the bar (u) and across it (n = (-uy, ux)); both have the same components, in turn, so
    // one edge function serves the sides and the ends.
    ux_ = dx / length_, uy_ = dy / length_;
    invUx_ = ux_ != 0 ? 1 / ux_ : 0;
    invNx_ = uy_ != 0 ? -1 / uy_ : 0;
    a_ = std::max(std::abs(ux_), std::abs(uy_)), b_ = std::min(std::abs(ux_), std::abs(uy_));
    reach_ = (a_ + b_) / 2;
    levelCount_ = std::min(int(std::ceil(2 * reach_ * kSteps)) + 1, int(levels_.size())); // the last: 255
    for (int i = 0; i < levelCount_; ++i) {
        const double d = -reach_ + (double(i) + 0.5) / kSteps; // the middle of the entry's step
        levels_[size_t(i)] = static_cast<unsigned char>(EdgeShare(d, a_, b_) * 255 + 0.5);
    }
}

int Bar::SideLevel(double inside) const
{
    if (half_ < reach_) // a pixel may reach over both sides
        return int(std::clamp(EdgeShare(inside, a_, b_) + EdgeShare(2 * half_ - inside, a_, b_) - 1, 0.0, 1.0) * 255 +
                   0.5);
    const int at = int((inside + reach_) * kSteps); // towards 0: the first entry for the outermost
    return levels_[size_t(std::clamp(at, 0, levelCount_ - 1))];
}

void Bar::Paint(QImage &image, const QRect &clip) const
{
    const QRect box = clip & image.rect();
    if (box.isEmpty() || length_ == 0 || image.format() != QImage::Format_RGB32)
        return;
    const double nx = -uy_, ny = ux_, half = half_, reach = reach_, length = length_;
    // Rows: the bar's corners, widened by a pixel's reach.
    const double y0 = from_.y(), y1 = from_.y() + uy_ * length;
    const double spread = half * std::abs(ny) + reach;
    const int top = std::max(box.top(), int(std::floor(std::min(y0, y1) - spread)));
    const int bottom = std::min(box.bottom(), int(std::ceil(std::max(y0, y1) + spread)));
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // A row away from the ends: the pixels whose centres lie within `wide` of the centre line's
    // crossing cx, each covered by how far it lies within the nearer side. Their distance along
    // the bar differs from the crossing's by `alongPad` at most.
    const double across = std::abs(uy_); // across the bar per pixel along the row
    const double wide = across > 0 ? (half + reach) / across : 0, alongPad = std::abs(ux_) * wide;
    const double whole = across > 0 ? (half - reach) / across : 0; // pixels within are wholly covered
    const bool fast = across > 0 && half >= reach;
    const double invUy = fast ? 1 / uy_ : 0;
    // The table entry of a pixel whose centre lies dx from the crossing:
    // (half - |dx| * across + reach) * kSteps.
    const double base = (half + reach) * kSteps, step = across * kSteps;
    const int last = levelCount_ - 1;
    const int left = box.left(), right = box.right();
    // The colour's channels in pairs, for blending an edge pixel (as Mix does).
    const QRgb color = color_; // a local: stores to the image cannot change it
    const unsigned colorRB = color & 0xff00ffu, colorAG = (color >> 8) & 0xff00ffu;
    const quint64 colorTwice = quint64(color) * 0x100000001u;
    auto edge = [&](QRgb &pixel, double entry) {
        const unsigned level = levels_[size_t(std::min(int(entry), last))];
        if (level == 0)
            return;
        const unsigned rest = 255 - level;
        unsigned t = colorRB * level + (pixel & 0xff00ffu) * rest;
        t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
        unsigned u = colorAG * level + ((pixel >> 8) & 0xff00ffu) * rest;
        u = (u + ((u >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
        pixel = u | t;
    };
    // The rows away from the ends are one run (the crossing's place along the bar moves steadily
    // with the row): found from the line, then checked by the rows' own test.
    auto isFast = [&](int y) {
        const double along = (y + 0.5 - from_.y()) * invUy;
        return along - alongPad >= reach && along + alongPad <= length - reach;
    };
    int fastTop = bottom + 1, fastBottom = bottom;
    if (fast) {
        const double ya = from_.y() - 0.5 + (reach + alongPad) * uy_;
        const double yb = from_.y() - 0.5 + (length - reach - alongPad) * uy_;
        int a = std::clamp(int(std::floor(std::min(ya, yb))) - 2, top, bottom + 1);
        while (a > top && isFast(a - 1))
            --a;
        while (a <= bottom && !isFast(a))
            ++a;
        int b = a <= bottom ? std::clamp(int(std::ceil(std::max(ya, yb))) + 2, a, bottom) : bottom;
        while (b < bottom && isFast(b + 1))
            ++b;
        while (b >= a && !isFast(b))
            --b;
        fastTop = a, fastBottom = b;
    }
    for (int y = fastTop; y <= fastBottom; ++y) {
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride);
        const double along = (y + 0.5 - from_.y()) * invUy;
        const double c = from_.x() + along * ux_ - 0.5; // the crossing less a pixel's centre
        const int x0 = std::max(left, FloorNear(c - wide) + 1);
        const int x1 = std::min(right, FloorNear(c + wide));
        const int f0 = std::max(x0, FloorNear(c - whole) + 1); // wholly covered from here
        const int f1 = std::min(x1, FloorNear(c + whole));     // to here
        const int leftEnd = std::min(f0, x1 + 1);
        for (int x = x0; x < leftEnd; ++x)
            edge(row[x], base - (c - x) * step);
        QRgb *p = row + f0, *const end = row + f1 + 1;
        for (; p + 2 <= end; p += 2) // a few pixels: two at a time, no vector set-up
            std::memcpy(p, &colorTwice, 8);
        if (p < end)
            *p = color;
        for (int x = std::max(x0, f1 + 1); x <= x1; ++x)
            edge(row[x], base - (x - c) * step);
    }
    auto endRow = [&](int y) {
        const double yc = y + 0.5 - from_.y();
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride);
        // Near an end (or a bar lying flat): the end is an edge as well, its share multiplied in
        // (exact but in the corners). For the pixel centres xc of this row: across = s0 + nx * xc,
        // along = t0 + ux * xc.
        const double s0 = -from_.x() * nx + yc * ny, t0 = -from_.x() * ux_ + yc * uy_;
        double lo = box.left() + 0.5, hi = box.right() + 0.5;
        Within(s0, nx, invNx_, -half - reach, half + reach, lo, hi);
        Within(t0, ux_, invUx_, -reach, length + reach, lo, hi);
        if (lo > hi)
            return;
        const int x0 = int(std::ceil(lo - 0.5)), x1 = int(std::floor(hi - 0.5));
        for (int x = x0; x <= x1; ++x) {
            const double xc = x + 0.5, t = t0 + ux_ * xc;
            const int level = int(
                SideLevel(half - std::abs(s0 + nx * xc)) * EdgeShare(t, a_, b_) * EdgeShare(length - t, a_, b_) + 0.5);
            if (level > 0)
                row[x] = Mix(color_, unsigned(level), row[x], unsigned(255 - level));
        }
    };
    for (int y = top; y < fastTop && y <= bottom; ++y)
        endRow(y);
    for (int y = std::max(top, fastBottom + 1); y <= bottom; ++y)
        endRow(y);
}

Sprite::Sprite(QImage picture) : picture_(std::move(picture))
{
    if (picture_.format() != QImage::Format_ARGB32_Premultiplied)
        picture_ = picture_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    rows_.resize(size_t(picture_.height()));
    for (int y = 0; y < picture_.height(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(picture_.constScanLine(y));
        Row &row = rows_[size_t(y)];
        row.end = picture_.width();
        while (row.end > 0 && qAlpha(src[row.end - 1]) == 0)
            --row.end;
        while (row.begin < row.end && qAlpha(src[row.begin]) == 0)
            ++row.begin;
        // The longest run of opaque pixels.
        for (int x = row.begin; x < row.end;) {
            int run = x;
            while (run < row.end && qAlpha(src[run]) == 255)
                ++run;
            if (run - x > row.opaqueEnd - row.opaqueBegin)
                row.opaqueBegin = x, row.opaqueEnd = run;
            x = run + 1;
        }
        if (row.opaqueBegin == row.opaqueEnd)
            row.opaqueBegin = row.opaqueEnd = row.begin;
    }
}

void Sprite::Paint(QImage &image, const QRect &clip, QPoint at) const
{
    const QRect box = clip & image.rect() & QRect(at, picture_.size());
    if (box.isEmpty() || image.format() != QImage::Format_RGB32)
        return;
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine(), spriteStride = picture_.bytesPerLine();
    const uchar *const spriteBits = picture_.constBits();
    auto blend = [](QRgb *row, const QRgb *src, int from, int to) {
        for (int x = from; x < to; ++x) {
            const QRgb s = src[x];
            const unsigned alpha = qAlpha(s);
            if (alpha == 255)
                row[x] = s;
            else if (alpha != 0)
                row[x] = s + Mix(row[x], 255 - alpha, 0, 0);
        }
    };
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const Row &r = rows_[size_t(y - at.y())];
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride) + at.x(); // in the sprite's columns
        const auto *src = reinterpret_cast<const QRgb *>(spriteBits + (y - at.y()) * spriteStride);
        const int left = std::max(box.left() - at.x(), r.begin), right = std::min(box.right() + 1 - at.x(), r.end);
        const int opaqueLeft = std::clamp(r.opaqueBegin, left, std::max(left, right));
        const int opaqueRight = std::clamp(r.opaqueEnd, opaqueLeft, std::max(opaqueLeft, right));
        blend(row, src, left, opaqueLeft);
        std::memcpy(row + opaqueLeft, src + opaqueLeft, size_t(opaqueRight - opaqueLeft) * 4);
        blend(row, src, std::max(opaqueRight, left), right);
    }
}

void Copy(QImage &image, const QRect &clip, const QImage &from)
{
    const QRect box = clip & image.rect();
    if (box.isEmpty() || from.format() != image.format())
        return;
    const QRect have = box & from.rect();
    uchar *const bits = image.bits();
    const uchar *const fromBits = from.constBits();
    const qsizetype stride = image.bytesPerLine(), fromStride = from.bytesPerLine();
    const int left = box.left(), right = box.right() + 1, haveLeft = have.left(), haveRight = have.right() + 1;
    const int faceEnd = have.isEmpty() ? box.top() : have.bottom() + 1; // black below
    const size_t bytes = size_t(have.width()) * 4;
    constexpr QRgb kBlack = 0xff000000u;
    for (int y = box.top(); y < faceEnd; ++y) {
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride);
        std::memcpy(row + haveLeft, fromBits + y * fromStride + qsizetype(haveLeft) * 4, bytes);
        for (int x = left; x < haveLeft; ++x)
            row[x] = kBlack;
        for (int x = haveRight; x < right; ++x)
            row[x] = kBlack;
    }
    for (int y = faceEnd; y <= box.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(bits + y * stride);
        std::fill(row + left, row + right, kBlack);
    }
}

} // namespace ui::rod
