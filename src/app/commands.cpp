#include "app/commands.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/startup.h"
#include "ui/window_layout.h"

namespace app {

bool FileExists(const QString &path)
{
    // Only a regular file (or a link to one) that can be opened for reading. Looked at before it
    // is opened, and opened without waiting, so that a FIFO or a device never blocks the start.
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode); // still, when it was swapped
    ::close(fd);
    return regular;
}

QString &AddBackslash(QString &path)
{
    const QChar sep = QDir::separator();
    if (!path.endsWith(sep))
        path += sep;
    return path;
}

QString StripExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == name.size() - 1)
        return name;
    return name.left(dot);
}

namespace {

MessageSink &Sink()
{
    static MessageSink sink;
    return sink;
}

QMessageBox::Icon IconFor(int kind)
{
    switch (kind) {
    case kInformation: return QMessageBox::Information;
    case kWarning: return QMessageBox::Warning;
    case kCritical: return QMessageBox::Critical;
    case kQuestion: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

void SetMessageSink(MessageSink sink)
{
    Sink() = std::move(sink);
}

bool SendToMessageSink(const QString &message, int kind, const QString &title)
{
    if (!Sink())
        return false;
    Sink()(message, kind, title);
    return true;
}

void ShowMessage(const QString &message, int kind, QString &title)
{
    if (title.isEmpty())
        title = Globals().AppTitle;
    if (kind < kInformation || kind > kQuestion)
        return;
    if (SendToMessageSink(message, kind, title))
        return;
    QMessageBox box(IconFor(kind), title, message, QMessageBox::Ok);
    box.exec();
}

QPoint CenterForm(QSize screenTwips, QSize windowTwips)
{
    // Whole numbers first (fractions round to the nearest, ties to even), then divisions that
    // truncate toward zero, as the placement always did.
    const int H = static_cast<int>(std::nearbyint(screenTwips.height() * 0.9));
    const int W = screenTwips.width();
    int top = H / 2 - windowTwips.height() / 2;
    int left = W / 2 - windowTwips.width() / 2;
    if (top < 0)
        top = 0;
    if (left < 0)
        left = 0;
    return {left, top};
}

void CenterForm(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const int tw = ui::kTwipsPerPixel;
    const QSize screenTwips = screen->geometry().size() * tw;
    QSize outer = window->frameGeometry().size();
    if (!window->isVisible()) // no frame yet: use the window's designed outer size
        outer = QSize(ui::TwipsToPixels(ui::MainWindow().outerWidth), ui::TwipsToPixels(ui::MainWindow().outerHeight));
    const QPoint at = CenterForm(screenTwips, outer * tw);
    window->move(screen->geometry().topLeft() + QPoint(ui::TwipsToPixels(at.x()), ui::TwipsToPixels(at.y())));
}

void BringToFront(QWidget *window, const QByteArray &activationToken)
{
    if (!window)
        return;
    // Qt's Wayland shell hands the compositor the token it finds here when the window asks to be
    // activated, and takes it away again.
    if (!activationToken.isEmpty() && QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void SetTopMost(QWidget *window, bool onTop)
{
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (QWindow *handle = window->windowHandle()) {
        // A window that already exists is told directly, so it is not hidden and shown again.
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        window->setWindowFlags(flags);
    }
}

} // namespace app
