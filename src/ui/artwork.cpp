#include "ui/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace ui::artwork {
namespace {

// ---------------------------------------------------------------------------
// Helpers

// A tiny generator with a fixed algorithm, so the wood grain and the brushed
// metal come out identical on every run, compiler and platform.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    double uniform() // [0, 1)
    {
        m_state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return double(z >> 11) * (1.0 / 9007199254740992.0);
    }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t m_state;
};

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

void fillQuad(QPainter &p, QPointF a, QPointF b, QPointF c, QPointF d, const QBrush &brush)
{
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.lineTo(d);
    path.closeSubpath();
    p.fillPath(path, brush);
}

// Outline of a text, scaled down if needed so it fits `box`, and centred in it.
QPainterPath fittedText(const QFont &font, const QString &text, const QRectF &box)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty())
        return path;
    const qreal scale = std::min({1.0, box.width() / bounds.width(), box.height() / bounds.height()});
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(scale, scale);
    t.translate(-bounds.center().x(), -bounds.center().y());
    return t.map(path);
}

QFont makeFont(const QString &family, qreal pixelSize, int weight, qreal letterSpacing = 0)
{
    QFont font(family);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(QFont::Weight(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

// A shape cut into metal: a light lower edge where the groove catches the
// light and the dark groove itself above it.
void engrave(QPainter &p, const QPainterPath &shape, const QColor &groove, const QColor &catchLight)
{
    p.fillPath(shape.translated(0.55, 0.8), catchLight);
    p.fillPath(shape, groove);
}

void engraveLine(QPainter &p, QPointF a, QPointF b, qreal width, const QColor &groove,
                 const QColor &catchLight)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(catchLight, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a + QPointF(0.5, 0.7), b + QPointF(0.5, 0.7));
    p.setPen(QPen(groove, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
}

// ---------------------------------------------------------------------------
// Wood

const QColor kWoodLight(176, 98, 48);
const QColor kWoodMid(136, 70, 30);
const QColor kWoodDark(92, 44, 16);
const QColor kWoodDeep(48, 20, 6);

// Grain of a board inside the current clip. `alongY` chooses vertical grain,
// otherwise it runs horizontally.
void paintGrain(QPainter &p, const QRectF &r, bool alongY, std::uint64_t seed, qreal spacing = 2.3)
{
    Random rnd(seed);
    const qreal across0 = alongY ? r.left() : r.top();
    const qreal acrossLen = alongY ? r.width() : r.height();
    const qreal along0 = alongY ? r.top() : r.left();
    const qreal alongLen = alongY ? r.height() : r.width();
    const auto at = [alongY](qreal across, qreal along) {
        return alongY ? QPointF(across, along) : QPointF(along, across);
    };

    // Broad streaks of lighter and darker wood.
    const int streaks = int(acrossLen / 12) + 3;
    for (int i = 0; i < streaks; ++i) {
        const qreal c = across0 + rnd.range(-8, acrossLen + 8);
        const qreal w = rnd.range(4, 22);
        const QColor col = rnd.chance(0.55) ? withAlpha(kWoodDeep, int(rnd.range(20, 48)))
                                            : withAlpha(QColor(214, 142, 80), int(rnd.range(14, 34)));
        QLinearGradient g(at(c - w, along0), at(c + w, along0));
        g.setColorAt(0, withAlpha(col, 0));
        g.setColorAt(0.5, col);
        g.setColorAt(1, withAlpha(col, 0));
        p.fillRect(QRectF(at(c - w, along0), at(c + w, along0 + alongLen)).normalized(), g);
    }

    // Fine grain lines, all bent by a common slow wave so that they flow
    // together like real growth rings, each with a little wobble of its own.
    const double wf1 = rnd.range(0.008, 0.014), wp1 = rnd.range(0, 2 * M_PI), wa1 = rnd.range(3, 6);
    const double wf2 = rnd.range(0.025, 0.04), wp2 = rnd.range(0, 2 * M_PI), wa2 = rnd.range(0.8, 1.8);
    const int lines = std::max(2, int(acrossLen / spacing));
    const int steps = std::max(4, int(alongLen / 7));
    for (int i = 0; i < lines; ++i) {
        const qreal u0 = across0 + (i + rnd.range(-0.45, 0.45)) * acrossLen / (lines - 1);
        const double a = rnd.range(0.15, 0.9), f = rnd.range(0.04, 0.11), ph = rnd.range(0, 2 * M_PI);
        QPainterPath path;
        for (int s = 0; s <= steps; ++s) {
            const qreal v = along0 - 6 + (alongLen + 12) * s / steps;
            const qreal u = u0 + wa1 * std::sin(v * wf1 + wp1 + u0 * 0.018)
                            + wa2 * std::sin(v * wf2 + wp2 + u0 * 0.045) + a * std::sin(v * f + ph);
            if (s == 0)
                path.moveTo(at(u, v));
            else
                path.lineTo(at(u, v));
        }
        const bool dark = rnd.chance(0.72);
        const QColor col = dark ? withAlpha(kWoodDeep, int(rnd.range(26, 80)))
                                : withAlpha(QColor(222, 150, 88), int(rnd.range(18, 44)));
        p.strokePath(path, QPen(col, rnd.range(0.35, 1.25)));
    }

    // Short dark pores scattered along the grain.
    const int pores = int(acrossLen * alongLen / 260);
    for (int i = 0; i < pores; ++i) {
        const qreal u = across0 + rnd.range(0, acrossLen);
        const qreal v = along0 + rnd.range(0, alongLen);
        const qreal len = rnd.range(2, 7);
        p.setPen(QPen(withAlpha(kWoodDeep, int(rnd.range(30, 70))), rnd.range(0.4, 0.8), Qt::SolidLine,
                      Qt::RoundCap));
        p.drawLine(at(u, v), at(u, v + len));
    }
}

// A wooden part: base colour, grain, clipped to its outline.
void paintWoodPart(QPainter &p, const QPainterPath &shape, bool alongY, std::uint64_t seed,
                   const QBrush &base)
{
    p.fillPath(shape, base);
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    paintGrain(p, shape.boundingRect().adjusted(-2, -2, 2, 2), alongY, seed);
    p.restore();
}

// ---------------------------------------------------------------------------
// Brass

QLinearGradient brassGradient(const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(250, 228, 156));
    g.setColorAt(0.16, QColor(230, 190, 100));
    g.setColorAt(0.52, QColor(196, 146, 60));
    g.setColorAt(0.84, QColor(166, 116, 42));
    g.setColorAt(1.0, QColor(206, 164, 82));
    return g;
}

// A polished, slightly brushed brass surface with a bevelled rim.
void paintBrassPlate(QPainter &p, const QRectF &r, qreal radius, std::uint64_t seed)
{
    QPainterPath shape;
    shape.addRoundedRect(r, radius, radius);
    p.fillPath(shape, brassGradient(r));

    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    // Brushing: fine horizontal streaks.
    Random rnd(seed);
    for (qreal y = r.top() + 0.5; y < r.bottom(); y += rnd.range(0.7, 1.6)) {
        const bool light = rnd.chance(0.5);
        const QColor col = light ? QColor(255, 246, 210, int(rnd.range(10, 40)))
                                 : QColor(90, 60, 15, int(rnd.range(8, 28)));
        const qreal x0 = r.left() + rnd.range(-20, r.width() * 0.5);
        const qreal len = rnd.range(r.width() * 0.3, r.width() * 1.2);
        p.setPen(QPen(col, rnd.range(0.3, 0.7)));
        p.drawLine(QPointF(x0, y), QPointF(x0 + len, y));
    }
    // A soft diagonal sheen across the polish.
    QLinearGradient sheen(r.topLeft(), QPointF(r.left() + r.height() * 0.8 + r.width() * 0.6, r.bottom()));
    sheen.setColorAt(0.0, QColor(255, 255, 240, 0));
    sheen.setColorAt(0.32, QColor(255, 252, 230, 70));
    sheen.setColorAt(0.5, QColor(255, 255, 240, 0));
    sheen.setColorAt(0.78, QColor(255, 250, 225, 30));
    sheen.setColorAt(1.0, QColor(255, 255, 240, 0));
    p.fillRect(r, sheen);
    p.restore();

    // Bevelled rim: bright along the top, dark along the bottom.
    QLinearGradient rim(r.topLeft(), r.bottomLeft());
    rim.setColorAt(0.0, QColor(255, 246, 205, 230));
    rim.setColorAt(0.45, QColor(240, 205, 130, 120));
    rim.setColorAt(0.55, QColor(120, 80, 25, 120));
    rim.setColorAt(1.0, QColor(86, 56, 16, 230));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 1.2));
    p.drawRoundedRect(r.adjusted(0.9, 0.9, -0.9, -0.9), radius - 0.9, radius - 0.9);
    p.setPen(QPen(QColor(58, 36, 8, 220), 0.8));
    p.drawRoundedRect(r.adjusted(0.2, 0.2, -0.2, -0.2), radius, radius);
}

// A round screw head with a slot. Brass colouring.
void paintScrew(QPainter &p, QPointF c, qreal r, qreal slotAngle)
{
    p.setPen(Qt::NoPen);
    // Shadow of the countersink.
    QRadialGradient shade(c + QPointF(0.4, 0.6), r + 1.6);
    shade.setColorAt(0.7, QColor(0, 0, 0, 150));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawEllipse(c + QPointF(0.4, 0.6), r + 1.6, r + 1.6);

    QRadialGradient g(c, r, c + QPointF(-r * 0.4, -r * 0.45));
    g.setColorAt(0.0, QColor(255, 244, 200));
    g.setColorAt(0.45, QColor(222, 178, 88));
    g.setColorAt(1.0, QColor(132, 90, 32));
    p.setBrush(g);
    p.setPen(QPen(QColor(70, 45, 14), qMax(0.5, r * 0.1)));
    p.drawEllipse(c, r, r);

    const QLineF slot = QLineF::fromPolar(r * 0.86, slotAngle).translated(c);
    const QLineF full(c - (slot.p2() - c), slot.p2());
    const qreal w = qMax(0.8, r * 0.24);
    p.setPen(QPen(QColor(255, 240, 190, 170), w * 0.7, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(full.translated(r * 0.06, r * 0.1));
    p.setPen(QPen(QColor(78, 50, 16), w, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(full);
}

// ---------------------------------------------------------------------------
// The face

constexpr qreal kCentreX = 154;
constexpr qreal kBodyTop = 6;
constexpr qreal kBodyBottom = 464;
constexpr qreal kBodyTopHalf = 42;     // 84 px wide at the top
constexpr qreal kBodyBottomHalf = 145; // 290 px wide at the bottom
constexpr qreal kFieldTop = 15;
constexpr qreal kFieldBottom = 384;
constexpr qreal kFieldInset = 13; // wood between the case edge and the field
constexpr qreal kChamfer = 4;     // bevel around the field
constexpr qreal kEdgeBevel = 4;   // bevel along the case edges

qreal bodyHalf(qreal y)
{
    return kBodyTopHalf + (kBodyBottomHalf - kBodyTopHalf) * (y - kBodyTop) / (kBodyBottom - kBodyTop);
}

qreal fieldHalf(qreal y) { return bodyHalf(y) - kFieldInset; }

QPointF leftAt(qreal y, qreal half) { return {kCentreX - half, y}; }
QPointF rightAt(qreal y, qreal half) { return {kCentreX + half, y}; }

QPainterPath trapezoid(qreal top, qreal topHalf, qreal bottom, qreal bottomHalf)
{
    QPainterPath path;
    path.moveTo(leftAt(top, topHalf));
    path.lineTo(rightAt(top, topHalf));
    path.lineTo(rightAt(bottom, bottomHalf));
    path.lineTo(leftAt(bottom, bottomHalf));
    path.closeSubpath();
    return path;
}

// Base colour of a wooden part: lit from the left, falling into shade on the right.
QLinearGradient woodAcross(qreal left, qreal right)
{
    QLinearGradient g(left, 0, right, 0);
    g.setColorAt(0.0, kWoodLight);
    g.setColorAt(0.45, kWoodMid);
    g.setColorAt(1.0, kWoodDark);
    return g;
}

void paintCaseBody(QPainter &p)
{
    const QPainterPath body = trapezoid(kBodyTop, kBodyTopHalf, kBodyBottom, kBodyBottomHalf);
    const QLinearGradient base = woodAcross(kCentreX - kBodyBottomHalf, kCentreX + kBodyBottomHalf);

    // The front is a frame: two slanted stiles running the full height with
    // the grain along them, a short top rail with the grain across, and the
    // lower panel between the stiles with upright grain.
    paintWoodPart(p, body, true, 0x5EED0001, base);

    const QPainterPath topRail = trapezoid(kBodyTop, kBodyTopHalf - kFieldInset, kFieldTop,
                                           bodyHalf(kFieldTop) - kFieldInset);
    p.save();
    p.setClipPath(topRail, Qt::IntersectClip);
    p.fillPath(topRail, base);
    paintGrain(p, topRail.boundingRect().adjusted(-2, -2, 2, 2), false, 0x5EED0007, 1.6);
    p.restore();

    const qreal slope = (kBodyBottomHalf - kBodyTopHalf) / (kBodyBottom - kBodyTop);
    const qreal slant = qRadiansToDegrees(std::atan(slope));
    const qreal length = (kBodyBottom - kBodyTop) / std::cos(std::atan(slope)) + 4;
    for (const int side : {-1, 1}) {
        const qreal outer0 = kBodyTopHalf, outer1 = kBodyBottomHalf;
        QPainterPath stile;
        stile.moveTo(kCentreX + side * outer0, kBodyTop);
        stile.lineTo(kCentreX + side * (outer0 - kFieldInset), kBodyTop);
        stile.lineTo(kCentreX + side * (outer1 - kFieldInset), kBodyBottom);
        stile.lineTo(kCentreX + side * outer1, kBodyBottom);
        stile.closeSubpath();
        p.save();
        p.setClipPath(stile, Qt::IntersectClip);
        p.fillPath(stile, base);
        // Grain drawn in the stile's own upright frame, then tilted into place.
        p.translate(kCentreX + side * outer0, kBodyTop);
        p.rotate(-side * slant);
        const qreal w = kFieldInset / std::cos(std::atan(slope)) + 2;
        paintGrain(p, side < 0 ? QRectF(-1, -2, w, length) : QRectF(-w + 1, -2, w, length), true,
                   side < 0 ? 0x5EED0008 : 0x5EED0009, 1.7);
        p.restore();
    }
    // Fine joint lines between the parts of the frame.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(kWoodDeep, 120), 0.6));
    for (const int side : {-1, 1}) {
        const qreal x0 = kCentreX + side * (kBodyTopHalf - kFieldInset);
        p.drawLine(QPointF(x0, kBodyTop), QPointF(kCentreX + side * fieldHalf(kFieldTop), kFieldTop));
        p.drawLine(QPointF(kCentreX + side * fieldHalf(kFieldBottom), kFieldBottom),
                   QPointF(kCentreX + side * (kBodyBottomHalf - kFieldInset), kBodyBottom));
    }

    // Light from the upper left: the upper part a touch brighter, the lower
    // part and the right side a little darker, with a soft varnish sheen.
    p.save();
    p.setClipPath(body, Qt::IntersectClip);
    QLinearGradient vertical(0, kBodyTop, 0, kBodyBottom);
    vertical.setColorAt(0.0, QColor(255, 220, 170, 34));
    vertical.setColorAt(0.5, QColor(255, 220, 170, 0));
    vertical.setColorAt(1.0, QColor(0, 0, 0, 60));
    p.fillRect(body.boundingRect(), vertical);
    QLinearGradient sheen(QPointF(60, 60), QPointF(200, 300));
    sheen.setColorAt(0.0, QColor(255, 236, 200, 0));
    sheen.setColorAt(0.42, QColor(255, 236, 200, 30));
    sheen.setColorAt(0.6, QColor(255, 236, 200, 0));
    p.fillRect(body.boundingRect(), sheen);
    p.restore();

    // Bevels along the case edges.
    const qreal b = kEdgeBevel;
    const QPointF oTL = leftAt(kBodyTop, kBodyTopHalf), oTR = rightAt(kBodyTop, kBodyTopHalf);
    const QPointF oBL = leftAt(kBodyBottom, kBodyBottomHalf), oBR = rightAt(kBodyBottom, kBodyBottomHalf);
    const QPointF iTL = leftAt(kBodyTop + b, bodyHalf(kBodyTop + b) - b);
    const QPointF iTR = rightAt(kBodyTop + b, bodyHalf(kBodyTop + b) - b);
    const QPointF iBL = leftAt(kBodyBottom, kBodyBottomHalf - b);
    const QPointF iBR = rightAt(kBodyBottom, kBodyBottomHalf - b);
    fillQuad(p, oTL, oTR, iTR, iTL, QColor(255, 228, 180, 90));
    {
        QLinearGradient g(oTL, oBL);
        g.setColorAt(0, QColor(255, 228, 180, 80));
        g.setColorAt(1, QColor(255, 228, 180, 40));
        fillQuad(p, oTL, iTL, iBL, oBL, g);
    }
    fillQuad(p, oTR, oBR, iBR, iTR, QColor(20, 8, 0, 90));
    // A crisp highlight where the bevel meets the face, and a dark outer edge.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 225, 175, 70), 0.7));
    p.drawLine(iTL, iBL);
    p.drawLine(iTL, iTR);
    p.setPen(QPen(QColor(30, 12, 2, 200), 1.0));
    p.drawPath(body);
}

void paintField(QPainter &p)
{
    const qreal c = kChamfer;
    const QPainterPath field = trapezoid(kFieldTop, fieldHalf(kFieldTop), kFieldBottom, fieldHalf(kFieldBottom));

    // The dark back of the case behind the rod.
    QLinearGradient back(0, kFieldTop, 0, kFieldBottom);
    back.setColorAt(0.0, QColor(30, 27, 25));
    back.setColorAt(0.6, QColor(20, 18, 17));
    back.setColorAt(1.0, QColor(14, 13, 12));
    p.fillPath(field, back);

    p.save();
    p.setClipPath(field, Qt::IntersectClip);
    const QRectF fr = field.boundingRect();
    // Shadows thrown by the surrounding wood onto the back.
    QLinearGradient topShadow(0, kFieldTop, 0, kFieldTop + 14);
    topShadow.setColorAt(0, QColor(0, 0, 0, 170));
    topShadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(fr, topShadow);
    // The slanted left side throws a narrow band of shadow.
    {
        const QPointF a = leftAt(kFieldTop, fieldHalf(kFieldTop));
        const QPointF d = leftAt(kFieldBottom, fieldHalf(kFieldBottom));
        fillQuad(p, a, a + QPointF(8, 0), d + QPointF(8, 0), d, QColor(0, 0, 0, 60));
        fillQuad(p, a, a + QPointF(3.5, 0), d + QPointF(3.5, 0), d, QColor(0, 0, 0, 60));
    }
    // A faint glow low in the field, as from light falling in at the front.
    QRadialGradient glow(QPointF(kCentreX, kFieldBottom + 40), 220);
    glow.setColorAt(0, QColor(70, 60, 52, 40));
    glow.setColorAt(1, QColor(70, 60, 52, 0));
    p.fillRect(fr, glow);
    p.restore();

    // Chamfer around the opening, shaded as a recess lit from the upper left.
    const QPointF iTL = leftAt(kFieldTop, fieldHalf(kFieldTop)), iTR = rightAt(kFieldTop, fieldHalf(kFieldTop));
    const QPointF iBL = leftAt(kFieldBottom, fieldHalf(kFieldBottom));
    const QPointF iBR = rightAt(kFieldBottom, fieldHalf(kFieldBottom));
    const QPointF oTL = leftAt(kFieldTop - c, fieldHalf(kFieldTop - c) + c);
    const QPointF oTR = rightAt(kFieldTop - c, fieldHalf(kFieldTop - c) + c);
    const QPointF oBL = leftAt(kFieldBottom + c, fieldHalf(kFieldBottom + c) + c);
    const QPointF oBR = rightAt(kFieldBottom + c, fieldHalf(kFieldBottom + c) + c);
    fillQuad(p, oTL, oTR, iTR, iTL, QColor(10, 3, 0, 150));
    fillQuad(p, oTL, iTL, iBL, oBL, QColor(10, 3, 0, 95));
    fillQuad(p, oTR, oBR, iBR, iTR, QColor(255, 226, 176, 55));
    fillQuad(p, oBL, iBL, iBR, oBR, QColor(255, 226, 176, 80));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(26, 10, 2, 170), 0.8));
    p.drawLine(oTL, oTR);
    p.drawLine(oTL, oBL);
    p.setPen(QPen(QColor(255, 226, 176, 70), 0.8));
    p.drawLine(oTR, oBR);
    p.drawLine(oBL, oBR);
    p.setPen(QPen(QColor(0, 0, 0, 200), 0.8));
    p.drawPath(field);
}

void paintLowerPanel(QPainter &p)
{
    // A thin inlaid line of pale wood framing the lower front, like the
    // stringing on a cabinet door.
    const qreal top = kFieldBottom + kChamfer + 11;
    const qreal bottom = kBodyBottom - 12;
    const qreal inset = kFieldInset + 7;
    const QPainterPath inlay = trapezoid(top, bodyHalf(top) - inset, bottom, bodyHalf(bottom) - inset);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(30, 12, 2, 120), 2.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(inlay);
    p.setPen(QPen(QColor(226, 180, 120, 190), 1.1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(inlay);

    // A small brass diamond in the middle of the panel.
    const QPointF c(kCentreX, (top + bottom) / 2);
    QPainterPath diamond;
    diamond.moveTo(c + QPointF(0, -9));
    diamond.lineTo(c + QPointF(14, 0));
    diamond.lineTo(c + QPointF(0, 9));
    diamond.lineTo(c + QPointF(-14, 0));
    diamond.closeSubpath();
    p.fillPath(diamond.translated(0.6, 0.9), QColor(20, 8, 0, 140));
    QLinearGradient g(c + QPointF(-10, -9), c + QPointF(10, 9));
    g.setColorAt(0, QColor(252, 232, 165));
    g.setColorAt(0.5, QColor(206, 158, 70));
    g.setColorAt(1, QColor(140, 96, 34));
    p.fillPath(diamond, g);
    p.setPen(QPen(QColor(80, 52, 14), 0.7));
    p.drawPath(diamond);
    p.setPen(QPen(QColor(255, 244, 210, 150), 0.7));
    p.drawLine(c + QPointF(-12.5, 0), c + QPointF(0, -7.8));
}

void paintMouldingBand(QPainter &p, const QRectF &r, qreal radius, std::uint64_t seed,
                       std::initializer_list<std::pair<qreal, QColor>> shading)
{
    QPainterPath shape;
    shape.addRoundedRect(r, radius, radius);
    paintWoodPart(p, shape, false, seed, woodAcross(r.left(), r.right()));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    for (const auto &[pos, col] : shading)
        g.setColorAt(pos, col);
    p.fillPath(shape, g);
    // Ends: lit on the left, in shadow on the right.
    QLinearGradient ends(r.topLeft(), r.topRight());
    ends.setColorAt(0.0, QColor(255, 226, 176, 50));
    ends.setColorAt(0.04, QColor(255, 226, 176, 0));
    ends.setColorAt(0.96, QColor(0, 0, 0, 0));
    ends.setColorAt(1.0, QColor(0, 0, 0, 90));
    p.fillPath(shape, ends);
    p.setPen(QPen(QColor(30, 12, 2, 200), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

void paintBase(QPainter &p)
{
    const QColor hi(255, 230, 185, 110);
    const QColor clear(0, 0, 0, 0);
    // Foot.
    paintMouldingBand(p, QRectF(7, 498, 294, 7), 1.5, 0x5EED0005,
                      {{0.0, QColor(0, 0, 0, 60)}, {1.0, QColor(0, 0, 0, 170)}});
    // Plinth block.
    paintMouldingBand(p, QRectF(4, 476, 300, 23), 2, 0x5EED0004,
                      {{0.0, hi}, {0.1, QColor(255, 230, 185, 30)}, {0.5, clear}, {0.88, QColor(0, 0, 0, 70)},
                       {1.0, QColor(0, 0, 0, 140)}});
    // Cove between case and plinth.
    paintMouldingBand(p, QRectF(5.5, 467, 297, 10), 2, 0x5EED0003,
                      {{0.0, QColor(0, 0, 0, 150)}, {0.3, QColor(0, 0, 0, 40)}, {0.65, QColor(255, 230, 185, 70)},
                       {1.0, QColor(0, 0, 0, 60)}});
    // Lip at the foot of the case.
    paintMouldingBand(p, QRectF(7.5, 461, 293, 6.5), 1.5, 0x5EED0002,
                      {{0.0, QColor(255, 230, 185, 120)}, {0.4, QColor(255, 230, 185, 20)}, {1.0, QColor(0, 0, 0, 100)}});
}

void paintCap(QPainter &p)
{
    const QRectF r(106, 1, 96, 7);
    QPainterPath shape;
    shape.addRoundedRect(r, 2, 2);
    paintWoodPart(p, shape, false, 0x5EED0006, woodAcross(r.left(), r.right()));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(255, 232, 190, 130));
    g.setColorAt(0.35, QColor(255, 232, 190, 20));
    g.setColorAt(1.0, QColor(0, 0, 0, 120));
    p.fillPath(shape, g);
    p.setPen(QPen(QColor(30, 12, 2, 210), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

void paintPivotScrew(QPainter &p)
{
    const QPointF c(kPivot);
    // A brass washer under the screw head.
    QRadialGradient washer(c, 9.5, c + QPointF(-3, -3));
    washer.setColorAt(0.0, QColor(214, 172, 92));
    washer.setColorAt(1.0, QColor(118, 82, 30));
    p.setPen(QPen(QColor(40, 26, 6), 0.8));
    p.setBrush(washer);
    p.drawEllipse(c, 9.5, 9.5);
    paintScrew(p, c, 6.6, 62);
}

} // namespace

// ---------------------------------------------------------------------------

void paintFace(QPainter &p, bool withBackground)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (withBackground)
        p.fillRect(QRectF(QPointF(0, 0), QSizeF(kFaceSize)), Qt::black);
    paintCaseBody(p);
    paintField(p);
    paintLowerPanel(p);
    paintBase(p);
    paintCap(p);
    paintPivotScrew(p);
    p.restore();
}

void paintWeight(QPainter &p, bool withBackground)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (withBackground)
        p.fillRect(QRectF(QPointF(0, 0), QSizeF(kWeightSize)), Qt::black);

    // The rod passing through the weight.
    p.fillRect(QRectF(13.5, 0, 5, 32), QColor(120, 120, 120));

    const QRectF block(4, 6.5, 24, 19);
    QPainterPath shape;
    shape.addRoundedRect(block, 3.5, 3.5);

    // Soft shadow on the rod just below the block.
    QLinearGradient drop(0, block.bottom(), 0, block.bottom() + 2.5);
    drop.setColorAt(0, QColor(0, 0, 0, 120));
    drop.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(13.5, block.bottom(), 5, 2.5), drop);

    // Polished chrome: bright and dark bands across the block...
    QLinearGradient chrome(block.topLeft(), block.topRight());
    chrome.setColorAt(0.0, QColor(104, 108, 116));
    chrome.setColorAt(0.1, QColor(206, 210, 216));
    chrome.setColorAt(0.28, QColor(252, 252, 253));
    chrome.setColorAt(0.48, QColor(168, 172, 180));
    chrome.setColorAt(0.66, QColor(136, 140, 148));
    chrome.setColorAt(0.86, QColor(226, 228, 232));
    chrome.setColorAt(1.0, QColor(112, 116, 124));
    p.fillPath(shape, chrome);
    // ...with the top catching the light and the bottom in shade.
    QLinearGradient round(block.topLeft(), block.bottomLeft());
    round.setColorAt(0.0, QColor(255, 255, 255, 120));
    round.setColorAt(0.22, QColor(255, 255, 255, 10));
    round.setColorAt(0.7, QColor(0, 0, 0, 0));
    round.setColorAt(1.0, QColor(0, 0, 0, 95));
    p.fillPath(shape, round);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
    p.drawRoundedRect(block.adjusted(0.9, 0.9, -0.9, -0.9), 2.7, 2.7);
    p.setPen(QPen(QColor(46, 48, 54), 0.9));
    p.drawPath(shape);

    // Engraved double-headed arrow: the weight slides up and down.
    const QColor groove(58, 60, 66);
    const QColor catchLight(255, 255, 255, 80);
    const qreal cx = 16, top = 9.6, bottom = 22.4;
    QPainterPath arrow;
    arrow.moveTo(cx, top);
    arrow.lineTo(cx + 3.6, top + 4.0);
    arrow.lineTo(cx + 0.85, top + 4.0);
    arrow.lineTo(cx + 0.85, bottom - 4.0);
    arrow.lineTo(cx + 3.6, bottom - 4.0);
    arrow.lineTo(cx, bottom);
    arrow.lineTo(cx - 3.6, bottom - 4.0);
    arrow.lineTo(cx - 0.85, bottom - 4.0);
    arrow.lineTo(cx - 0.85, top + 4.0);
    arrow.lineTo(cx - 3.6, top + 4.0);
    arrow.closeSubpath();
    engrave(p, arrow, groove, catchLight);

    p.restore();
}

void paintLamp(QPainter &p, int number, bool lit)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(kLampSize));
    const QPointF centre = r.center();
    p.fillRect(r, Qt::black);

    if (lit) {
        QRadialGradient glow(centre, 19, centre + QPointF(-1.5, -3));
        glow.setColorAt(0.0, QColor(255, 128, 96));
        glow.setColorAt(0.3, QColor(244, 48, 30));
        glow.setColorAt(0.72, QColor(196, 12, 8));
        glow.setColorAt(1.0, QColor(140, 0, 0));
        p.fillRect(r, glow);
    } else {
        QRadialGradient glass(centre, 17, centre + QPointF(-1.5, -3));
        glass.setColorAt(0.0, QColor(40, 38, 40));
        glass.setColorAt(0.6, QColor(16, 15, 16));
        glass.setColorAt(1.0, QColor(0, 0, 0));
        p.fillRect(r, glass);
    }
    // Reflection on the glass.
    QRadialGradient shine(QPointF(11.5, 4), 10);
    shine.setColorAt(0, QColor(255, 255, 255, lit ? 60 : 26));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.save();
    p.translate(11.5, 4);
    p.scale(1, 0.45);
    p.translate(-11.5, -4);
    p.fillRect(QRectF(0, -8, 23, 24), shine);
    p.restore();

    const QFont font = makeFont(QStringLiteral("Arial"), 24, QFont::Bold);
    QPainterPath digit;
    digit.addText(0, 0, font, QString::number(number));
    const QRectF b = digit.boundingRect();
    digit.translate(centre - b.center() + QPointF(0, 0.5));
    if (lit) {
        // A little halo, as the lamp glows brightest behind the figure.
        p.strokePath(digit, QPen(QColor(255, 180, 150, 60), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(digit, Qt::white);
    } else {
        p.fillPath(digit.translated(0.6, 0.8), QColor(0, 0, 0));
        p.fillPath(digit, Qt::white);
    }
    p.restore();
}

void paintTopPicture(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), QSizeF(kTopPictureSize));
    p.fillRect(area, Qt::black);

    const QRectF plate = area.adjusted(2, 3, -2, -3);
    paintBrassPlate(p, plate, 7, 0x5EED0101);

    const QColor groove(96, 62, 16);
    const QColor catchLight(255, 246, 205, 190);

    // Engraved double border.
    for (const qreal inset : {5.0, 7.5}) {
        QPainterPath border;
        const QRectF br = plate.adjusted(inset, inset, -inset, -inset);
        border.addRoundedRect(br, 7 - inset * 0.6, 7 - inset * 0.6);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(catchLight, inset < 6 ? 0.9 : 0.6));
        p.drawPath(border.translated(0.5, 0.7));
        p.setPen(QPen(groove, inset < 6 ? 0.9 : 0.6));
        p.drawPath(border);
    }

    // Small pendulum emblems, swinging apart, either side of the lettering.
    const auto emblem = [&](qreal cx, qreal tilt) {
        QPainterPath caseShape;
        caseShape.moveTo(cx - 4, 15);
        caseShape.lineTo(cx + 4, 15);
        caseShape.lineTo(cx + 10, 42);
        caseShape.lineTo(cx - 10, 42);
        caseShape.closeSubpath();
        caseShape.addRect(QRectF(cx - 11.5, 42, 23, 3.2));
        engrave(p, caseShape, QColor(104, 68, 20), catchLight);
        // The inner field as a darker cut.
        QPainterPath field;
        field.moveTo(cx - 2.2, 18);
        field.lineTo(cx + 2.2, 18);
        field.lineTo(cx + 6.6, 37);
        field.lineTo(cx - 6.6, 37);
        field.closeSubpath();
        p.fillPath(field, QColor(52, 32, 8));
        // Rod and weight in bright brass, standing proud of the cut.
        const QPointF pivot(cx, 36);
        const QPointF tip = pivot + QPointF(std::sin(qDegreesToRadians(tilt)) * 17,
                                            -std::cos(qDegreesToRadians(tilt)) * 17);
        p.setPen(QPen(QColor(252, 232, 168), 1.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(pivot, tip);
        const QPointF w = pivot + (tip - pivot) * 0.62;
        p.save();
        p.translate(w);
        p.rotate(tilt);
        p.setPen(QPen(QColor(90, 58, 14), 0.5));
        p.setBrush(QColor(246, 222, 150));
        p.drawRoundedRect(QRectF(-2.4, -1.8, 4.8, 3.6), 0.8, 0.8);
        p.restore();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(246, 222, 150));
        p.drawEllipse(pivot, 1.3, 1.3);
    };
    emblem(30, -15);
    emblem(210, 15);

    // The lettering, cut deep into the brass.
    const QFont font = makeFont(QStringLiteral("Times New Roman"), 28, QFont::Bold, 2.5);
    const QPainterPath text = fittedText(font, QStringLiteral("METRONOM"), QRectF(50, 16, 140, 26));
    QLinearGradient letters(0, 16, 0, 42);
    letters.setColorAt(0, QColor(70, 44, 10));
    letters.setColorAt(1, QColor(112, 74, 22));
    p.fillPath(text.translated(0.7, 1.0), catchLight);
    p.fillPath(text, letters);

    p.restore();
}

void paintPlate(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), QSizeF(kPlateSize));
    p.fillRect(area, QColor(128, 64, 0));

    const QRectF plate = area.adjusted(1, 1, -1, -1);
    paintBrassPlate(p, plate, 3, 0x5EED0201);

    const QColor groove(98, 64, 18);
    const QColor catchLight(255, 246, 205, 180);

    paintScrew(p, QPointF(7.5, 11), 2.6, 40);
    paintScrew(p, QPointF(76.5, 11), 2.6, 130);

    const QFont font = makeFont(QStringLiteral("Times New Roman"), 13, QFont::Bold, 2.0);
    const QPainterPath text = fittedText(font, QStringLiteral("TAKT"), QRectF(28, 5.5, 28, 11));
    engrave(p, text, groove, catchLight);

    // Little engraved flourishes between the screws and the word: a diamond
    // with a short line either side.
    for (const qreal sign : {-1.0, 1.0}) {
        const QPointF d(42 + sign * 22.5, 11);
        engraveLine(p, d - QPointF(5, 0), d + QPointF(5, 0), 0.6, groove, catchLight);
        QPainterPath dot;
        dot.moveTo(d + QPointF(0, -1.7));
        dot.lineTo(d + QPointF(1.7, 0));
        dot.lineTo(d + QPointF(0, 1.7));
        dot.lineTo(d + QPointF(-1.7, 0));
        dot.closeSubpath();
        engrave(p, dot, groove, catchLight);
    }
    p.restore();
}

QSize pictureSize(Picture which)
{
    switch (which) {
    case Picture::Face: return kFaceSize;
    case Picture::Weight: return kWeightSize;
    case Picture::TopPicture: return kTopPictureSize;
    case Picture::Plate: return kPlateSize;
    }
    return {};
}

namespace {

QPixmap makeCanvas(QSize logical, qreal dpr)
{
    if (!(dpr > 0))
        dpr = 1;
    // Round up so the whole picture fits at fractional ratios too.
    const QSize device(qCeil(logical.width() * dpr - 1e-6), qCeil(logical.height() * dpr - 1e-6));
    QPixmap pixmap(device);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::black);
    return pixmap;
}

} // namespace

QPixmap render(Picture which, qreal devicePixelRatio)
{
    QPixmap pixmap = makeCanvas(pictureSize(which), devicePixelRatio);
    QPainter p(&pixmap);
    switch (which) {
    case Picture::Face: paintFace(p); break;
    case Picture::Weight: paintWeight(p); break;
    case Picture::TopPicture: paintTopPicture(p); break;
    case Picture::Plate: paintPlate(p); break;
    }
    p.end();
    return pixmap;
}

QPixmap renderWeightOverFace(qreal devicePixelRatio)
{
    QPixmap pixmap = makeCanvas(kWeightSize, devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paintWeight(p, false);
    p.end();
    return pixmap;
}

QPixmap renderLamp(int number, bool lit, qreal devicePixelRatio)
{
    QPixmap pixmap = makeCanvas(kLampSize, devicePixelRatio);
    QPainter p(&pixmap);
    paintLamp(p, number, lit);
    p.end();
    return pixmap;
}

} // namespace ui::artwork
