#include "app/startup.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocalServer>
#include <QPointer>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/commands.h"
#include "app/desktop.h"
#include "app/export_command.h"
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

// The chooser's list made `names`, none of them selected: the name shown, and where the cursor
// stands in it, stay.
void ListKeepingText(QComboBox *combo, const QStringList &names)
{
    if (!combo)
        return;
    QStringList now;
    for (int i = 0; i < combo->count(); ++i)
        now << combo->itemText(i);
    if (now == names)
        return;
    const QString text = combo->currentText();
    const int cursor = combo->lineEdit() ? combo->lineEdit()->cursorPosition() : 0;
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
    if (combo->lineEdit())
        combo->lineEdit()->setCursorPosition(cursor);
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
    ListKeepingText(form.Combo1(), lists.combo1);
    ListKeepingText(form.Combo2(), lists.combo2);
    ListKeepingText(form.Combo3(), lists.combo3);
}

QString CommandLineText(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return QString::fromUtf8(
                "Aufruf: metronom [--help | --version] [SONG]\n"
                "       metronom --export AUSGABE SONG [--rate N]\n"
                "\n"
                "Ein Pendel-Metronom mit Akzenten, Tap-Tempo und gesprochenem Zählen. Ohne Argumente\n"
                "öffnet es sein Fenster; läuft es schon, kommt dessen Fenster nach vorn. Andere\n"
                "Argumente werden nicht beachtet (eine unbekannte Option nennt eine Zeile).\n"
                "\n"
                "  -h, --help      diese Hilfe zeigen und beenden\n"
                "  -V, --version   die Version zeigen und beenden\n"
                "  SONG            eine Tempokarte im Format von klick öffnen (auch in der\n"
                "                  laufenden Kopie); START spielt sie\n"
                "  --export AUSGABE SONG\n"
                "                  den Song als Klick-Spur schreiben (.wav, .flac, .aiff), ohne\n"
                "                  Fenster und Tongerät, mit Vorzähler, wenn einer gewählt ist\n"
                "  --rate N        deren Rate in Bildern pro Sekunde (Vorgabe 48000)\n"
                "\n"
                "Tasten im Fenster:\n"
                "  Leertaste                Start/Stop\n"
                "  + oder Pfeil rechts      Tempo +1       - oder Pfeil links   Tempo -1\n"
                "  Bild auf                 Tempo +10      Bild ab              Tempo -10\n"
                "  T                        Tippen, im Stand (Umschalt+T: neue Reihe)\n"
                "  1 bis 8                  Schläge pro Zyklus\n"
                "  A                        Akzente ein/aus\n"
                "  Pfeil auf / Pfeil ab     Lautstärke 5 lauter / leiser\n"
                "  U                        Unterteilung: 1, 2, 3, 4 Klicks pro Schlag\n"
                "  R                        Tempo-Trainer ein/aus\n"
                "  G                        Pausen-Training ein/aus\n"
                "  L                        Link ein/aus (Zusammenspiel mit anderen Programmen)\n"
                "  N / P                    nächster / voriger Song der Setlist\n"
                "  Tab, Umschalt+Tab        von Bedienelement zu Bedienelement; Escape: zurück\n"
                "  F10, Menütaste, Rechtsklick   Übungen und Einstellungen\n"
                "\n"
                "Die Klänge sind die WAV-Dateien im Ordner Sounds neben dem Programm\n"
                "(im Paket /usr/lib/metronom/Sounds); Klack.wav muss dort sein.\n"
                "\n"
                "Songs, Vorzähler und Setlist: im Menü Übungen und Einstellungen; die Setlist\n"
                "sind die Songs in ~/.local/share/metronom/Lieder oder einem gewählten Ordner.\n"
                "\n"
                "Der Ton geht an PipeWire, sonst an PulseAudio, sonst an SDLs Standardgerät;\n"
                "METRONOM_OUTPUT=pipewire, pulse oder sdl lässt nur diese Ausgabe zu.\n"
                "\n"
                "Beendet sich mit 0; mit 1, wenn kein Bildschirm, keine Tonausgabe oder\n"
                "Klack.wav fehlt, oder wenn --export nichts schreiben kann. Mehr dazu: man metronom\n");
        if (arg == QLatin1String("--version") || arg == QLatin1String("-V"))
            return QString::fromUtf8("metronom " METRONOM_VERSION "\n"
                                     "Copyright (C) 2026 Die Metronom-Entwickler\n"
                                     "Lizenz GPLv3+: GNU GPL Version 3 oder neuer <https://gnu.org/licenses/gpl.html>\n"
                                     "Dies ist freie Software: Sie dürfen sie ändern und weitergeben.\n"
                                     "Es gibt KEINE GARANTIE, soweit gesetzlich zulässig.\n");
    }
    return {};
}

int Main(int argc, char **argv)
{
    // --help and --version answer at once: no window, no sound, no display needed.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(args);
    if (!line.text.isEmpty()) {
        std::fputs(line.text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    for (const QString &option : line.unknown)
        std::fprintf(stderr, "metronom: unbekannte Option %s wird nicht beachtet\n", qPrintable(option));
    // A click track: no window, no sound device, no lock (a window may be open meanwhile).
    if (!line.exportTo.isEmpty() || !line.error.isEmpty()) {
        if (!line.error.isEmpty()) {
            std::fprintf(stderr, "metronom: %s\n", qPrintable(line.error));
            return 1;
        }
        return RunExport(line, argc, argv);
    }
    std::fflush(stderr);
    // A song to open, named absolutely (a running copy may stand in another folder).
    const QString song = line.songFile.isEmpty() ? QString() : QFileInfo(line.songFile).absoluteFilePath();

    // A second copy brings the running window to the front (opening the song there) and ends at
    // once, showing nothing.
    SingleInstance instance;
    if (!instance.acquired()) {
        instance.AskToRaise(song);
        return 0;
    }

    // The rest of the command line is not read: the toolkit is given the program name alone.
    int toolkitArgc = argc > 0 ? 1 : 0;
    const std::unique_ptr<QApplication> application = StartToolkit(toolkitArgc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    PrepareApplication();
    QPointer<QWidget> window;
    const std::unique_ptr<QLocalServer> listener =
        instance.Listen([&window](const QByteArray &token) { BringToFront(window, token); },
                        [&window](const QString &file) {
                            if (auto *form = qobject_cast<FrmMetronom *>(window.data()))
                                form->OpenSong(file);
                        });

    InitPaths();
    if (!InitApplication())
        return 1;

    sound::SoundOutput output; // outlives the window that plays through it
    FrmMetronom form;
    window = &form;
    FillSoundChoosers(form, Globals().SoundsDir);
    form.show();
    form.FirstRun(output);
    if (!song.isEmpty())
        form.OpenSong(song);
    CloseOnEndSignals(form);
    return application->exec();
}

} // namespace app
