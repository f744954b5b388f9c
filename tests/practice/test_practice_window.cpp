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
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "app/commands.h"
#include "app/desktop.h"
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
    app::PrepareApplication(); // its words in German, whatever the locale (the tests run without one)
    std::unique_ptr<QMenu> standard(form->Combo1()->lineEdit()->createStandardContextMenu());
    EXPECT_TRUE(standard->actions().value(0)->text().startsWith(QStringLiteral("&Rückgängig")));
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
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Trainer bis 140")) << "the keyboard reaches the trainer";
    menu()->hide();

    keys({Qt::Key_Up, Qt::Key_Up});
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Lautstärke 50")) << "the key shows the value briefly";
    key(Qt::Key_Down);
    EXPECT_EQ((std::array{v.volume, slider->value()}), (std::array{45, 45})) << "played and shown";
    EXPECT_EQ(keys({Qt::Key_U, Qt::Key_U, Qt::Key_U, Qt::Key_U, Qt::Key_U}, v.subdivision),
              (std::vector<int>{2, 3, 4, 1, 2}));
    key(Qt::Key_G);
    QTest::qWait(2500); // the brief message is gone
    EXPECT_EQ(tools().StatusText(), QStringLiteral("2/Schlag · bis 140 · mit Pausen")) << "in brief";
    keys({Qt::Key_R, Qt::Key_G});
    // The submenu's entries, with their checked states as a screen reader reads them.
    QMenu *sub = entry(QStringLiteral("Unterteilung"))->menu();
    ASSERT_TRUE(sub);
    sub->actions().at(2)->trigger();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("3 pro Schlag")) << "R and G switched the trainer and the gap off";
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
    spin("Schritt")->setValue(5);
    spin("Schritt")->selectAll();
    QTest::keyClicks(spin("Schritt"), "0");
    spin("Schritt")->interpretText();
    EXPECT_EQ(spin("Schritt")->text(), QStringLiteral("5 BPM")) << "a typed 0 is not taken";
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
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Trainer bis 140")) << "the goal";
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
    enum class Node { File, Pipe, LinkToPipe, LinkToDevice, LinkToFile };
    // Opens the window with `content` as the settings file (null: a folder stands in its place, so
    // it cannot be read), or a named pipe, or a link to a pipe, a device node or a file of `content`
    // elsewhere; returns the lines it wrote on stderr.
    std::vector<std::string> openWith(const QByteArray &content, Node node = Node::File)
    {
        const QByteArray path = QFile::encodeName(settingsFile());
        const QByteArray target = node == Node::Pipe ? path : QFile::encodeName(config.path() + "/elsewhere");
        QDir().mkpath(content.isNull() && node == Node::File ? settingsFile()
                                                             : QFileInfo(settingsFile()).absolutePath());
        const bool pipe = node == Node::Pipe || node == Node::LinkToPipe;
        int made = 0;
        if (pipe)
            made = ::mkfifo(target.constData(), 0600);
        else if (node == Node::LinkToDevice) // like /dev/null, made here
            made = ::mknod(target.constData(), S_IFCHR | 0600, makedev(1, 3));
        else if (QFile f(QFile::decodeName(node == Node::File ? path : target)); !content.isNull())
            made = f.open(QIODevice::WriteOnly) && f.write(content) == content.size() ? 0 : -1;
        if (node >= Node::LinkToPipe)
            made |= ::symlink(target.constData(), path.constData());
        EXPECT_EQ(made, 0);
        // Should the program wait on the pipe after all, a writer that comes and goes every 3 s finds
        // it waiting and lets it go on (the test then fails, instead of hanging the suite).
        writer = std::jthread([this, target, pipe](std::stop_token stop) {
            for (int i = 1; pipe && !stop.stop_requested(); ++i)
                if (std::this_thread::sleep_for(std::chrono::milliseconds(10)); i % 300 == 0)
                    if (const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                        waited = ::close(fd) == 0;
        });
        ::testing::internal::CaptureStderr();
        open();
        std::vector<std::string> lines;
        std::istringstream err(::testing::internal::GetCapturedStderr());
        for (std::string line; std::getline(err, line);)
            if (line.starts_with("metronom:"))
                lines.push_back(line);
        return lines;
    }
    std::atomic<bool> waited{false};
    std::jthread writer;
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
    keys({Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_U, Qt::Key_U, Qt::Key_U}); // volume 100, subdivision 4
    QTest::qWait(1300);
    EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("tempo").toInt(), text("lblBPM").toInt())
        << "within a second";
    // The trainer from 150 to 170 and gap training, each count unlike its default and the others,
    // most at an end of its range (each dialog first cancelled: nothing changes).
    for (auto [name, values] : {std::pair{"Tempo-Trainer einstellen", std::vector{150, 16, 10, 170}},
                                {"Pausen-Training einstellen", std::vector{1, 8}}})
        for (auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            const std::string before = shown();
            entry(QString::fromUtf8(name))->trigger();
            const QList<QSpinBox *> spins = tools().OpenDialog()->findChildren<QSpinBox *>();
            for (std::size_t i = 0; i < values.size(); ++i)
                spins[i]->setValue(values[i]);
            tools().OpenDialog()->findChild<QDialogButtonBox *>()->button(button)->click();
            EXPECT_TRUE(button == QDialogButtonBox::Ok || shown() == before) << name << " cancelled";
        }
    engine::BeatEvent step;
    step.bpm = 156;
    tools().BeatHeard(step);
    const std::string changed = shown();
    close(); // the last change written at exit, within the second

    open();
    EXPECT_EQ(shown(), changed);
    const engine::Practice &p = tools().Values();
    EXPECT_EQ((std::array{p.trainerStartBpm, p.trainerEveryCycles, p.trainerStepBpm, p.trainerGoalBpm, p.gapPlayCycles,
                          p.gapMuteCycles}),
              (std::array{150, 16, 10, 170, 1, 8}));
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
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(settingsFile()).absolutePath())) << "nor its folder";
}

