#pragma once
#include <QDialog>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "engine/metronome.h"
#include "practice/settings_file.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QSlider;
class QWidget;

// The practice menu "Übungen und Einstellungen", its keys, the status line on the case's base and
// the remembered settings. Everything the old window lacked lives here; the window only tells the
// tools what happened and asks them for the values to play with. UI thread only.
namespace practice {

// What the tools need of the window.
struct WindowHooks {
    std::function<int()> bpm;                // the tempo set
    std::function<void(int)> setBpm;         // a tempo set as the user sets it, weight and all
    std::function<void()> publish;           // the beats play with the new values from the next block
    std::function<WindowSettings()> current; // what the window would remember now
    std::function<void(const WindowSettings &)> restore;
    std::function<bool(const std::string &)> soundExists; // a sound name whose file is there
};

// Shows `key` beside a menu entry without binding it there: the window's own shortcut does the
// work, and a screen reader reads the entry's name and its key apart.
void ShowKey(QAction *entry, Qt::Key key);

class PracticeTools : public QObject {
    Q_OBJECT
public:
    // The menu opens on a right click on `form` where no control has its own (TAP, START and the
    // face keep theirs; the face opens it on a right click that moved nothing), on a left click on
    // `plaque`, and with the Menu key or F10. The status line lies on the case's base of `face`.
    PracticeTools(QWidget &form, QWidget &face, QWidget &plaque, WindowHooks hooks);
    ~PracticeTools() override;

    const engine::Practice &Values() const { return values_; }
    QMenu *Menu() const { return menu_; }
    QString StatusText() const;
    bool Remembering() const { return remember_; }
    QDialog *OpenDialog() const { return dialog_; }

    void OpenMenu(QPoint global);
    // The entries and keys.
    void SetVolume(int volume, bool showBriefly);
    void SetSubdivision(int subdivision);
    void SetTrainer(bool on);
    void SetGap(bool on);
    void SetRemember(bool on);
    // Has a screen reader hear what the checkable `entry` was switched to ("Tempo-Trainer an").
    void TellSwitched(const QAction &entry);
    void SetCountIn(int bars); // bars counted in before START, 0..2
    // While a song plays: where it is ("Intro, Takt 2 von 8"), shown in place of the usual line
    // (empty: the usual line again).
    void SetSongStatus(const QString &text);
    // While stopped with a song open: its file's name, so that START is known to play it (empty: no
    // song, or one is playing). It goes before the usual line and replaces a note shown.
    void SetOpenSong(const QString &name);
    void EditTrainer(); // the trainer's dialog, open until the user closes it
    void EditGap();

    // A part of the status line that belongs to another tool (Link's), after the practice tools'.
    // `shortText` stands in for it beside the practice tools' own parts, where the line is narrow.
    void SetOtherStatus(const QString &text, const QString &shortText);
    // A note for the user on the status line for a few seconds (shortened in the middle to fit),
    // and told in full to a screen reader.
    void Note(const QString &text);

    // What happened in the window.
    void TempoSetByHand(); // weight, steps, slider, tap: the trainer gives way
    void Starting();       // START: the trainer begins again from its start tempo
    void BeatHeard(const engine::BeatEvent &beat);
    void WindowChanged(); // something remembered changed
    // After the first-run set-up: when the file exists, remembering is on and its values are set.
    void Restore();
    // The window closes: the last values are written.
    void Exit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override; // the plaque's clicks, the menu's keys

private:
    void Changed(bool publish = true);
    void ShowStatus();
    // For the usual while (`ms` 0); a screen reader is told `spoken` (empty: `text`) at once.
    void ShowBriefly(const QString &text, int ms = 0, const QString &spoken = {});
    void WriteNow();
    void InstallKeys(QWidget &form);
    void BuildMenu();
    void FaceClicks(QWidget &face);

    QWidget &form_;
    WindowHooks hooks_;
    engine::Practice values_;
    bool trainerChosen_ = false;
    bool remember_ = false;
    bool restoring_ = false;
    bool warnedCannotWrite_ = false;
    bool dirty_ = false;
    QString path_;

    QMenu *menu_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QAction *volumeAction_ = nullptr;
    QLabel *volumeLabel_ = nullptr;
    QActionGroup *subdivisions_ = nullptr;
    QAction *trainer_ = nullptr;
    QAction *gap_ = nullptr;
    QAction *rememberAction_ = nullptr;
    QLabel *status_ = nullptr;
    QString brief_;
    QString other_, otherShort_;
    QString song_;
    QString openSong_;
    QTimer briefTimer_;
    QTimer writeTimer_;
    QPointer<QDialog> dialog_;
};

} // namespace practice
