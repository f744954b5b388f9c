#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/sound_list.h"

namespace {

struct ChooserCase {
    const char *file;
    bool in1, in2, in3;
};
void PrintTo(const ChooserCase &c, std::ostream *os) { *os << c.file; }

class ChooserFilterTest : public ::testing::TestWithParam<ChooserCase> {};

TEST_P(ChooserFilterTest, EachChooserKeepsOutItsNames)
{
    const ChooserCase &c = GetParam();
    const auto lists = app::SortIntoChoosers({QString::fromUtf8(c.file)});
    const QString name = QString::fromUtf8(c.file).section('.', 0, -2);
    EXPECT_EQ(lists.combo1.contains(name), c.in1) << c.file << " in Combo1";
    EXPECT_EQ(lists.combo2.contains(name), c.in2) << c.file << " in Combo2";
    EXPECT_EQ(lists.combo3.contains(name), c.in3) << c.file << " in Combo3";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ChooserFilterTest,
    ::testing::Values(ChooserCase{"Klack.wav", true, false, false}, ChooserCase{"HiHat.wav", true, false, false},
                      ChooserCase{"Crash.wav", false, true, false}, ChooserCase{"Triangel.wav", true, true, false},
                      ChooserCase{"Bassdrum.wav", true, true, false}, ChooserCase{"Sticks.wav", true, false, false},
                      ChooserCase{"Snare.wav", false, false, true}, ChooserCase{"Cowbell.wav", true, true, true},
                      ChooserCase{"SNARE.WAV", false, false, true}, ChooserCase{"Snare2.wav", true, true, true},
                      ChooserCase{"my.snare.wav", true, true, true}, ChooserCase{"Größe Trommel.wav", true, true, true}));

TEST(ChooserFilter, OnlyTheClickGivesOneItemInTheFirstChooser)
{
    const auto lists = app::SortIntoChoosers({"Klack.wav"});
    EXPECT_EQ(lists.combo1, QStringList{"Klack"});
    EXPECT_TRUE(lists.combo2.isEmpty());
    EXPECT_TRUE(lists.combo3.isEmpty());
}

void Touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(ListWavFiles, WavFilesOnlyInAnyCaseSortedByNameWithoutCase)
{
    QTemporaryDir dir;
    for (const char *name : {"b.wav", "A.WAV", "c.Wav", "notes.txt", "x.wav.bak", "wav", "sp ace.wav", "Ümlaut.wav",
                             "a.b.c.wav", ".wav"})
        Touch(dir.filePath(QString::fromUtf8(name)));
    QDir(dir.path()).mkdir("Ordner.wav"); // a folder named like a sound is no sound
    EXPECT_EQ(app::ListWavFiles(dir.path()),
              (QStringList{"a.b.c.wav", "A.WAV", "b.wav", "c.Wav", "sp ace.wav", "Ümlaut.wav"}));
}

TEST(ListWavFiles, MissingOrEmptyFolderGivesNothing)
{
    QTemporaryDir dir;
    EXPECT_TRUE(app::ListWavFiles(dir.path()).isEmpty());
    EXPECT_TRUE(app::ListWavFiles(dir.filePath("gibt-es-nicht")).isEmpty());
    EXPECT_TRUE(app::ListWavFiles(QString()).isEmpty());
}

TEST(ListWavFiles, ThousandsOfFilesAreAllListedInOrder)
{
    QTemporaryDir dir;
    constexpr int kFiles = 3000;
    for (int i = kFiles - 1; i >= 0; --i)
        Touch(dir.filePath(QStringLiteral("Ton%1.wav").arg(i, 5, 10, QLatin1Char('0'))));
    const QStringList files = app::ListWavFiles(dir.path());
    ASSERT_EQ(files.size(), kFiles);
    EXPECT_EQ(files.front(), "Ton00000.wav");
    EXPECT_EQ(files.back(), "Ton02999.wav");
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end()));
}

} // namespace
