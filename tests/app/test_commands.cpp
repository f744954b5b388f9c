#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "app/commands.h"

namespace {

// Readable files are there; what is missing, a folder, a FIFO (an open would block), a link loop or a
// device is not.
TEST(FileExists, TellsReadableFilesFromEverythingElse)
{
    QTemporaryDir dir;
    for (const char *name : {"Klack.wav", "Überschall.wav"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("Ordner.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("Rohr.wav")).constData(), 0600), 0);
    QFile::link(dir.filePath("Klack.wav"), dir.filePath("Verweis.wav"));
    QFile::link(dir.filePath("Schleife.wav"), dir.filePath("Schleife.wav"));
    QFile::link("/dev/zero", dir.filePath("Gerät.wav"));
    for (auto [name, there] : {std::pair{"Klack.wav", true},
                               {"Überschall.wav", true},
                               {"Verweis.wav", true},
                               {"fehlt.wav", false},
                               {"Ordner.wav", false},
                               {"Rohr.wav", false},
                               {"Schleife.wav", false},
                               {"Gerät.wav", false}})
        EXPECT_EQ(app::FileExists(dir.filePath(QString::fromUtf8(name))), there) << name;
    EXPECT_FALSE(app::FileExists(QString()));
}

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
