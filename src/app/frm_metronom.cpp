#include "app/frm_metronom.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include <sys/stat.h>

#include "app/beat_settings.h"
#include "app/commands.h"
#include "app/desktop.h"
#include "app/keyboard.h"
#include "app/link_control.h"
#include "app/startup.h"
#include "engine/beat_rules.h"
#include "engine/pendulum_animation.h"
#include "fader/fader.h"
#include "practice/practice_tools.h"
#include "sound/sound_output.h"
#include "sound/start_failure_box.h"
#include "tempo/tempo_model.h"
#include "ui/accessibility.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"
#include "ui/window_layout.h"

namespace app {

namespace {

const tempo::MillisecondClock &ClockOr(const tempo::MillisecondClock *given,
                                       std::unique_ptr<tempo::MillisecondClock> &own)
{
    if (given)
        return *given;
    own = std::make_unique<tempo::SteadyClock>();
    return *own;
}

} // namespace

FrmMetronom::FrmMetronom(QWidget *parent, const tempo::MillisecondClock *tapClock)
    : QWidget(parent), tap_(ClockOr(tapClock, ownClock_))
{
    const ui::WindowSpec &spec = ui::MainWindow();
    setWindowTitle(QString::fromStdString(spec.caption));
    // A fixed client area: every attempt to resize the window is refused by the window system.
    setFixedSize(ui::TwipsToPixels(spec.clientWidth), ui::TwipsToPixels(spec.clientHeight));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ui::FromBgr(spec.back));
    setPalette(pal);

    controls_ = ui::BuildControls(this);
    combo1_ = control<QComboBox>("Combo1");
    combo2_ = control<QComboBox>("Combo2");
    combo3_ = control<QComboBox>("Combo3");
    check2_ = control<QCheckBox>("Check2");
    lblBPM_ = control<QLabel>("lblBPM");
    lblTempo_ = control<QLabel>("lblTempo");
    picMet_ = control<ui::PendulumFace>("PicMet");
    picSlider_ = control<ui::PictureBox>("PicSlider");
    tempo_ = tempo::TempoControl(picMet_->width());
    songWeight_ = tempo::TempoControl(picMet_->width());

    connect(check2_, &QCheckBox::clicked, this, &FrmMetronom::Check2_Click);
    for (int i = 0; i < 4; ++i)
        connect(control<QPushButton>(QString::fromStdString(ui::ArrayName("cmdTempo", i))), &QPushButton::clicked, this,
                [this, i] { cmdTempo_Click(i); });
    connect(picSlider_, &ui::PictureBox::mouseDown, this, &FrmMetronom::PicSlider_MouseDown);
    connect(picSlider_, &ui::PictureBox::mouseMove, this, &FrmMetronom::PicSlider_MouseMove);
    connect(control<ui::PressButton>("Tap"), &ui::PressButton::mouseDown, this,
            [this](Qt::MouseButton, Qt::MouseButtons held) { Tap_MouseDown(held); });
    connect(control<fader::Fader>("Fader1"), &fader::Fader::Scrolling, this, &FrmMetronom::Fader1_Scrolling);
    connect(control<fader::Fader>("Fader2"), &fader::Fader::Scrolling, this, &FrmMetronom::Fader2_Scrolling);
    for (int i = 0; i < engine::kLamps; ++i) {
        connect(control<ui::LampImage>(QString::fromStdString(ui::ArrayName("imgBeat", i))), &ui::LampImage::clicked,
                this, [this, i] { Lamp_Click(engine::AccentRow::Accent1, i); });
        connect(control<ui::LampImage>(QString::fromStdString(ui::ArrayName("imgSnare", i))), &ui::LampImage::clicked,
                this, [this, i] { Lamp_Click(engine::AccentRow::Accent2, i); });
    }
    connect(control<QComboBox>("cboPresets"), &QComboBox::activated, this, &FrmMetronom::cboPresets_Click);
    connect(control<ui::PressButton>("Check1"), &ui::PressButton::mouseDown, this, &FrmMetronom::Check1_MouseDown);
    connect(control<QCheckBox>("chkAccent"), &QCheckBox::toggled, this, &FrmMetronom::SettingsChanged);
    for (QComboBox *c : {combo1_, combo2_, combo3_})
        connect(c, &QComboBox::currentTextChanged, this, &FrmMetronom::SettingsChanged);

