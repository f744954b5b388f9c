#include "app/focus.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

#include "app/frm_metronom.h"
#include "app/sound_list.h"
#include "app/startup.h"
#include "fader/fader.h"
#include "ui/controls.h"
#include "ui/window_layout.h"

namespace app {

namespace {

QStringList ReadingOrder()
{
    QStringList names{"Check2",      "Combo1", "cmdTempo(2)", "cmdTempo(0)", "cmdTempo(1)",
                      "cmdTempo(3)", "Fader1", "Fader2",      "chkAccent",   "cboPresets"};
    for (const char *row : {"imgBeat", "imgSnare"})
        for (int i = 0; i < 8; ++i)
            names << QString::fromStdString(ui::ArrayName(row, i));
    names << "Combo2"
          << "Combo3"
          << "Tap"
          << "Check1";
    return names;
}

// The chooser a widget is or belongs to (its text field), when it can be typed into.
QComboBox *EditableChooser(QObject *o)
{
    auto *w = qobject_cast<QWidget *>(o);
    for (; w; w = w->parentWidget())
        if (auto *c = qobject_cast<QComboBox *>(w))
            return c->isEditable() ? c : nullptr;
    return nullptr;
}

// The frame around the control that has the keyboard focus; it takes no clicks.
class FocusMark : public QWidget {
public:
    explicit FocusMark(QWidget *form) : QWidget(form)
    {
        setObjectName(QStringLiteral("focusMark"));
        setProperty("accessibleIgnored", true); // decoration, not in the accessible tree
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(QPen(QColor(255, 200, 0), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

class FocusRules : public QObject {
public:
    explicit FocusRules(FrmMetronom &form) : QObject(&form), form_(form), mark_(new FocusMark(&form))
    {
        QWidget *previous = nullptr;
        for (const QString &name : ReadingOrder()) {
            QWidget *w = form.control(name);
            auto *chooser = qobject_cast<QComboBox *>(w);
            // A chooser's text takes a click; every other control is reached by Tab alone.
            w->setFocusPolicy(chooser && chooser->isEditable() ? Qt::StrongFocus : Qt::TabFocus);
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
            if (chooser && chooser->isEditable()) {
                // A name being typed counts once the typing ends (see Revert), not a name the
                // completion offers on the way.
                playing_.insert(chooser, chooser->currentText());
                connect(chooser, &QComboBox::currentTextChanged, this, [this, chooser](const QString &text) {
                    if (NamesAFile(text) && EditableChooser(QApplication::focusWidget()) != chooser)
                        playing_.insert(chooser, text);
                });
            }
        }
        qApp->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, &FocusRules::FocusMoved);
    }
    ~FocusRules() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            keyboard_ = false;
            auto *w = qobject_cast<QWidget *>(watched);
            if (w && w->window() == &form_ && !EditableChooser(w))
                form_.setFocus(Qt::MouseFocusReason);
            ShowMark();
            break;
        }
        case QEvent::ShortcutOverride:
            // A key the focused control keeps is taken from the window's shortcuts.
            if (Focused(watched) && OwnKey(watched, *static_cast<QKeyEvent *>(event))) {
                event->accept();
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (watched == &form_ || Focused(watched))
                return KeyPressed(watched, *static_cast<QKeyEvent *>(event));
            break;
        case QEvent::Hide:
            // A list closed: after a click in it, the focus goes back to the window.
            if (auto *popup = qobject_cast<QWidget *>(watched); popup && popup->isWindow() && !keyboard_)
                if (auto *list = qobject_cast<QComboBox *>(popup->parentWidget()); list && list->window() == &form_)
                    form_.setFocus(Qt::OtherFocusReason);
            break;
        case QEvent::FocusOut:
            if (QComboBox *c = EditableChooser(watched); c && !c->hasFocus())
                Revert(c);
            break;
        default: break;
        }
        return false;
    }

private:
    // A control of this window that has the focus (or its text field).
    bool Focused(QObject *o) const
    {
        auto *w = qobject_cast<QWidget *>(o);
        return w && w != &form_ && w->window() == &form_ && w->hasFocus();
    }

    static bool NamesAFile(const QString &name)
    {
        return name.isEmpty() || QFileInfo(SoundFilePath(Globals().SoundsDir, name)).isFile();
    }

    void Revert(QComboBox *chooser)
    {
        if (NamesAFile(chooser->currentText()))
            playing_.insert(chooser, chooser->currentText());
        else if (playing_.contains(chooser))
            chooser->setEditText(playing_.value(chooser));
    }

    static bool OwnKey(QObject *o, const QKeyEvent &k)
    {
        if (k.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))
            return false;
        const int key = k.key();
        const bool typed = !k.text().isEmpty() && k.text().at(0).isPrint();
        const bool moves = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down ||
                           key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home ||
                           key == Qt::Key_End;
        if (key == Qt::Key_Escape)
            return true;
        if (EditableChooser(o))
            return typed || moves || key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Return ||
                   key == Qt::Key_Enter;
        if (qobject_cast<QComboBox *>(o))
            return typed || moves || key == Qt::Key_F4;
        if (qobject_cast<fader::Fader *>(o))
            return moves;
        if (qobject_cast<ui::LampImage *>(o))
            return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
        return key == Qt::Key_Space && qobject_cast<QAbstractButton *>(o);
    }

