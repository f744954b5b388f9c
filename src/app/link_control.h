#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "sync/link_session.h"

class QAction;

namespace engine {
class Metronome;
}
namespace sound {
class StreamFeed;
}

namespace app {

// Link in the window: the switch (menu entry "Link", key L) that makes and ends the session, the
// "Start/Stop teilen" option, the tempo shared both ways and the status text (shown in the practice
// tools' status line). Link's threads reach it only through queued calls. Lives on the UI thread.
class LinkControl : public QObject {
    Q_OBJECT
public:
    // What the window does for it.
    struct Hooks {
        std::function<int()> tempo;                  // the tempo the window shows now
        std::function<void(double bpm)> fromSession; // a tempo from the session, shown as if set
        std::function<void(bool start)> startStop;   // START or STOP as the button does
        std::function<bool()> running;
    };

    LinkControl(QObject *window, Hooks hooks);
    ~LinkControl() override;

    // What makes the session when Link goes on (Ableton Link's by default; tests give their own).
    using SessionFactory =
        std::function<std::unique_ptr<linksync::Session>(double bpm, linksync::Session::Notifiers notify)>;
    void SetSessionFactory(SessionFactory factory) { factory_ = std::move(factory); }

    // The engine that plays the session's beats (null: none yet, or no more).
    void SetEngine(engine::Metronome *metronome, const sound::StreamFeed *feed);

    bool On() const { return session_ != nullptr; }
    void SetOn(bool on);
    bool StartStopShared() const { return startStopShared_; }
    void SetStartStopShared(bool shared);

    // The user set a tempo (it goes to the session) or pressed STOP.
    void UserTempo(int bpm);
    void UserStopped();
    // Once per display frame while running (once a second while the window cannot be seen):
    // whether the run waits for the session's bar; and the moment our beat, asked for by the audio
    // thread while alone, goes to the session.
    void Frame(bool waiting);

    // "" while off; "Link: allein", "Link: N Teilnehmer" or "Link: wartet auf Takt".
    QString StatusText() const;
    // The checkable menu entries "Link" and "Start/Stop teilen".
    QAction *linkAction() const { return linkAction_; }
    QAction *startStopAction() const { return startStopAction_; }

    static constexpr int kMinBpm = 20; // the slowest tempo a session takes

    // With METRONOM_TRACE_TEMPO set in the environment, each new text the window's tempo number
    // (lblBPM) is painted with goes to standard error as "tempo shown N at MICROS", MICROS on Link's
    // clock (CLOCK_MONOTONIC_RAW): what the end-to-end test reads off the screen.
    static constexpr const char *kTraceVariable = "METRONOM_TRACE_TEMPO";

signals:
    // The status in full ("Link: 3 Teilnehmer") and short, beside other parts ("Link 3").
    void statusChanged(const QString &text, const QString &shortText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PeersChanged();
    void TempoChanged(double bpm);
    void PlayingChanged(bool playing);
    void ShowStatus();

    Hooks hooks_;
    SessionFactory factory_;
    std::unique_ptr<linksync::Session> session_;
    engine::Metronome *metronome_ = nullptr;
    const sound::StreamFeed *feed_ = nullptr;
    bool startStopShared_ = false;
    bool waiting_ = false;
    QAction *linkAction_;
    QAction *startStopAction_;
    QString shown_;
    QString tracedTempo_; // the number last traced as painted
};

} // namespace app
