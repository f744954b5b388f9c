// The beat pattern, the presets and START/STOP in the real window (offscreen).
#include <QCheckBox>
#include <QScreen>
#include <malloc.h>

#include <set>

#include "support/fake_host.h"
#include "support/window_test.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"

namespace {

class BeatWindowTest : public testsupport::WindowTest {
protected:
    ui::LampImage *lamp(const char *row, int i) const
    {
        return form->control<ui::LampImage>(QStringLiteral("%1(%2)").arg(row).arg(i));
    }
    // The lamps as the user sees them: "1" lit, "0" unlit, "-" hidden.
    std::string row(const char *name) const
    {
        std::string s;
        for (int i = 0; i < 8; ++i)
            s += !lamp(name, i)->isVisible() ? '-' : lamp(name, i)->isLit() ? '1' : '0';
        return s;
    }
    void choosePreset(const char *name)
    {
        auto *presets = form->control<QComboBox>("cboPresets");
        presets->setCurrentIndex(presets->findText(name));
        ASSERT_GE(presets->currentIndex(), 0) << name;
        emit presets->activated(presets->currentIndex());
    }
    void setBeats(int beats)
    {
        QTest::mouseClick(form->control("Fader2"), Qt::LeftButton, {}, QPoint(15 + (beats - 1) * 190 / 7, 10));
    }
};

// A lamp toggles on a click (press and release on it) and keeps its mark while hidden.
TEST_F(BeatWindowTest, LampClicksToggleMarkAndPictureAndHiddenLampsKeepTheirMarks)
{
    EXPECT_EQ(row("imgBeat") + row("imgSnare"), "1000----0010----");
    QTest::mouseClick(lamp("imgSnare", 1), Qt::LeftButton);
    EXPECT_TRUE(row("imgSnare") == "0110----" && form->Pattern().Accent2[1]);
    QTest::mouseClick(lamp("imgSnare", 1), Qt::LeftButton);
    QTest::mouseClick(lamp("imgBeat", 0), Qt::LeftButton);
    EXPECT_EQ(row("imgBeat") + row("imgSnare"), "0000----0010----") << "the rows are independent";
    EXPECT_FALSE(form->Pattern().Accent2[1]);
    QTest::mousePress(lamp("imgBeat", 1), Qt::LeftButton);
    EXPECT_EQ(row("imgBeat"), "0000----") << "a press alone is no click";
    QTest::mouseRelease(lamp("imgBeat", 1), Qt::LeftButton, {}, QPoint(-3, 5));
    EXPECT_EQ(row("imgBeat"), "0000----") << "released beside the lamp";
    setBeats(1);
    EXPECT_EQ(row("imgBeat") + row("imgSnare") + text("lblBeats").toStdString(), "0-------0-------1");
    setBeats(8);
    EXPECT_EQ(row("imgBeat") + row("imgSnare"), "0000100000100010");
}

// Every preset: the sound presets set sounds, switch and lamps; the counting voices clear the lamps
// and keep the sounds and the switch.
TEST_F(BeatWindowTest, PresetsSetSoundsSwitchAndLamps)
{
    setBeats(8);
    for (auto [chosen, shown] : {std::pair{"Kick", "1000100000000000 on HiHat Bassdrum HandClaps"},
                                 {"Long", "0000000000000000 on HiHat Bassdrum HandClaps"},
                                 {"Rhythmus", "1000100000100010 on HiHat Bassdrum Snare"},
                                 {"Englisch", "0000000000000000 on HiHat Bassdrum Snare"},
                                 {"Normal", "0000000000000000 off Klack Bassdrum Snare"},
                                 {"Computer", "0000000000000000 off Klack Bassdrum Snare"}}) {
        choosePreset(chosen);
        const QStringList sounds{text("Combo1"), text("Combo2"), text("Combo3")};
        EXPECT_EQ(QString::fromStdString(row("imgBeat") + row("imgSnare")) +
                      (form->control<QCheckBox>("chkAccent")->isChecked() ? " on " : " off ") + sounds.join(" "),
                  shown);
    }
}

// The window's running state in one line: caption, TAP, tap labels, stop flag, weight, tempo shown.
// STOP shows the tempo START will play: a tempo set after the last beat heard, not the one measured.
TEST_F(BeatWindowTest, StartShowsTheBeatsAsHeardAndStopPutsEverythingBack)
{
    auto state = [&] {
        QWidget *weight = form->control("PicSlider");
        return QStringList{text("Check1"),
                           form->control("Tap")->isEnabled() ? "tap" : "-",
                           form->control("Label1")->isVisible() ? "labels" : "-",
                           form->StopRequested() ? "stop" : "-",
                           weight->isVisible() ? QString::number(weight->y()) : "-",
                           text("lblBPM") + text("lblTempo")}
            .join(" ");
    };
    ASSERT_TRUE(output->IsOpen());
    click("Check1");
    click("Check1");
    EXPECT_EQ(state(), "S T A R T tap - stop 131 120Allegro") << "stopped before the first beat: no tempo 0";
    click("Tap"); // a series begun before the start, which START resets
    click("Check1");
    EXPECT_EQ(state(), "S T O P - - - - 0")
        << "no tempo measured before the first beat; the weight swings with the rod";
    EXPECT_FALSE(form->TapSeries().TapStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return text("lblBPM") != "0"; })) << "no beat shown";
    EXPECT_EQ(text("lblBPM") + text("lblTempo") + text("lblBeat"), "120Allegro1")
        << "the first beat shows the measured tempo";
    ASSERT_TRUE(QTest::qWaitFor([&] { return text("lblBeat") == "2"; })) << "no second beat shown";
    EXPECT_EQ(form->control("shpBeat")->x(), lamp("imgBeat", 1)->x()) << "the marker under lamp 2";
    key(Qt::Key_PageUp);
    QTest::qWait(100);                // display frames meanwhile, less than a beat
    click("Check1", Qt::RightButton); // any button stops
    EXPECT_EQ(state(), "S T A R T tap - stop 142 130Allegro");
    EXPECT_EQ(form->Tempo().Bpm(), 130);
    EXPECT_EQ(form->control("shpBeat")->x(), lamp("imgBeat", 0)->x());
    QTest::qWait(700);
    EXPECT_EQ(text("lblBeat"), "1") << "no beat after STOP";
}

