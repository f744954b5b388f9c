#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>


#include "app/commands.h"

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

// Centred in the upper nine tenths of the screen, but never above or left of its corner.
TEST(CenterForm, CentresInTheUpperNineTenthsAndNeverOffTheCorner)
{
    const QSize window(11940, 8040);
    EXPECT_EQ(app::CenterForm({15360, 11520}, window), QPoint(1710, 1164)); // 1024 x 768
    EXPECT_EQ(app::CenterForm({9600, 7200}, window), QPoint(0, 0));         // 640 x 480
    EXPECT_EQ(app::CenterForm({20000, 5000}, window), QPoint(4030, 0));     // only the top clamped
    EXPECT_EQ(app::CenterForm({10001, 10001}, {11, 11}), QPoint(4995, 4495)) << "9000.9 rounds to 9001";
}

} // namespace
