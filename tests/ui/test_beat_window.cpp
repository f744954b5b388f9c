// The beat pattern, the presets and START/STOP in the real window (offscreen).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <malloc.h>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"
#include "fader/fader.h"
#include "ui/controls.h"

namespace {

class BeatWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.FirstRun(output);
    }
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
    void choosePreset(const char *name)
    {
        auto *presets = form.control<QComboBox>("cboPresets");
        const int index = presets->findText(name);
        ASSERT_GE(index, 0) << name;
        presets->setCurrentIndex(index);
        emit presets->activated(index);
    }
    void press(const char *name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(form.control(name), b);
        QTest::mouseRelease(form.control(name), b);
    }
    void setBeats(int beats)
    {
        auto *f = form.control<fader::Fader>("Fader2");
        const int x = 15 + static_cast<int>((beats - 1) * 190.0 / 7);
        QTest::mousePress(f, Qt::LeftButton, {}, QPoint(x, 10));
        QTest::mouseRelease(f, Qt::LeftButton, {}, QPoint(x, 10));
        ASSERT_EQ(form.BeatsPerCycle(), beats);
    }
    QString text(const char *name) const
    {
        if (auto *l = form.control<QLabel>(name))
            return l->text();
        if (auto *b = form.control<QAbstractButton>(name))
            return b->text();
        return form.control<QComboBox>(name)->currentText();
    }

    sound::SoundOutput output;
    app::FrmMetronom form;
};

TEST_F(BeatWindowTest, RightAfterTheStartTheWindowReadsAsSetUp)
{
    EXPECT_EQ(row("imgBeat"), "1000----");
    EXPECT_EQ(row("imgSnare"), "0010----");
    EXPECT_TRUE(form.Pattern().Accent1[4]) << "the hidden lamp 5 carries its mark";
    EXPECT_TRUE(form.Pattern().Accent2[6]);
    EXPECT_FALSE(form.control<QCheckBox>("chkAccent")->isChecked()) << "although the design has it on";
    EXPECT_EQ(form.control<QComboBox>("cboPresets")->count(), 6);
    EXPECT_EQ(form.BeatsPerCycle(), 4);
    const std::pair<const char *, const char *> texts[] = {{"cboPresets", "Normal"}, {"Combo1", "Klack"}, {"Combo2", "Bassdrum"},
                                                           {"Combo3", "Snare"},      {"lblBPM", "120"},     {"lblTempo", "Allegro"},
                                                           {"Check1", "S T A R T"}};
    for (auto [name, shown] : texts)
        EXPECT_EQ(text(name), shown) << name;
    EXPECT_TRUE(form.StopRequested());
    EXPECT_TRUE(form.control("Tap")->isEnabled());
}

TEST_F(BeatWindowTest, LampClicksToggleMarkAndPictureTogether)
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
    QTest::mousePress(lamp("imgBeat", 1), Qt::LeftButton);
    EXPECT_EQ(row("imgBeat"), "0000----") << "a press alone is no click";
    QTest::mouseRelease(lamp("imgBeat", 1), Qt::LeftButton, {}, QPoint(-3, 5));
    EXPECT_EQ(row("imgBeat"), "0000----") << "released beside the lamp";
}

TEST_F(BeatWindowTest, HiddenLampsKeepTheirMarks)
{
    setBeats(1);
    EXPECT_EQ(row("imgBeat"), "1-------");
    EXPECT_EQ(row("imgSnare"), "0-------");
    EXPECT_EQ(text("lblBeats"), "1");
    setBeats(8);
    EXPECT_EQ(row("imgBeat"), "10001000");
    EXPECT_EQ(row("imgSnare"), "00100010");
}

// Sound presets set sounds, switch and lamps; the counting voices only clear the lamps.
TEST_F(BeatWindowTest, PresetsSetSoundsSwitchAndLamps)
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

TEST_F(BeatWindowTest, StartAndStopSwitchCaptionTapAndDisplays)
{
    QTest::mouseClick(form.control("Tap"), Qt::LeftButton); // a series begun before the start
    press("Check1");
    EXPECT_EQ(text("Check1"), "S T O P");
    EXPECT_FALSE(form.control("Tap")->isEnabled());
    EXPECT_FALSE(form.TapSeries().TapStarted()) << "START resets tap tempo";
    EXPECT_FALSE(form.control("Label1")->isVisible());
    EXPECT_FALSE(form.StopRequested());
    EXPECT_EQ(text("lblBPM"), "0") << "no tempo measured before the first beat";
    EXPECT_EQ(text("lblTempo"), "");
    EXPECT_FALSE(form.control("PicSlider")->isVisible()) << "the weight swings with the rod";

    press("Check1", Qt::RightButton); // any button stops
    EXPECT_EQ(text("Check1"), "S T A R T");
    EXPECT_TRUE(form.control("Tap")->isEnabled());
    EXPECT_TRUE(form.StopRequested());
    EXPECT_EQ(text("lblBeat"), "1");
    EXPECT_EQ(form.control("shpBeat")->x(), lamp("imgBeat", 0)->x());
    EXPECT_TRUE(form.control("PicSlider")->isVisible());
    EXPECT_EQ(form.control("PicSlider")->y(), 131) << "the weight is back at its height";
}


// Waits up to `ms` for `done` while the window's timers run.
template <class F> bool WaitFor(F done, int ms = 4000)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (done())
            return true;
        QTest::qWait(20);
    }
    return done();
}

TEST_F(BeatWindowTest, RunningShowsTheBeatsAsTheyAreHeardAndKeepsTheTempoAfterStop)
{
    ASSERT_TRUE(output.IsOpen());
    press("Check1");
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

    press("Check1");
    EXPECT_EQ(text("lblBeat"), "1");
    QTest::qWait(700);
    EXPECT_EQ(text("lblBeat"), "1") << "no beat after STOP";
    EXPECT_EQ(text("lblBPM"), "120") << "the last measured tempo stays";
}

// Each preset choice repaints the sound boxes and opens a popup. A style that draws them anew into
// its pixmap cache on every paint made the program grow by about 5 KiB per choice, for hours.
TEST_F(BeatWindowTest, ChoosingPresetsForLongKeepsMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator is not the one measured";
#endif
    auto *presets = form.control<QComboBox>("cboPresets");
    press("Check1");
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
