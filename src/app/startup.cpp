#include "app/startup.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>

#include "app/commands.h"
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

} // namespace

void FillSoundChoosers(FrmMetronom &form, const QString &soundsDir)
{
    const ChooserLists lists = SortIntoChoosers(ListWavFiles(soundsDir));
    AppendKeepingText(form.Combo1(), lists.combo1);
    AppendKeepingText(form.Combo2(), lists.combo2);
    AppendKeepingText(form.Combo3(), lists.combo3);
}

int Main(int argc, char **argv)
{
    // A second copy ends at once and silently, before anything is shown.
    SingleInstance instance;
    if (!instance.acquired())
        return 0;

    // The command line is not read: the toolkit is given the program name alone.
    int toolkitArgc = argc > 0 ? 1 : 0;
    QApplication application(toolkitArgc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    InitPaths();
    if (!InitApplication())
        return 1;

    sound::SoundOutput output; // outlives the window that plays through it
    FrmMetronom form;
    FillSoundChoosers(form, Globals().SoundsDir);
    form.show();
    form.FirstRun(output);
    return application.exec();
}

} // namespace app