    housekeepingTimer_.setInterval(1000);
    connect(&housekeepingTimer_, &QTimer::timeout, this, &FrmMetronom::Housekeeping);
    // A file being saved changes several times (emptied, then written, often in parts): read half
    // way, a good sound would be reported as unplayable, or cut short for a beat.
    soundsSettled_.setSingleShot(true);
    soundsSettled_.setInterval(200);
    connect(&soundsSettled_, &QTimer::timeout, this, [this] { PublishSettings(false); });
    connect(&soundWatcher_, &QFileSystemWatcher::fileChanged, &soundsSettled_, qOverload<>(&QTimer::start));
    connect(&soundWatcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        FillSoundChoosers(*this, Globals().SoundsDir); // a sound added or taken away is offered or not
        soundsSettled_.start();
    });

    LinkControl::Hooks hooks;
    hooks.tempo = [this] { return tempo_.Bpm(); };
    hooks.fromSession = [this](double bpm) {
        if (SongPlaying())
            return; // the song leads the session (a peer's tempo leaves it, heard with a beat)
        tempoFromSession_ = true;
        tempo_.Shared(bpm);
        ApplyTempo();
        tempoFromSession_ = false;
    };
    hooks.startStop = [this](bool start) {
        if (start != running_)
            Check1_MouseDown(Qt::LeftButton);
    };
    hooks.running = [this] { return running_; };
    link_ = new LinkControl(this, std::move(hooks));

    Form_Load();
    InstallKeyboard(*this);
    InstallPractice();
    InstallSongs();
    ui::InstallAccessibility(*this);
    AdaptToWindowSystem(*this); // after the accessible texts: on Wayland it says what cannot work there
    tapDescription_ = control("Tap")->accessibleDescription();
}

FrmMetronom::~FrmMetronom()
{
    StopEngine();
}

void FrmMetronom::StopEngine()
{
    if (!metronome_)
        return;
    metronome_->Stop();
    link_->SetEngine(nullptr, nullptr);
    // The stream goes back to the slots' own player before the metronome goes.
    output_->SetLossNotifier(nullptr);
    output_->SetSource(nullptr);
    publisher_.reset();
    metronome_.reset();
}

void FrmMetronom::Form_Load()
{
    SetTopMost(this, true);
    CenterForm(this);
}

void FrmMetronom::FirstRun(sound::SoundOutput &output)
{
    // The sound output and the sample slots, each with the click.
    output_ = &output;
    output.InitDirectSound([this](const std::string &text, const std::string &caption) {
        if (!SendToMessageSink(QString::fromStdString(text), 0, QString::fromStdString(caption)))
            sound::ShowStartFailureBox(text, caption, this);
    });
    output.soundSlots().CreateBuffers(10, (Globals().SoundsDir + QStringLiteral("Klack.wav")).toStdString());
    metronome_ = std::make_unique<engine::Metronome>(output.player());
    publisher_ = std::make_unique<engine::SettingsPublisher>(*metronome_, output.keeper());
    output.SetSource(metronome_.get());
    link_->SetEngine(metronome_.get(), &output.feed());
    // A lost stream wakes the housekeeping (the notifier runs on the audio thread).
    output.SetLossNotifier(
        [this] { QMetaObject::invokeMethod(this, &FrmMetronom::Housekeeping, Qt::QueuedConnection); });
    Housekeeping();

    // The presets, "Normal" chosen (which sets the sounds and clears the accent switch).
    auto *presets = control<QComboBox>("cboPresets");
    presets->clear();
    for (const char *name : engine::kPresetNames)
        presets->addItem(QString::fromUtf8(name));
    presets->setCurrentIndex(0);
    cboPresets_Click();
    // The starting pattern: accent 1 on beats 1 and 5, accent 2 on beats 3 and 7.
    pattern_ = engine::BeatPattern::Initial();
    ShowPattern();
    SetBeatsPerCycle(4);
    // The weight at top 131, which shows 120 "Allegro", and the pendulum at rest.
    tempo_ = tempo::TempoControl(picMet_->width());
    songWeight_ = tempo::TempoControl(picMet_->width());
    ApplyTempo();
    DrawPendulumAtRest();
    PublishSettings(true);
    practice_->Restore(); // the remembered settings, when the user asked to keep them
}

