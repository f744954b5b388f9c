// The practice menu, its keys, the status line and the remembered settings in the real window
// (offscreen), as a user meets them.
#include <QAccessible>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "app/commands.h"
#include "app/startup.h"
#include "fader/fader.h"
#include "support/window_test.h"
#include "ui/controls.h"

namespace {

using testsupport::Send;

// A window with its own configuration folder, opened when the test asks for it.
struct PracticeTest : testsupport::WindowTest {
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        app::Globals().SoundsDir = QStringLiteral(METRONOM_SOUNDS_DIR);
    }
    void TearDown() override
    {
        form.reset(); // before its configuration folder goes
        app::Globals().SoundsDir.clear();
    }

    QString settingsFile() const { return config.path() + QStringLiteral("/metronom/metronom.conf"); }
    practice::PracticeTools &tools() { return form->Practice(); }
    QMenu *menu() { return tools().Menu(); }
    // Presses the keys; returns `value` after each.
    std::vector<int> keys(std::initializer_list<Qt::Key> ks, const int &value = 0)
    {
        std::vector<int> seen;
        for (Qt::Key k : ks) {
            key(k);
            seen.push_back(value);
        }
        return seen;
    }
    // A right click as the window system delivers it: the press, the context menu request, the release.
    void rightClick(const char *name, QPoint at = {})
    {
        QWidget *w = form->control(name);
        if (at.isNull())
            at = w->rect().center();
        Send(w, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &e);
        Send(w, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
        QApplication::processEvents();
    }

    QTemporaryDir config;
};

TEST_F(PracticeTest, MenuOpensWhereNoControlHasItsOwnRightClick)
{
    open();
    // A right click on a lamp, the window's ground, a step button, the face's case (TAP keeps its
    // own: a new series); a left click on the plaque, F10 and the Menu key.
    std::vector<bool> opens;
    for (const std::function<void()> &act : std::vector<std::function<void()>>{
             [&] { rightClick("imgBeat(2)"); }, [&] { rightClick("Label4"); }, [&] { rightClick("cmdTempo(1)"); },
             [&] { rightClick("PicMet", QPoint(150, 420)); }, [&] { rightClick("Tap"); }, [&] { click("Picture1"); },
             [&] { key(Qt::Key_F10); }, [&] { key(Qt::Key_Menu); }}) {
        act();
        opens.push_back(menu()->isVisible());
        menu()->hide();
    }
    EXPECT_EQ(opens, (std::vector<bool>{true, true, true, true, false, true, true, true}));
    // A right drag on the face moves the window.
    QWidget *face = form->control("PicMet");
    const QPoint onCase(150, 420), before = form->pos();
    Send(face, QEvent::MouseButtonPress, onCase, Qt::RightButton, Qt::RightButton);
    Send(face, QEvent::MouseMove, onCase + QPoint(30, 10), Qt::NoButton, Qt::RightButton);
    Send(face, QEvent::MouseButtonRelease, onCase + QPoint(30, 10), Qt::RightButton, Qt::NoButton);
    QApplication::processEvents();
    EXPECT_EQ(form->pos(), before + QPoint(30, 10));
    EXPECT_FALSE(menu()->isVisible());
    // START keeps every button: a right click starts.
    rightClick("Check1");
    EXPECT_TRUE(form->Running());
    EXPECT_FALSE(menu()->isVisible());
    // While a sound name is typed, the Menu key opens the text field's menu, not ours.
    form->Combo1()->lineEdit()->setFocus();
    QWidget *opened = nullptr;
    QTimer::singleShot(0, [&opened] {
        if ((opened = QApplication::activePopupWidget()))
            opened->close();
    });
    key(Qt::Key_Menu);
    QApplication::processEvents();
    EXPECT_TRUE(opened && opened != menu()) << "the text field's own menu";
    EXPECT_FALSE(menu()->isVisible());
}

TEST_F(PracticeTest, EntriesAndKeysChangeTheValuesPlayedAndTheStatusLine)
{
    open();
    const engine::Practice &v = tools().Values();
    EXPECT_EQ(tools().StatusText(), QString()) << "nothing on: no status line";

    key(Qt::Key_F10);
    auto *slider = menu()->findChild<QSlider *>(QStringLiteral("volumeSlider"));
    ASSERT_TRUE(slider);
    slider->setValue(40);
    EXPECT_EQ(v.volume, 40);
    // The volume entry is active, and marked so, when the menu opens: Right and Left move its slider.
    QWidget *row = slider->parentWidget();
    auto marked = [&] {
        const QPoint at = row->mapTo(menu(), QPoint(4, row->height() / 2));
        return menu()->grab().toImage().pixelColor(at) == menu()->palette().color(QPalette::Highlight);
    };
    EXPECT_TRUE(marked());
    EXPECT_EQ(keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Left}, v.volume),
              (std::vector<int>{45, 50, 45, 40}))
        << "the keyboard moves the volume";
    // Down from the volume: Unterteilung, Tempo-Trainer; Return switches the trainer on.
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
        QTest::keyClick(menu(), k);
        EXPECT_FALSE(marked()) << "the mark moves on";
    }
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Trainer 120")) << "the keyboard reaches the trainer";
    menu()->hide();

    keys({Qt::Key_Up, Qt::Key_Up});
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Lautstärke 50")) << "the key shows the value briefly";
    key(Qt::Key_Down);
    EXPECT_EQ((std::array{v.volume, slider->value()}), (std::array{45, 45})) << "played and shown";
    EXPECT_EQ(keys({Qt::Key_U, Qt::Key_U, Qt::Key_U, Qt::Key_U, Qt::Key_U}, v.subdivision),
              (std::vector<int>{2, 3, 4, 1, 2}));
    key(Qt::Key_G);
    QTest::qWait(2500); // the brief message is gone
    EXPECT_EQ(tools().StatusText(), QStringLiteral("÷2 · Trainer 120 · Pause"));
    keys({Qt::Key_R, Qt::Key_G});
    // The submenu's entries, with their checked states as a screen reader reads them.
    QMenu *sub = entry(QStringLiteral("Unterteilung"))->menu();
    ASSERT_TRUE(sub);
    sub->actions().at(2)->trigger();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("÷3")) << "R and G switched the trainer and the gap off";
    QAccessibleInterface *subAcc = QAccessible::queryAccessibleInterface(sub);
    ASSERT_TRUE(subAcc && subAcc->childCount() >= 4);
    EXPECT_TRUE(subAcc->child(2)->state().checked && !subAcc->child(0)->state().checked);
    sub->actions().at(0)->trigger();
    EXPECT_EQ(tools().StatusText(), QString());

    // The trainer's dialog: a step of 0 is skipped, a step goes towards the goal; OK switches the
    // trainer on at its start tempo.
    entry(QStringLiteral("Tempo-Trainer einstellen"))->trigger();
    QDialog *d = tools().OpenDialog();
    ASSERT_TRUE(d && d->isVisible());
    EXPECT_EQ(d->minimumSize(), d->maximumSize()) << "a window manager would offer to maximize it";
    auto spin = [&d](const char *name) {
        for (QSpinBox *s : d->findChildren<QSpinBox *>())
            if (s->accessibleName() == QString::fromUtf8(name))
                return s;
        ADD_FAILURE() << name;
        return d->findChild<QSpinBox *>();
    };
    spin("Schritt")->setValue(1);
    spin("Schritt")->stepDown();
    EXPECT_EQ(spin("Schritt")->value(), -1) << "no step of 0";
    for (auto [name, value] :
         {std::pair{"Starttempo", 100}, {"Alle wie viele Zyklen", 2}, {"Schritt", 5}, {"Zieltempo", 80}})
        spin(name)->setValue(value);
    d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(v.trainerOn);
    EXPECT_EQ((std::array{v.trainerStartBpm, v.trainerEveryCycles, v.trainerStepBpm, v.trainerGoalBpm}),
              (std::array{100, 2, -5, 80}))
        << "a step of 5 from 100 to a goal of 80 goes down";
    EXPECT_EQ(text("lblBPM"), QStringLiteral("100")) << "the trainer starts at its start tempo";

    entry(QStringLiteral("Pausen-Training einstellen"))->trigger();
    ASSERT_TRUE(d = tools().OpenDialog());
    spin("Zyklen mit Klang")->setValue(3);
    spin("Zyklen in Stille")->setValue(1);
    d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ((std::array{int(v.gapOn), v.gapPlayCycles, v.gapMuteCycles}), (std::array{1, 3, 1}));
    close();
    EXPECT_TRUE(QDir(config.path()).isEmpty()) << "nothing remembered unless asked";
}

