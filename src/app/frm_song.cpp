// The main window's side of songs: opening a tempo map, the setlist, the count-in, the click-track
// export from the menu, and the window following each section as it is heard. The map is read in
// src/song; its beats are placed on the audio clock by the engine.
#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QStandardPaths>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/beat_settings.h"
#include "app/commands.h"
#include "app/frm_metronom.h"
#include "app/link_control.h"
#include "app/startup.h"
#include "fader/fader.h"
#include "practice/practice_tools.h"
#include "song/click_track.h"
#include "song/tempo_map.h"
#include "sound/sound_output.h"
#include "ui/accessibility.h"
#include "ui/controls.h"

namespace app {

struct FrmMetronom::SongState {
    QString path; // the song opened (empty: none)
    std::optional<song::TempoMap> map;
    int startSection = 0;                         // START plays from this section of the map
    QString folder;                               // the setlist's folder as chosen (empty: the default)
    std::shared_ptr<const engine::SongPlan> plan; // the run's plan while a song plays
    bool playing = false;                         // the run follows the song
    std::vector<std::pair<std::uint64_t, std::shared_ptr<const engine::SongPlan>>> retired;
    const engine::SongPlan *published = nullptr;
    int heardSection = -1;
    double heardRate = 0;
    QMenu *startMenu = nullptr;
    QMenu *setlistMenu = nullptr;
    QActionGroup *countIn = nullptr;
    QAction *exportAction = nullptr;
    QAction *closeAction = nullptr;
    // The menu's export, on a thread of its own; `cancelExport` asks it to stop (the window closes).
    std::thread exporter;
    std::atomic<bool> cancelExport{false};
    void StopExport()
    {
        if (exporter.joinable()) {
            cancelExport.store(true, std::memory_order_relaxed); // relaxed: join orders the rest
            exporter.join();
        }
    }
    ~SongState() { StopExport(); }
    bool showing = false; // the window shows a section: its controls' signals are not the user's
};

namespace {

QString DefaultSongFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/metronom/Lieder");
}

// Where a file dialog opens: `folder`, or the home folder while it is not there (the setlist's
// default folder is not, until the user makes it).
QString ExistingFolder(const QString &folder)
{
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace

QString FrmMetronom::SongFolder() const
{
    return songs_->folder.isEmpty() ? DefaultSongFolder() : songs_->folder;
}

QStringList FrmMetronom::Setlist() const
{
    QDir dir(SongFolder());
    QStringList list;
    for (const QFileInfo &f : dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase))
        list << f.absoluteFilePath();
    return list;
}

void FrmMetronom::InstallSongs()
{
    songs_ = std::make_shared<SongState>();
    QMenu *menu = practice_->Menu();
    QAction *before = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == QStringLiteral("Einstellungen merken"))
            before = a;
    auto *open = new QAction(QStringLiteral("Song öffnen …"), menu);
    connect(open, &QAction::triggered, this, [this] {
        const QString from = songs_->path.isEmpty() ? SongFolder() : QFileInfo(songs_->path).path();
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Song öffnen"), ExistingFolder(from));
        activateWindow(); // N and P go to the window again, also without a window manager
        if (!file.isEmpty())
            OpenSong(file);
    });
    songs_->startMenu = new QMenu(QStringLiteral("Start bei"), menu);
    songs_->setlistMenu = new QMenu(QStringLiteral("Setlist"), menu);
    connect(songs_->setlistMenu, &QMenu::aboutToShow, this, [this] { FillSetlistMenu(); });
    auto *countInMenu = new QMenu(QStringLiteral("Vorzähler"), menu);
    songs_->countIn = new QActionGroup(countInMenu);
    for (int bars = 0; bars <= engine::kMaxCountInBars; ++bars) {
        QAction *a = countInMenu->addAction(bars == 0   ? QStringLiteral("Aus")
                                            : bars == 1 ? QStringLiteral("1 Takt")
                                                        : QStringLiteral("%1 Takte").arg(bars));
        a->setCheckable(true);
        a->setData(bars);
        a->setChecked(bars == practice_->Values().countInBars);
        songs_->countIn->addAction(a);
        connect(a, &QAction::triggered, this, [this, bars] { practice_->SetCountIn(bars); });
    }
    songs_->exportAction = new QAction(QStringLiteral("Als Audiodatei speichern …"), menu);
    connect(songs_->exportAction, &QAction::triggered, this, &FrmMetronom::ExportSong);
    songs_->closeAction = new QAction(QStringLiteral("Song schließen"), menu);
    connect(songs_->closeAction, &QAction::triggered, this, [this] {
        if (running_ && songs_->playing)
            Check1_MouseDown(Qt::LeftButton);
        songs_->path.clear();
        songs_->map.reset();
        UpdateSongMenu();
        practice_->WindowChanged();
        ShowOpenSong();
    });
    menu->insertAction(before, open);
    menu->insertMenu(before, songs_->startMenu);
    menu->insertMenu(before, countInMenu);
    menu->insertAction(before, songs_->exportAction);
    menu->insertMenu(before, songs_->setlistMenu);
    menu->insertAction(before, songs_->closeAction);
    menu->insertSeparator(before);

