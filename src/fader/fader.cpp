#include "fader/fader.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace fader {

namespace {

QColor FromBgr(std::uint32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The mouse buttons as the model's button bits; buttons other than these three set a bit of
// their own, so that they too spoil "the left button alone".
int ButtonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= kLeftButton;
    if (buttons & Qt::RightButton)
        bits |= kRightButton;
    if (buttons & Qt::MiddleButton)
        bits |= kMiddleButton;
    if (buttons & ~(Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))
        bits |= 8;
    return bits;
}

int ShiftBits(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

// A box outline on the pixel grid: each side is a band penWidth pixels wide over the pixels
// from its first to its last corner, both included; a box without width or height is a line.
void PaintBox(QPainter &p, const DrawOp &op)
{
    const int w = std::max(op.penWidth, 1);
    const int off = (w - 1) / 2;
    const int left = static_cast<int>(std::floor(std::min(op.x1, op.x2))) - off;
    const int right = static_cast<int>(std::floor(std::max(op.x1, op.x2))) - off;
    const int top = static_cast<int>(std::floor(std::min(op.y1, op.y2))) - off;
    const int bottom = static_cast<int>(std::floor(std::max(op.y1, op.y2))) - off;
    if (right < left || bottom < top)
        return;
    const QColor c = FromBgr(op.color);
    const int spanW = right - left + w;
    const int spanH = bottom - top + w;
    p.fillRect(QRect(left, top, spanW, w), c);
    p.fillRect(QRect(left, bottom, spanW, w), c);
    p.fillRect(QRect(left, top, w, spanH), c);
    p.fillRect(QRect(right, top, w, spanH), c);
}

// The button image pixel by pixel as rectangles in logical pixels, runs of one colour merged,
// so that it is exactly as sharp as the screen at any device pixel ratio.
void PaintImage(QPainter &p, ButtonImage image, int x, int y)
{
    const Picture &pic = ButtonPicture(image);
    for (int row = 0; row < pic.height; ++row) {
        int start = 0;
        for (int col = 1; col <= pic.width; ++col) {
            if (col == pic.width || pic.At(col, row) != pic.At(start, row)) {
                p.fillRect(QRect(x + start, y + row, col - start, 1), FromBgr(pic.At(start, row)));
                start = col;
            }
        }
    }
}

} // namespace

Fader::Fader(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    model_.PropertyChanged = [this](std::string_view name) {
        emit PropertyChanged(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    };
    model_.UserControl_Resize(width(), height());
    model_.UserControl_Initialize();
    Changed();
}

Fader::Fader(const PropertyBag &stored, QWidget *parent) : Fader(parent)
{
    ReadProperties(stored);
}

bool Fader::SetValue(std::int32_t NewValue)
{
    FollowSize();
    const bool stored = model_.SetValue(NewValue);
    Changed();
    return stored;
}

void Fader::SetMax(std::int32_t NewMax)
{
    model_.SetMax(NewMax);
}

void Fader::SetStyle(std::int32_t NewStyle)
{
    FollowSize();
    model_.SetStyle(NewStyle);
    Changed();
}

void Fader::SetHalfMark(bool NewHalfMark)
{
    FollowSize();
    model_.SetHalfMark(NewHalfMark);
    Changed();
}

void Fader::SetHalfMarkColor(std::int32_t NewHalfMarkColor)
{
    FollowSize();
    model_.SetHalfMarkColor(NewHalfMarkColor);
    Changed();
}

void Fader::SetBackColor(std::int32_t NewBackColor)
{
    FollowSize();
    model_.SetBackColor(NewBackColor);
    Changed();
}

void Fader::SetTickMarks(bool NewTickMarks)
{
    FollowSize();
    model_.SetTickMarks(NewTickMarks);
    Changed();
}

void Fader::SetTickMarkCnt(std::int16_t NewTickMarkCnt)
{
    FollowSize();
    model_.SetTickMarkCnt(NewTickMarkCnt);
    Changed();
}

void Fader::SetButSz(std::int32_t NewButSz)
{
    FollowSize();
    model_.SetButSz(NewButSz);
    Changed();
}

double Fader::OneIncrement()
{
    FollowSize();
    return model_.OneIncrement();
}

void Fader::DrawPicAtValue(std::int16_t &tValue)
{
    FollowSize();
    model_.DrawPicAtValue(tValue);
    update();
}

bool Fader::ReadProperties(const PropertyBag &bag)
{
    FollowSize();
    const bool all = model_.UserControl_ReadProperties(bag);
    Changed();
    return all;
}

const FaderModel &Fader::model()
{
    FollowSize();
    return model_;
}

QSize Fader::sizeHint() const
{
    return model_.Style() == 0 ? QSize(kCrossSize, 100) : QSize(100, kCrossSize);
}

void Fader::FollowSize()
{
    // A hidden widget learns of a new size only when it is shown; the model hears of it at the
    // latest when it is next asked for anything that depends on it.
    if (width() != model_.ClientWidth() || height() != model_.ClientHeight()) {
        model_.UserControl_Resize(width(), height());
        Changed();
    }
}

void Fader::Changed()
{
    const QSize fixed(model_.ClientWidth(), model_.ClientHeight());
    if (size() != fixed)
        resize(fixed); // the model has already been told this size
    update();
}

void Fader::resizeEvent(QResizeEvent *)
{
    FollowSize();
}

void Fader::paintEvent(QPaintEvent *)
{
    FollowSize();
    QPainter p(this);
    for (const DrawOp &op : model_.Surface()) {
        switch (op.type) {
        case DrawOp::Type::Clear: p.fillRect(rect(), FromBgr(op.color)); break;
        case DrawOp::Type::Box: PaintBox(p, op); break;
        case DrawOp::Type::Copy: PaintImage(p, op.image, op.x, op.y); break;
        }
    }
}

void Fader::Pointer(QMouseEvent *event, bool press)
{
    FollowSize();
    const int button = ButtonBits(event->buttons());
    const int shift = ShiftBits(event->modifiers());
    const QPointF at = event->position();
    const float x = static_cast<float>(at.x());
    const float y = static_cast<float>(at.y());
    const bool moved =
        press ? model_.UserControl_MouseDown(button, shift, x, y) : model_.UserControl_MouseMove(button, shift, x, y);
    event->accept();
    if (!moved)
        return;
    update();
    emit Scrolling();
}

void Fader::mousePressEvent(QMouseEvent *event)
{
    Pointer(event, true);
}

void Fader::mouseMoveEvent(QMouseEvent *event)
{
    Pointer(event, false);
}

} // namespace fader
