// The program's start: the Sounds folder, the files it may hold and the choosers they are sorted
// into, the helpers for files and window placement.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

#include "app/commands.h"
#include "app/export_command.h"
#include "app/frm_metronom.h"
#include "app/single_instance.h"
#include "app/sound_list.h"
#include "app/startup.h"

namespace {

void Touch(const QString &path) { QFile(path).open(QIODevice::WriteOnly); }

// The program starts only with "Sounds/Klack.wav" beside it (even empty), and warns once otherwise
// (a folder of that name: e2e.missing_klack_xvfb).
TEST(InitApplication, RequiresTheClickSoundAndWarnsWhenItIsMissing)
{
    QStringList messages;
    app::SetMessageSink(
        [&](const QString &m, int kind, const QString &t) { messages << QString("%1 %2: %3").arg(kind).arg(t, m); });
    QTemporaryDir program;
    QDir(program.path()).mkpath("Sounds");
    app::InitPaths(program.path());
    Touch(program.filePath("Sounds/klack.wav")); // the name in another case is another file
    EXPECT_FALSE(app::InitApplication());
    Touch(program.filePath("Sounds/Klack.wav"));
    EXPECT_TRUE(app::InitApplication());
    app::SetMessageSink({});
    EXPECT_EQ(messages, QStringList{QString("%1 Lindoquet Metronome Vintra: Die benötigte Datei 'Klack.wav' wurde "
                                            "nicht gefunden !")
                                        .arg(app::kWarning)});
}

// Readable files, by a link too, are there; what is missing or a FIFO (an open would block) is not.
TEST(FileExists, TellsReadableFilesFromEverythingElse)
{
    QTemporaryDir dir;
    Touch(dir.filePath(QString::fromUtf8("Überschall.wav")));
    QFile::link(dir.filePath(QString::fromUtf8("Überschall.wav")), dir.filePath("Verweis.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("Rohr.wav")).constData(), 0600), 0);
    for (auto [name, there] :
         {std::pair{"Überschall.wav", true}, {"Verweis.wav", true}, {"fehlt.wav", false}, {"Rohr.wav", false}})
        EXPECT_EQ(app::FileExists(dir.filePath(QString::fromUtf8(name))), there) << name;
    EXPECT_FALSE(app::FileExists(QString()));
}

TEST(CenterForm, CentresInTheUpperNineTenthsAndNeverOffTheCorner)
{
    const QSize window(11940, 8040);
    EXPECT_EQ(app::CenterForm({15360, 11520}, window), QPoint(1710, 1164)); // 1024 x 768
    EXPECT_EQ(app::CenterForm({9600, 7200}, window), QPoint(0, 0));         // 640 x 480
    EXPECT_EQ(app::CenterForm({20000, 5000}, window), QPoint(4030, 0));     // only the top clamped
    EXPECT_EQ(app::CenterForm({10001, 10001}, {11, 11}), QPoint(4995, 4495)) << "9000.9 rounds to 9001";
}

// The folder's WAV files go into the choosers, which keep showing their start texts; each chooser
// keeps out its names (the accent 2 sound from the click chooser), in any case, by the whole name.
TEST(ListWavFiles, WavFilesOnlyInAnyCaseSortedByNameWithoutCaseAndIntoTheChoosers)
{
    QTemporaryDir dir;
    for (const char *name : {"b.wav", "A.WAV", "c.Wav", "notes.txt", "x.wav.bak", "wav", "Ümlaut.wav", "a.b.c.wav",
                             "SNARE.WAV", "Snare2.wav"})
        Touch(dir.filePath(QString::fromUtf8(name)));
    QDir(dir.path()).mkdir("Ordner.wav"); // a folder named like a sound is no sound
    EXPECT_EQ(app::ListWavFiles(dir.path()),
              (QStringList{"a.b.c.wav", "A.WAV", "b.wav", "c.Wav", "SNARE.WAV", "Snare2.wav", "Ümlaut.wav"}));
    EXPECT_TRUE(app::ListWavFiles(dir.filePath("gibt-es-nicht")).isEmpty());
    app::FrmMetronom form;
    app::FillSoundChoosers(form, dir.path());
    EXPECT_EQ(form.Combo3()->findText("a.b.c"), 0);
    EXPECT_EQ(form.Combo1()->findText("SNARE"), -1);
    EXPECT_GE(form.Combo3()->findText("SNARE"), 0);
    EXPECT_GE(form.Combo1()->findText("Snare2"), 0);
    EXPECT_EQ(QStringList({form.Combo1()->currentText(), form.Combo2()->currentText(), form.Combo3()->currentText()}),
              QStringList({"Klack", "Bassdrum", "Snare"}));
}

// A runtime folder that takes no lock (here a file stands in its path): two copies meet in the user's
// own folder, made private; a link or file there is refused, and with no lock each copy runs and says so.
TEST(SingleInstance, WithoutARuntimeFolderTwoCopiesMeetInTheUsersOwnFolder)
{
    QTemporaryDir dir;
    Touch(dir.filePath("file"));
    const QString runtime = dir.filePath("file/run"), own = dir.filePath("metronom-own");
    {
        app::SingleInstance first(runtime, own), second(runtime, own);
        EXPECT_TRUE(first.acquired());
        EXPECT_FALSE(second.acquired()) << "the second copy found the first";
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << "nobody else may reach the socket";
    }
    QFile::link(own, dir.filePath("refused-link")); // a folder of the user's, but reached through a link
    Touch(dir.filePath("refused-file"));
    for (const QString &refused : {dir.filePath("refused-link"), dir.filePath("refused-file")}) {
        SCOPED_TRACE(refused.toStdString());
        ::testing::internal::CaptureStderr();
        app::SingleInstance first(runtime, refused), second(runtime, refused);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(first.acquired() && second.acquired()) << "no lock anywhere: each copy runs";
        EXPECT_EQ(QString::fromStdString(said).count("metronom: no lock file can be made in "), 2) << said;
    }
}

// A later start hands the running copy its Wayland launcher's activation token (without which a
// compositor leaves the window where it is); what is no token is not passed on.
TEST(SingleInstance, ALaterStartHandsItsActivationTokenToTheRunningCopy)
{
    QTemporaryDir dir;
    app::SingleInstance first(dir.path()), later(dir.path());
    std::vector<QByteArray> asked;
    const auto listener = first.Listen([&asked](const QByteArray &token) { asked.push_back(token); });
    ASSERT_TRUE(listener);
    const QByteArray tooLong(600, 'x');
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {"kwin-4711_TIME123", "kwin-4711_TIME123"}, {QByteArray(), QByteArray()}, {"two words", QByteArray()},
        {"line\nraise other", QByteArray()},        {tooLong, QByteArray()},
    };
    for (const auto &[token, handed] : cases) {
        asked.clear();
        if (token.isNull())
            qunsetenv("XDG_ACTIVATION_TOKEN");
        else
            qputenv("XDG_ACTIVATION_TOKEN", token);
        ASSERT_TRUE(later.AskToRaise());
        for (int i = 0; i < 200 && asked.empty(); ++i)
            QTest::qWait(5);
        EXPECT_EQ(asked, std::vector<QByteArray>{handed}) << token.left(40).toStdString();
    }
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

} // namespace

// One parser for the command line: the help first of all, a song, the export with its rate, and
// options it does not know (named, otherwise ignored, as are further arguments).
TEST(CommandLine, EachOptionAsItIsDocumented)
{
    struct Row {
        QStringList args;
        bool help;
        QString song, exportTo;
        int rate;
        QStringList unknown;
        QString error;
    };
    const Row rows[] = {
        {{}, false, "", "", 48000, {}, ""},
        {{"lied.txt", "noch.txt"}, false, "lied.txt", "", 48000, {}, ""},
        {{"--irgendwas", "lied.txt", "-x"}, false, "lied.txt", "", 48000, {"--irgendwas", "-x"}, ""},
        {{"--export", "out.flac", "lied.txt", "--rate", "44100"}, false, "lied.txt", "out.flac", 44100, {}, ""},
        {{"--rate", "96000", "--export", "o.wav", "--", "-lied.txt"}, false, "-lied.txt", "o.wav", 96000, {}, ""},
        {{"lied.txt", "--help", "--export"}, true, "lied.txt", "", 48000, {}, "--export: die Ausgabedatei fehlt"},
        {{"--export", "o.wav"}, false, "", "o.wav", 48000, {}, "--export o.wav: die Tempokarte (FILE) fehlt"},
        {{"--export", "o.wav", "l.txt", "--rate", "viel"},
         false,
         "l.txt",
         "o.wav",
         48000,
         {},
         "--rate: eine Zahl von Bildern in der Sekunde fehlt"},
        {{"-V"}, true, "", "", 48000, {}, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        const app::CommandLine c = app::ParseCommandLine(row.args);
        EXPECT_EQ(!c.text.isEmpty(), row.help);
        EXPECT_EQ(c.songFile, row.song);
        EXPECT_EQ(c.exportTo, row.exportTo);
        EXPECT_EQ(c.rate, row.rate);
        EXPECT_EQ(c.unknown, row.unknown);
        EXPECT_EQ(c.error, row.error);
    }
}
