#include "practice/practice_tools.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "practice/practice_values.h"
#include "tempo/tempo_model.h"
#include "ui/accessibility.h"

namespace practice {

namespace {

// The status line on the case's base, below its diamond (face pixels), and how long a brief
// message (the volume, the trainer giving way) stays.
constexpr QRect kStatusRect(34, 434, 240, 18);
constexpr int kStatusPixels = 13; // the status line's letters; smaller only where it would not fit
constexpr int kBriefMs = 2000;
constexpr int kNoteMs = 5000; // a note that asks to be read
// A right click on the face that moves the window less than this opens the menu.
constexpr int kStillPixels = 3;

// The volume slider in the menu: Left/Right move it, Up/Down go on to the next entry.
class MenuSlider : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
            e->ignore();
            return;
        }
        QSlider::keyPressEvent(e);
    }
};

// On the face (and what lies on it) a right press drags the window: the menu opens only when the
// button comes up without having moved it.
class FaceClickFilter : public QObject {
public:
    FaceClickFilter(PracticeTools &tools, QObject *parent) : QObject(parent), tools_(tools) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
            return false;
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::RightButton)
            return false;
        const QPoint global = e->globalPosition().toPoint();
        if (event->type() == QEvent::MouseButtonPress) {
            pressed_ = true;
            pressAt_ = global;
        } else if (pressed_) {
            pressed_ = false;
            if ((global - pressAt_).manhattanLength() < kStillPixels)
                QMetaObject::invokeMethod(
                    &tools_, [this, global] { tools_.OpenMenu(global); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    PracticeTools &tools_;
    bool pressed_ = false;
    QPoint pressAt_;
};

// The trainer's step, never 0: the arrows jump over it in the direction they go, and a typed 0 is
// not taken (the box goes back to the step it had once the typing ends).
class StepSpin : public QSpinBox {
public:
    QValidator::State validate(QString &text, int &pos) const override
    {
        const QValidator::State state = QSpinBox::validate(text, pos);
        return state == QValidator::Acceptable && valueFromText(text) == 0 ? QValidator::Intermediate : state;
    }
    void stepBy(int steps) override { QSpinBox::stepBy(value() + steps == 0 ? 2 * steps : steps); }
};

QSpinBox *Spin(int lo, int hi, int value, const QString &name, QSpinBox *s = new QSpinBox)
{
    s->setRange(lo, hi);
    s->setValue(value);
    s->setAccessibleName(name);
    return s;
}

// A small dialog with the given rows, OK and "Abbrechen"; `accepted` runs on OK.
QDialog *Dialog(QWidget &form, const QString &title, const QString &note,
                const std::vector<std::pair<QString, QSpinBox *>> &rows, std::function<void()> accepted)
{
    auto *d = new QDialog(&form);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowTitle(title);
    d->setAccessibleName(title);
    auto *layout = new QVBoxLayout(d);
    auto *form_ = new QFormLayout;
    for (const auto &[label, spin] : rows)
        form_->addRow(label, spin);
    layout->addLayout(form_);
    auto *hint = new QLabel(note);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    QObject::connect(d, &QDialog::accepted, d, std::move(accepted));
    d->setWindowModality(Qt::WindowModal);
    d->setFixedSize(d->sizeHint()); // a few rows: nothing to gain from resizing or maximizing it
    d->open();
    return d;
}

} // namespace

PracticeTools::PracticeTools(QWidget &form, QWidget &face, QWidget &plaque, WindowHooks hooks)
    : form_(form), hooks_(std::move(hooks)), path_(SettingsPath())
{
    BuildMenu();

    status_ = new QLabel(&face);
    status_->setObjectName(QStringLiteral("lblPractice"));
    status_->setGeometry(kStatusRect);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font(QStringLiteral("Arial"));
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(kStatusPixels);
    font.setBold(true);
    status_->setFont(font);
    status_->setStyleSheet(QStringLiteral("QLabel { color: #f3d68a; background: transparent; }"));
    status_->hide();
    briefTimer_.setSingleShot(true);
    briefTimer_.setInterval(kBriefMs);
    connect(&briefTimer_, &QTimer::timeout, this, [this] {
        brief_.clear();
        ShowStatus();
    });
    // At most one write a second while settings change.
    writeTimer_.setSingleShot(true);
    writeTimer_.setInterval(1000);
    connect(&writeTimer_, &QTimer::timeout, this, [this] {
        if (dirty_)
            WriteNow();
    });

    // Right clicks: the window's own where no control has one; TAP, START and the face keep theirs.
    form.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&form, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { OpenMenu(form_.mapToGlobal(pos)); });
    for (const char *name : {"Tap", "Check1"})
        if (QWidget *w = form.findChild<QWidget *>(QLatin1String(name)))
            w->setContextMenuPolicy(Qt::PreventContextMenu);
    FaceClicks(face);
    plaque.installEventFilter(this);
    plaque.setToolTip(QStringLiteral("Klicken: Übungen und Einstellungen (auch Rechtsklick, F10 oder Menütaste)"));
    InstallKeys(form);
    Changed(false);
}

