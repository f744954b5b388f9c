#pragma once
#include <QFileSystemWatcher>
#include <QHash>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/beat_pattern.h"
#include "engine/metronome.h"
#include "tempo/tap_tempo.h"
#include "tempo/tempo_control.h"
#include "ui/frame_pacer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace sound {
class SoundOutput;
}

namespace practice {
class PracticeTools;
struct WindowSettings;
} // namespace practice

namespace ui {
class LampImage;
class PendulumFace;
class PictureBox;
class PressButton;
} // namespace ui

namespace app {

class LinkControl;
struct BeatChoices;

// The program's one window: the metronome face, the tempo, sound and pattern controls, TAP and
// START/STOP. Lives on the UI thread.
class FrmMetronom : public QWidget {
    Q_OBJECT
public:
    // Builds the controls from the window description, then places the window (always on top,
    // centred), before it is shown. `tapClock` times the taps (the steady clock when null).
    explicit FrmMetronom(QWidget *parent = nullptr, const tempo::MillisecondClock *tapClock = nullptr);
    ~FrmMetronom() override;

    // The window's own set-up after it has been filled with the sound names and shown: starts
    // connecting the sound output without waiting for it (the program ends when a server refuses
    // and no other output opens), loads the slots, chooses the
    // "Normal" preset, lays down the starting pattern and tempo and draws the pendulum at rest.
    // The window plays through `output` from then on; it must outlive the window.
    void FirstRun(sound::SoundOutput &output);

    // Controls by name ("lblBPM", "imgBeat(3)"), nullptr for an unknown name.
    QWidget *control(const QString &name) const { return controls_.value(name); }
    template <class T> T *control(const QString &name) const { return qobject_cast<T *>(control(name)); }

    QComboBox *Combo1() const { return combo1_; }
    QComboBox *Combo2() const { return combo2_; }
    QComboBox *Combo3() const { return combo3_; }
    QCheckBox *Check2() const { return check2_; }

    bool StopRequested() const { return stopRequested_; }
    int BeatsPerCycle() const { return beatsPerCycle_; }
    const tempo::TempoControl &Tempo() const { return tempo_; }
    const tempo::TapTempo &TapSeries() const { return tap_; }

    const engine::BeatPattern &Pattern() const { return pattern_; }
    bool Running() const { return running_; }

    // The practice menu, its keys, status line and remembered settings (frm_practice.cpp).
    practice::PracticeTools &Practice() const { return *practice_; }

    // The resting pendulum: rod upright, the weight back on it at its height; stops the engine.
    void DrawPendulumAtRest();

    // Tempo and bar shared over Ableton Link (key L, the practice menu's "Link").
    LinkControl &Link() const { return *link_; }

    // Songs (frm_song.cpp): a tempo map opened (false, after one message unless `quiet`, when it
    // is refused: then what was open stays); whether the run follows it; the setlist's next or
    // previous song (keys N, P).
    bool OpenSong(const QString &path, bool quiet = false);
    bool SongPlaying() const;
    QString SongPath() const;
    void NextSong(int step);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void Check2_Click();
    void cmdTempo_Click(int index);
    void PicSlider_MouseDown(Qt::MouseButton button, QPoint pos);
    void PicSlider_MouseMove(Qt::MouseButtons buttons, QPoint pos);
    void Tap_MouseDown(Qt::MouseButtons held);
    void Fader1_Scrolling();
    void Fader2_Scrolling();
    void Lamp_Click(engine::AccentRow row, int index);
    void cboPresets_Click();
    void Check1_MouseDown(Qt::MouseButton button);
    void PlayLoop();
    // The sounds, the pattern, the mode, the cycle or the tempo changed: the next beat uses them.
    void SettingsChanged();
    // Builds the settings the audio thread plays from and publishes them when `always` or when a
    // sample changed (a sound file edited on disk).
    void PublishSettings(bool always);
    // Every display frame while running: the beats that are heard now, the pendulum where it is
    // heard. Without `draw` (the window cannot be seen) only the beats.
    void DisplayFrame(bool draw = true);
    // While the sound output asks for it (connecting, a lost stream to open again): its Poll, and
    // the START button's tooltip says when the program runs silent.
    void Housekeeping();
    // Watches the sound files in use and their folders; a change is heard from the next beat.
    void WatchSoundFiles(const QStringList &paths);
    // Tells the user of sound files that are there but cannot be played (path, reason).
    void ReportUnplayable(const std::vector<std::pair<std::string, std::string>> &files);
    void ApplyBeat(const engine::BeatEvent &beat);
    void StopEngine();
    // The practice tools (frm_practice.cpp): what the window gives them and takes from them.
    void InstallPractice();
    practice::WindowSettings CurrentSettings() const;
    void RestoreSettings(const practice::WindowSettings &s);

