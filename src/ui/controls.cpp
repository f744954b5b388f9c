#include "ui/controls.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

#include "fader/fader.h"
#include "ui/artwork.h"
#include "ui/fader_data.h"
#include "ui/pendulum_face.h"

namespace ui {

QColor FromBgr(std::uint32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

PictureBox::PictureBox(Art art, QColor back, QWidget *parent) : QWidget(parent), art_(art), back_(back)
{
    // The weight lies over the face: the face shows around it instead of the weight's black square.
    if (art_ == Art::Weight)
        back_ = QColor();
    setAttribute(Qt::WA_OpaquePaintEvent, back_.isValid());
}

void PictureBox::setBackColor(QColor back)
{
    if (back_ == back)
        return;
    back_ = back;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (back_.isValid())
        p.fillRect(rect(), back_);
    if (art_ == Art::None)
        return;
    const qreal dpr = devicePixelRatioF();
    if (cache_.isNull() || !qFuzzyCompare(cache_.devicePixelRatio(), dpr)) {
        switch (art_) {
        case Art::Weight: cache_ = artwork::renderWeightOverFace(dpr); break;
        case Art::TopPicture: cache_ = artwork::render(artwork::Picture::TopPicture, dpr); break;
        case Art::Plate: cache_ = artwork::render(artwork::Picture::Plate, dpr); break;
        default: cache_ = artwork::render(artwork::Picture::Face, dpr); break;
        }
    }
    p.drawPixmap(0, 0, cache_);
}

void PictureBox::mousePressEvent(QMouseEvent *e)
{
    emit mouseDown(e->button(), e->position().toPoint());
}

void PictureBox::mouseMoveEvent(QMouseEvent *e)
{
    emit mouseMove(e->buttons(), e->position().toPoint());
}

void PressButton::mousePressEvent(QMouseEvent *e)
{
    // Shown pressed for any button, not only the left one.
    setDown(true);
    emit mouseDown(e->button(), e->buttons());
}

void PressButton::mouseReleaseEvent(QMouseEvent *e)
{
    setDown(false);
    emit mouseUp(e->button());
}

LampImage::LampImage(int number, QWidget *parent) : QWidget(parent), number_(number)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LampImage::setLit(bool lit)
{
    if (lit_ == lit)
        return;
    lit_ = lit;
    update();
    // A screen reader says "checked" or "not checked" of the lamp it is on (a check box there).
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void LampImage::paintEvent(QPaintEvent *)
{
    // Sixteen small pictures: painting them on demand costs less than keeping caches per ratio.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    artwork::paintLamp(p, number_, lit_);
}

void LampImage::mousePressEvent(QMouseEvent *e)
{
    pressed_ = e->button() == Qt::LeftButton;
}

void LampImage::mouseReleaseEvent(QMouseEvent *e)
{
    // A click: the left button pressed and released on the lamp.
    const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

void CheckBox::paintEvent(QPaintEvent *)
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    QStylePainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const QRectF box =
        QRectF(style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this)).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor ink = palette().color(QPalette::WindowText);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1));
    p.drawRect(box);
    if (isChecked()) {
        p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal w = box.width(), h = box.height();
        p.drawPolyline(QPolygonF{box.topLeft() + QPointF(w * 0.22, h * 0.5),
                                 box.topLeft() + QPointF(w * 0.42, h * 0.72),
                                 box.topLeft() + QPointF(w * 0.78, h * 0.26)});
    }
    opt.rect = style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
    p.drawControl(QStyle::CE_CheckBoxLabel, opt);
}

void SoundBox::showPopup()
{
    // A preset or typing sets the text shown without choosing an item: the list opens on that item.
    const int shown = findText(currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (shown >= 0 && shown != currentIndex()) {
        const QSignalBlocker quiet(this); // the text stays the same
        setCurrentIndex(shown);
    }
    QComboBox::showPopup();
    if (shown < 0)
        view()->setCurrentIndex({});
}

void ShapeBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(255, 226, 120));
    g.setColorAt(1, QColor(214, 150, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 2, -1, -2), 2, 2);
}

