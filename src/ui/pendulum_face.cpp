#include "ui/pendulum_face.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/artwork.h"

namespace ui {

PendulumFace::PendulumFace(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PendulumFace::setPendulum(QPointF pivot, QPointF tip, QColor rodColor)
{
    pivot_ = pivot;
    tip_ = tip;
    rodColor_ = rodColor;
    update();
}

void PendulumFace::setSwingingWeight(QPointF weightCentre)
{
    swinging_ = true;
    weightCentre_ = weightCentre;
    update();
}

void PendulumFace::clearSwingingWeight()
{
    swinging_ = false;
    update();
}

void PendulumFace::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    if (face_.isNull() || !qFuzzyCompare(face_.devicePixelRatio(), dpr)) {
        face_ = artwork::render(artwork::Picture::Face, dpr);
        weight_ = artwork::renderWeightOverFace(dpr);
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawPixmap(0, 0, face_);
    if (!rodColor_.isValid())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(rodColor_, 5, Qt::SolidLine, Qt::FlatCap));
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
