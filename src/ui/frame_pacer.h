#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;
class QWindow;

namespace ui {

// Paces the frames of an animation in a top-level window: one frame per refresh of its screen while
// the window can be seen, none while it cannot (hidden, minimized, unmapped, or no longer exposed:
// another workspace, or a Wayland compositor that stopped sending frame callbacks). Meanwhile a
// slow tick keeps the animation's state going without drawing, and the moment the window can be
// seen again a frame is drawn before the window system's expose is answered, so the first picture
// shown is already the current one. Lives on the UI thread.
class FramePacer : public QObject {
public:
    // How a frame is triggered while the window can be seen: by a timer at the screen's refresh
    // interval, or by QWindow::requestUpdate, which the window system delivers when it is ready
    // for the next frame (a Wayland compositor's frame callback; elsewhere Qt's own short timer, so
    // a timer at the refresh interval asks for each one).
    enum class Pacing { Timer, UpdateRequest };

    // `frame(true)` draws a frame; `frame(false)` is the slow tick while the window cannot be seen.
    FramePacer(QWidget &window, std::function<void(bool draw)> frame, QObject *parent = nullptr);

    void start();
    void stop();
    bool running() const { return running_; }
    // Whether frames are drawn now: running and the window can be seen.
    bool drawing() const { return running_ && seen_; }
    // From METRONOM_FRAME_PACING ("timer" or "update"); update requests on Wayland, else the timer.
    static Pacing DefaultPacing();
    void setPacing(Pacing pacing) { pacing_ = pacing; }

    // While the window cannot be seen: one tick per this many milliseconds.
    static constexpr int kUnseenTickMs = 1000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool windowSeen() const;
    // The window may have been hidden or shown: stop drawing, or draw at once and go on.
    void reconsider();
    void tick();
    void watch();

    QWidget &window_;
    QWindow *watched_ = nullptr;
    std::function<void(bool)> frame_;
    Pacing pacing_;
    QTimer timer_;
    bool running_ = false;
    bool seen_ = false;
    bool updateAsked_ = false;
};

} // namespace ui