// The trainer's tempo moves the number and the slider and keeps the trainer on (START from its
// start tempo: RememberTest); a tempo set by hand switches it off and says so.
TEST_F(PracticeTest, TrainerTempoFollowedAndHandTempoTakesOver)
{
    open();
    key(Qt::Key_R);
    engine::BeatEvent step;
    step.bpm = 96;
    tools().BeatHeard(step);
    EXPECT_EQ(text("lblBPM"), QStringLiteral("96"));
    EXPECT_EQ(form->control<fader::Fader>("Fader1")->Value(), 95);
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Trainer 96"));
    for (auto byHand : std::vector<std::function<void()>>{[&] { click("cmdTempo(1)"); }, [&] { key(Qt::Key_PageUp); },
                                                          [&] {
                                                              auto *f = form->control<fader::Fader>("Fader1");
                                                              f->SetValue(60);
                                                              emit f->Scrolling();
                                                          }}) {
        if (!tools().Values().trainerOn)
            key(Qt::Key_R);
        ASSERT_TRUE(tools().Values().trainerOn);
        byHand();
        EXPECT_FALSE(tools().Values().trainerOn);
        EXPECT_EQ(tools().StatusText(), QStringLiteral("Trainer aus (von Hand)"));
    }
    EXPECT_EQ(form->Tempo().Bpm(), 61);
}