PracticeTools::~PracticeTools() = default;

void PracticeTools::FaceClicks(QWidget &face)
{
    face.setContextMenuPolicy(Qt::PreventContextMenu);
    auto *filter = new FaceClickFilter(*this, this);
    face.installEventFilter(filter);
    for (QWidget *child : face.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child != status_)
            child->installEventFilter(filter);
}

bool PracticeTools::eventFilter(QObject *watched, QEvent *event)
{
    // The menu: on the volume entry, Left and Right move its slider (the menu keeps the keys
    // while the slider has no focus of its own, and would do nothing with them there).
    if (watched == menu_) {
        if (event->type() != QEvent::KeyPress || menu_->activeAction() != volumeAction_)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right)
            return false;
        volumeSlider_->triggerAction(key == Qt::Key_Right ? QAbstractSlider::SliderSingleStepAdd
                                                          : QAbstractSlider::SliderSingleStepSub);
        ui::Announce(form_, volumeLabel_->text()); // a reader hears the menu's entry, not the slider
        return true;
    }
    // The plaque: a left click opens the menu.
    if (event->type() == QEvent::MouseButtonPress) {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton) {
            auto *plaque = static_cast<QWidget *>(watched);
            OpenMenu(plaque->mapToGlobal(QPoint(0, plaque->height())));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ShowKey(QAction *entry, Qt::Key key)
{
    entry->setShortcut(QKeySequence(key));
    // A widget's shortcut, and the menu is never the focus widget (a popup does not take it): the
    // key is only shown, never matched here.
    entry->setShortcutContext(Qt::WidgetShortcut);
}

void PracticeTools::BuildMenu()
{
    menu_ = new QMenu(&form_);
    menu_->setObjectName(QStringLiteral("practiceMenu"));
    menu_->setTitle(QStringLiteral("Übungen und Einstellungen"));
    menu_->setAccessibleName(menu_->title());
    menu_->addSection(menu_->title());
    menu_->setContentsMargins(0, 4, 0, 0);

    // Lautstärke: a slider within the menu.
    auto *volume = new QWidget;
    auto *row = new QHBoxLayout(volume);
    row->setContentsMargins(24, 4, 12, 4);
    volumeLabel_ = new QLabel;
    volumeLabel_->setMinimumWidth(
        QFontMetrics(volumeLabel_->font()).horizontalAdvance(QStringLiteral("Lautstärke 100")));
    volumeSlider_ = new MenuSlider(Qt::Horizontal);
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setSingleStep(kVolumeKeyStep);
    volumeSlider_->setPageStep(10);
    volumeSlider_->setMinimumWidth(140);
    volumeSlider_->setAccessibleName(QStringLiteral("Lautstärke"));
    volumeSlider_->setAccessibleDescription(
        QStringLiteral("0 bis 100, Tasten Pfeil links und rechts, im Fenster Pfeil auf und ab"));
    row->addWidget(volumeLabel_);
    row->addWidget(volumeSlider_);
    auto *volumeAction = new QWidgetAction(menu_);
    volumeAction->setDefaultWidget(volume);
    volumeAction->setText(QStringLiteral("Lautstärke"));
    menu_->addAction(volumeAction);
    volumeAction_ = volumeAction;
    // The menu marks only its plain entries as active: the volume's row is marked here, so that
    // the keyboard's place can be seen.
    volume->setBackgroundRole(QPalette::Highlight);
    connect(menu_, &QMenu::hovered, volume, [this, volume](QAction *active) {
        const bool here = active == volumeAction_;
        volume->setAutoFillBackground(here);
        volumeLabel_->setForegroundRole(here ? QPalette::HighlightedText : QPalette::WindowText);
    });
    menu_->installEventFilter(this);
    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int v) {
        if (v != values_.volume)
            SetVolume(v, false);
    });

    // Unterteilung 1..4.
    QMenu *sub = menu_->addMenu(QStringLiteral("Unterteilung"));
    sub->setAccessibleName(QStringLiteral("Unterteilung"));
    subdivisions_ = new QActionGroup(sub);
    for (int n = 1; n <= 4; ++n) {
        QAction *a = sub->addAction(n == 1 ? QStringLiteral("1 (keine)") : QStringLiteral("%1 pro Schlag").arg(n));
        a->setCheckable(true);
        a->setData(n);
        a->setActionGroup(subdivisions_);
        connect(a, &QAction::triggered, this, [this, n, a] {
            SetSubdivision(n);
            ui::Announce(form_, QStringLiteral("Unterteilung ") + a->text());
        });
    }
    sub->addSeparator();
    sub->addAction(QStringLiteral("Taste U: nächste"))->setEnabled(false);

    menu_->addSeparator();
    trainer_ = menu_->addAction(QStringLiteral("Tempo-Trainer"));
    ShowKey(trainer_, Qt::Key_R);
    trainer_->setCheckable(true);
    connect(trainer_, &QAction::triggered, this, [this](bool on) {
        SetTrainer(on);
        TellSwitched(*trainer_);
    });
    connect(menu_->addAction(QStringLiteral("Tempo-Trainer einstellen …")), &QAction::triggered, this,
            &PracticeTools::EditTrainer);
    gap_ = menu_->addAction(QStringLiteral("Pausen-Training"));
    ShowKey(gap_, Qt::Key_G);
    gap_->setCheckable(true);
    connect(gap_, &QAction::triggered, this, [this](bool on) {
        SetGap(on);
        TellSwitched(*gap_);
    });
    connect(menu_->addAction(QStringLiteral("Pausen-Training einstellen …")), &QAction::triggered, this,
            &PracticeTools::EditGap);

    // Playing together: the entries "Link" and "Start/Stop teilen" (key L) go here, between the
    // practice tools and the remembered settings.
    menu_->addSeparator();

    rememberAction_ = menu_->addAction(QStringLiteral("Einstellungen merken"));
    rememberAction_->setCheckable(true);
    connect(rememberAction_, &QAction::triggered, this, [this](bool on) {
        SetRemember(on);
        TellSwitched(*rememberAction_);
    });
}