// The beat display (number, marker, colour: dark red on an accented beat, black on a plain one, and the
// measured tempo) changes when the beat is heard, not when it is rendered: here the output plays
// blocks of half a second, each heard a while after it was rendered.
TEST_F(BeatWindowTest, TheBeatDisplayChangesWhenTheBeatIsHeardNotWhenItIsRendered)
{
    close();
    auto owned = std::make_unique<testsupport::PlayingHost>();
    testsupport::PlayingHost &host = *owned;
    host.blockFrames = 22100; // a beat at 120 every 22050 frames: one rendered with each block
    open(std::move(owned));
    auto shown = [&] { // the display's colour as on the screen, in its corner beside the number
        const QPoint corner = form->control("picBeat")->mapTo(form.get(), QPoint(1, 1));
        const QImage screen = form->screen()->grabWindow(form->winId(), corner.x(), corner.y(), 1, 1).toImage();
        return QStringList{text("lblBeat"), QString::number(form->control("shpBeat")->x()),
                           screen.pixelColor(0, 0).name(), text("lblBPM")}
            .join(' ');
    };
    form->control<QCheckBox>("chkAccent")->click(); // beat 1 accented
    click("Check1");
    const QString atLamp1 = QString::number(lamp("imgBeat", 0)->x()),
                  atLamp2 = QString::number(lamp("imgBeat", 1)->x());
    for (const QString &heard : {"1 " + atLamp1 + " #c00000 120", "2 " + atLamp2 + " #000000 120"}) {
        const QString before = shown();
        ASSERT_TRUE(host.Play(1));
        QTest::qWait(60);
        EXPECT_EQ(shown(), before) << "rendered, not heard yet: " << heard.toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == heard; })) << shown().toStdString();
    }
}

// Counts the face's paint events and notes where the rod's tip was at the first of them.
class PaintWatch : public QObject {
public:
    int paints = 0;
    QPointF firstTip;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && paints++ == 0)
            firstTip = static_cast<ui::PendulumFace *>(watched)->tip();
        return false;
    }
};

// Hidden, nothing is computed or painted for the pendulum while the beat display goes on; shown
// again, the first picture has the pendulum where it is now, not where it was when hidden.
TEST_F(BeatWindowTest, NothingIsDrawnWhileTheWindowCannotBeSeenAndTheFirstFrameShownIsCurrent)
{
    auto *face = form->control<ui::PendulumFace>("PicMet");
    PaintWatch watch;
    face->installEventFilter(&watch);
    click("Check1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return text("lblBeat") == "2"; })) << "no beat shown";
    for (const bool minimized : {true, false}) {
        const char *what = minimized ? "minimized" : "hidden";
        watch.paints = 0;
        QTest::qWait(150);
        ASSERT_GT(watch.paints, 2) << "the pendulum swings on the screen before the window is " << what;
        minimized ? form->showMinimized() : form->hide();
        QCoreApplication::processEvents();
        const QPointF tip = face->tip();
        const QString beat = text("lblBeat");
        watch.paints = 0;
        QTest::qWait(1300); // the swing is not where it was: a quarter period and more later
        EXPECT_EQ(watch.paints, 0) << "painted while " << what;
        EXPECT_EQ(face->tip(), tip) << "frames computed while " << what;
        EXPECT_NE(text("lblBeat"), beat) << "the beat display stood still while " << what;
        minimized ? form->showNormal() : form->show();
        QCoreApplication::processEvents(); // the window's own answer to being shown, no frame timer yet
        ASSERT_GT(watch.paints, 0) << "nothing painted when shown again after " << what;
        EXPECT_NE(watch.firstTip, tip) << "the first frame after " << what << " shows the pendulum where it was";
    }
}

// A style drawing the sound boxes anew into its pixmap cache grew the program by 5 KiB per choice.
// Large blocks count too; measured once every beat number (each picture kept) has been drawn.
TEST_F(BeatWindowTest, ChoosingPresetsForLongKeepsMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator is not the one measured";
#endif
    auto *presets = form->control<QComboBox>("cboPresets");
    auto inUse = [] { return long(mallinfo2().uordblks + mallinfo2().hblkhd); };
    std::set<QString> beatsShown;
    auto choose = [&](int i) {
        presets->showPopup();
        QTest::qWait(2);
        presets->hidePopup();
        choosePreset(i % 2 ? "Kick" : "Rhythmus");
        QTest::qWait(2);
        beatsShown.insert(text("lblBeat"));
    };
    click("Check1");
    for (int i = 0; i < 2000 && beatsShown.size() < 4; ++i)
        choose(i);
    ASSERT_EQ(beatsShown.size(), 4u) << "not every beat was shown";
    const long before = inUse();
    for (int i = 0; i < 200; ++i)
        choose(i);
    const long grown = inUse() - before;
    EXPECT_LT(grown, 200 * 1024) << "grew by " << grown / 1024 << " KiB over 200 choices";
}

} // namespace