struct RememberTest : PracticeTest {
    // What the window shows of the remembered values, in one line.
    std::string shown()
    {
        QStringList s{text("cboPresets"), text("Combo1") + '/' + text("Combo2") + '/' + text("Combo3")};
        for (const char *row : {"imgBeat", "imgSnare"}) {
            QString lamps;
            for (int i = 0; i < 8; ++i)
                lamps += form->control<ui::LampImage>(QStringLiteral("%1(%2)").arg(row).arg(i))->isLit() ? '1' : '0';
            s << lamps;
        }
        const engine::Practice &p = tools().Values();
        s << (form->control<QCheckBox>("chkAccent")->isChecked() ? "accents" : "-")
          << (form->Check2()->isChecked() ? "top" : "-") << QString::number(form->BeatsPerCycle()) << "beats"
          << text("lblBPM") << "bpm vol" << QString::number(p.volume) << "sub" << QString::number(p.subdivision)
          << (p.trainerOn ? "trainer" : "-") << (p.gapOn ? "gap" : "-");
        return s.join(' ').toStdString();
    }
    // Opens the window with `content` as the settings file (null: a folder stands in its place, so
    // it cannot be read; `pipe`: a named pipe does); returns the lines it wrote on stderr.
    std::vector<std::string> openWith(const QByteArray &content, bool pipe = false)
    {
        const QByteArray path = QFile::encodeName(settingsFile());
        QDir().mkpath(content.isNull() && !pipe ? settingsFile() : QFileInfo(settingsFile()).absolutePath());
        if (pipe) {
            EXPECT_EQ(::mkfifo(path.constData(), 0600), 0);
        } else if (!content.isNull()) {
            QFile f(settingsFile());
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        // Should the start wait on the pipe after all, a writer that comes and goes lets it go on (the
        // test then fails, instead of hanging the suite).
        std::atomic<bool> done{false};
        std::thread writer([&] {
            for (int i = 0; i < 300 && pipe && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (const int fd = pipe ? ::open(path.constData(), O_WRONLY | O_NONBLOCK) : -1; fd >= 0)
                ::close(fd);
        });
        ::testing::internal::CaptureStderr();
        open();
        done = true;
        writer.join();
        std::vector<std::string> lines;
        std::istringstream err(::testing::internal::GetCapturedStderr());
        for (std::string line; std::getline(err, line);)
            if (line.starts_with("metronom:"))
                lines.push_back(line);
        return lines;
    }
};
const char *const firstRun = "Normal Klack/Bassdrum/Snare 10001000 00100010 - top 4 beats 120 bpm vol 85 sub 1 - -";

// Checked, the settings are written within about a second and at exit, and come back at the next
// start (a trainer left on with its start and goal: START plays 150, not the 156 it had reached).
TEST_F(RememberTest, SettingsComeBackAtTheNextStartUntilUnchecked)
{
    open();
    EXPECT_EQ(shown(), firstRun);
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    auto *presets = form->control<QComboBox>("cboPresets");
    presets->setCurrentIndex(presets->findText(QStringLiteral("Kick")));
    emit presets->activated(presets->currentIndex());
    click("imgBeat(1)");
    click("imgSnare(0)");
    form->Combo3()->setEditText(QStringLiteral("Cowbell"));
    keys({Qt::Key_6, Qt::Key_A, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp});
    QTest::mouseClick(form->Check2(), Qt::LeftButton);
    keys({Qt::Key_Down, Qt::Key_U});
    QTest::qWait(1300);
    EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("tempo").toInt(), text("lblBPM").toInt())
        << "within a second";
    keys({Qt::Key_G, Qt::Key_R}); // the trainer from 150 to 170
    engine::BeatEvent step;
    step.bpm = 156;
    tools().BeatHeard(step);
    const std::string changed = shown();
    close(); // the last change written at exit, within the second

    open();
    EXPECT_EQ(shown(), changed);
    EXPECT_EQ(tools().Values().trainerGoalBpm, 170);
    key(Qt::Key_Space);
    EXPECT_EQ(form->Tempo().Bpm(), 150) << "START begins at the start tempo, as before the exit";
    key(Qt::Key_Space);
    EXPECT_TRUE(entry(QStringLiteral("Einstellungen merken"))->isChecked());
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    close();
    open();
    EXPECT_EQ(shown(), firstRun);
    close();
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
}

struct BadFile {
    const char *name;
    QByteArray content;
    const char *expected;            // the first-run state but what was usable
    std::vector<const char *> named; // what the one line on stderr names
    bool pipe = false;               // a named pipe: the start does not wait for a writer
};
void PrintTo(const BadFile &b, std::ostream *os) { *os << b.name; }

class BadFileTest : public RememberTest, public ::testing::WithParamInterface<BadFile> {};

// Whatever the file holds, the program starts, takes what it can use and says in one line what it
// ignored.
TEST_P(BadFileTest, StartsWithTheFirstRunValueForWhatCannotBeUsed)
{
    const BadFile &b = GetParam();
    const std::vector<std::string> lines = openWith(b.content, b.pipe);
    EXPECT_EQ(shown(), b.expected);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(settingsFile().toStdString()), std::string::npos) << lines[0];
    for (const char *what : b.named)
        EXPECT_NE(lines[0].find(what), std::string::npos) << what << " in " << lines[0];
    EXPECT_TRUE(tools().Remembering()) << "the file is there: remembering is on";
}