void PracticeTools::TellSwitched(const QAction &entry)
{
    ui::Announce(form_, entry.text() + (entry.isChecked() ? QStringLiteral(" an") : QStringLiteral(" aus")));
}

void PracticeTools::InstallKeys(QWidget &form)
{
    auto bind = [&form, this](QKeySequence keys, bool repeat, std::function<void()> action) {
        auto *shortcut = new QShortcut(keys, &form);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(repeat);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    bind(Qt::Key_Up, true, [this] { SetVolume(StepVolume(values_.volume, kVolumeKeyStep), true); });
    bind(Qt::Key_Down, true, [this] { SetVolume(StepVolume(values_.volume, -kVolumeKeyStep), true); });
    // A key switches as its entry does, and a screen reader hears it as the menu names it.
    bind(Qt::Key_U, false,
         [this] { subdivisions_->actions().at(NextSubdivision(values_.subdivision) - 1)->trigger(); });
    bind(Qt::Key_R, false, [this] { trainer_->trigger(); });
    bind(Qt::Key_G, false, [this] { gap_->trigger(); });
    auto menuKey = [this] {
        // While a sound name is typed, the text field's own menu.
        QWidget *focus = QApplication::focusWidget();
        auto *edit = qobject_cast<QLineEdit *>(focus);
        if (auto *chooser = qobject_cast<QComboBox *>(focus); chooser && chooser->isEditable())
            edit = chooser->lineEdit(); // the chooser holds the focus for its text field
        if (edit && form_.isAncestorOf(edit)) {
            const QPoint at = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent e(QContextMenuEvent::Keyboard, at, edit->mapToGlobal(at));
            QApplication::sendEvent(edit, &e);
            return;
        }
        QWidget *plaque = form_.findChild<QWidget *>(QStringLiteral("Picture1"));
        OpenMenu(plaque ? plaque->mapToGlobal(QPoint(0, plaque->height())) : form_.mapToGlobal(QPoint(0, 0)));
    };
    bind(Qt::Key_Menu, false, menuKey);
    bind(Qt::Key_F10, false, menuKey);
}

void PracticeTools::OpenMenu(QPoint global)
{
    if (menu_->isVisible())
        return;
    ui::Announce(form_, menu_->title()); // a reader would say only the entry marked
    menu_->popup(global);
    // From the keyboard as from the mouse: the first entry active, the arrows move on.
    menu_->setActiveAction(menu_->actions().value(1));
}

QString PracticeTools::StatusText() const
{
    return status_->isVisible() ? status_->text() : QString();
}

void PracticeTools::SetOtherStatus(const QString &text, const QString &shortText)
{
    if (text != other_ && !text.isEmpty())
        ui::Announce(form_, text);
    other_ = text;
    otherShort_ = shortText;
    ShowStatus();
}

void PracticeTools::SetCountIn(int bars)
{
    values_.countInBars = std::clamp(bars, 0, engine::kMaxCountInBars);
    Changed();
}

void PracticeTools::SetSongStatus(const QString &text)
{
    if (song_.isEmpty() && !text.isEmpty()) {
        brief_.clear(); // a song begins: where it is matters more than a note from before
        briefTimer_.stop();
    }
    song_ = text;
    ShowStatus();
}

void PracticeTools::SetOpenSong(const QString &name)
{
    if (name == openSong_)
        return;
    if (!name.isEmpty()) {
        brief_.clear(); // stopped with a song: that START plays it matters more than a note from before
        briefTimer_.stop();
    }
    openSong_ = name;
    ShowStatus();
}

void PracticeTools::ShowStatus()
{
    // The tools' words in full where they fit beside the other news, else in brief.
    auto line = [this](bool brief) {
        QString text = !song_.isEmpty() ? song_ : QString::fromStdString(StatusLine(values_, brief));
        if (song_.isEmpty() && !openSong_.isEmpty()) {
            // In brief a long name keeps its start and its end, and START's part goes.
            const QString name = brief && openSong_.size() > 24
                                     ? openSong_.left(11) + QStringLiteral("…") + openSong_.right(12)
                                     : openSong_;
            text = !text.isEmpty() ? QStringLiteral("Song: %1 · %2").arg(name, text)
                   : brief         ? QStringLiteral("Song: %1").arg(name)
                                   : QStringLiteral("Song: %1 (START spielt ihn)").arg(name);
        }
        if (!other_.isEmpty())
            text = text.isEmpty() ? other_ : text + QStringLiteral(" · ") + otherShort_;
        return text;
    };
    QFont font = status_->font();
    font.setPixelSize(kStatusPixels);
    QString text = brief_;
    if (brief_.isEmpty()) {
        text = line(false);
        if (QFontMetrics(font).horizontalAdvance(text) > status_->width())
            text = line(true);
    }
    // What still does not fit (every tool on, and Link's state) is set smaller, down to 10 pixels.
    while (font.pixelSize() > 10 && QFontMetrics(font).horizontalAdvance(text) > status_->width())
        font.setPixelSize(font.pixelSize() - 1);
    status_->setFont(font);
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

void PracticeTools::ShowBriefly(const QString &text, int ms, const QString &spoken)
{
    ui::Announce(form_, spoken.isEmpty() ? text : spoken);
    brief_ = text;
    briefTimer_.start(ms > 0 ? ms : kBriefMs);
    ShowStatus();
}

void PracticeTools::Note(const QString &text)
{
    ShowBriefly(status_->fontMetrics().elidedText(text, Qt::ElideMiddle, status_->width()), kNoteMs, text);
}

void PracticeTools::Changed(bool publish)
{
    values_ = Clamped(values_);
    {
        const QSignalBlocker quiet(volumeSlider_);
        volumeSlider_->setValue(values_.volume);
    }
    volumeLabel_->setText(QStringLiteral("Lautstärke %1").arg(values_.volume));
    for (QAction *a : subdivisions_->actions())
        a->setChecked(a->data().toInt() == values_.subdivision);
    trainer_->setChecked(values_.trainerOn);
    gap_->setChecked(values_.gapOn);
    rememberAction_->setChecked(remember_);
    ShowStatus();
    if (publish && hooks_.publish)
        hooks_.publish();
    WindowChanged();
}

void PracticeTools::SetVolume(int volume, bool showBriefly)
{
    values_.volume = std::clamp(volume, 0, 100);
    if (showBriefly)
        ShowBriefly(QStringLiteral("Lautstärke %1").arg(values_.volume));
    Changed();
}

void PracticeTools::SetSubdivision(int subdivision)
{
    values_.subdivision = subdivision;
    Changed();
}

void PracticeTools::SetTrainer(bool on)
{
    if (on) {
        TrainerSwitchedOn(values_, hooks_.bpm(), trainerChosen_);
        ++values_.trainerRun; // a new run from the start tempo
        values_ = Clamped(values_);
        if (hooks_.bpm() != values_.trainerStartBpm)
            hooks_.setBpm(values_.trainerStartBpm);
    } else {
        values_.trainerOn = false;
    }
    Changed();
}

void PracticeTools::SetGap(bool on)
{
    values_.gapOn = on;
    Changed();
}

void PracticeTools::EditTrainer()
{
    if (dialog_ && dialog_->isVisible())
        return;
    engine::Practice shown = values_;
    if (!trainerChosen_ && !values_.trainerOn)
        TrainerSwitchedOn(shown, hooks_.bpm(), false);
    auto *start = Spin(tempo::kMinBpm, tempo::kMaxWeightBpm, shown.trainerStartBpm, QStringLiteral("Starttempo"));
    auto *every = Spin(1, 16, shown.trainerEveryCycles, QStringLiteral("Alle wie viele Zyklen"));
    auto *step = Spin(-10, 10, shown.trainerStepBpm, QStringLiteral("Schritt"), new StepSpin);
    step->setSuffix(QStringLiteral(" BPM"));
    auto *goal = Spin(tempo::kMinBpm, tempo::kMaxWeightBpm, shown.trainerGoalBpm, QStringLiteral("Zieltempo"));
    dialog_ = Dialog(form_, QStringLiteral("Tempo-Trainer"),
                     QStringLiteral("Ab dem Starttempo ändert sich das Tempo alle N Zyklen um den Schritt, bis "
                                    "es das Ziel erreicht (aufwärts oder abwärts, wie das Ziel liegt). OK "
                                    "schaltet den Trainer ein."),
                     {{QStringLiteral("Starttempo (BPM):"), start},
                      {QStringLiteral("Alle N Zyklen:"), every},
                      {QStringLiteral("Schritt:"), step},
                      {QStringLiteral("Zieltempo (BPM):"), goal}},
                     [this, start, every, step, goal] {
                         values_.trainerStartBpm = start->value();
                         values_.trainerEveryCycles = every->value();
                         // The step's size as typed, its direction towards the goal (a step
                         // away from it would never move the tempo).
                         const int size = std::abs(step->value());
                         values_.trainerStepBpm = goal->value() < start->value()   ? -size
                                                  : goal->value() > start->value() ? size
                                                                                   : step->value();
                         values_.trainerGoalBpm = goal->value();
                         trainerChosen_ = true;
                         SetTrainer(true);
                     });
}

void PracticeTools::EditGap()
{
    if (dialog_ && dialog_->isVisible())
        return;
    auto *play = Spin(1, 8, values_.gapPlayCycles, QStringLiteral("Zyklen mit Klang"));
    auto *mute = Spin(1, 8, values_.gapMuteCycles, QStringLiteral("Zyklen in Stille"));
    dialog_ = Dialog(form_, QStringLiteral("Pausen-Training"),
                     QStringLiteral("N Zyklen klingen, dann M Zyklen Stille, immer wieder; das Pendel schwingt "
                                    "weiter. OK schaltet das Pausen-Training ein."),
                     {{QStringLiteral("Spielen (N Zyklen):"), play}, {QStringLiteral("Stille (M Zyklen):"), mute}},
                     [this, play, mute] {
                         values_.gapPlayCycles = play->value();
                         values_.gapMuteCycles = mute->value();
                         SetGap(true);
                     });
}

void PracticeTools::TempoSetByHand()
{
    if (!values_.trainerOn)
        return;
    values_.trainerOn = false;
    ShowBriefly(QStringLiteral("Trainer aus (von Hand)"));
    Changed();
}

void PracticeTools::Starting()
{
    if (!values_.trainerOn)
        return;
    ++values_.trainerRun;
    if (hooks_.bpm() != values_.trainerStartBpm)
        hooks_.setBpm(values_.trainerStartBpm);
    Changed();
}

void PracticeTools::BeatHeard(const engine::BeatEvent &beat)
{
    if (beat.bpm == 0 || !values_.trainerOn)
        return;
    const int bpm = static_cast<int>(std::lround(beat.bpm));
    if (bpm == hooks_.bpm())
        return;
    hooks_.setBpm(bpm);
    ShowStatus();
}

void PracticeTools::WindowChanged()
{
    if (!remember_ || restoring_)
        return;
    dirty_ = true;
    if (!writeTimer_.isActive())
        writeTimer_.start();
}

void PracticeTools::WriteNow()
{
    dirty_ = false;
    if (!remember_)
        return;
    if (WriteSettings(path_, Remembered{hooks_.current(), values_, trainerChosen_}) || warnedCannotWrite_)
        return;
    warnedCannotWrite_ = true;
    std::fprintf(stderr, "metronom: cannot remember the settings: %s cannot be written\n", qPrintable(path_));
    std::fflush(stderr);
    // A program started from the desktop has no error output to read: the face says it too.
    Note(QStringLiteral("Einstellungen nicht speicherbar"));
}

void PracticeTools::SetRemember(bool on)
{
    remember_ = on;
    if (on) {
        WriteNow();
    } else {
        writeTimer_.stop();
        dirty_ = false;
        // A file that stays would be read again at the next start and check this entry again.
        if (QFile::exists(path_) && !QFile::remove(path_)) {
            std::fprintf(stderr, "metronom: %s cannot be deleted: it is read at the next start\n", qPrintable(path_));
            std::fflush(stderr);
            Note(QStringLiteral("Einstellungen nicht löschbar"));
        }
        // The folder holds nothing but this file: it goes with it (rmdir takes only an empty one).
        QDir().rmdir(QFileInfo(path_).absolutePath());
    }
    rememberAction_->setChecked(remember_);
}

void PracticeTools::Restore()
{
    if (!QFileInfo::exists(path_))
        return;
    remember_ = true;
    const ReadOutcome read = ReadSettings(path_, Remembered{hooks_.current(), values_, false}, hooks_.soundExists);
    if (!read.ignored.empty()) {
        std::fprintf(stderr, "metronom: %s: ignored %s\n", qPrintable(path_), IgnoredLine(read.ignored).c_str());
        std::fflush(stderr);
    }
    restoring_ = true;
    hooks_.restore(read.values.window);
    // The trainer as it was left: its start and goal stay (START begins at that start, as it would
    // have before the exit), not taken again from the tempo shown.
    values_ = Clamped(read.values.practice);
    trainerChosen_ = read.values.trainerChosen;
    Changed();
    restoring_ = false;
}

void PracticeTools::Exit()
{
    // Only what changed since the last write: a file read as it was (one too large to read, say)
    // stays as it is.
    writeTimer_.stop();
    if (dirty_)
        WriteNow();
}

} // namespace practice