void FrmMetronom::ShowTempo(int bpm)
{
    // Called on every frame while running: the labels change (and repaint) only with the tempo.
    if (bpm == shownBpm_)
        return;
    shownBpm_ = bpm;
    lblBPM_->setText(QString::number(bpm));
    lblTempo_->setText(QString::fromStdString(tempo::Tempowort(bpm)));
}

void FrmMetronom::ApplyTempo()
{
    if (link_->On() && !tempoFromSession_) {
        // The session's slowest tempo is the slowest while Link is on; the session hears ours.
        if (tempo_.Bpm() < LinkControl::kMinBpm)
            tempo_.Shared(LinkControl::kMinBpm);
        link_->UserTempo(tempo_.Bpm());
    }
    SettingsChanged(); // a new tempo plays from the current phase on
    ShowTempo(tempo_.Bpm());
    SetFaderValue("Fader1", tempo_.Fader1Value());
    const tempo::PendulumGeometry &g = tempo_.Geometry();
    picSlider_->move(picSlider_->x(), g.SliderTop);
    picSlider_->setProperty("tempo", tempo_.Bpm()); // what the weight tells a screen reader
}

void FrmMetronom::DrawPendulumAtRest()
{
    stopRequested_ = true;
    if (metronome_) {
        metronome_->Stop();
        output_->Play(false); // the stream rests once the last sound has played out
        Housekeeping();
    }
    frames_.stop();
    tempo::PendulumGeometry &g = tempo_.Geometry();
    tempo::RestPosition(g);
    picMet_->clearSwingingWeight();
    picMet_->setPendulum({g.PivotX, g.PivotY}, {g.TipX, g.TipY}, ui::FromBgr(g.RodColor));
    picSlider_->move(static_cast<int>(g.SliderLeft), g.SliderTop);
    picSlider_->show();
}

void FrmMetronom::cmdTempo_Click(int index)
{
    LeaveSongByHand();
    tempo_.Step(index);
    practice_->TempoSetByHand();
    ApplyTempo();
}

void FrmMetronom::PicSlider_MouseDown(Qt::MouseButton, QPoint pos)
{
    if (stopRequested_)
        sliderPressY_ = pos.y();
}

void FrmMetronom::PicSlider_MouseMove(Qt::MouseButtons buttons, QPoint pos)
{
    // The weight follows the left button alone, and only while the pendulum rests.
    if (buttons != Qt::LeftButton || !stopRequested_)
        return;
    if (tempo_.DragWeight(pos.y() - sliderPressY_)) {
        practice_->TempoSetByHand();
        ApplyTempo();
    }
}

void FrmMetronom::Tap_MouseDown(Qt::MouseButtons held)
{
    // The buttons held decide: the right one alone starts a new series, anything else taps.
    if (held == Qt::RightButton) {
        ShowTapDisplay(tap_.Reset());
        return;
    }
    const tempo::TapDisplay d = tap_.Tap();
    ShowTapDisplay(d);
    if (!d.hasTempo)
        return;
    tempo_.Tapped(d.tempo);
    practice_->TempoSetByHand();
    ApplyTempo();
    // A screen reader hears the tempo set (the slider that shows it has no focus), and the latest
    // tap as the labels beside TAP show it; TAP's description keeps it for a reader that asks.
    const QString latest = d.slower   ? QStringLiteral(" (langsamer)")
                           : d.faster ? QStringLiteral(" (schneller)")
                                      : QString();
    const QString told =
        QStringLiteral("Tempo %1, zuletzt %2%3").arg(tempo_.Bpm()).arg(QString::fromStdString(d.latest), latest);
    control("Tap")->setAccessibleDescription(told);
    ui::Announce(*this, told);
}

void FrmMetronom::ShowTapDisplay(const tempo::TapDisplay &d)
{
    auto *label1 = control<QLabel>("Label1");
    auto *label2 = control<QLabel>("Label2");
    auto *label3 = control<QLabel>("Label3");
    label1->setVisible(d.labelsShown);
    label2->setVisible(d.labelsShown && (!d.hasTempo || d.slower));
    label3->setVisible(d.labelsShown && (!d.hasTempo || d.faster));
    if (!d.labelsShown && control("Tap")->accessibleDescription() != tapDescription_)
        control("Tap")->setAccessibleDescription(tapDescription_); // a new series
    if (d.hasTempo)
        label1->setText(QString::fromStdString(d.latest));
}

