#pragma once
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "ui/window_layout.h"

namespace ui {

QColor FromBgr(std::uint32_t bgr); // 0x00BBGGRR as a colour

// A picture box: a plain panel in its back colour, or one of the painted pictures, rendered
// once per device pixel ratio and cached.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(Art art, QColor back, QWidget *parent = nullptr);
    Art art() const { return art_; }
    QColor backColor() const { return back_; }
    void setBackColor(QColor back);

signals:
    // A press of `button`, and pointer moves with `buttons` held, at `pos` in the box's pixels.
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseMove(Qt::MouseButtons buttons, QPoint pos);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;

private:
    Art art_;
    QColor back_;
    QPixmap cache_;
};

// A label in large type, drawn once per text into a picture and then copied: Qt draws glyphs
// this large from their outlines on every paint (the beat number's digits took about 0.7 million
// instructions a beat). The few texts last shown are kept; a change of size, font, colours or
// device pixel ratio draws them anew.
class LargeLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *e) override;
    void changeEvent(QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    static constexpr int kKept = 12;
    struct Picture {
        QString text;
        qreal ratio = 0;
        QImage image; // the label's size in device pixels, transparent around the text
        QRect ink;    // the part of it that is not wholly transparent
    };
    QList<Picture> pictures_; // the latest first
    bool drawing_ = false;    // QLabel's own painting, into a picture
};

// One numbered beat lamp, lit (white on red) or unlit (white on black).
class LampImage : public QWidget {
    Q_OBJECT
public:
    LampImage(int number, QWidget *parent = nullptr);
    int number() const { return number_; }
    bool isLit() const { return lit_; }
    void setLit(bool lit);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    int number_;
    bool lit_ = false;
    bool pressed_ = false;
};

// A large push button that reports the press of any mouse button (TAP, START/STOP); reached with
// Tab, Space presses it (app/focus.h).
class PressButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

signals:
    // The button that went down and all buttons held now (that one included).
    void mouseDown(Qt::MouseButton button, Qt::MouseButtons held);
    void mouseUp(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
};

// A check box whose box is drawn in its own colours (the text colour on the back colour), so that
// it shows on a black window whether checked or not.
class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *) override;
};

// A sound list that can also be typed into: when it opens, it marks the sound shown, however that
// sound was set (a preset, typing).
class SoundBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
};

// The small bar that marks the current beat between the lamp rows.
class ShapeBar : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override;
};

// Makes every control of the main window description as a child of `form` (object name = control
// name, geometry = twips / 15) and returns them by name.
QHash<QString, QWidget *> BuildControls(QWidget *form);

} // namespace ui