    // N and P: the setlist's next and previous song.
    for (auto [key, step] : {std::pair{Qt::Key_N, 1}, {Qt::Key_P, -1}}) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { NextSong(step); });
    }
    UpdateSongMenu();
}

void FrmMetronom::FillSetlistMenu()
{
    QMenu *m = songs_->setlistMenu;
    m->clear();
    connect(m->addAction(QStringLiteral("Ordner wählen …")), &QAction::triggered, this, [this] {
        const QString dir =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Setlist-Ordner"), ExistingFolder(SongFolder()));
        activateWindow();
        if (!dir.isEmpty()) {
            songs_->folder = dir;
            practice_->WindowChanged();
            const qsizetype n = Setlist().size();
            practice_->Note(n == 0   ? QStringLiteral("Keine Songs in %1").arg(dir)
                            : n == 1 ? QStringLiteral("Setlist: 1 Song (N / P)")
                                     : QStringLiteral("Setlist: %1 Songs (N / P)").arg(n));
        }
    });
    m->addSeparator();
    const QStringList list = Setlist();
    if (list.isEmpty())
        m->addAction(QStringLiteral("(keine Songs in %1)").arg(SongFolder()))->setEnabled(false);
    for (const QString &file : list) {
        QAction *a = m->addAction(QFileInfo(file).fileName());
        a->setCheckable(true);
        a->setChecked(file == songs_->path);
        connect(a, &QAction::triggered, this, [this, file] { OpenSong(file); });
    }
    m->addSeparator();
    m->addAction(QStringLiteral("Tasten N / P: nächster / voriger Song"))->setEnabled(false);
}

void FrmMetronom::NextSong(int step)
{
    const QStringList list = Setlist();
    if (list.isEmpty()) {
        practice_->Note(QStringLiteral("Keine Songs in %1").arg(SongFolder()));
        return;
    }
    const qsizetype at = list.indexOf(songs_->path);
    const qsizetype next = at < 0 ? (step > 0 ? 0 : list.size() - 1) : (at + step + list.size()) % list.size();
    OpenSong(list[next]);
}

bool FrmMetronom::OpenSong(const QString &path, bool quiet)
{
    const song::ParseResult r = song::LoadTempoMap(QFile::encodeName(path).toStdString());
    if (!r.map) {
        // Refused whole: what played before stays.
        std::fprintf(stderr, "metronom: %s\n", r.error.c_str());
        std::fflush(stderr);
        if (!quiet) {
            QString title;
            ShowMessage(QString::fromStdString(r.error), kWarning, title);
            activateWindow();
        }
        return false;
    }
    if (running_ && songs_->playing)
        Check1_MouseDown(Qt::LeftButton); // another song: the one playing stops
    songs_->path = QFileInfo(path).absoluteFilePath();
    songs_->map = std::move(*r.map);
    songs_->startSection = 0;
    UpdateSongMenu();
    practice_->WindowChanged();
    ShowOpenSong();
    if (!quiet) {
        const QString opened = QStringLiteral("Song: %1 (START spielt ihn)").arg(QFileInfo(path).fileName());
        if (running_)
            practice_->Note(opened); // playing, a note; the line names the song once stopped
        else
            ui::Announce(*this, opened); // the line says it already; a screen reader too
    }
    return true;
}

void FrmMetronom::ShowOpenSong()
{
    // Only while stopped: running, START is STOP, and a song playing shows where it is.
    practice_->SetOpenSong(songs_->map && !running_ ? QFileInfo(songs_->path).fileName() : QString());
}

