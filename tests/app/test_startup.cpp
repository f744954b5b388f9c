#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/commands.h"
#include "app/frm_metronom.h"
#include "app/startup.h"

namespace {

void Touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct PathCase {
    const char *folder;
    const char *appPath;
};
void PrintTo(const PathCase &c, std::ostream *os) { *os << c.folder; }

class InitPathsTest : public ::testing::TestWithParam<PathCase> {};
TEST_P(InitPathsTest, ProgramFolderEndsInOneSeparatorAndSoundsLieBelow)
{
    app::InitPaths(GetParam().folder);
    EXPECT_EQ(app::Globals().AppPath, GetParam().appPath);
    app::SetMessageSink([](const QString &, int, const QString &) {});
    app::InitApplication();
    app::SetMessageSink({});
    EXPECT_EQ(app::Globals().SoundsDir, QString(GetParam().appPath) + "Sounds/");
    EXPECT_EQ(app::Globals().AppTitle, "Lindoquet Metronome Vintra");
}
INSTANTIATE_TEST_SUITE_P(Folders, InitPathsTest,
                         ::testing::Values(PathCase{"/opt/metronom", "/opt/metronom/"},
                                           PathCase{"/opt/metronom/", "/opt/metronom/"}, PathCase{"/", "/"}));

// How the Sounds folder is laid out before the start.
enum class Layout { NoSoundsFolder, EmptySoundsFolder, OnlyOtherSounds, KlackIsAFolder, KlackInLowerCase, KlackPresent, EmptyKlack };

struct StartCase {
    Layout layout;
    bool starts;
};
void PrintTo(const StartCase &c, std::ostream *os) { *os << "layout " << static_cast<int>(c.layout); }

class InitApplicationTest : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override
    {
        app::SetMessageSink([this](const QString &m, int k, const QString &t) {
            messages.push_back(m);
            kinds.push_back(k);
            titles.push_back(t);
        });
    }
    void TearDown() override { app::SetMessageSink({}); }
    QStringList messages, titles;
    std::vector<int> kinds;
};

TEST_P(InitApplicationTest, RequiresTheClickSoundAndWarnsWhenItIsMissing)
{
    QTemporaryDir program;
    const QDir dir(program.path());
    const QString sounds = dir.filePath("Sounds");
    switch (GetParam().layout) {
    case Layout::NoSoundsFolder: break;
    case Layout::EmptySoundsFolder: dir.mkdir("Sounds"); break;
    case Layout::OnlyOtherSounds: dir.mkdir("Sounds"); Touch(sounds + "/Snare.wav"); break;
    case Layout::KlackIsAFolder: dir.mkpath("Sounds/Klack.wav"); break;
    case Layout::KlackInLowerCase: dir.mkdir("Sounds"); Touch(sounds + "/klack.wav"); break;
    case Layout::KlackPresent: dir.mkdir("Sounds"); Touch(sounds + "/Klack.wav"); Touch(sounds + "/Snare.wav"); break;
    case Layout::EmptyKlack: dir.mkdir("Sounds"); Touch(sounds + "/Klack.wav"); break;
    }
    app::InitPaths(program.path());
    EXPECT_EQ(app::InitApplication(), GetParam().starts);
    if (GetParam().starts) {
        EXPECT_TRUE(messages.isEmpty());
    } else {
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QString::fromUtf8("Die benötigte Datei 'Klack.wav' wurde nicht gefunden !"));
        EXPECT_EQ(kinds[0], app::kWarning);
        EXPECT_EQ(titles[0], "Lindoquet Metronome Vintra");
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, InitApplicationTest,
                         ::testing::Values(StartCase{Layout::NoSoundsFolder, false}, StartCase{Layout::EmptySoundsFolder, false},
                                           StartCase{Layout::OnlyOtherSounds, false}, StartCase{Layout::KlackIsAFolder, false},
                                           StartCase{Layout::KlackInLowerCase, false}, StartCase{Layout::KlackPresent, true},
                                           StartCase{Layout::EmptyKlack, true}));

QStringList Items(const QComboBox *c)
{
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return items;
}

TEST(FillSoundChoosers, ItemsAreAddedButTheStartTextsStay)
{
    QTemporaryDir sounds;
    for (const char *name : {"Klack.wav", "Bassdrum.wav", "Snare.wav", "Cowbell.WAV", "HiHat.wav", "liesmich.txt"})
        Touch(sounds.filePath(name));
    app::FrmMetronom form;
    app::FillSoundChoosers(form, sounds.path());
    EXPECT_EQ(Items(form.Combo1()), (QStringList{"Bassdrum", "Cowbell", "HiHat", "Klack"}));
    EXPECT_EQ(Items(form.Combo2()), (QStringList{"Bassdrum", "Cowbell"}));
    EXPECT_EQ(Items(form.Combo3()), (QStringList{"Cowbell", "Snare"}));
    EXPECT_EQ(form.Combo1()->currentText(), "Klack");
    EXPECT_EQ(form.Combo2()->currentText(), "Bassdrum");
    EXPECT_EQ(form.Combo3()->currentText(), "Snare");
}

TEST(FillSoundChoosers, OnlyTheClickLeavesTheAccentChoosersEmptyButLabelled)
{
    QTemporaryDir sounds;
    Touch(sounds.filePath("Klack.wav"));
    app::FrmMetronom form;
    app::FillSoundChoosers(form, sounds.path());
    EXPECT_EQ(Items(form.Combo1()), QStringList{"Klack"});
    EXPECT_EQ(form.Combo2()->count(), 0);
    EXPECT_EQ(form.Combo3()->count(), 0);
    EXPECT_EQ(form.Combo2()->currentText(), "Bassdrum");
    EXPECT_EQ(form.Combo3()->currentText(), "Snare");
}

} // namespace
