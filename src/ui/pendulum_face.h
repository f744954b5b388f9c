#pragma once
#include <QPixmap>
#include <QPointF>
#include <QWidget>

namespace ui {

// The metronome face: the wooden case, the rod standing on its pivot and, while the pendulum
// swings, the weight on the rod. At rest the weight is a separate widget lying over the face that
// the user drags. Dragging the face itself moves the whole window with the pointer.
class PendulumFace : public QWidget {
    Q_OBJECT
public:
    explicit PendulumFace(QWidget *parent = nullptr);

    // The rod from the pivot to the tip (width 5) and, when `weightCentre` is given, the weight
    // painted centred on it. Without it only the rod is painted.
    void setPendulum(QPointF pivot, QPointF tip, QColor rodColor);
    void setSwingingWeight(QPointF weightCentre);
    void clearSwingingWeight();

    QPointF tip() const { return tip_; }
    bool weightSwinging() const { return swinging_; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    QPixmap face_;
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