void FrmMetronom::Fader1_Scrolling()
{
    LeaveSongByHand();
    tempo_.Fader1Moved(FaderValue("Fader1"));
    practice_->TempoSetByHand();
    ApplyTempo();
}

void FrmMetronom::Fader2_Scrolling()
{
    LeaveSongByHand();
    SetBeatsPerCycle(FaderValue("Fader2") + 1);
}

void FrmMetronom::SetBeatsPerCycle(int beats)
{
    beatsPerCycle_ = beats;
    SettingsChanged();
    control<QLabel>("lblBeats")->setText(QString::number(beats));
    for (int i = 0; i < engine::kLamps; ++i) {
        for (const char *row : {"imgBeat", "imgSnare"})
            control(QString::fromStdString(ui::ArrayName(row, i)))->setVisible(i < beats);
    }
}

int FrmMetronom::FaderValue(const char *name) const
{
    return control<fader::Fader>(name)->Value();
}

void FrmMetronom::SetFaderValue(const char *name, int value)
{
    control<fader::Fader>(name)->SetValue(value);
}

void FrmMetronom::SetLamp(engine::AccentRow row, int index, bool lit)
{
    const char *name = row == engine::AccentRow::Accent1 ? "imgBeat" : "imgSnare";
    control<ui::LampImage>(QString::fromStdString(ui::ArrayName(name, index)))->setLit(lit);
}

void FrmMetronom::ShowPattern()
{
    for (int i = 0; i < engine::kLamps; ++i) {
        SetLamp(engine::AccentRow::Accent1, i, pattern_.Accent1[i]);
        SetLamp(engine::AccentRow::Accent2, i, pattern_.Accent2[i]);
    }
    SettingsChanged();
}

void FrmMetronom::Lamp_Click(engine::AccentRow row, int index)
{
    SetLamp(row, index, pattern_.Toggle(row, index));
    SettingsChanged();
}

void FrmMetronom::cboPresets_Click()
{
    const engine::Preset preset = engine::PresetFor(control<QComboBox>("cboPresets")->currentText().toStdString());
    if (preset.sounds) {
        combo1_->setEditText(QString::fromStdString((*preset.sounds)[0]));
        combo2_->setEditText(QString::fromStdString((*preset.sounds)[1]));
        combo3_->setEditText(QString::fromStdString((*preset.sounds)[2]));
    }
    if (preset.accentOn)
        control<QCheckBox>("chkAccent")->setChecked(*preset.accentOn);
    pattern_ = preset.pattern;
    ShowPattern();
}

void FrmMetronom::ShowCurrentBeat(int beat)
{
    QWidget *marker = control("shpBeat");
    const int lamp = std::clamp(beat, 1, engine::kLamps) - 1;
    marker->move(control(QString::fromStdString(ui::ArrayName("imgBeat", lamp)))->x(), marker->y());
    auto *number = control<QLabel>("lblBeat");
    if (const QString text = QString::number(beat); number->text() != text)
        number->setText(text);
}

void FrmMetronom::Check1_MouseDown(Qt::MouseButton)
{
    auto *check1 = control<ui::PressButton>("Check1");
    auto *tap = control<ui::PressButton>("Tap");
    ShowCurrentBeat(1);
    if (!running_) {
        check1->setText(QStringLiteral("S T O P"));
        tap->setEnabled(false);
        ShowTapDisplay(tap_.Reset());
        SongStarting();
        if (!SongPlaying())
            practice_->Starting(); // the trainer is off while a song plays
        PlayLoop();
        ShowOpenSong();
        ui::Announce(*this, QStringLiteral("Start, Tempo %1").arg(tempo_.Bpm()));
        return;
    }
    check1->setText(QStringLiteral("S T A R T"));
    tap->setEnabled(true);
    running_ = false;
    heardSoon_.clear();
    SongStopped(false);
    ShowOpenSong();
    // Stopped, the number shows the tempo set, also when it changed after the last beat was
    // measured (or before the first beat, instead of 0); after a trainer run, the tempo it reached.
    ShowTempo(tempo_.Bpm());
    DrawPendulumAtRest();
    link_->UserStopped();
    ui::Announce(*this, QStringLiteral("Stopp"));
}

