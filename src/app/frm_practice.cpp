// The main window's side of the practice tools: what it hands them and how it takes back what they
// remember. The tools themselves live in src/practice.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>

#include "app/commands.h"
#include "app/frm_metronom.h"
#include "app/link_control.h"
#include "app/sound_list.h"
#include "app/startup.h"
#include "fader/fader.h"
#include "practice/practice_tools.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"

namespace app {

void FrmMetronom::InstallPractice()
{
    practice::WindowHooks hooks;
    hooks.bpm = [this] { return tempo_.Bpm(); };
    hooks.setBpm = [this](int bpm) {
        tempo_.Tapped(bpm); // the weight placed for it, at the end of the scale where the table ends
        ApplyTempo();
    };
    hooks.publish = [this] { SettingsChanged(); };
    hooks.current = [this] { return CurrentSettings(); };
    hooks.restore = [this](const practice::WindowSettings &s) { RestoreSettings(s); };
    hooks.soundExists = [](const std::string &name) {
        return FileExists(SoundFilePath(Globals().SoundsDir, QString::fromStdString(name)));
    };
    practice_ = std::make_unique<practice::PracticeTools>(*this, *picMet_, *control("Picture1"), std::move(hooks));

    // Link's entries before "Einstellungen merken", its state in the status line.
    QAction *before = nullptr;
    for (QAction *a : practice_->Menu()->actions())
        if (a->text() == QStringLiteral("Einstellungen merken"))
            before = a;
    practice_->Menu()->insertActions(before, {link_->linkAction(), link_->startStopAction()});
    // A screen reader hears what the entry or the key switched (Link's state, when on, from the
    // status line).
    connect(link_->linkAction(), &QAction::triggered, this, [this](bool on) {
        if (!on)
            practice_->TellSwitched(*link_->linkAction());
    });
    connect(link_->startStopAction(), &QAction::triggered, this,
            [this] { practice_->TellSwitched(*link_->startStopAction()); });
    connect(link_, &LinkControl::statusChanged, this,
            [this](const QString &text, const QString &brief) { practice_->SetOtherStatus(text, brief); });
}

practice::WindowSettings FrmMetronom::CurrentSettings() const
{
    practice::WindowSettings s;
    s.preset = control<QComboBox>("cboPresets")->currentText().toStdString();
    s.pattern = pattern_;
    s.accentOn = control<QCheckBox>("chkAccent")->isChecked();
    s.sounds = {combo1_->currentText().toStdString(), combo2_->currentText().toStdString(),
                combo3_->currentText().toStdString()};
    s.beatsPerCycle = beatsPerCycle_;
    s.bpm = tempo_.Bpm();
    s.onTop = check2_->isChecked();
    if (songs_)
        SongSettings(s);
    return s;
}

void FrmMetronom::RestoreSettings(const practice::WindowSettings &s)
{
    // The preset first: choosing it lays down its own pattern, switch and sounds.
    auto *presets = control<QComboBox>("cboPresets");
    presets->setCurrentIndex(std::max(0, presets->findText(QString::fromStdString(s.preset))));
    cboPresets_Click();
    pattern_ = s.pattern;
    ShowPattern();
    control<QCheckBox>("chkAccent")->setChecked(s.accentOn);
    combo1_->setEditText(QString::fromStdString(s.sounds[0]));
    combo2_->setEditText(QString::fromStdString(s.sounds[1]));
    combo3_->setEditText(QString::fromStdString(s.sounds[2]));
    SetFaderValue("Fader2", s.beatsPerCycle - 1);
    SetBeatsPerCycle(s.beatsPerCycle);
    tempo_.Tapped(s.bpm);
    ApplyTempo();
    if (check2_->isChecked() != s.onTop) {
        check2_->setChecked(s.onTop);
        SetTopMost(this, s.onTop);
    }
    if (songs_)
        RestoreSongs(s);
    setFocus();
}

} // namespace app
