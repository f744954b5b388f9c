#include "ui/frame_pacer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace ui {

FramePacer::FramePacer(QWidget &window, std::function<void(bool)> frame, QObject *parent)
    : QObject(parent), window_(window), frame_(std::move(frame)), pacing_(DefaultPacing())
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FramePacer::tick);
    window_.installEventFilter(this);
}

FramePacer::Pacing FramePacer::DefaultPacing()
{
    const QByteArray chosen = qgetenv("METRONOM_FRAME_PACING");
    if (chosen == "timer")
        return Pacing::Timer;
    if (chosen == "update")
        return Pacing::UpdateRequest;
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ? Pacing::UpdateRequest : Pacing::Timer;
}

void FramePacer::watch()
{
    QWindow *w = window_.windowHandle();
    if (w == watched_)
        return;
    if (watched_)
        watched_->removeEventFilter(this);
    watched_ = w;
    updateAsked_ = false;
    if (w)
        w->installEventFilter(this);
}

bool FramePacer::windowSeen() const
{
    return watched_ && window_.isVisible() && !(watched_->windowStates() & Qt::WindowMinimized) &&
           watched_->isExposed();
}

void FramePacer::start()
{
    watch();
    running_ = true;
    seen_ = false;
    reconsider();
    if (!seen_)
        timer_.start(kUnseenTickMs);
}

void FramePacer::stop()
{
    running_ = false;
    seen_ = false;
    timer_.stop();
}

void FramePacer::reconsider()
{
    if (!running_ || windowSeen() == seen_)
        return;
    seen_ = !seen_;
    if (!seen_) {
        timer_.start(kUnseenTickMs);
        return;
    }
    // One frame per refresh of the screen the window is on.
    const QScreen *screen = watched_->screen();
    const qreal hz = screen && screen->refreshRate() > 0 ? screen->refreshRate() : 60.0;
    timer_.start(std::clamp(int(std::lround(1000.0 / hz)), 8, 33));
    frame_(true);
}

void FramePacer::tick()
{
    if (!seen_) {
        frame_(false);
        return;
    }
    if (pacing_ == Pacing::Timer || !watched_) {
        frame_(true);
        return;
    }
    if (!updateAsked_) { // else the window system has not been ready for the last one yet
        updateAsked_ = true;
        watched_->requestUpdate();
    }
}

bool FramePacer::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
        if (watched != watched_ || !updateAsked_)
            break;
        updateAsked_ = false;
        if (drawing())
            frame_(true);
        return true; // the window's own handler would repaint the whole window
    case QEvent::Expose:
        // Before the window answers the expose: a frame drawn now goes out with its first picture.
        reconsider();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WinIdChange:
    case QEvent::WindowStateChange:
        // Once the window has handled it (a window restored from minimized shows its widgets again
        // only then).
        if (watched == &window_ && event->type() != QEvent::Hide)
            watch();
        QMetaObject::invokeMethod(this, &FramePacer::reconsider, Qt::QueuedConnection);
        break;
    default: break;
    }
    return false;
}

} // namespace ui
