#include "ui/pendulum_face.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QVarLengthArray>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/artwork.h"
#include "ui/rod_raster.h"

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
// What a frame repaints is cut into bands of rows, one rectangle each: a tilted rod's one bounding
// rectangle would be many times its area, and every further rectangle costs about as much as
// copying 2,700 device pixels more (the window system's request, Qt's flush and the band's set-up
// here; bench/frame_cost.sh --xserver). For a rod leaning by `slope` columns a row, a band h device
// rows high holds about h * h * slope pixels more than the rod's own strip; the sum over the rod
// is least at h = sqrt(2700 / slope).
constexpr qreal kBandCost = 52;  // sqrt(2700)
constexpr qreal kMostRows = 400; // a band's rows, at most (an upright rod)
} // namespace

QRegion PendulumFace::covered(const Pose &a, const Pose &b) const
{
    if (!rodColor_.isValid())
        return {};
    // A pixel within `reach` of the rod's centre line lies in a band whose rows, widened by `reach`,
    // hold that point of the line; so each band takes the line's columns over its widened rows.
    const qreal reach = kRodWidth / 2 + kMargin;
    const QPointF half =
        QPointF(artwork::kWeightSize.width(), artwork::kWeightSize.height()) / 2.0 + QPointF(kMargin, kMargin);
    const Pose *poses[] = {&a, &b};
    qreal top = pivot_.y(), bottom = pivot_.y(), slope = 0;
    qreal weightTop = qInf(), weightBottom = -qInf();
    for (const Pose *p : poses) {
        top = std::min(top, p->tip.y());
        bottom = std::max(bottom, p->tip.y());
        const QPointF d = p->tip - pivot_;
        slope = std::max(slope, d.y() != 0 ? std::abs(d.x() / d.y()) : qInf());
        if (p->swinging) {
            weightTop = std::min(weightTop, p->weight.y() - half.y());
            weightBottom = std::max(weightBottom, p->weight.y() + half.y());
        }
    }
    top = std::min(top, weightTop);
    bottom = std::max(bottom, weightBottom);
    // The weight's rows are a band of their own: it is much wider than the rod.
    const int weightFrom = weightTop < weightBottom ? int(std::floor(weightTop)) : INT_MAX;
    const int weightTo = weightTop < weightBottom ? int(std::ceil(weightBottom)) : INT_MAX;
    const qreal dpr = devicePixelRatioF();
    const int rows = int(std::clamp(kBandCost / (dpr * std::sqrt(slope)), 4.0, kMostRows / dpr)); // logical rows
    QVarLengthArray<QRect, 32> bands;
    for (int y0 = int(std::floor(top - reach)), y1 = y0; y0 < bottom + reach; y0 = y1) {
        y1 = y0 < weightFrom ? std::min(y0 + rows, weightFrom) : y0 < weightTo ? weightTo : y0 + rows;
        const qreal lo = y0 - reach, hi = y1 + reach; // the rows of the line this band needs
        qreal left = qInf(), right = -qInf();
        for (const Pose *p : poses) {
            // The part of the line from the pivot to the tip within rows lo..hi.
            const QPointF d = p->tip - pivot_;
            qreal t0 = 0, t1 = 1;
            if (d.y() != 0) {
                const qreal ta = (lo - pivot_.y()) / d.y(), tb = (hi - pivot_.y()) / d.y();
                t0 = std::max(t0, std::min(ta, tb));
                t1 = std::min(t1, std::max(ta, tb));
            } else if (pivot_.y() < lo || pivot_.y() > hi) {
                t0 = 1, t1 = 0;
            }
            if (t0 <= t1) {
                left = std::min({left, pivot_.x() + d.x() * t0 - reach, pivot_.x() + d.x() * t1 - reach});
                right = std::max({right, pivot_.x() + d.x() * t0 + reach, pivot_.x() + d.x() * t1 + reach});
            }
            if (p->swinging && p->weight.y() + half.y() > y0 && p->weight.y() - half.y() < y1) {
                left = std::min(left, p->weight.x() - half.x());
                right = std::max(right, p->weight.x() + half.x());
            }
        }
        if (left < right) {
            const int x0 = int(std::floor(left));
            bands.append(QRect(x0, y0, int(std::ceil(right)) - x0, y1 - y0));
        }
    }
    QRegion r;
    r.setRects(bands.constData(), int(bands.size())); // one rectangle per band, top to bottom: no overlap
    return r;
}

void PendulumFace::setPendulum(QPointF pivot, QPointF tip, QColor rodColor)
{
    const QRegion before = covered(pose_, pose_);
    pivot_ = pivot;
    pose_.tip = tip;
    rodColor_ = rodColor;
    update(before + covered(pose_, pose_));
}

void PendulumFace::setSwingingWeight(QPointF weightCentre)
{
    const Pose before = pose_;
    pose_.swinging = true;
    pose_.weight = weightCentre;
    update(covered(before, pose_));
}

