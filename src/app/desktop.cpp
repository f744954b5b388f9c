#include "app/desktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolTip>
#include <QTranslator>
#include <QWidget>
#include <QWindow>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "ui/app_icon.h"

namespace app {

namespace {

constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;

class FixedSizeOnWayland : public QObject {
public:
    explicit FixedSizeOnWayland(QWidget &form) : QObject(&form), form_(form) { form.installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            // The window handle exists from the first show on.
            if (!watching_ && form_.windowHandle()) {
                watching_ = true;
                connect(form_.windowHandle(), &QWindow::windowStateChanged, this, &FixedSizeOnWayland::Requested);
            }
            break;
        case QEvent::WindowStateChange:
            // The compositor's answer: a large state is refused, the normal state fixes the size again.
            if (!lifted_)
                break;
            if (form_.windowState() & kLarge) {
                QTimer::singleShot(0, this, [this] {
                    if (QWindow *w = form_.windowHandle())
                        w->setWindowStates(w->windowStates() & ~kLarge);
                });
            } else {
                lifted_ = false;
                form_.setFixedSize(fixed_);
            }
            break;
        case QEvent::Resize:
            if (lifted_ && !(form_.windowState() & kLarge) && form_.size() != fixed_)
                QTimer::singleShot(0, this, [this] {
                    if (lifted_ && !(form_.windowState() & kLarge))
                        form_.resize(fixed_);
                });
            break;
        default: break;
        }
        return false;
    }

private:
    // Sent with the request, before the compositor answers: the limit goes now, or the configured
    // size could not be taken and the compositor would end the program.
    void Requested(Qt::WindowState state)
    {
        if (lifted_ || !(state & kLarge) || form_.minimumSize() != form_.maximumSize())
            return;
        lifted_ = true;
        fixed_ = form_.maximumSize();
        form_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    QWidget &form_;
    QSize fixed_;
    bool watching_ = false;
    bool lifted_ = false;
};

// Qt moves a tool tip that is still shown to the next control instead of opening a new one, and a
// Wayland popup cannot be moved: the next control's tip appeared where the last one was (START's
// list of keys over the tempo, from "immer im Vordergrund"). The shown tip is closed first.
class FreshToolTips : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // QToolTip::hideText() would only fade it out, still to be reused.
        if (event->type() == QEvent::ToolTip && QToolTip::isVisible())
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible())
                    w->hide();
        return false;
    }
};

} // namespace

void PrepareApplication()
{
    // The window speaks German whatever the locale, and so do Qt's own texts (a text field's menu,
    // the dialogs' buttons). Without the translation installed they stay English.
    static QTranslator qtTexts;
    if (qtTexts.isEmpty() && qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    QApplication::setWindowIcon(ui::AppIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
}

void AdaptToWindowSystem(QWidget &form)
{
    // "wayland", or one of the plugin's other names ("wayland-egl", chosen with QT_QPA_PLATFORM).
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    new FixedSizeOnWayland(form);
    qApp->installEventFilter(new FreshToolTips(&form));
    if (auto *onTop = form.findChild<QCheckBox *>(QStringLiteral("Check2"))) {
        // Two lines: the compositor alone places a tool tip on Wayland, and one long line runs off
        // the screen's edge when the window lies in its right half. A screen reader says it too.
        onTop->setToolTip(QString::fromUtf8("Immer im Vordergrund: unter Wayland nicht möglich,\ndort bestimmt "
                                            "allein die Arbeitsumgebung, welches Fenster oben liegt"));
        onTop->setAccessibleDescription(QString::fromUtf8("Unter Wayland nicht möglich: dort bestimmt allein die "
                                                          "Arbeitsumgebung, welches Fenster oben liegt"));
    }
}

namespace {
int endSignalPipe[2] = {-1, -1}; // written by the signal handler, read on the UI thread

extern "C" void OnEndSignal(int signal)
{
    // Only what a signal handler may do: the next such signal ends the program, and the UI thread
    // is woken through the socket.
    std::signal(signal, SIG_DFL);
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(endSignalPipe[1], &byte, 1);
}
} // namespace

void CloseOnEndSignals(QWidget &window)
{
    if (endSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, endSignalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(endSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(endSignalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace app
