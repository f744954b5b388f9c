#pragma once
#include <QPixmap>
#include <QPointF>
#include <QRegion>
#include <QWidget>

namespace ui {

// The metronome face: the wooden case, the rod standing on its pivot and, while the pendulum
// swings, the weight on the rod. At rest the weight is a separate widget lying over the face that
// the user drags. Dragging the face itself moves the whole window with the pointer.
//
// Only what moves is repainted: each change updates the rectangles the rod and the weight leave and
// the ones they enter; everything else comes from the face's cached picture.
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

    QPointF tip() const { return tip_; }
    bool weightSwinging() const { return swinging_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    // The pixels the rod and the weight cover now, with a margin for antialiasing and rounding.
    QRegion covered() const;

    QPixmap face_; // device pixels, made at ratio faceRatio_
    qreal faceRatio_ = 0;
    QPixmap weight_;
    QPointF pivot_, tip_;
    QColor rodColor_;
    bool swinging_ = false;
    QPointF weightCentre_;
    bool dragging_ = false;
    QPointF pressGlobal_;
    QPoint windowAtPress_;
};

} // namespace ui