using Node = RememberTest::Node;
struct BadFile {
    const char *name;
    QByteArray content;
    const char *expected;            // the first-run state but what was usable
    std::vector<const char *> named; // what the one line on stderr names
    Node node = Node::File;
};
void PrintTo(const BadFile &b, std::ostream *os) { *os << b.name; }

class BadFileTest : public RememberTest, public ::testing::WithParamInterface<BadFile> {};

// Whatever the file holds, the program starts, takes what it can use and says in one line what it
// ignored.
TEST_P(BadFileTest, StartsWithTheFirstRunValueForWhatCannotBeUsed)
{
    const BadFile &b = GetParam();
    const std::vector<std::string> lines = openWith(b.content, b.node);
    EXPECT_EQ(shown(), b.expected);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(settingsFile().toStdString()), std::string::npos) << lines[0];
    EXPECT_LT(lines[0].size(), 500u) << "one short line";
    for (const char *what : b.named)
        EXPECT_NE(lines[0].find(what), std::string::npos) << what << " in " << lines[0];
    EXPECT_TRUE(tools().Remembering()) << "the file is there: remembering is on";

    // A file is kept as it is until a setting changes; a save never replaces a pipe or a device, and
    // replaces the file a link leads to, not the link.
    const QByteArray path = QFile::encodeName(settingsFile());
    const auto node = [&] {
        struct stat link = {}, target = {};
        QFile f(settingsFile());
        return std::tuple(::lstat(path.constData(), &link), link.st_mode & S_IFMT, ::stat(path.constData(), &target),
                          target.st_mode & S_IFMT, target.st_rdev,
                          b.node == Node::File && f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "");
    };
    const auto was = node();
    if (b.node != Node::File) {
        key(Qt::Key_Plus);
        QTest::qWait(1300);
    }
    const QString bpm = text("lblBPM");
    close();
    EXPECT_TRUE(node() == was) << "replaced";
    EXPECT_FALSE(waited) << "the window waited on the pipe";
    EXPECT_TRUE(b.node != Node::LinkToFile ||
                QSettings(settingsFile(), QSettings::IniFormat).value("tempo").toString() == bpm);
}

const QByteArray kGood = "[General]\npreset=Kick\naccent1Lamps=11110000\naccent2Lamps=00001111\naccents=true\n"
                         "sound=Klack\naccent1Sound=Bassdrum\naccent2Sound=Snare\nbeatsPerCycle=3\ntempo=260\n"
                         "alwaysOnTop=false\nvolume=60\nsubdivision=2\n\n[gap]\non=true\nplay=2\nmute=2\n";

const char *const kGoodShown =
    "Kick Klack/Bassdrum/Snare 11110000 00001111 accents - 3 beats 260 bpm vol 60 sub 2 - gap";

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFile{"unreadable", {}, firstRun, {"cannot be read"}},
                      BadFile{"pipe", {}, firstRun, {"not a plain file"}, Node::Pipe},
                      BadFile{"link_to_pipe", {}, firstRun, {"not a plain file"}, Node::LinkToPipe},
                      BadFile{"link_to_device", {}, firstRun, {"not a plain file"}, Node::LinkToDevice},
                      BadFile{"too_large", kGood + QByteArray("k=v\n").repeated(17000), firstRun, {"64 KiB"}},
                      BadFile{"link_to_file", kGood, kGoodShown, {"trainer/on (missing)"}, Node::LinkToFile},
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
                                  .replace("volume=60", QByteArray("volume=la\0ut", 12))
                                  .replace("accents=true", "accents=1, 2")
                                  .replace("accent1Lamps=11110000", "accent1Lamps=111")
                                  .replace("beatsPerCycle=3", "beatsPerCycle=0")
                                  .append("colour=red\n[x]\na=1\nb=\nc=\nd=\ne=\nf=\ng=\nh=\ni=\nj=\nk=\n"),
                              "Kick Klack/Bassdrum/Snare 10001000 00001111 - - 4 beats 120 bpm vol 85 sub 2 - gap",
                              {"tempo", "la\\x00ut", "accents", "accent1Lamps", "beatsPerCycle",
                               "12 unknown keys, e.g. \"gap/colour\""}},
                      BadFile{"sound_gone",
                              QByteArray(kGood).replace("accent2Sound=Snare", "accent2Sound=Gibtsnicht"),
                              kGoodShown,
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
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Song: lied.txt (START spielt ihn)"));

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
    // Stopped, the line keeps saying that START plays the song, beside a tool switched on, until it
    // is closed.
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Song: lied.txt (START spielt ihn)"));
    QMenu *sub = entry(QStringLiteral("Unterteilung"))->menu();
    ASSERT_TRUE(sub);
    sub->actions().at(1)->trigger();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("Song: lied.txt · 2 pro Schlag"));
    entry(QStringLiteral("Song schließen"))->trigger();
    EXPECT_EQ(tools().StatusText(), QStringLiteral("2 pro Schlag"));
    sub->actions().at(0)->trigger();
    ASSERT_TRUE(form->OpenSong(lied));
    close();
    QSettings file(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("song").toString(), lied);
    EXPECT_EQ(file.value("beatsPerCycle").toInt(), 4);
}

} // namespace
