#pragma once
#include <QWidget>
#include <cstdint>

#include "fader/fader_model.h"

namespace fader {

// The slider: a grooved track with optional tick marks and a half-way mark, and a button that
// follows the left mouse button. Everything it decides lives in FaderModel; this widget hands it
// its size and the pointer, and paints what the model's last redraw left on the surface.
class Fader : public QWidget {
    Q_OBJECT
public:
    // A new control with the defaults (vertical, 0..100 at 0, small button).
    explicit Fader(QWidget *parent = nullptr);
    // A control placed from stored data: the defaults, then the stored properties.
    explicit Fader(const PropertyBag &stored, QWidget *parent = nullptr);

    std::int32_t Value() const { return model_.Value(); }
    // False (and Value unchanged) for a value outside -32768..32767; otherwise the value is kept
    // within 0..Max. Never raises Scrolling.
    bool SetValue(std::int32_t NewValue);

    std::int32_t Max() const { return model_.Max(); }
    void SetMax(std::int32_t NewMax);
    std::int32_t Style() const { return model_.Style(); }
    void SetStyle(std::int32_t NewStyle);
    bool HalfMark() const { return model_.HalfMark(); }
    void SetHalfMark(bool NewHalfMark);
    std::int32_t HalfMarkColor() const { return model_.HalfMarkColor(); }
    void SetHalfMarkColor(std::int32_t NewHalfMarkColor);
    std::int32_t BackColor() const { return model_.BackColor(); }
    void SetBackColor(std::int32_t NewBackColor);
    bool TickMarks() const { return model_.TickMarks(); }
    void SetTickMarks(bool NewTickMarks);
    std::int16_t TickMarkCnt() const { return model_.TickMarkCnt(); }
    void SetTickMarkCnt(std::int16_t NewTickMarkCnt);
    std::int32_t ButSz() const { return model_.ButSz(); }
    void SetButSz(std::int32_t NewButSz);

    double OneIncrement();
    void DrawPicAtValue(std::int16_t &tValue);

    bool ReadProperties(const PropertyBag &bag);

    // The model after the control has caught up with its current size.
    const FaderModel &model();

    QSize sizeHint() const override;

signals:
    // A left-button press on the control, or a move with the left button alone held; Value
    // already holds the new position.
    void Scrolling();
    // The Let of the named property ran ("Value", "Max", ...).
    void PropertyChanged(const QString &name);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // Runs the model's resize when the widget's size is not the one the model last saw, and
    // takes on the size the model fixes across the track.
    void FollowSize();
    // After any change in the model: take its size and show its surface.
    void Changed();
    void Pointer(QMouseEvent *event, bool press);

    FaderModel model_;
};

} // namespace fader
