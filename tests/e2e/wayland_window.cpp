// The window under a Wayland compositor, in the program's own process: asked to maximize the way
// the maximize button of Qt's title bar asks, it must live (a size that does not match a
// maximized state makes the compositor end the program) and stay at its fixed size.
// Run by wayland_weston.sh with QT_QPA_PLATFORM=wayland.
#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"

namespace {

int failures = 0;

void Check(bool ok, const char *what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    failures += ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        std::printf("FAIL: not on Wayland but on %s\n", qPrintable(QGuiApplication::platformName()));
        return 1;
    }
    sound::SoundOutput output;
    app::FrmMetronom form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::printf("FAIL: the window was not shown\n");
        return 1;
    }
    form.FirstRun(output);
    const QSize fixed = form.size();
    Check(fixed == QSize(790, 509), "the window has its fixed size");
    Check(form.Check2()->toolTip().contains(QLatin1String("Wayland")), "\"immer im Vordergrund\" says it cannot work here");

    QWindow *window = form.windowHandle();
    for (int round = 0; round < 3; ++round) {
        // What the title bar's maximize button does.
        window->setWindowStates(window->windowStates() ^ Qt::WindowMaximized);
        QTest::qWait(1500);
        Check(!(window->windowStates() & Qt::WindowMaximized), "the maximized state was refused");
        Check(form.size() == fixed && form.minimumSize() == fixed && form.maximumSize() == fixed,
              "the window is back at its fixed size");
    }
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
