#include "app/keyboard.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <functional>

#include "app/focus.h"
#include "app/frm_metronom.h"
#include "app/link_control.h"
#include "fader/fader.h"
#include "ui/accessibility.h"
#include "ui/controls.h"
#include "ui/window_layout.h"

namespace app {

namespace {

void Bind(FrmMetronom &form, const QKeySequence &keys, std::function<void()> action)
{
    auto *shortcut = new QShortcut(keys, &form);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, &form, std::move(action));
}

} // namespace

void InstallKeyboard(FrmMetronom &form)
{
    auto *start = form.control<ui::PressButton>("Check1");
    auto *tap = form.control<ui::PressButton>("Tap");
    Bind(form, Qt::Key_Space, [start] { emit start->mouseDown(Qt::LeftButton, Qt::LeftButton); });

    // Step buttons 0 "<", 1 ">", 2 "<<", 3 ">>"; a screen reader hears the tempo they set (the
    // slider that shows it has no focus).
    auto step = [&form](int index) {
        return [&form, index] {
            form.control<QPushButton>(QString::fromStdString(ui::ArrayName("cmdTempo", index)))->click();
            ui::Announce(form, QStringLiteral("Tempo %1").arg(form.Tempo().Bpm()));
        };
    };
    for (auto [key, index] : {std::pair{Qt::Key_Minus, 0},
                              {Qt::Key_Left, 0},
                              {Qt::Key_Plus, 1},
                              {Qt::Key_Right, 1},
                              {Qt::Key_PageDown, 2},
                              {Qt::Key_PageUp, 3}})
        Bind(form, key, step(index));

    // TAP answers the keys only while it answers the mouse (not while the metronome runs).
    Bind(form, Qt::Key_T, [tap] {
        if (tap->isEnabled())
            emit tap->mouseDown(Qt::LeftButton, Qt::LeftButton);
    });
    Bind(form, Qt::SHIFT | Qt::Key_T, [tap] {
        if (tap->isEnabled())
            emit tap->mouseDown(Qt::RightButton, Qt::RightButton);
    });

    auto *beats = form.control<fader::Fader>("Fader2");
    for (int n = 1; n <= 8; ++n) {
        Bind(form, Qt::Key(Qt::Key_0 + n), [beats, n] {
            beats->SetValue(n - 1);
            emit beats->Scrolling();
        });
    }
    auto *accent = form.control<QCheckBox>("chkAccent");
    // A screen reader hears what A switched.
    Bind(form, Qt::Key_A, [accent] {
        accent->click();
        if (!accent->hasFocus()) // a reader says a focused box's new state itself
            ui::Announce(*accent, accent->isChecked() ? QStringLiteral("Akzente an") : QStringLiteral("Akzente aus"));
    });

    // L switches Link on or off as its entry in the practice menu does.
    Bind(form, Qt::Key_L, [&form] { form.Link().linkAction()->trigger(); });

    InstallFocusRules(form);
    // The window holds the focus from the start, not the first sound chooser.
    form.setFocus(Qt::OtherFocusReason);
}

} // namespace app