void FrmMetronom::PlayLoop()
{
    stopRequested_ = false;
    running_ = true;
    // Until the first beat the display shows 0 and no tempo word.
    measuredBpm_ = 0;
    ShowTempo(0);
    picSlider_->hide();
    heardSoon_.clear();
    if (metronome_) {
        engine::BeatEvent old;
        while (metronome_->PopBeat(old)) {}
        PublishSettings(true);
        metronome_->Start();
        output_->Play(true);
    }
    frames_.start(); // a frame now where the window can be seen
}

void FrmMetronom::SettingsChanged()
{
    if (practice_)
        practice_->WindowChanged();
    if (publisher_)
        PublishSettings(true);
}

BeatChoices FrmMetronom::CurrentChoices() const
{
    BeatChoices c;
    c.soundsDir = Globals().SoundsDir.toStdString();
    c.preset = control<QComboBox>("cboPresets")->currentText().toStdString();
    c.click = combo1_->currentText().toStdString();
    c.accent1 = combo2_->currentText().toStdString();
    c.accent2 = combo3_->currentText().toStdString();
    c.accentOn = control<QCheckBox>("chkAccent")->isChecked();
    c.pattern = pattern_;
    c.beatsPerCycle = beatsPerCycle_;
    c.phaseRate = tempo_.PhaseRate();
    c.swingFactor = tempo_.Geometry().SwingFactor;
    c.practice = practice_->Values();
    return c;
}

void FrmMetronom::PublishSettings(bool always)
{
    if (!publisher_)
        return;
    BeatSettings built = BuildBeatSettings(CurrentChoices(), output_->cache(), output_->soundSlots());
    built.settings.song = SongPlanToPlay();
    QStringList files;
    for (const std::string &file : built.files)
        files << QString::fromStdString(file);
    WatchSoundFiles(files);
    ReportUnplayable(built.unplayable);
    if (!always && !SamplesDiffer(built.settings.samples, published_.samples))
        return;
    const std::uint64_t sequence = publisher_->Publish(built.settings, std::move(built.samples));
    SongPublished(built.settings, sequence);
    published_ = built.settings;
}

void FrmMetronom::Housekeeping()
{
    if (!output_)
        return;
    output_->Poll();
    // Running silent, or the device suspended: the START button's tooltip says why, above the keys
    // it lists, and so does its description, which a screen reader reads instead; the status line
    // and the error output say it once when it begins.
    QWidget *start = control("Check1");
    if (startToolTip_.isNull())
        startToolTip_ = start->toolTip();
    const QString note = QString::fromUtf8(output_->note());
    start->setToolTip(note.isEmpty() ? startToolTip_ : note + QStringLiteral("\n\n") + startToolTip_);
    if (startDescription_.isNull())
        startDescription_ = start->accessibleDescription();
    const QString description = note.isEmpty() ? startDescription_ : note + QStringLiteral(" ") + startDescription_;
    if (start->accessibleDescription() != description)
        start->setAccessibleDescription(description);
    if (note != soundNote_ && !note.isEmpty()) {
        std::fprintf(stderr, "metronom: %s\n", output_->note());
        if (practice_)
            practice_->Note(QString::fromUtf8(output_->briefNote()));
    }
    soundNote_ = note;
    if (publisher_)
        publisher_->Collect();
    if (output_->NeedsPoll())
        housekeepingTimer_.start(output_->PollInterval());
    else
        housekeepingTimer_.stop();
}

