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
    } cases[] = {{"", "", false},
                 {"Sounds", "", false},
                 {"Sounds", "Snare.wav", false},
                 {"Sounds/Klack.wav", "", false},
                 {"Sounds", "klack.wav", false},
                 {"Sounds", "Klack.wav", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "/" + c.file);
        QStringList messages;
        app::SetMessageSink([&](const QString &m, int kind, const QString &t) {
            messages << QString("%1 %2: %3").arg(kind).arg(t, m);
        });
        QTemporaryDir program;
        if (*c.folder)
            QDir(program.path()).mkpath(c.folder);
        if (*c.file)
            Touch(program.filePath(QString(c.folder) + "/" + c.file));
        app::InitPaths(program.path());
        EXPECT_EQ(app::InitApplication(), c.starts);
        app::SetMessageSink({});
        const QString warning = QString("%1 Lindoquet Metronome Vintra: ").arg(app::kWarning);
        EXPECT_EQ(messages, c.starts ? QStringList{}
                                     : QStringList{warning + "Die benötigte Datei 'Klack.wav' wurde nicht gefunden !"});
    }
}

// The choosers get the folder's sounds (sorted into them by SortIntoChoosers) but keep showing
// their start texts, even when they hold no such item.
TEST(FillSoundChoosers, ItemsAreAddedButTheStartTextsStay)
{
    QTemporaryDir sounds;
    Touch(sounds.filePath("Klack.wav"));
    Touch(sounds.filePath("Cowbell.WAV"));
    app::FrmMetronom form;
    app::FillSoundChoosers(form, sounds.path());
    EXPECT_EQ(form.Combo1()->count(), 2);
    EXPECT_EQ(form.Combo3()->findText("Cowbell"), 0);
    EXPECT_EQ(QStringList({form.Combo1()->currentText(), form.Combo2()->currentText(), form.Combo3()->currentText()}),
              QStringList({"Klack", "Bassdrum", "Snare"}));
}

} // namespace
