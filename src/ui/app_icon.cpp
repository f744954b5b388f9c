#include "ui/app_icon.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QtMath>
#include <algorithm>

namespace ui {

namespace {

// The icon is drawn on a square of 256 units: plain filled paths with linear gradients, nothing
// clipped and no pictures, so that it is the same drawing as pixels and as SVG.
constexpr qreal kUnits = 256;

QPainterPath Polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

QLinearGradient Across(qreal left, qreal right, QColor a, QColor b, QColor c)
{
    QLinearGradient g(left, 0, right, 0);
    g.setColorAt(0, a);
    g.setColorAt(0.45, b);
    g.setColorAt(1, c);
    return g;
}

} // namespace

void paintAppIcon(QPainter &p, const QRectF &square)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(square.topLeft());
    const qreal scale = square.width() / kUnits;
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    // At least 1.4 device pixels wide, so that the rod and the outlines show at 16 pixels.
    const qreal pixel = 1 / std::max(scale, 1e-3);
    const QColor outline(40, 16, 4);

    // The base: a dark wooden plinth.
    QPainterPath base;
    base.addRoundedRect(QRectF(22, 214, 212, 26), 6, 6);
    p.fillPath(base, outline);
    QPainterPath baseTop;
    baseTop.addRoundedRect(QRectF(26, 216, 204, 20), 4, 4);
    p.fillPath(baseTop, Across(26, 230, QColor(150, 80, 36), QColor(112, 56, 22), QColor(70, 32, 10)));

    // The case: a wooden pyramid with a flat top.
    p.fillPath(Polygon({{98, 14}, {158, 14}, {216, 218}, {40, 218}}), outline);
    p.fillPath(Polygon({{101, 19}, {155, 19}, {210, 216}, {46, 216}}),
               Across(46, 210, QColor(196, 112, 56), QColor(150, 78, 34), QColor(92, 44, 16)));

    // The face: the cream scale the pendulum swings over, with a few tempo marks.
    const QPainterPath face = Polygon({{110, 40}, {146, 40}, {176, 200}, {80, 200}});
    p.fillPath(face, QColor(70, 34, 12));
    p.fillPath(Polygon({{112, 43}, {144, 43}, {172, 197}, {84, 197}}),
               Across(84, 172, QColor(250, 238, 206), QColor(236, 218, 178), QColor(206, 184, 140)));
    for (int i = 0; i < 6; ++i) {
        const qreal y = 58 + i * 22;
        p.fillRect(QRectF(121, y, 14, std::max(3.0, pixel)), QColor(150, 112, 70));
    }

    // The rod, swung 14 degrees to the right of upright from its pivot low on the face.
    const QPointF pivot(128, 186);
    const qreal angle = qDegreesToRadians(14.0), length = 168;
    const QPointF tip = pivot + QPointF(std::sin(angle) * length, -std::cos(angle) * length);
    QPainterPath line(pivot);
    line.lineTo(tip);
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(9.0, 1.4 * pixel));
    stroker.setCapStyle(Qt::RoundCap);
    p.fillPath(stroker.createStroke(line), QColor(44, 44, 52));
    QPainterPath pin;
    pin.addEllipse(pivot, 9, 9);
    p.fillPath(pin, QColor(44, 44, 52));

    // The weight: a brass block on the rod, a third of the way down from its tip.
    p.translate(pivot + (tip - pivot) * 0.66);
    p.rotate(14.0);
    QPainterPath block;
    block.addRoundedRect(QRectF(-24, -18, 48, 36), 5, 5);
    p.fillPath(block, QColor(70, 45, 14));
    QPainterPath brass;
    brass.addRoundedRect(QRectF(-21, -15, 42, 30), 3, 3);
    p.fillPath(brass, Across(-21, 21, QColor(252, 230, 160), QColor(214, 168, 78), QColor(150, 104, 36)));
    p.restore();
}

namespace {

class PaintedIcon : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height());
        paintAppIcon(*painter,
                     QRectF(rect.center().x() + 0.5 - side / 2, rect.center().y() + 0.5 - side / 2, side, side));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine *clone() const override { return new PaintedIcon; }
};

} // namespace

QIcon AppIcon()
{
    return QIcon(new PaintedIcon);
}

} // namespace ui