    // Songs (frm_song.cpp).
    struct SongState;
    void InstallSongs();
    void FillSetlistMenu();
    void UpdateSongMenu();
    void ShowOpenSong(); // the open song's name on the status line while stopped
    QString SongFolder() const;
    QStringList Setlist() const;
    void SongStarting();                                                    // START: a song plays when one is open
    void SongPublished(engine::Settings &settings, std::uint64_t sequence); // keeps its plan alive
    void SongBeatHeard(const engine::BeatEvent &beat);                      // the window follows the section
    void SongStopped(bool byHand);                                          // the window shows its own settings again
    void LeaveSongByHand();                                                 // a tempo or beats set by hand
    void LeaveSongForPeer(double bpm);                                      // a peer set the session's tempo
    const tempo::PendulumGeometry &ShownGeometry() const;                   // the weight as heard
    const engine::SongPlan *SongPlanToPlay() const;
    void RestoreSongs(const practice::WindowSettings &s);
    void SongSettings(practice::WindowSettings &s) const;
    void ExportSong();
    void StopExport(); // closing: an export under way is cancelled
    // What the window's controls choose for the beats now.
    struct BeatChoices CurrentChoices() const;

    // lblBPM and lblTempo for a tempo.
    void ShowTempo(int bpm);
    // After the tempo changed: its display, the tempo slider and the weight.
    void ApplyTempo();
    void ShowTapDisplay(const tempo::TapDisplay &d);
    void SetBeatsPerCycle(int beats);
    void SetLamp(engine::AccentRow row, int index, bool lit);
    void ShowPattern();
    // The current-beat marker under the lamp of `beat` and the beat's number in the big display.
    void ShowCurrentBeat(int beat);
    int FaderValue(const char *name) const;
    void SetFaderValue(const char *name, int value);

    QHash<QString, QWidget *> controls_;
    QComboBox *combo1_ = nullptr;
    QComboBox *combo2_ = nullptr;
    QComboBox *combo3_ = nullptr;
    QCheckBox *check2_ = nullptr;
    QLabel *lblBPM_ = nullptr;
    QLabel *lblTempo_ = nullptr;
    ui::PendulumFace *picMet_ = nullptr;
    ui::PictureBox *picSlider_ = nullptr;
    bool stopRequested_ = false;
    int beatsPerCycle_ = 4;

    tempo::TempoControl tempo_;
    std::unique_ptr<tempo::MillisecondClock> ownClock_;
    tempo::TapTempo tap_;
    int sliderPressY_ = 0;
    engine::BeatPattern pattern_;
    bool running_ = false;

    std::unique_ptr<engine::Metronome> metronome_;
    std::unique_ptr<engine::SettingsPublisher> publisher_;
    engine::Settings published_;
    std::deque<engine::BeatEvent> heardSoon_; // beats played, not heard yet
    int measuredBpm_ = 0;
    int shownBpm_ = -1; // the tempo lblBPM shows
    ui::FramePacer frames_{*this, [this](bool draw) { DisplayFrame(draw); }};
    QTimer housekeepingTimer_;
    QString startToolTip_;     // the START button's own tooltip, before a note of the sound output
    QString startDescription_; // its own description for a screen reader, likewise
    QString tapDescription_;   // TAP's own description, told again when a series ends
    QString soundNote_;        // the sound output's note as last shown
    QFileSystemWatcher soundWatcher_;
    QTimer soundsSettled_; // a sound file read again once it has not changed for a moment
    // Which file a path led to, and in which version (device, inode, size, modification and change
    // times; all 0 for none): when its watch was set, and when it was reported as unplayable.
    using FileVersion = std::array<qint64, 5>;
    QHash<QString, FileVersion> watched_, reported_;
    sound::SoundOutput *output_ = nullptr;
    std::unique_ptr<practice::PracticeTools> practice_;
    LinkControl *link_ = nullptr;
    bool tempoFromSession_ = false; // a tempo the session set: not sent back to it
    std::shared_ptr<SongState> songs_;
    tempo::TempoControl songWeight_; // where the weight stands for the tempo of the section heard
};

} // namespace app
