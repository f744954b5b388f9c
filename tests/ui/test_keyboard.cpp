// The window's keys, pressed as a user presses them: through the active window, so that they reach
// whatever has the focus and the window's shortcuts decide.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include "app/startup.h"
#include "fader/fader.h"
#include "ui/controls.h"

#include "sound/wav_writer.h"
#include "support/window_test.h"

namespace {

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

struct KeyCase {
    const char *name;
    std::vector<Key> keys; // pressed 400 ms apart
    int bpm;               // the tempo shown afterwards (0 from START until the first beat)
    int beats;
    bool accent;
    bool running;
};
void PrintTo(const KeyCase &c, std::ostream *os) { *os << c.name; }

class KeyboardTest : public testsupport::WindowTest, public ::testing::WithParamInterface<KeyCase> {
protected:
    void press(Key k)
    {
        clock.now += 400;
        key(k.key, k.mods);
    }
};

// From the start (120, four beats, accents off after "Normal").
TEST_P(KeyboardTest, EachKeyDoesWhatItsControlDoes)
{
    const KeyCase &c = GetParam();
    for (Key k : c.keys)
        press(k);
    EXPECT_EQ(text("lblBPM").toInt(), c.bpm);
    EXPECT_EQ(form->BeatsPerCycle(), c.beats);
    EXPECT_EQ(form->control<QCheckBox>("chkAccent")->isChecked(), c.accent);
    EXPECT_EQ(form->Running(), c.running);
    EXPECT_EQ(QApplication::focusWidget(), form.get()) << "no visible control takes the focus";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardTest,
    ::testing::Values(
        KeyCase{"Plus_Right", {{Qt::Key_Plus}, {Qt::Key_Right}}, 122, 4, false, false},
        KeyCase{"Minus_Left", {{Qt::Key_Minus}, {Qt::Key_Left}}, 118, 4, false, false},
        KeyCase{
            "PageUp_PageDown_PageUp", {{Qt::Key_PageUp}, {Qt::Key_PageDown}, {Qt::Key_PageUp}}, 130, 4, false, false},
        // Two taps 400 ms apart: 150; after Shift+T the next tap begins a new series.
        KeyCase{"T_taps", {{Qt::Key_T}, {Qt::Key_T}}, 150, 4, false, false},
        KeyCase{"ShiftT_new_series", {{Qt::Key_T}, {Qt::Key_T, Qt::ShiftModifier}, {Qt::Key_T}}, 120, 4, false, false},
        KeyCase{"T_ignored_while_running", {{Qt::Key_Space}, {Qt::Key_T}, {Qt::Key_T}}, 0, 4, false, true},
        KeyCase{"Digit1_then_9_nothing", {{Qt::Key_1}, {Qt::Key_9}}, 120, 1, false, false},
        KeyCase{"Digit8", {{Qt::Key_8}}, 120, 8, false, false},
        KeyCase{"A_accents", {{Qt::Key_A}}, 120, 4, true, false}));

// The focus as a user meets it: clicks give it back to the window, Tab goes through the controls.
class FocusTest : public KeyboardTest {
protected:
    void SetUp() override
    {
        KeyboardTest::SetUp();
        QFile(sounds.filePath("Klack.wav")).open(QIODevice::WriteOnly); // the sound that plays
        app::Globals().SoundsDir = sounds.path() + QDir::separator();
    }
    // The control that has the focus (a chooser for its text field).
    QString focusedName() const
    {
        QWidget *w = QApplication::focusWidget();
        if (w && qobject_cast<QComboBox *>(w->parentWidget()))
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    }
    void tabTo(const char *name)
    {
        for (int i = 0; i < 40 && focusedName() != name; ++i)
            press({Qt::Key_Tab});
        ASSERT_EQ(focusedName(), name);
    }
    QWidget *mark() const { return form->findChild<QWidget *>("focusMark"); }
    QTemporaryDir sounds;
};

// After a click into a chooser's text the keys type there; a click on START, a step button or TAP
// gives the window its keys back, and the chooser keeps what it had; so does Escape in a list.
TEST_F(FocusTest, ClicksOnStartAStepButtonAndTapAndEscapeInAListGiveTheWindowItsKeysBack)
{
    QLineEdit *sound = form->Combo1()->lineEdit();
    for (const char *target : {"Check1", "cmdTempo(1)", "Tap"}) {
        SCOPED_TRACE(target);
        QTest::mouseClick(sound, Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_EQ(focusedName(), "Combo1");
        const int bpm = text("lblBPM").toInt();
        press({Qt::Key_Plus});
        EXPECT_TRUE(text("Combo1").contains('+')) << "the key typed into the chooser";
        EXPECT_EQ(text("lblBPM").toInt(), bpm);
        form->Combo1()->setEditText("Klack");
        click(target);
        EXPECT_EQ(QApplication::focusWidget(), form.get());
        const bool running = form->Running(); // START was clicked, or not
        press({Qt::Key_Space});
        EXPECT_NE(form->Running(), running) << "Space pressed START/STOP";
        if (form->Running())
            press({Qt::Key_Space});
        press({Qt::Key_Plus});
        EXPECT_EQ(text("lblBPM").toInt(), form->Tempo().Bpm());
        EXPECT_EQ(text("Combo1"), "Klack");
    }
    EXPECT_GT(form->Tempo().Bpm(), 120) << "the step button and the Plus keys acted";

    // A list left with Escape gives the focus back: the next Space starts instead of reopening it.
    auto *presets = form->control<QComboBox>("cboPresets");
    presets->setFocus(Qt::MouseFocusReason); // as a click on it does
    presets->showPopup();
    ASSERT_TRUE(presets->view()->isVisible());
    QTest::keyClick(presets->view()->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_FALSE(presets->view()->isVisible());
    ASSERT_EQ(form->focusWidget(), form.get()) << "the list gave the focus back";
    QApplication::setActiveWindow(form.get()); // the window system's part, which offscreen leaves out
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(form->Running());
    EXPECT_FALSE(presets->view()->isVisible());
}

// Tab goes through every control in reading order (columns top to bottom, rows left to right),
// framed while the keyboard is used; a click takes the frame away.
TEST_F(FocusTest, TabReachesEveryControlInReadingOrderWhichKeepsItsOwnKeysUntilEscape)
{
    QList<QWidget *> controls;
    for (QWidget *w : form->findChildren<QWidget *>())
        if (w->isVisible() && (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
                               qobject_cast<fader::Fader *>(w) || qobject_cast<ui::LampImage *>(w)))
            controls << w;
    const int column = form->control("picBeat")->x(); // the right column: the beat display, TAP, START
    QList<QWidget *> visited;
    for (int i = 0; i <= controls.size(); ++i) {
        press({Qt::Key_Tab});
        QWidget *w = form->control(focusedName());
        ASSERT_NE(w, nullptr) << focusedName().toStdString();
        EXPECT_TRUE(mark()->isVisible() && mark()->geometry().contains(w->geometry())) << "framed";
        if (!visited.isEmpty() && i < controls.size()) {
            const QRect a = visited.back()->geometry(), b = w->geometry();
            const bool sameRow = std::abs(a.center().y() - b.center().y()) < 10;
            const bool after =
                (a.x() < column && b.x() >= column) ||
                ((a.x() < column) == (b.x() < column) && (sameRow ? b.x() > a.x() : b.top() >= a.bottom() - 4));
            EXPECT_TRUE(after) << visited.back()->objectName().toStdString() << " then "
                               << w->objectName().toStdString();
        }
        visited << w;
    }
    EXPECT_EQ(QSet<QWidget *>(visited.begin(), visited.end() - 1).size(), controls.size()) << "each control once";
    EXPECT_EQ(visited.back(), visited.front()) << "and round again";
    click("lblBPM");
    EXPECT_EQ(QApplication::focusWidget(), form.get());
    EXPECT_FALSE(mark()->isVisible());

    // A control reached with Tab keeps its own keys; Escape gives the window its keys back, and a
    // typed name that is no file goes back to the sound that plays.
    tabTo("imgBeat(1)");
    press({Qt::Key_Space});
    EXPECT_TRUE(form->Pattern().Accent1[1]) << "Space toggles the lamp";
    press({Qt::Key_Return});
    EXPECT_FALSE(form->Pattern().Accent1[1]) << "so does Enter";
    EXPECT_FALSE(form->Running());

    tabTo("Fader1");
    press({Qt::Key_End});
    EXPECT_EQ(form->Tempo().Bpm(), 250) << "End moves the slider to its end";
    press({Qt::Key_Left});
    EXPECT_EQ(form->Tempo().Bpm(), 249);

    tabTo("cmdTempo(0)");
    press({Qt::Key_Space});
    EXPECT_EQ(form->Tempo().Bpm(), 248) << "Space presses the button";
    EXPECT_FALSE(form->Running());

    tabTo("Combo1");
    press({Qt::Key_End}); // Tab selected the name; the cursor goes behind it
    press({Qt::Key_Space});
    press({Qt::Key_X});
    EXPECT_EQ(text("Combo1"), "Klack x") << "the chooser takes typing, spaces included";
    press({Qt::Key_Escape});
    EXPECT_EQ(QApplication::focusWidget(), form.get());
    EXPECT_EQ(text("Combo1"), "Klack") << "no file of that name: back to the sound that plays";
    press({Qt::Key_Space});
    EXPECT_TRUE(form->Running()) << "the window has its keys again";

    tabTo("Check1");
    press({Qt::Key_Space});
    EXPECT_FALSE(form->Running()) << "Space presses STOP";
}

// The chosen sound saved again (emptied, then written in two parts, as editors do) is played once it
// is written, not reported unplayable on the way. A name typed for a file that holds no sound: the
// sound that plays stays, the name too (mended, the file is heard), and the face says so for a while.
TEST_F(FocusTest, AFileThatCannotBePlayedIsNamedOnTheFaceAndANewOneOfferedAtOnce)
{
    const soundtest::Bytes wav = soundtest::MakeWav({}, {1000, -1000}, 4410); // 0.1 s
    const QByteArray good(reinterpret_cast<const char *>(wav.data()), qsizetype(wav.size()));
    // Chosen while it was a link, then made a file: the file is watched, not the link's target.
    soundtest::WriteFile(sounds.filePath("Alt").toStdString(), wav);
    ASSERT_TRUE(QFile::link(sounds.filePath("Alt"), sounds.filePath("Mein.wav")));
    auto *status = form->findChild<QLabel *>("lblPractice");
    tabTo("Combo1");
    form->Combo1()->setEditText("Mein");
    press({Qt::Key_Return});
    ASSERT_EQ(text("Combo1"), "Mein");
    QFile::remove(sounds.filePath("Mein.wav"));
    soundtest::WriteFile(sounds.filePath("Mein.wav").toStdString(), wav);
    QTest::qWait(500);
    const auto loads = output->cache().loads();
    QFile mine(sounds.filePath("Mein.wav"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mine.flush();
    QTest::qWait(60);
    mine.write(good.left(good.size() / 2));
    mine.flush();
    QTest::qWait(60);
    mine.write(good.mid(good.size() / 2));
    mine.close();
    QTest::qWait(500);
    EXPECT_FALSE(status->isVisible() && status->text().contains("lässt sich nicht abspielen"))
        << status->text().toStdString();
    EXPECT_GT(output->cache().loads(), loads) << "the saved file is played";

    QFile broken(sounds.filePath("Kaputt.wav"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("kein Klang") > 0);
    broken.close();
    form->Combo1()->setEditText("Kaputt");
    press({Qt::Key_Return});
    EXPECT_EQ(text("Combo1"), "Kaputt");
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), "Kaputt.wav lässt sich nicht abspielen");
    // Typed letter by letter, past a name the chooser completes on the way, to one that names no
    // file: back to the sound chosen before, which is not reported again.
    tabTo("Combo1");
    ::testing::internal::CaptureStderr();
    QTest::keyClicks(QApplication::focusWidget(), "Mex");
    press({Qt::Key_Return});
    EXPECT_EQ(text("Combo1"), "Kaputt");
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("cannot play"), std::string::npos);

    // A sound put into the folder while the program runs is offered at once; the name shown stays.
    QFile(sounds.filePath("Neu.wav")).open(QIODevice::WriteOnly);
    auto offered = [&](const char *name) { return form->Combo1()->findText(name) >= 0; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return offered("Neu"); }, 5000));
    EXPECT_TRUE(offered("Klack"));
    EXPECT_EQ(text("Combo1"), "Kaputt");
    QFile::remove(sounds.filePath("Neu.wav"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !offered("Neu"); }, 5000)) << "and no more once it is gone";
}

} // namespace
