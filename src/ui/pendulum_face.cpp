#include "ui/pendulum_face.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <cmath>

#include "ui/artwork.h"

namespace ui {

PendulumFace::PendulumFace(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {

constexpr qreal kRodWidth = 5;
// Beyond the painted edge: the weight's picture is placed at whole device pixels (up to half a
// pixel off), and antialiasing may touch a partly covered pixel.
constexpr qreal kMargin = 1;
// The rod is covered by a chain of rectangles of this length: a tilted rod's one bounding
// rectangle would be many times its area.
constexpr qreal kRodPiece = 24;

} // namespace

QRegion PendulumFace::covered() const
{
    QRegion r;
    if (!rodColor_.isValid())
        return r;
    const qreal reach = kRodWidth / 2 + kMargin;
    const QPointF along = tip_ - pivot_;
    const int pieces = std::max(1, int(std::ceil(std::hypot(along.x(), along.y()) / kRodPiece)));
    for (int i = 0; i < pieces; ++i) {
        const QPointF a = pivot_ + along * (qreal(i) / pieces), b = pivot_ + along * (qreal(i + 1) / pieces);
        r += QRectF(a, b).normalized().adjusted(-reach, -reach, reach, reach).toAlignedRect();
    }
    if (swinging_) {
        const QSizeF half = QSizeF(artwork::kWeightSize) / 2.0 + QSizeF(kMargin, kMargin);
        r += QRectF(weightCentre_ - QPointF(half.width(), half.height()), half * 2).toAlignedRect();
    }
    return r;
}

void PendulumFace::setPendulum(QPointF pivot, QPointF tip, QColor rodColor)
{
    const QRegion before = covered();
    pivot_ = pivot;
    tip_ = tip;
    rodColor_ = rodColor;
    update(before + covered());
}

void PendulumFace::setSwingingWeight(QPointF weightCentre)
{
    const QRegion before = covered();
    swinging_ = true;
    weightCentre_ = weightCentre;
    update(before + covered());
}

void PendulumFace::clearSwingingWeight()
{
    const QRegion before = covered();
    swinging_ = false;
    update(before);
}

bool PendulumFace::swingTo(QPointF tip, QPointF weightCentre)
{
    const qreal halfPixel = 0.5 / devicePixelRatioF();
    auto still = [halfPixel](QPointF a, QPointF b) {
        return std::abs(a.x() - b.x()) < halfPixel && std::abs(a.y() - b.y()) < halfPixel;
    };
    if (swinging_ && still(tip, tip_) && still(weightCentre, weightCentre_))
        return false;
    const QRegion before = covered();
    tip_ = tip;
    swinging_ = true;
    weightCentre_ = weightCentre;
    update(before + covered());
    return true;
}

void PendulumFace::paintEvent(QPaintEvent *e)
{
    const qreal dpr = devicePixelRatioF();
    if (face_.isNull() || !qFuzzyCompare(faceRatio_, dpr)) {
        face_ = artwork::render(artwork::Picture::Face, dpr);
        face_.setDevicePixelRatio(1); // copied pixel for pixel, see below
        faceRatio_ = dpr;
        weight_ = artwork::renderWeightOverFace(dpr);
    }
    QPainter p(this);
    // The still parts, copied from the cached face only where they are to be repainted (the widget
    // may be taller than the face: black below it). In device pixels: with the painter's high-DPI
    // scale in place, the copy would take the raster engine's slower scaling path.
    p.save();
    p.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    const QRect faceRect(QPoint(0, 0), face_.size());
    for (const QRect &logical : e->region()) {
        const QRect r = QRectF(QPointF(logical.topLeft()) * dpr, QSizeF(logical.size()) * dpr).toAlignedRect();
        const QRect onFace = r & faceRect;
        if (onFace != r)
            p.fillRect(r, Qt::black);
        if (!onFace.isEmpty())
            p.drawPixmap(onFace.topLeft(), face_, onFace);
    }
    p.restore();
    if (!rodColor_.isValid())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(rodColor_, kRodWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(pivot_, tip_);
    if (swinging_) {
        const QSizeF half = QSizeF(artwork::kWeightSize) / 2.0;
        p.drawPixmap(weightCentre_ - QPointF(half.width(), half.height()), weight_);
    }
}

void PendulumFace::mousePressEvent(QMouseEvent *e)
{
    // The face is a handle for the window. Where the window system offers it, it moves the window
    // itself; otherwise the window follows the pointer one to one.
    QWidget *w = window();
    if (e->button() == Qt::LeftButton && w->windowHandle() && w->windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    pressGlobal_ = e->globalPosition();
    windowAtPress_ = w->pos();
}

void PendulumFace::mouseMoveEvent(QMouseEvent *e)
{
    if (!dragging_ || e->buttons() == Qt::NoButton)
        return;
    window()->move(windowAtPress_ + (e->globalPosition() - pressGlobal_).toPoint());
}

void PendulumFace::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->buttons() == Qt::NoButton)
        dragging_ = false;
}

} // namespace ui
