// The real window (offscreen), used as a user uses it: the tempo controls move the number, the word
// and the weight together; the lamps, the beats slider, the presets and START/STOP.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <malloc.h>

#include "app/frm_metronom.h"
#include "fader/fader.h"
#include "sound/dx7_sound.h"
#include "tempo/tempo_model.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"

namespace {

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 100000;
};

// A mouse event at `pos` of `w`, the pointer at `global` (by default where `pos` is).
void Send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
          QPointF global = {-1, -1})
{
    QMouseEvent e(type, QPointF(pos), global.x() < 0 ? w->mapToGlobal(QPointF(pos)) : global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Waits up to `ms` for `done` while the window's timers run.
template <class F> bool WaitFor(F done, int ms = 4000)
{
    for (int waited = 0; waited < ms && !done(); waited += 20)
        QTest::qWait(20);
    return done();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.FirstRun();
    }
    QString text(const char *name) const
    {
        if (auto *l = form.control<QLabel>(name))
            return l->text();
        if (auto *b = form.control<QAbstractButton>(name))
            return b->text();
        return form.control<QComboBox>(name)->currentText();
    }
    int weightTop() const { return form.control("PicSlider")->y(); }
    ui::LampImage *lamp(const char *row, int i) const
    {
        return form.control<ui::LampImage>(QStringLiteral("%1(%2)").arg(row).arg(i));
    }
    // The lamps as the user sees them: "1" lit, "0" unlit, "-" hidden.
    std::string row(const char *name) const
    {
        std::string s;
        for (int i = 0; i < 8; ++i)
            s += !lamp(name, i)->isVisible() ? '-' : lamp(name, i)->isLit() ? '1' : '0';
        return s;
    }
    void click(const char *name, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(form.control(name), b); }
    void pressFader(const char *name, int x)
    {
        QTest::mousePress(form.control(name), Qt::LeftButton, {}, QPoint(x, 10));
        QTest::mouseRelease(form.control(name), Qt::LeftButton, {}, QPoint(x, 10));
    }
    void setBeats(int beats)
    {
        pressFader("Fader2", 15 + static_cast<int>((beats - 1) * 190.0 / 7));
        ASSERT_EQ(form.BeatsPerCycle(), beats);
    }
    void choosePreset(const char *name)
    {
        auto *presets = form.control<QComboBox>("cboPresets");
        const int index = presets->findText(name);
        ASSERT_GE(index, 0) << name;
        presets->setCurrentIndex(index);
        emit presets->activated(index);
    }
    // Presses on the weight and drags it by `dy` pixels in steps of 7 with `buttons` held.
    void dragWeight(int dy, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QWidget *w = form.control("PicSlider");
        const QPoint grip(16, 16);
        Send(w, QEvent::MouseButtonPress, grip, Qt::LeftButton, buttons);
        for (int moved = 0; moved != dy;) {
            const int d = std::clamp(dy - moved, -7, 7);
            const int before = w->y(); // positions are in the weight's own pixels, and it moves along
            Send(w, QEvent::MouseMove, grip + QPoint(0, d), Qt::NoButton, buttons);
            moved += d;
            if (w->y() == before && buttons == Qt::LeftButton)
                break; // held at a bound
        }
        Send(w, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
    }

    FakeClock clock;
    app::FrmMetronom form{nullptr, &clock};
};

TEST_F(WindowTest, RightAfterTheStartTheWindowReadsAsSetUp)
{
    EXPECT_EQ(row("imgBeat"), "1000----");
    EXPECT_EQ(row("imgSnare"), "0010----");
    EXPECT_TRUE(form.Pattern().Accent1[4]) << "the hidden lamp 5 carries its mark";
    EXPECT_TRUE(form.Pattern().Accent2[6]);
    EXPECT_FALSE(form.control<QCheckBox>("chkAccent")->isChecked()) << "although the design has it on";
    EXPECT_EQ(form.control<QComboBox>("cboPresets")->count(), 6);
    const std::pair<const char *, const char *> texts[] = {{"cboPresets", "Normal"}, {"Combo1", "Klack"}, {"Combo2", "Bassdrum"},
                                                           {"Combo3", "Snare"},      {"lblBPM", "120"},     {"lblTempo", "Allegro"},
                                                           {"Check1", "S T A R T"},  {"lblBeats", "4"}};
    for (auto [name, shown] : texts)
        EXPECT_EQ(text(name), shown) << name;
    EXPECT_TRUE(form.StopRequested());
    EXPECT_TRUE(form.control("Tap")->isEnabled());
    EXPECT_EQ(weightTop(), 131);
    EXPECT_EQ(form.control<ui::PendulumFace>("PicMet")->tip(), QPointF(154, 20)) << "the rod stands upright";
}

TEST_F(WindowTest, StepButtonsAndTheTempoSliderMoveTheNumberTheWordAndTheWeightTogether)
{
    auto *fader1 = form.control<fader::Fader>("Fader1");
    EXPECT_EQ(fader1->Value(), 119);
    click("cmdTempo(1)");
    EXPECT_EQ(text("lblBPM"), "121");
    EXPECT_EQ(weightTop(), 132);
    for (int i = 0; i < 5; ++i)
        click("cmdTempo(3)");
    EXPECT_EQ(text("lblBPM"), "171");
    EXPECT_EQ(text("lblTempo"), "Presto");
    EXPECT_EQ(weightTop(), *tempo::SliderTopForTempo(171));
    EXPECT_EQ(fader1->Value(), 170);
    for (int i = 0; i < 30; ++i)
        click("cmdTempo(2)");
    EXPECT_EQ(text("lblBPM"), "1");
    EXPECT_EQ(text("lblTempo"), "Larghissimo");
    EXPECT_EQ(weightTop(), 24) << "a tempo below the scale puts the weight at its slow end";
    EXPECT_DOUBLE_EQ(form.Tempo().PhaseRate(), tempo::PhaseRateForBpm(1, 30.5));
    pressFader("Fader1", 107); // the slider's button centre there: value 121, tempo 122
    EXPECT_EQ(fader1->Value(), 121);
    EXPECT_EQ(text("lblBPM"), "122");
    EXPECT_EQ(weightTop(), *tempo::SliderTopForTempo(122));
}

TEST_F(WindowTest, DraggingTheWeightWithTheLeftButtonAloneSetsTheTempoItShows)
{
    for (Qt::MouseButtons held : {Qt::MouseButtons(Qt::RightButton), Qt::MouseButtons(Qt::MiddleButton),
                                  Qt::MouseButtons(Qt::LeftButton | Qt::RightButton)}) {
        dragWeight(-20, held);
        EXPECT_EQ(weightTop(), 131);
    }
    dragWeight(-20);
    EXPECT_EQ(weightTop(), 111);
    EXPECT_EQ(text("lblBPM"), QString::number(tempo::BpmFromSliderTop(111)));
    EXPECT_EQ(form.control<fader::Fader>("Fader1")->Value(), tempo::BpmFromSliderTop(111) - 1);
    dragWeight(-200); // up to the bound and no further
    EXPECT_GE(weightTop(), 24);
    EXPECT_LT(weightTop(), 24 + 7);
    EXPECT_EQ(text("lblBPM"), QString::number(tempo::BpmFromSliderTop(weightTop())));
    dragWeight(300);
    EXPECT_LE(weightTop(), 296);
    EXPECT_GT(weightTop(), 296 - 7);
}

TEST_F(WindowTest, TappingShowsTheSeriesAndRightClickHidesTheTrend)
{
    for (int i = 0; i < 3; ++i, clock.now += 1000)
        click("Tap");
    EXPECT_EQ(text("lblBPM"), "60");
    EXPECT_EQ(text("lblTempo"), "Larghetto");
    EXPECT_EQ(weightTop(), 65);
    EXPECT_EQ(text("Label1"), "60");
    for (const char *name : {"Label1", "Label2", "Label3"})
        EXPECT_TRUE(form.control(name)->isVisible()) << name;
    click("Tap", Qt::RightButton);
    for (const char *name : {"Label1", "Label2", "Label3"})
        EXPECT_FALSE(form.control(name)->isVisible()) << name;
    EXPECT_TRUE(form.TapSeries().Series().empty());
    EXPECT_EQ(text("lblBPM"), "60") << "a reset leaves the tempo";
}

TEST_F(WindowTest, DraggingTheFaceMovesTheWindowOneToOne)
{
    QWidget *face = form.control("PicMet");
    const QPoint start = form.pos(), grip(60, 450);
    for (Qt::MouseButton held : {Qt::LeftButton, Qt::RightButton}) {
        const QPointF to = face->mapToGlobal(QPointF(grip)) + QPointF(30, 20);
        Send(face, QEvent::MouseButtonPress, grip, held, held);
        Send(face, QEvent::MouseMove, grip, Qt::NoButton, held, to);
        Send(face, QEvent::MouseButtonRelease, grip, held, {}, to);
    }
    EXPECT_EQ(form.pos(), start + QPoint(60, 40));
}

// A click flips one mark and its lamp; the beats slider shows exactly the first lamps of each row,
// and hidden lamps keep their marks.
TEST_F(WindowTest, LampClicksToggleMarkAndPictureAndHiddenLampsKeepTheirMarks)
{
    QTest::mouseClick(lamp("imgSnare", 1), Qt::LeftButton);
    EXPECT_EQ(row("imgSnare"), "0110----");
    EXPECT_TRUE(form.Pattern().Accent2[1]);
    QTest::mouseClick(lamp("imgSnare", 1), Qt::LeftButton);
    EXPECT_EQ(row("imgSnare"), "0010----");
    EXPECT_FALSE(form.Pattern().Accent2[1]);
    QTest::mouseClick(lamp("imgBeat", 0), Qt::LeftButton);
    EXPECT_EQ(row("imgBeat"), "0000----");
    EXPECT_EQ(row("imgSnare"), "0010----") << "the rows are independent";
    setBeats(1);
    EXPECT_EQ(row("imgSnare"), "0-------");
    EXPECT_EQ(text("lblBeats"), "1");
    setBeats(8);
    EXPECT_EQ(row("imgBeat"), "00001000");
    EXPECT_EQ(row("imgSnare"), "00100010");
}

// Sound presets set sounds, switch and lamps; the counting voices only clear the lamps.
TEST_F(WindowTest, PresetsSetSoundsSwitchAndLamps)
{
    setBeats(8);
    const struct {
        const char *chosen, *upper, *lower;
        bool accentOn;
        const char *sound1, *sound2, *sound3;
    } cases[] = {{"Kick", "10001000", "00000000", true, "HiHat", "Bassdrum", "HandClaps"},
                 {"Normal", "00000000", "00000000", false, "Klack", "Bassdrum", "Snare"},
                 {"Rhythmus", "10001000", "00100010", true, "HiHat", "Bassdrum", "Snare"},
                 {"Englisch", "00000000", "00000000", true, "HiHat", "Bassdrum", "Snare"},
                 {"Computer", "00000000", "00000000", true, "HiHat", "Bassdrum", "Snare"}};
    for (const auto &c : cases) {
        choosePreset(c.chosen);
        EXPECT_EQ(row("imgBeat"), c.upper) << c.chosen;
        EXPECT_EQ(row("imgSnare"), c.lower) << c.chosen;
        EXPECT_EQ(form.control<QCheckBox>("chkAccent")->isChecked(), c.accentOn) << c.chosen;
        EXPECT_EQ(QStringList({text("Combo1"), text("Combo2"), text("Combo3")}), QStringList({c.sound1, c.sound2, c.sound3}))
            << c.chosen;
    }
}

TEST_F(WindowTest, StartAndStopSwitchCaptionTapAndDisplays)
{
    click("Tap"); // a series begun before the start
    click("Check1");
    EXPECT_EQ(text("Check1"), "S T O P");
    EXPECT_FALSE(form.control("Tap")->isEnabled());
    EXPECT_FALSE(form.TapSeries().TapStarted()) << "START resets tap tempo";
    EXPECT_FALSE(form.control("Label1")->isVisible());
    EXPECT_FALSE(form.StopRequested());
    EXPECT_EQ(text("lblBPM"), "0") << "no tempo measured before the first beat";
    EXPECT_EQ(text("lblTempo"), "");
    EXPECT_FALSE(form.control("PicSlider")->isVisible()) << "the weight swings with the rod";

    click("Check1", Qt::RightButton); // any button stops
    EXPECT_EQ(text("Check1"), "S T A R T");
    EXPECT_TRUE(form.control("Tap")->isEnabled());
    EXPECT_TRUE(form.StopRequested());
    EXPECT_EQ(text("lblBeat"), "1");
    EXPECT_EQ(form.control("shpBeat")->x(), lamp("imgBeat", 0)->x());
    EXPECT_TRUE(form.control("PicSlider")->isVisible());
    EXPECT_EQ(weightTop(), 131) << "the weight is back at its height";
}

TEST_F(WindowTest, RunningShowsTheBeatsAsTheyAreHeardAndKeepsTheTempoAfterStop)
{
    ASSERT_TRUE(sound::Output().device().IsOpen());
    click("Check1");
    ASSERT_TRUE(WaitFor([&] { return text("lblBeat") == "2"; })) << "no second beat shown";
    EXPECT_EQ(text("lblBPM"), "120") << "the measured tempo is the tempo shown before";
    EXPECT_EQ(text("lblTempo"), "Allegro");
    EXPECT_EQ(form.control("shpBeat")->x(), lamp("imgBeat", 1)->x()) << "the marker under lamp 2";

    // Changes while running are taken from the next beat on and break nothing.
    choosePreset("Computer");
    QTest::mouseClick(lamp("imgSnare", 3), Qt::LeftButton);
    setBeats(2);
    ASSERT_TRUE(WaitFor([&] { return text("lblBeat") == "1"; }));
    ASSERT_TRUE(WaitFor([&] { return text("lblBeat") == "2"; }));

    click("Check1");
    EXPECT_EQ(text("lblBeat"), "1");
    QTest::qWait(700);
    EXPECT_EQ(text("lblBeat"), "1") << "no beat after STOP";
    EXPECT_EQ(text("lblBPM"), "120") << "the last measured tempo stays";
}

// Each preset choice repaints the sound boxes and opens a popup. A style that draws them anew into
// its pixmap cache on every paint made the program grow by about 5 KiB per choice, for hours.
TEST_F(WindowTest, ChoosingPresetsForLongKeepsMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator is not the one measured";
#endif
    auto *presets = form.control<QComboBox>("cboPresets");
    click("Check1");
    auto choose = [&](int i) {
        presets->showPopup();
        QTest::qWait(2);
        presets->hidePopup();
        choosePreset(i % 2 ? "Kick" : "Rhythmus");
        QTest::qWait(2);
    };
    for (int i = 0; i < 20; ++i)
        choose(i);
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i)
        choose(i);
    const long grown = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(before);
    EXPECT_LT(grown, 200 * 1024) << "grew by " << grown / 1024 << " KiB over 200 choices";
}

} // namespace
