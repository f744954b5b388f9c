#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/sound_list.h"

namespace {

// Which of the three choosers offers a file: each keeps out its names, in any case, by the whole name.
TEST(ChooserFilter, EachChooserKeepsOutItsNames)
{
    const struct {
        const char *file;
        bool in1, in2, in3;
    } cases[] = {{"Klack.wav", true, false, false},    {"Crash.wav", false, true, false},
                 {"Triangel.wav", true, true, false},  {"Sticks.wav", true, false, false},
                 {"SNARE.WAV", false, false, true},    {"Snare2.wav", true, true, true},
                 {"my.snare.wav", true, true, true},   {"Größe Trommel.wav", true, true, true}};
    for (const auto &c : cases) {
        const auto lists = app::SortIntoChoosers({QString::fromUtf8(c.file)});
        const QString name = QString::fromUtf8(c.file).section('.', 0, -2);
        EXPECT_EQ(lists.combo1.contains(name), c.in1) << c.file;
        EXPECT_EQ(lists.combo2.contains(name), c.in2) << c.file;
        EXPECT_EQ(lists.combo3.contains(name), c.in3) << c.file;
        EXPECT_EQ(lists.combo1.size() + lists.combo2.size() + lists.combo3.size(), c.in1 + c.in2 + c.in3) << c.file;
    }
}

TEST(ListWavFiles, WavFilesOnlyInAnyCaseSortedByNameWithoutCase)
{
    QTemporaryDir dir;
    for (const char *name : {"b.wav", "A.WAV", "c.Wav", "notes.txt", "x.wav.bak", "wav", "Ümlaut.wav", "a.b.c.wav"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("Ordner.wav"); // a folder named like a sound is no sound
    EXPECT_EQ(app::ListWavFiles(dir.path()), (QStringList{"a.b.c.wav", "A.WAV", "b.wav", "c.Wav", "Ümlaut.wav"}));
    EXPECT_TRUE(app::ListWavFiles(dir.filePath("gibt-es-nicht")).isEmpty());
}

} // namespace
