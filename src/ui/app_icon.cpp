#include "ui/app_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QtMath>

#include "ui/artwork.h"

namespace ui {

void paintAppIcon(QPainter &p, const QRectF &square)
{
    using namespace artwork;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = square.height() / kFaceSize.height();
    p.translate(square.center().x() - kFaceSize.width() * scale / 2, square.top());
    p.scale(scale, scale);
    paintFace(p, false);

    // The rod swung 14 degrees to the right of upright, the weight on it a third of the way up.
    const QPointF pivot(kPivot);
    const qreal angle = qDegreesToRadians(14.0), length = 330.0;
    const QPointF tip = pivot + QPointF(std::sin(angle) * length, -std::cos(angle) * length);
    // Thicker than on the window, so that it still shows at the small sizes.
    p.setPen(QPen(QColor(120, 120, 120), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, tip);
    p.translate(pivot + (tip - pivot) * 0.62);
    p.rotate(14.0);
    p.scale(1.6, 1.6);
    p.translate(-kWeightSize.width() / 2.0, -kWeightSize.height() / 2.0);
    paintWeight(p, false);
    p.restore();
}

namespace {

class PaintedIcon : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height());
        paintAppIcon(*painter, QRectF(rect.center().x() - side / 2 + 0.5, rect.center().y() - side / 2 + 0.5, side, side));
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
