#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

#include "app/commands.h"
#include "app/startup.h"

namespace {

void Touch(const QString &path, const QByteArray &content = {})
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

struct ExistsCase {
    const char *relative;
    bool expected;
};
void PrintTo(const ExistsCase &c, std::ostream *os) { *os << '"' << c.relative << '"'; }

class FileExistsTest : public ::testing::TestWithParam<ExistsCase> {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        Touch(dir->filePath("Klack.wav"), "RIFF");
        Touch(dir->filePath("leer.wav"));
        Touch(dir->filePath("mit Leerzeichen.wav"), "x");
        Touch(dir->filePath("Überschall.wav"), "x");
        QDir(dir->path()).mkdir("Ordner.wav");
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir->filePath("Rohr.wav")).constData(), 0600), 0); // would block an open
        QFile::link(dir->filePath("Klack.wav"), dir->filePath("Verweis.wav"));
        QFile::link(dir->filePath("Schleife.wav"), dir->filePath("Schleife.wav"));
        QFile::link("/dev/zero", dir->filePath("Gerät.wav"));
    }
    static void TearDownTestSuite() { delete dir; }
    static inline QTemporaryDir *dir = nullptr;
};

TEST_P(FileExistsTest, TellsReadableFilesFromEverythingElse)
{
    const QString path = *GetParam().relative ? dir->filePath(QString::fromUtf8(GetParam().relative)) : QString();
    EXPECT_EQ(app::FileExists(path), GetParam().expected) << GetParam().relative;
}

INSTANTIATE_TEST_SUITE_P(Paths, FileExistsTest,
                         ::testing::Values(ExistsCase{"Klack.wav", true}, ExistsCase{"leer.wav", true},
                                           ExistsCase{"mit Leerzeichen.wav", true}, ExistsCase{"Überschall.wav", true},
                                           ExistsCase{"fehlt.wav", false}, ExistsCase{"kein/Ordner/Klack.wav", false},
                                           ExistsCase{"Ordner.wav", false}, ExistsCase{"", false},
                                           ExistsCase{"Rohr.wav", false}, ExistsCase{"Verweis.wav", true},
                                           ExistsCase{"Schleife.wav", false}, ExistsCase{"Gerät.wav", false}));

TEST(FileExists, UnreadableFileIsNotThere)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    QTemporaryDir dir;
    const QString path = dir.filePath("Klack.wav");
    Touch(path, "x");
    QFile::setPermissions(path, {});
    EXPECT_FALSE(app::FileExists(path));
}

struct TextCase {
    const char *in;
    const char *out;
};
void PrintTo(const TextCase &c, std::ostream *os) { *os << '"' << c.in << '"'; }

class AddBackslashTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(AddBackslashTest, EndsInExactlyOneSeparatorAndChangesTheCallersVariable)
{
    QString path = QString::fromUtf8(GetParam().in);
    QString &result = app::AddBackslash(path);
    EXPECT_EQ(&result, &path);
    EXPECT_EQ(path, QString::fromUtf8(GetParam().out));
}
INSTANTIATE_TEST_SUITE_P(Paths, AddBackslashTest,
                         ::testing::Values(TextCase{"", "/"}, TextCase{"/", "/"}, TextCase{"/opt/metronom", "/opt/metronom/"},
                                           TextCase{"/opt/metronom/", "/opt/metronom/"}, TextCase{"Töne", "Töne/"}));

class StripExtensionTest : public ::testing::TestWithParam<TextCase> {};
TEST_P(StripExtensionTest, RemovesTheLastDotAndWhatFollows)
{
    EXPECT_EQ(app::StripExtension(QString::fromUtf8(GetParam().in)), QString::fromUtf8(GetParam().out));
}
INSTANTIATE_TEST_SUITE_P(Names, StripExtensionTest,
                         ::testing::Values(TextCase{"Klack.wav", "Klack"}, TextCase{"a.b.wav", "a.b"},
                                           TextCase{"Klack", "Klack"}, TextCase{"Klack.", "Klack."}, TextCase{".wav", ""},
                                           TextCase{"Snare.WAV", "Snare"}, TextCase{"Hi Hat 2.wav", "Hi Hat 2"},
                                           TextCase{"Überschall.wav", "Überschall"},
                                           // the walk does not stop at a folder separator
                                           TextCase{"ordner.d/Klack", "ordner"}, TextCase{"", ""}));

struct Shown {
    QString message;
    int kind;
    QString title;
};

class ShowMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app::Globals().AppTitle = "Lindoquet Metronome Vintra";
        app::SetMessageSink([this](const QString &m, int k, const QString &t) { shown.push_back({m, k, t}); });
    }
    void TearDown() override { app::SetMessageSink({}); }
    std::vector<Shown> shown;
};

TEST_F(ShowMessageTest, EmptyTitleBecomesTheApplicationTitle)
{
    QString title;
    app::ShowMessage("Achtung", app::kWarning, title);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, app::kWarning);
    EXPECT_EQ(shown[0].title, "Lindoquet Metronome Vintra");
    EXPECT_EQ(title, "Lindoquet Metronome Vintra") << "the caller's variable changes too";
}

TEST_F(ShowMessageTest, GivenTitleStaysAndUnknownKindsShowNothing)
{
    QString title = "Eigener Titel";
    app::ShowMessage("Info", app::kInformation, title);
    for (int kind : {0, 5, -1})
        app::ShowMessage("nichts", kind, title);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Eigener Titel");
}

struct PlaceCase {
    QSize screen;
    QSize window;
    QPoint expected;
};
void PrintTo(const PlaceCase &c, std::ostream *os) { *os << c.screen.width() << "x" << c.screen.height(); }

class CenterFormTest : public ::testing::TestWithParam<PlaceCase> {};
TEST_P(CenterFormTest, CentresInTheUpperNineTenthsAndNeverOffTheCorner)
{
    EXPECT_EQ(app::CenterForm(GetParam().screen, GetParam().window), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Screens, CenterFormTest,
    ::testing::Values(PlaceCase{{15360, 11520}, {11940, 8040}, {1710, 1164}}, // 1024 x 768
                      PlaceCase{{9600, 7200}, {11940, 8040}, {0, 0}},         // 640 x 480: both would be negative
                      PlaceCase{{28800, 16200}, {11940, 8040}, {8430, 3270}}, // 1920 x 1080
                      PlaceCase{{20000, 5000}, {11940, 8040}, {4030, 0}},     // only the top is clamped
                      PlaceCase{{10001, 10001}, {11, 11}, {4995, 4495}}));    // 9000.9 rounds to 9001

} // namespace