void FrmMetronom::UpdateSongMenu()
{
    const bool have = songs_->map.has_value();
    songs_->exportAction->setEnabled(have && !songs_->exporter.joinable());
    songs_->closeAction->setEnabled(have);
    QMenu *m = songs_->startMenu;
    m->clear();
    m->setEnabled(have);
    if (!have)
        return;
    auto *group = new QActionGroup(m);
    auto add = [&](const QString &text, int section) {
        QAction *a = m->addAction(text);
        a->setCheckable(true);
        a->setChecked(section == songs_->startSection);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, section] { songs_->startSection = section; });
    };
    add(QStringLiteral("Anfang"), 0);
    QStringList seen;
    for (std::size_t i = 0; i < songs_->map->sections.size(); ++i) {
        const QString label = QString::fromStdString(songs_->map->sections[i].label);
        if (label.isEmpty() || seen.contains(label))
            continue; // a label again: its first section
        seen << label;
        add(label, int(i));
    }
}

void FrmMetronom::SongStarting()
{
    songs_->playing = false;
    songs_->heardSection = -1;
    if (!songs_->map)
        return;
    songs_->plan =
        std::make_shared<engine::SongPlan>(*songs_->map, songs_->startSection, practice_->Values().countInBars);
    songs_->playing = true;
}

void FrmMetronom::SongPublished(engine::Settings &settings, std::uint64_t sequence)
{
    // The plan the audio thread may read until it takes settings without it.
    const engine::SongPlan *now = songs_->playing ? songs_->plan.get() : nullptr;
    if (songs_->published && songs_->published != now)
        for (auto &kept : songs_->retired)
            if (kept.second.get() == songs_->published && kept.first == 0)
                kept.first = sequence;
    if (now && now != songs_->published)
        songs_->retired.emplace_back(0, songs_->plan);
    songs_->published = now;
    std::erase_if(songs_->retired,
                  [&](const auto &kept) { return kept.first != 0 && metronome_ && metronome_->Taken() >= kept.first; });
    (void)settings;
}

void FrmMetronom::SongBeatHeard(const engine::BeatEvent &beat)
{
    if (beat.songEnd) {
        if (running_)
            Check1_MouseDown(Qt::LeftButton); // the song's end: as after STOP
        return;
    }
    if (beat.songSection < 0 || !songs_->playing || !songs_->plan)
        return;
    const engine::SongSection &s = songs_->plan->sections()[std::size_t(beat.songSection)];
    songs_->heardRate = beat.clickRate;
    // The weight stands for the click rate heard, on the window's own tempo only while stopped.
    songWeight_.Tapped(int(std::lround(beat.clickRate)));
    if (beat.songSection != songs_->heardSection) {
        songs_->heardSection = beat.songSection;
        songs_->showing = true;
        SetFaderValue("Fader2", s.beats - 1);
        control<QLabel>("lblBeats")->setText(QString::number(s.beats));
        for (int i = 0; i < engine::kLamps; ++i) {
            for (const char *row : {"imgBeat", "imgSnare"})
                control(QString::fromStdString(ui::ArrayName(row, i)))->setVisible(i < s.beats);
            SetLamp(engine::AccentRow::Accent1, i, i < s.beats && s.pattern[std::size_t(i)] == song::Click::Accent);
            SetLamp(engine::AccentRow::Accent2, i, false);
        }
        songs_->showing = false;
    }
    const QString name = s.countIn         ? QStringLiteral("Vorzähler")
                         : s.label.empty() ? QStringLiteral("Teil %1").arg(s.mapIndex + 1)
                                           : QString::fromStdString(s.label);
    // The gap training silences bars of the song too: said, so that a silent bar is not a puzzle.
    const bool gap = practice_->Values().gapOn && !s.countIn;
    practice_->SetSongStatus(QStringLiteral("%1, Takt %2 von %3%4")
                                 .arg(name)
                                 .arg(beat.songBar)
                                 .arg(s.bars)
                                 .arg(gap ? QStringLiteral(" · mit Pausen") : QString()));
}

void FrmMetronom::SongStopped(bool byHand)
{
    if (!songs_ || !songs_->playing)
        return;
    songs_->playing = false;
    // The window shows its own settings again.
    songs_->showing = true;
    SetFaderValue("Fader2", beatsPerCycle_ - 1);
    songs_->showing = false;
    SetBeatsPerCycle(beatsPerCycle_);
    ShowPattern();
    practice_->SetSongStatus({});
    if (byHand)
        practice_->Note(QStringLiteral("Song verlassen (von Hand)"));
    else if (link_->On() && !running_)
        link_->UserTempo(tempo_.Bpm()); // the song's last tempo in the session gives way to the window's
}