namespace {

QString Css(QColor c)
{
    return c.name(QColor::HexRgb);
}

QFont FontOf(const ControlSpec &s)
{
    QFont f;
    f.setFamilies({QString::fromStdString(s.fontFamily), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPixelSize(PointsToPixels(s.fontPoints));
    f.setBold(s.bold);
    return f;
}

QWidget *Create(const ControlSpec &s, QWidget *parent)
{
    const QString caption = QString::fromStdString(s.caption);
    const QColor back = s.back ? FromBgr(*s.back) : QColor();
    const QColor fore = s.fore ? FromBgr(*s.fore) : QColor(Qt::black);
    switch (s.kind) {
    case Kind::Picture:
        if (s.art == Art::Face)
            return new PendulumFace(parent);
        return new PictureBox(s.art, back, parent);
    case Kind::Label: {
        // Qt draws glyphs above about 64 pixels from their outlines on every paint.
        auto *l = s.fontPoints >= 48 ? new LargeLabel(caption, parent) : new QLabel(caption, parent);
        l->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; }")
                             .arg(Css(fore), back.isValid() ? Css(back) : QStringLiteral("transparent")));
        l->setAlignment((s.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        return l;
    }
    case Kind::ComboBox: {
        const bool sounds = s.name != "cboPresets";
        QComboBox *c = sounds ? new SoundBox(parent) : new QComboBox(parent);
        c->setEditable(sounds);
        if (c->isEditable())
            c->setEditText(caption);
        else
            c->addItem(caption);
        // Colours by palette, not by style sheet: a style sheet gives every paint a palette of its
        // own, and the style's pixmap cache then fills with a new picture of the box each time.
        QPalette pal = c->palette();
        for (auto role : {QPalette::Base, QPalette::Button})
            pal.setColor(role, back);
        pal.setColor(QPalette::Window, QColor(0x70, 0x70, 0x70)); // the frame is drawn in this, darkened
        for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText, QPalette::HighlightedText})
            pal.setColor(role, fore);
        pal.setColor(QPalette::Highlight, QColor(0x58, 0x58, 0x58)); // the item shown, in the open list
        c->setPalette(pal);
        // The list opens in a window of its own, which inherits nothing.
        pal.setColor(QPalette::Window, back);
        c->view()->setPalette(pal);
        return c;
    }
    case Kind::CheckBox: {
        auto *c = new CheckBox(caption, parent);
        c->setChecked(s.checked);
        c->setFocusPolicy(Qt::NoFocus);
        QPalette pal = c->palette();
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::WindowText, fore);
        c->setPalette(pal);
        return c;
    }
    case Kind::Button:
    case Kind::ToggleButton: {
        QPushButton *b = s.kind == Kind::Button ? new QPushButton(caption, parent) : new PressButton(caption, parent);
        b->setFocusPolicy(Qt::NoFocus);
        const QColor face = back.isValid() ? back : QColor(0xC0, 0xC0, 0xC0);
        b->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; border: 2px outset %2;"
                           " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %3, stop:1 %4); }"
                           "QPushButton:pressed, QPushButton:checked { border-style: inset; background: %5; }"
                           "QPushButton:disabled { color: %6; }")
                .arg(Css(fore), Css(face.lighter(115)), Css(face.lighter(112)), Css(face.darker(108)),
                     Css(face.darker(115)), Css(face.darker(160))));
        return b;
    }
    case Kind::Fader: return new fader::Fader(StoredFaderProperties(s.name), parent);
    case Kind::Lamp: return new LampImage(s.lampNumber, parent);
    case Kind::Shape: return new ShapeBar(parent);
    }
    return nullptr;
}

} // namespace

QHash<QString, QWidget *> BuildControls(QWidget *form)
{
    QHash<QString, QWidget *> byName;
    for (const ControlSpec &s : MainWindowControls()) {
        QWidget *parent = s.parent.empty() ? form : byName.value(QString::fromStdString(s.parent), form);
        QWidget *w = Create(s, parent);
        const QString name = QString::fromStdString(s.name);
        w->setObjectName(name);
        w->setFont(FontOf(s));
        w->setGeometry(TwipsToPixels(s.left), TwipsToPixels(s.top), TwipsToPixels(s.width), TwipsToPixels(s.height));
        if (!s.toolTip.empty())
            w->setToolTip(QString::fromStdString(s.toolTip));
        w->setVisible(s.visible);
        byName.insert(name, w);
    }
    return byName;
}

} // namespace ui

namespace ui {

void LargeLabel::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    const QString shown = text();
    auto found = std::find_if(pictures_.begin(), pictures_.end(), [&](const auto &p) { return p.text == shown; });
    if (found == pictures_.end() || !qFuzzyCompare(found->ratio, dpr)) {
        if (found != pictures_.end())
            pictures_.erase(found);
        // The text as the label draws it, over nothing: the premultiplied picture laid over the
        // background later is the text drawn straight over it (to rounding).
        QImage picture(QSizeF(QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(dpr);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setFont(font());
        const int m = margin();
        style()->drawItemText(&p, contentsRect().adjusted(m, m, -m, -m),
                              int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(), isEnabled(),
                              shown, foregroundRole());
        p.end();
        picture.setDevicePixelRatio(1); // copied in device pixels
        // Only the text's own pixels are laid over the background on every paint.
        int top = picture.height(), bottom = -1, left = picture.width(), right = -1;
        for (int y = 0; y < picture.height(); ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                if (qAlpha(row[x]) != 0) {
                    top = std::min(top, y), bottom = y;
                    left = std::min(left, x), right = std::max(right, x);
                }
        }
        pictures_.prepend({shown, dpr, picture, QRect(QPoint(left, top), QPoint(right, bottom))});
        if (pictures_.size() > kKept)
            pictures_.removeLast();
        found = pictures_.begin();
    } else if (found != pictures_.begin()) {
        pictures_.move(int(found - pictures_.begin()), 0);
        found = pictures_.begin();
    }
    if (found->ink.isEmpty())
        return;
    QPainter p(this);
    p.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr)); // device pixels: copied, not scaled
    p.drawImage(found->ink.topLeft(), found->image, found->ink);
}

void LargeLabel::changeEvent(QEvent *e)
{
    pictures_.clear(); // font, colours, style
    QLabel::changeEvent(e);
}

void LargeLabel::resizeEvent(QResizeEvent *e)
{
    pictures_.clear();
    QLabel::resizeEvent(e);
}

} // namespace ui