namespace {

// See FrmMetronom::FileVersion.
std::array<qint64, 5> VersionOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace

void FrmMetronom::ReportUnplayable(const std::vector<std::pair<std::string, std::string>> &files)
{
    // Once for each version of a file that cannot be played, however often it is chosen again
    // (a name typed letter by letter, say): its slot plays on what it held, and the chooser keeps
    // the name, so that the sound is heard as soon as the file is mended.
    for (const auto &[path, why] : files) {
        const QString file = QString::fromStdString(path);
        const FileVersion version = VersionOf(file);
        if (reported_.value(file) == version)
            continue;
        reported_.insert(file, version);
        std::fprintf(stderr, "metronom: cannot play %s: %s\n", path.c_str(), why.c_str());
        if (practice_)
            practice_->Note(QStringLiteral("%1 lässt sich nicht abspielen").arg(QFileInfo(file).fileName()));
    }
}

void FrmMetronom::WatchSoundFiles(const QStringList &paths)
{
    QStringList wanted{Globals().SoundsDir};
    for (const QString &path : paths)
        wanted << path << QFileInfo(path).absolutePath();
    wanted.removeDuplicates();
    wanted.removeIf([](const QString &path) { return !QFileInfo::exists(path); });
    // A watch stays on the file its path led to when it was set (behind a link, too): a path that
    // leads to another file now (a link replaced, a file deleted and made again) is watched anew.
    const auto sameFile = [this](const QString &path) {
        const FileVersion was = watched_.value(path), now = VersionOf(path);
        return was[0] == now[0] && was[1] == now[1];
    };
    const QStringList watched = soundWatcher_.files() + soundWatcher_.directories();
    QStringList gone;
    for (const QString &path : watched)
        if (!wanted.contains(path) || !sameFile(path))
            gone << path;
    if (!gone.isEmpty())
        soundWatcher_.removePaths(gone);
    wanted.removeIf([&](const QString &path) { return watched.contains(path) && !gone.contains(path); });
    for (const QString &path : wanted)
        watched_.insert(path, VersionOf(path));
    if (!wanted.isEmpty())
        soundWatcher_.addPaths(wanted);
}

void FrmMetronom::DisplayFrame(bool draw)
{
    if (!metronome_ || !running_)
        return;
    engine::BeatEvent beat;
    while (metronome_->PopBeat(beat))
        heardSoon_.push_back(beat);

    const engine::ClockState &state = metronome_->Clock();
    link_->Frame(state.waitingForBar);
    // Beats and pose for the frame being heard now, as the frame is handed to the window system.
    // The window system cannot tell when the picture reaches the glass: a monitor adds up to one
    // refresh (a compositor one more), which the program does not know and does not guess.
    // Measured at the X server (bench/sync.sh), the pendulum passes the centre within about 1 ms
    // of its click; a guessed lead of half a refresh put it 8 ms ahead there.
    const double shown = output_->HeardFrame();
    while (!heardSoon_.empty() && double(heardSoon_.front().onsetFrame) <= shown) {
        ApplyBeat(heardSoon_.front());
        heardSoon_.pop_front();
    }
    // The measured tempo is shown on every frame, over whatever a step button wrote meanwhile.
    ShowTempo(measuredBpm_);
    // A device the server suspended meanwhile: watched from now on, until it runs again.
    if (!housekeepingTimer_.isActive() && output_->NeedsPoll())
        Housekeeping();
    if (!draw)
        return;

    double s = 0;
    if (state.running && shown >= double(state.runStartFrame))
        s = state.SwingAt(shown);
    const engine::PendulumPose pose = engine::PoseAt(ShownGeometry(), s);
    picMet_->swingTo({pose.tipX, pose.tipY}, {pose.weightX, pose.weightY}); // nothing when it moved < 1/2 pixel
}

void FrmMetronom::ApplyBeat(const engine::BeatEvent &beat)
{
    if (beat.songEnd) {
        SongBeatHeard(beat); // stops, as STOP does
        return;
    }
    if (beat.songLeft)
        LeaveSongForPeer(beat.clickRate);
    if (beat.songSection >= 0)
        SongBeatHeard(beat);
    ShowCurrentBeat(beat.beat);
    control<ui::PictureBox>("picBeat")->setBackColor(beat.darkRed ? QColor(192, 0, 0) : QColor(Qt::black));
    measuredBpm_ = beat.measuredBpm;
    ShowTempo(measuredBpm_);
    practice_->BeatHeard(beat);
}

void FrmMetronom::Check2_Click()
{
    SetTopMost(this, check2_->isChecked());
    SettingsChanged();
}

void FrmMetronom::Form_Unload()
{
    stopRequested_ = true;
    running_ = false;
    frames_.stop();
    housekeepingTimer_.stop();
    practice_->Exit();
    StopExport();
    StopEngine();
    // The stream closes with the window; the program ends right after.
    if (output_)
        output_->Close();
}

void FrmMetronom::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program at once, without a question and saving nothing.
    Form_Unload();
    event->accept();
}

} // namespace app