void FrmMetronom::LeaveSongForPeer(double bpm)
{
    if (!songs_ || !songs_->playing)
        return;
    // As by a tempo set by hand, but the tempo is the peer's: shown as one from the session.
    SongStopped(false);
    practice_->Note(QStringLiteral("Song verlassen (Tempo von Link)"));
    tempoFromSession_ = true;
    tempo_.Shared(bpm);
    ApplyTempo();
    tempoFromSession_ = false;
}

void FrmMetronom::LeaveSongByHand()
{
    if (!songs_ || !songs_->playing || songs_->showing)
        return;
    // The window plays on from what was heard: the tempo of the section, changed as the user asks.
    if (songs_->heardRate > 0)
        tempo_.Tapped(int(std::lround(songs_->heardRate)));
    SongStopped(true);
    ApplyTempo();
}

const tempo::PendulumGeometry &FrmMetronom::ShownGeometry() const
{
    return songs_ && songs_->playing && songs_->heardSection >= 0 ? songWeight_.Geometry() : tempo_.Geometry();
}

bool FrmMetronom::SongPlaying() const
{
    return songs_ && songs_->playing;
}

const engine::SongPlan *FrmMetronom::SongPlanToPlay() const
{
    return songs_ && songs_->playing ? songs_->plan.get() : nullptr;
}

QString FrmMetronom::SongPath() const
{
    return songs_ ? songs_->path : QString();
}

void FrmMetronom::RestoreSongs(const practice::WindowSettings &s)
{
    songs_->folder = QString::fromStdString(s.songFolder);
    if (!s.song.empty() && !songs_->map)
        OpenSong(QString::fromStdString(s.song), true);
    for (QAction *a : songs_->countIn->actions())
        a->setChecked(a->data().toInt() == practice_->Values().countInBars);
}

void FrmMetronom::SongSettings(practice::WindowSettings &s) const
{
    s.song = QFile::encodeName(songs_->path).toStdString();
    s.songFolder = songs_->folder.toStdString();
}

void FrmMetronom::ExportSong()
{
    if (!songs_->map)
        return;
    const QString base = QFileInfo(songs_->path).completeBaseName();
    QFileDialog dialog(this, QStringLiteral("Als Audiodatei speichern"),
                       QDir::home().filePath(base + QStringLiteral(".wav")),
                       QStringLiteral("Audio (*.wav *.flac *.aiff *.aif)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("wav")); // a name without an ending: WAV (asked before replacing it)
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    activateWindow();
    if (!chosen)
        return;
    const QString out = dialog.selectedFiles().constFirst();
    // What the window plays now, rendered on a thread of its own (an hour takes seconds); the
    // samples travel with it.
    BeatChoices c = CurrentChoices();
    c.practice.trainerOn = false;
    c.practice.gapOn = false;
    auto built = std::make_shared<BeatSettings>(BuildBeatSettings(c, output_->cache(), output_->soundSlots()));
    auto plan = std::make_shared<engine::SongPlan>(*songs_->map, 0, practice_->Values().countInBars);
    practice_->Note(QStringLiteral("Speichere %1 …").arg(QFileInfo(out).fileName()));
    songs_->exportAction->setEnabled(false);                      // one at a time
    songs_->cancelExport.store(false, std::memory_order_relaxed); // relaxed: the thread starts after it
    QPointer<FrmMetronom> self(this);
    songs_->exporter = std::thread([self, built, plan, out, cancel = &songs_->cancelExport] {
        const std::string error =
            song::WriteClickTrack(QFile::encodeName(out).toStdString(), 48000, built->settings, *plan, cancel);
        if (cancel->load(std::memory_order_relaxed)) // relaxed: the closing window joins this thread
            return;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, error, out] {
            if (!self || self->songs_->cancelExport.load(std::memory_order_relaxed))
                return;                    // the window closed meanwhile
            self->songs_->exporter.join(); // it ends right after posting this
            self->UpdateSongMenu();
            if (error.empty()) {
                self->practice_->Note(QStringLiteral("Gespeichert: %1").arg(QFileInfo(out).fileName()));
            } else {
                self->practice_->Note(QStringLiteral("Nicht gespeichert: %1").arg(QFileInfo(out).fileName()));
                QString title;
                ShowMessage(QString::fromStdString(error), kWarning, title);
                self->activateWindow();
            }
        });
    });
}

void FrmMetronom::StopExport()
{
    // Closing: an export under way stops and removes its unfinished file; what was at its name stays.
    if (songs_)
        songs_->StopExport();
}

} // namespace app