void PendulumFace::clearSwingingWeight()
{
    const Pose before = pose_;
    pose_.swinging = false;
    update(covered(before, pose_));
}

bool PendulumFace::swingTo(QPointF tip, QPointF weightCentre)
{
    const qreal halfPixel = 0.5 / devicePixelRatioF();
    auto still = [halfPixel](QPointF a, QPointF b) {
        return std::abs(a.x() - b.x()) < halfPixel && std::abs(a.y() - b.y()) < halfPixel;
    };
    if (pose_.swinging && still(tip, pose_.tip) && still(weightCentre, pose_.weight))
        return false;
    const Pose before = pose_;
    pose_ = {tip, true, weightCentre};
    repaint(covered(before, pose_)); // at once: the frame goes to the screen with the pose just asked for
    return true;
}

void PendulumFace::prepare(qreal dpr)
{
    if (!face_.isNull() && qFuzzyCompare(ratio_, dpr))
        return;
    face_ = artwork::render(artwork::Picture::Face, dpr).toImage().convertToFormat(QImage::Format_RGB32);
    face_.setDevicePixelRatio(1); // device pixels throughout
    weight_ = rod::Sprite(artwork::renderWeightOverFace(dpr).toImage());
    ratio_ = dpr;
}

QImage *PendulumFace::windowImage(qreal dpr)
{
    // While the window's picture is being painted, this widget's paint device is redirected to the
    // window's backing store, at the widget's place in the window; not while it is rendered
    // elsewhere (grab, render: a shared painter). Used only when all of that is as expected.
    QPoint offset;
    QPaintDevice *device = sharedPainter() ? nullptr : redirected(&offset);
    QBackingStore *store = backingStore();
    if (!device || !store || device != store->paintDevice() || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied) ||
        !qFuzzyCompare(image->devicePixelRatio(), dpr) || offset != -mapTo(window(), QPoint(0, 0)))
        return nullptr;
    const QPoint at = (QPointF(-offset) * dpr).toPoint();
    const QRect part = image->rect() & QRect(at, (QSizeF(size()) * dpr).toSize());
    if (part.isEmpty() || part.topLeft() != at)
        return nullptr;
    // The window's own buffer, never shared: written to in place.
    auto *bits = const_cast<uchar *>(image->constBits()) + at.y() * image->bytesPerLine() + at.x() * 4;
    if (inWindow_.constBits() != bits || inWindow_.size() != part.size() ||
        inWindow_.bytesPerLine() != image->bytesPerLine())
        inWindow_ = QImage(bits, part.width(), part.height(), image->bytesPerLine(), QImage::Format_RGB32);
    return &inWindow_;
}

void PendulumFace::paintEvent(QPaintEvent *e)
{
    const qreal dpr = devicePixelRatioF();
    prepare(dpr);
    QImage *target = windowImage(dpr);
    const bool elsewhere = !target;
    if (elsewhere) {
        const QSize size = (QSizeF(this->size()) * dpr).toSize();
        if (picture_.size() != size)
            picture_ = QImage(size, QImage::Format_RGB32);
        target = &picture_;
    }
    // Each band: the still face copied back (black right of and below it), the rod and the weight
    // drawn over it.
    const QSizeF half = QSizeF(artwork::kWeightSize) / 2.0;
    const QPoint weightAt = ((pose_.weight - QPointF(half.width(), half.height())) * dpr).toPoint();
    const rod::Bar bar(pivot_ * dpr, pose_.tip * dpr, kRodWidth * dpr, rodColor_.rgb());
    auto mend = [&](const QRect &r) {
        rod::Copy(*target, r, face_);
        if (!rodColor_.isValid())
            return;
        bar.Paint(*target, r);
        if (pose_.swinging)
            weight_.Paint(*target, r, weightAt);
    };
    auto toDevice = [dpr](const QRect &logical) {
        return QRectF(QPointF(logical.topLeft()) * dpr, QSizeF(logical.size()) * dpr).toAlignedRect();
    };
    // Each pixel in one rectangle only: a pixel mended twice would have the rod's antialiased edge
    // blended over itself. Rectangles apart stay apart when scaled by a whole number.
    QRegion device;
    if (dpr == std::floor(dpr)) {
        for (const QRect &r : e->region())
            mend(toDevice(r));
    } else {
        for (const QRect &r : e->region())
            device += toDevice(r);
        for (const QRect &r : device)
            mend(r);
    }
    if (!elsewhere)
        return;
    QPainter p(this);
    // In device pixels: with the painter's high-DPI scale in place, the copy would take the raster
    // engine's slower scaling path. The picture is opaque: its pixels replace what is there.
    p.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect &logical : e->region()) {
        const QRect r = toDevice(logical) & picture_.rect();
        p.setClipRect(r); // a plain rectangle, copied line by line
        p.drawImage(r.topLeft(), picture_, r);
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
