#pragma once
#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>

namespace ui {

// The metronome face: the wooden case, the rod standing on its pivot and, while the pendulum
// swings, the weight on the rod. At rest the weight is a separate widget lying over the face that
// the user drags. Dragging the face itself moves the whole window with the pointer.
//
// Only what moves is repainted: each change repaints, band by band of rows, what the rod and the
// weight leave and what they enter. The whole picture is kept in memory, where those bands are
// mended (the still face copied back, the rod and the weight drawn by ui::rod) before they are
// copied to the window. A frame of the swing is painted at once, not when the event loop gets
// round to it.
class PendulumFace : public QWidget {
    Q_OBJECT
public:
    explicit PendulumFace(QWidget *parent = nullptr);

    // The rod from the pivot to the tip (width 5) and, when `weightCentre` is given, the weight
    // painted centred on it. Without it only the rod is painted.
    void setPendulum(QPointF pivot, QPointF tip, QColor rodColor);
    void setSwingingWeight(QPointF weightCentre);
    void clearSwingingWeight();
    // One frame of the swing: the rod's tip and the weight's centre. Returns false, repainting
    // nothing, when neither would move by half a device pixel or more.
    bool swingTo(QPointF tip, QPointF weightCentre);

    QPointF tip() const { return pose_.tip; }
    bool weightSwinging() const { return pose_.swinging; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    struct Pose {
        QPointF tip;
        bool swinging = false; // the weight is painted at `weight`
        QPointF weight;
    };
    // The pixels the rod and the weight cover in pose `a` and in pose `b`, with a margin for
    // antialiasing and rounding: one rectangle per band of rows holds both poses.
    QRegion covered(const Pose &a, const Pose &b) const;
    // Marks a region (logical pixels) to be mended in the picture and repainted.
    void changed(const QRegion &region, bool now);
    // The picture made anew at ratio `dpr`, or mended where it changed.
    void compose(qreal dpr);
    // The window's own picture in memory while this widget is painted into it, and where the
    // widget lies in it (device pixels); null when painted elsewhere or in an unexpected form.
    QImage *windowImage(qreal dpr, QPoint &at) const;

    QImage face_;    // the still face; device pixels, made at ratio ratio_
    QImage picture_; // the face with the rod and the weight, as on the screen
    QImage weight_;
    qreal ratio_ = 0;
    QRegion stale_; // logical pixels of the picture still to be mended
    QPointF pivot_;
    QColor rodColor_;
    Pose pose_;
    bool dragging_ = false;
    QPointF pressGlobal_;
    QPoint windowAtPress_;
};

} // namespace ui
