#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/commands.h"
#include "app/frm_metronom.h"
#include "app/startup.h"

namespace {

void Touch(const QString &path) { QFile(path).open(QIODevice::WriteOnly); }

// The program starts only with "Sounds/Klack.wav" beside it (even empty), and warns once otherwise.
TEST(InitApplication, RequiresTheClickSoundAndWarnsWhenItIsMissing)
{
    const struct {
        const char *folder, *file; // made below the program's folder; "" for none
        bool starts;
    } cases[] = {{"", "", false},        {"Sounds", "", false},           {"Sounds", "Snare.wav", false},
                 {"Sounds/Klack.wav", "", false}, {"Sounds", "klack.wav", false}, {"Sounds", "Klack.wav", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "/" + c.file);
        QStringList messages, titles;
        app::SetMessageSink([&](const QString &m, int kind, const QString &t) {
            EXPECT_EQ(kind, app::kWarning);
            messages << m;
            titles << t;
        });
        QTemporaryDir program;
        if (*c.folder)
            QDir(program.path()).mkpath(c.folder);
        if (*c.file)
            Touch(program.filePath(QString(c.folder) + "/" + c.file));
        app::InitPaths(program.path());
        EXPECT_EQ(app::InitApplication(), c.starts);
        app::SetMessageSink({});
        EXPECT_EQ(messages, c.starts ? QStringList{}
                                     : QStringList{QString::fromUtf8("Die benötigte Datei 'Klack.wav' wurde nicht gefunden !")});
        EXPECT_EQ(titles, c.starts ? QStringList{} : QStringList{"Lindoquet Metronome Vintra"});
    }
}

QStringList Items(const QComboBox *c)
{
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return items;
}

// The choosers are filled from the folder, but keep showing their start texts, even when empty.
TEST(FillSoundChoosers, ItemsAreAddedButTheStartTextsStay)
{
    for (const bool onlyKlack : {false, true}) {
        QTemporaryDir sounds;
        for (const char *name : {"Klack.wav", "Bassdrum.wav", "Snare.wav", "Cowbell.WAV", "HiHat.wav", "liesmich.txt"})
            if (!onlyKlack || QString(name) == "Klack.wav")
                Touch(sounds.filePath(name));
        app::FrmMetronom form;
        app::FillSoundChoosers(form, sounds.path());
        EXPECT_EQ(Items(form.Combo1()), (onlyKlack ? QStringList{"Klack"} : QStringList{"Bassdrum", "Cowbell", "HiHat", "Klack"}));
        EXPECT_EQ(Items(form.Combo2()), (onlyKlack ? QStringList{} : QStringList{"Bassdrum", "Cowbell"}));
        EXPECT_EQ(Items(form.Combo3()), (onlyKlack ? QStringList{} : QStringList{"Cowbell", "Snare"}));
        EXPECT_EQ(form.Combo1()->currentText(), "Klack");
        EXPECT_EQ(form.Combo2()->currentText(), "Bassdrum");
        EXPECT_EQ(form.Combo3()->currentText(), "Snare");
    }
}

} // namespace