const QByteArray kGood = "[General]\npreset=Kick\naccent1Lamps=11110000\naccent2Lamps=00001111\naccents=true\n"
                         "sound=Klack\naccent1Sound=Bassdrum\naccent2Sound=Snare\nbeatsPerCycle=3\ntempo=260\n"
                         "alwaysOnTop=false\nvolume=60\nsubdivision=2\n\n[gap]\non=true\nplay=2\nmute=2\n";

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFile{"unreadable", {}, firstRun, {"cannot be read"}},
                      BadFile{"pipe", {}, firstRun, {"not a plain file"}, true},
                      BadFile{"empty", "", firstRun, {"empty"}},
                      BadFile{"garbage",
                              QByteArray("\x00\xff\x13garbage=[[\n\x01\x02", 16) + QByteArray(300, '\xfe'),
                              firstRun,
                              {"tempo", "preset"}},
                      BadFile{"truncated",
                              kGood.left(kGood.indexOf("tempo=") + 7), // "tempo=2", the rest cut off
                              "Kick Klack/Bassdrum/Snare 11110000 00001111 accents top 3 beats 2 bpm vol 85 sub 1 - -",
                              {"volume", "alwaysOnTop"}},
                      BadFile{"wrong_types_out_of_range_unknown_keys",
                              QByteArray(kGood)
                                  .replace("tempo=260", "tempo=999")
                                  .replace("volume=60", "volume=laut")
                                  .replace("accents=true", "accents=1, 2")
                                  .replace("accent1Lamps=11110000", "accent1Lamps=111")
                                  .replace("beatsPerCycle=3", "beatsPerCycle=0")
                                  .append("colour=red\n"),
                              "Kick Klack/Bassdrum/Snare 10001000 00001111 - - 4 beats 120 bpm vol 85 sub 2 - gap",
                              {"tempo", "volume", "accents", "accent1Lamps", "beatsPerCycle", "colour"}},
                      BadFile{
                          "sound_gone",
                          QByteArray(kGood).replace("accent2Sound=Snare", "accent2Sound=Gibtsnicht"),
                          "Kick Klack/Bassdrum/Snare 11110000 00001111 accents - 3 beats 260 bpm vol 60 sub 2 - gap",
                          {"Gibtsnicht"}}));