    // True when the key was handled here.
    bool KeyPressed(QObject *o, const QKeyEvent &k)
    {
        const int key = k.key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            keyboard_ = true;
            return false;
        }
        if (o == &form_ || k.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))
            return false;
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (key == Qt::Key_Escape || (enter && EditableChooser(o))) {
            form_.setFocus(Qt::OtherFocusReason); // a chooser loses the focus: see FocusOut
            return true;
        }
        if (auto *lamp = qobject_cast<ui::LampImage *>(o); lamp && (enter || key == Qt::Key_Space)) {
            if (!k.isAutoRepeat())
                emit lamp->clicked();
            return true;
        }
        if (auto *button = qobject_cast<ui::PressButton *>(o); button && key == Qt::Key_Space) {
            if (!k.isAutoRepeat() && button->isEnabled())
                emit button->mouseDown(Qt::LeftButton, Qt::LeftButton);
            return true;
        }
        if (auto *slider = qobject_cast<fader::Fader *>(o))
            return SliderKey(*slider, key);
        return false;
    }

    static bool SliderKey(fader::Fader &slider, int key)
    {
        int value = slider.Value();
        switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Down: value -= 1; break;
        case Qt::Key_Right:
        case Qt::Key_Up: value += 1; break;
        case Qt::Key_PageDown: value -= 10; break;
        case Qt::Key_PageUp: value += 10; break;
        case Qt::Key_Home: value = 0; break;
        case Qt::Key_End: value = slider.Max(); break;
        default: return false;
        }
        if (slider.SetValue(std::clamp(value, 0, int(slider.Max()))))
            emit slider.Scrolling();
        return true;
    }

    void FocusMoved(QWidget *, QWidget *now)
    {
        if (now && now->window() == &form_)
            ShowMark();
    }

    // The frame around the focused control while the keyboard is used (a chooser's text field
    // frames the whole chooser).
    void ShowMark()
    {
        QWidget *focused = form_.focusWidget();
        if (QComboBox *c = EditableChooser(focused))
            focused = c;
        if (!keyboard_ || !focused || focused == &form_ || !focused->isVisible()) {
            mark_->hide();
            return;
        }
        const QRect r(focused->mapTo(&form_, QPoint(0, 0)), focused->size());
        mark_->setGeometry(r.adjusted(-3, -3, 3, 3));
        mark_->raise();
        mark_->show();
    }

    FrmMetronom &form_;
    FocusMark *mark_;
    bool keyboard_ = false;
    QHash<QComboBox *, QString> playing_;
};

} // namespace

void InstallFocusRules(FrmMetronom &form)
{
    new FocusRules(form);
}

} // namespace app
