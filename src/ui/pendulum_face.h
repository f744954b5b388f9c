#pragma once
#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>

#include "ui/rod_raster.h"

namespace ui {

// The metronome face: the wooden case, the rod standing on its pivot and, while the pendulum
// swings, the weight on the rod. At rest the weight is a separate widget lying over the face that
// the user drags. Dragging the face itself moves the whole window with the pointer.
//
// Only what moves is repainted: each change repaints, band by band of rows, what the rod and the
// weight leave and what they enter. A band is drawn straight into the window's picture in memory
// where it can be (the still face copied there, the rod and the weight drawn over it by ui::rod).
// A frame of the swing is painted at once, not when the event loop gets round to it.
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
    // The pictures of the face and the weight made anew when the ratio changed.
    void prepare(qreal dpr);
    // The widget's part of the window's own picture in memory while this widget is painted into
    // it (device pixels, as Format_RGB32: every pixel drawn is opaque); null when painted elsewhere
    // or in an unexpected form.
    QImage *windowImage(qreal dpr);

    QImage face_; // the still face; device pixels, made at ratio ratio_
    rod::Sprite weight_;
    qreal ratio_ = 0;
    QImage inWindow_; // over the window's picture, made again only when that moves or changes
    QImage picture_;  // drawn into when painted elsewhere (grab), then copied
    QPointF pivot_;
    QColor rodColor_;
    Pose pose_;
    bool dragging_ = false;
    QPointF pressGlobal_;
    QPoint windowAtPress_;
};

} // namespace ui
