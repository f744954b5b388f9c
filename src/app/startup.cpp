#include "app/startup.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLocalServer>
#include <QPointer>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/commands.h"
#include "app/desktop.h"
#include "app/frm_metronom.h"
#include "app/single_instance.h"
#include "app/sound_list.h"
#include "sound/sound_output.h"

namespace app {

AppGlobals &Globals()
{
    static AppGlobals globals;
    return globals;
}

void InitPaths(const QString &programFolder)
{
    QString path = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    Globals().AppPath = QDir::toNativeSeparators(path);
    AddBackslash(Globals().AppPath);
}

bool InitApplication()
{
    AppGlobals &g = Globals();
    g.AppTitle = QStringLiteral("Lindoquet Metronome Vintra");
    g.SoundsDir = g.AppPath + QStringLiteral("Sounds") + QDir::separator();
    if (!FileExists(g.SoundsDir + QStringLiteral("Klack.wav"))) {
        QString title;
        ShowMessage(QStringLiteral("Die benötigte Datei 'Klack.wav' wurde nicht gefunden !"), kWarning, title);
        return false;
    }
    return true;
}

namespace {

// Adds items to a chooser without selecting one, so that it keeps showing its text.
void AppendKeepingText(QComboBox *combo, const QStringList &names)
{
    if (!combo || names.isEmpty())
        return;
    const QString text = combo->currentText();
    const QSignalBlocker quiet(combo);
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

// The toolkit's messages while it starts are held back, so that a start without a display ends
// with one line of its own instead of the toolkit's lines and abort.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage> &Held()
{
    static std::vector<HeldMessage> held;
    return held;
}

void StartupMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        Held().push_back({type, context.category ? context.category : "", text});
        return;
    }
    // The reason: the platform layer's first complaint, else the first of any, else this one.
    const HeldMessage *reason = nullptr;
    for (const HeldMessage &m : Held()) {
        if (m.type == QtDebugMsg || m.type == QtInfoMsg)
            continue;
        if (m.category.starts_with("qt.qpa")) {
            reason = &m;
            break;
        }
        if (!reason)
            reason = &m;
    }
    const QString cause = reason ? reason->text : text.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "metronom: no display to show the window on: %s\n", qPrintable(cause.simplified()));
    std::fflush(stderr);
    ::_exit(1);
}

} // namespace

std::unique_ptr<QApplication> StartToolkit(int &argc, char **argv)
{
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage &m : Held()) // it started: what was said goes out as usual
        previous(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category.c_str()), m.text);
    Held().clear();
    return application;
}

void FillSoundChoosers(FrmMetronom &form, const QString &soundsDir)
{
    const ChooserLists lists = SortIntoChoosers(ListWavFiles(soundsDir));
    AppendKeepingText(form.Combo1(), lists.combo1);
    AppendKeepingText(form.Combo2(), lists.combo2);
    AppendKeepingText(form.Combo3(), lists.combo3);
}

int Main(int argc, char **argv)
{
    // A second copy brings the running window to the front and ends at once, showing nothing.
    SingleInstance instance;
    if (!instance.acquired()) {
        instance.AskToRaise();
        return 0;
    }

    // The command line is not read: the toolkit is given the program name alone.
    int toolkitArgc = argc > 0 ? 1 : 0;
    const std::unique_ptr<QApplication> application = StartToolkit(toolkitArgc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    PrepareApplication();
    QPointer<QWidget> window;
    const std::unique_ptr<QLocalServer> listener = instance.Listen([&window] { BringToFront(window); });

    InitPaths();
    if (!InitApplication())
        return 1;

    sound::SoundOutput output; // outlives the window that plays through it
    FrmMetronom form;
    window = &form;
    FillSoundChoosers(form, Globals().SoundsDir);
    form.show();
    form.FirstRun(output);
    return application->exec();
}

} // namespace app
