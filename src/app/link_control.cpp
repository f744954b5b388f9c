#include "app/link_control.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/metronome.h"
#include "practice/practice_tools.h"
#include "sync/link_session.h"

namespace app {

LinkControl::LinkControl(QObject *window, Hooks hooks)
    : QObject(window), hooks_(std::move(hooks)), linkAction_(new QAction(QStringLiteral("Link"), this)),
      startStopAction_(new QAction(QStringLiteral("Start/Stop teilen"), this))
{
    factory_ = [](double bpm, linksync::Session::Notifiers notify) {
        return std::make_unique<linksync::LinkSession>(bpm, std::move(notify));
    };
    linkAction_->setCheckable(true);
    practice::ShowKey(linkAction_, Qt::Key_L);
    startStopAction_->setCheckable(true);
    connect(linkAction_, &QAction::toggled, this, &LinkControl::SetOn);
    connect(startStopAction_, &QAction::toggled, this, &LinkControl::SetStartStopShared);
    if (qEnvironmentVariableIsSet(kTraceVariable))
        if (auto *number = window->findChild<QLabel *>(QStringLiteral("lblBPM")))
            number->installEventFilter(this);
}

bool LinkControl::eventFilter(QObject *watched, QEvent *event)
{
    // The trace: the label's text as it is painted, once per new text.
    if (event->type() == QEvent::Paint)
        if (auto *number = qobject_cast<QLabel *>(watched); number && number->text() != tracedTempo_) {
            tracedTempo_ = number->text();
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC_RAW, &now);
            std::fprintf(stderr, "tempo shown %s at %lld\n", qPrintable(tracedTempo_),
                         (long long)now.tv_sec * 1000000 + now.tv_nsec / 1000);
        }
    return QObject::eventFilter(watched, event);
}

LinkControl::~LinkControl()
{
    // The window is going (its status line may be gone already): the session ends unannounced.
    blockSignals(true);
    SetOn(false);
}

void LinkControl::SetEngine(engine::Metronome *metronome, const sound::StreamFeed *feed)
{
    if (metronome_ && metronome_ != metronome)
        metronome_->SetSession(nullptr, nullptr);
    metronome_ = metronome;
    feed_ = feed;
    if (metronome_)
        metronome_->SetSession(session_ ? &session_->audio() : nullptr, feed_);
}

void LinkControl::SetOn(bool on)
{
    if (on == On())
        return;
    if (on) {
        // Link's threads post to this object; a call arriving after the session ended is dropped.
        QPointer<LinkControl> self(this);
        linksync::Session::Notifiers notify;
        notify.peers = [self] {
            QMetaObject::invokeMethod(
                self,
                [self] {
                    if (self)
                        self->PeersChanged();
                },
                Qt::QueuedConnection);
        };
        notify.tempo = [self](double bpm) {
            QMetaObject::invokeMethod(
                self,
                [self, bpm] {
                    if (self)
                        self->TempoChanged(bpm);
                },
                Qt::QueuedConnection);
        };
        notify.playing = [self](bool playing) {
            QMetaObject::invokeMethod(
                self,
                [self, playing] {
                    if (self)
                        self->PlayingChanged(playing);
                },
                Qt::QueuedConnection);
        };
        const int bpm = hooks_.tempo ? hooks_.tempo() : 120;
        session_ = factory_(std::max(bpm, kMinBpm), std::move(notify));
        session_->SetStartStopShared(startStopShared_);
        if (metronome_)
            metronome_->SetSession(&session_->audio(), feed_);
        if (bpm < kMinBpm && hooks_.fromSession)
            hooks_.fromSession(kMinBpm); // the session's slowest: the window shows it
    } else {
        if (metronome_)
            metronome_->SetSession(nullptr, nullptr); // the engine lets go before the session ends
        session_.reset();
        waiting_ = false;
    }
    const QSignalBlocker block(linkAction_);
    linkAction_->setChecked(on);
    ShowStatus();
}

void LinkControl::SetStartStopShared(bool shared)
{
    startStopShared_ = shared;
    if (session_)
        session_->SetStartStopShared(shared);
    const QSignalBlocker block(startStopAction_);
    startStopAction_->setChecked(shared);
}

void LinkControl::UserTempo(int bpm)
{
    if (session_)
        session_->SetTempo(std::max(bpm, kMinBpm));
}

void LinkControl::UserStopped()
{
    waiting_ = false;
    if (session_)
        session_->Stopped();
    ShowStatus();
}

void LinkControl::Frame(bool waiting)
{
    if (session_)
        session_->Align();
    if (waiting == waiting_)
        return;
    waiting_ = waiting;
    ShowStatus();
}

void LinkControl::PeersChanged()
{
    if (session_)
        session_->Align(); // a beat still waiting for the window is dropped now that peers came
    ShowStatus();
}

void LinkControl::TempoChanged(double bpm)
{
    // Our own changes come back too: only a tempo the window does not show yet is applied.
    if (!session_ || !hooks_.fromSession)
        return;
    if (hooks_.tempo && std::lround(bpm) == hooks_.tempo())
        return;
    hooks_.fromSession(bpm);
}

void LinkControl::PlayingChanged(bool playing)
{
    if (!session_ || !startStopShared_ || !hooks_.startStop || !hooks_.running)
        return;
    if (playing != hooks_.running())
        hooks_.startStop(playing);
}

QString LinkControl::StatusText() const
{
    if (!session_)
        return {};
    if (waiting_)
        return QStringLiteral("Link: wartet auf Takt");
    const int peers = session_->Peers();
    return peers == 0 ? QStringLiteral("Link: allein") : QStringLiteral("Link: %1 Teilnehmer").arg(peers);
}

void LinkControl::ShowStatus()
{
    const QString text = StatusText();
    if (text == shown_)
        return;
    shown_ = text;
    QString brief;
    if (session_)
        brief = waiting_                 ? QStringLiteral("Link wartet")
                : session_->Peers() == 0 ? QStringLiteral("Link allein")
                                         : QStringLiteral("Link %1").arg(session_->Peers());
    emit statusChanged(text, brief);
}

} // namespace app
