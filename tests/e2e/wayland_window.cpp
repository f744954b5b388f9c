// The window under a Wayland compositor, in the program's own process (run by wayland_weston.sh):
// asked to maximize the way the maximize button of Qt's title bar asks, it must live (a size that
// does not match a maximized state makes the compositor end the program) and keep its fixed size.
#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion")); // as the program does
    int failures = 0;
    auto check = [&](bool ok, const char *what) { std::printf("%s: %s\n", ok ? "ok" : "FAIL", what), failures += !ok; };
    check(QGuiApplication::platformName().startsWith(QLatin1String("wayland")), "on Wayland");
    sound::SoundOutput output;
    app::FrmMetronom form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return std::printf("FAIL: the window was not shown\n"), 1;
    form.FirstRun(output);
    const QSize fixed = form.size();
    check(fixed == QSize(790, 509), "the window has its fixed size");
    check(form.Check2()->toolTip().contains(QLatin1String("Wayland")) &&
              form.Check2()->accessibleDescription().contains(QLatin1String("Wayland")),
          "\"immer im Vordergrund\" says it cannot work, also to a screen reader");
    QWindow *window = form.windowHandle();
    for (int round = 0; round < 3; ++round) {
        window->setWindowStates(window->windowStates() | Qt::WindowMaximized); // the title bar's button
        QTest::qWait(300);
        // The compositor's answers come in their own time (a busy machine): up to 10 s each.
        check(QTest::qWaitFor([&] { return !(window->windowStates() & Qt::WindowMaximized); }, 10000),
              "the maximized state was refused");
        check(QTest::qWaitFor(
                  [&] { return form.size() == fixed && form.minimumSize() == fixed && form.maximumSize() == fixed; },
                  10000),
              "at its fixed size");
    }
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