// A folder that cannot be written (a plain file in its place: permissions stop no root) is said
// once; a file that cannot be deleted (a folder in its place) would come back checked: said too.
TEST_F(RememberTest, UnwritableFolderAndUndeletableFileAreSaid)
{
    QFile blocker(config.path() + QStringLiteral("/metronom"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    open();
    ::testing::internal::CaptureStderr();
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Einstellungen nicht speicherbar"))
        << "said in the window, where a user started from the desktop reads it";
    key(Qt::Key_Plus);
    QTest::qWait(1200);
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    close();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot remember"), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot remember"), err.rfind("cannot remember")) << "said once: " << err;

    ASSERT_TRUE(blocker.remove());
    open();
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    ASSERT_TRUE(QFile::remove(settingsFile()));
    ASSERT_TRUE(QDir().mkpath(settingsFile() + QStringLiteral("/kept")));
    ::testing::internal::CaptureStderr();
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Einstellungen nicht löschbar"));
    EXPECT_NE(err.find("cannot be deleted"), std::string::npos) << err;
    QDir(settingsFile()).removeRecursively();
}

} // namespace

namespace {

// A song in the window: it follows each section as heard (beats, lamps, tempo, status line); a
// refused map changes nothing; the tempo set by hand leaves the song from the tempo heard, and the
// window's own beats and lamps come back. Remembered: the song's file, never a section's beats.
TEST_F(RememberTest, ASongIsFollowedAsHeardAndLeftByHand)
{
    open();
    entry(QStringLiteral("Einstellungen merken"))->trigger();
    QTemporaryDir songs;
    const QString lied = songs.filePath(QStringLiteral("lied.txt")), bad = songs.filePath(QStringLiteral("bad.txt"));
    for (const auto &[path, map] :
         {std::pair{lied, "Vers: 1 2/4 120\nRefrain: 50 6/8 90 X..x.. 0.5\n"}, std::pair{bad, "1 120\n1 120 Xxx\n"}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(map);
    }
    QStringList boxes;
    app::SetMessageSink([&](const QString &message, int, const QString &) { boxes << message; });
    ASSERT_TRUE(form->OpenSong(lied));
    EXPECT_FALSE(form->OpenSong(bad));
    app::SetMessageSink({});
    EXPECT_EQ(boxes, QStringList{bad + QStringLiteral(", Zeile 2: Muster „Xxx“ hat 3 Zeichen für 4 Schläge im Takt")});
    EXPECT_EQ(form->SongPath(), lied);

    click("Check1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tools().StatusText() == QStringLiteral("Refrain, Takt 1 von 50"); }, 5000))
        << tools().StatusText().toStdString();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return text("lblBPM") == QStringLiteral("180"); }, 3000)); // 90 quarters in eighths
    EXPECT_EQ(shown(), "Normal Klack/Bassdrum/Snare 10000000 00000000 - top 4 beats 180 bpm vol 85 sub 1 - -");
    EXPECT_EQ(text("lblBeats"), QStringLiteral("6"));
    click("cmdTempo(1)"); // ">"
    EXPECT_FALSE(form->SongPlaying());
    EXPECT_EQ(form->Tempo().Bpm(), 181);
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Song verlassen (von Hand)"));
    EXPECT_EQ(text("lblBeats"), QStringLiteral("4"));
    click("Check1");
    EXPECT_EQ(shown(), "Normal Klack/Bassdrum/Snare 10001000 00100010 - top 4 beats 181 bpm vol 85 sub 1 - -");
    close();
    QSettings file(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("song").toString(), lied);
    EXPECT_EQ(file.value("beatsPerCycle").toInt(), 4);
}

} // namespace
