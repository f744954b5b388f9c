// The window's keys, pressed as a user presses them: through the active window, so that they reach
// whatever has the focus and the window's shortcuts decide.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"
#include "tempo/tap_tempo.h"

namespace {

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 100000;
};

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

class KeyboardTest : public ::testing::TestWithParam<KeyCase> {
protected:
    void SetUp() override
    {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        form.FirstRun(output);
    }
    void press(Key k)
    {
        clock.now += 400;
        QTest::keyClick(form.windowHandle(), k.key, k.mods);
    }
    int bpm() const { return form.control<QLabel>("lblBPM")->text().toInt(); }

    FakeClock clock;
    sound::SoundOutput output;
    app::FrmMetronom form{nullptr, &clock};
};

// From the start (120, four beats, accents off after "Normal").
TEST_P(KeyboardTest, EachKeyDoesWhatItsControlDoes)
{
    const KeyCase &c = GetParam();
    for (Key k : c.keys)
        press(k);
    EXPECT_EQ(bpm(), c.bpm);
    EXPECT_EQ(form.BeatsPerCycle(), c.beats);
    EXPECT_EQ(form.control<QCheckBox>("chkAccent")->isChecked(), c.accent);
    EXPECT_EQ(form.Running(), c.running);
    EXPECT_EQ(QApplication::focusWidget(), &form) << "no visible control takes the focus";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardTest,
    ::testing::Values(KeyCase{"Space_starts", {{Qt::Key_Space}}, 0, 4, false, true},
                      KeyCase{"Space_twice_stops", {{Qt::Key_Space}, {Qt::Key_Space}}, 0, 4, false, false},
                      KeyCase{"Plus", {{Qt::Key_Plus}}, 121, 4, false, false},
                      KeyCase{"Right", {{Qt::Key_Right}}, 121, 4, false, false},
                      KeyCase{"Minus", {{Qt::Key_Minus}}, 119, 4, false, false},
                      KeyCase{"Left", {{Qt::Key_Left}}, 119, 4, false, false},
                      KeyCase{"PageUp", {{Qt::Key_PageUp}}, 130, 4, false, false},
                      KeyCase{"PageDown", {{Qt::Key_PageDown}}, 110, 4, false, false},
                      // Two taps 400 ms apart: 150; after Shift+T the next tap begins a new series.
                      KeyCase{"T_taps", {{Qt::Key_T}, {Qt::Key_T}}, 150, 4, false, false},
                      KeyCase{"ShiftT_new_series", {{Qt::Key_T}, {Qt::Key_T, Qt::ShiftModifier}, {Qt::Key_T}}, 120, 4, false, false},
                      KeyCase{"T_ignored_while_running", {{Qt::Key_Space}, {Qt::Key_T}, {Qt::Key_T}}, 0, 4, false, true},
                      KeyCase{"Digit1", {{Qt::Key_1}}, 120, 1, false, false},
                      KeyCase{"Digit3", {{Qt::Key_3}}, 120, 3, false, false},
                      KeyCase{"Digit8", {{Qt::Key_8}}, 120, 8, false, false},
                      KeyCase{"Digit9_nothing", {{Qt::Key_9}}, 120, 4, false, false},
                      KeyCase{"A_accents", {{Qt::Key_A}}, 120, 4, true, false}));

class ListFocusTest : public KeyboardTest {};

// A list left with Escape gives the focus back: the next Space starts instead of reopening it.
TEST_F(ListFocusTest, EscapeInThePresetListThenSpaceStarts)
{
    auto *presets = form.control<QComboBox>("cboPresets");
    presets->setFocus(Qt::MouseFocusReason); // as a click on it does
    presets->showPopup();
    ASSERT_TRUE(presets->view()->isVisible());
    QTest::keyClick(presets->view()->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_FALSE(presets->view()->isVisible());
    ASSERT_EQ(form.focusWidget(), &form) << "the list gave the focus back";
    QApplication::setActiveWindow(&form); // the window system's part, which offscreen leaves out
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(form.Running());
    EXPECT_FALSE(presets->view()->isVisible());
}

// Typing a sound's name keeps its letters and digits; the keys act again once the list closes.
TEST_F(ListFocusTest, TextTypedIntoASoundChooserIsNotTakenByTheKeys)
{
    auto *sound = form.control<QComboBox>("Combo1");
    sound->lineEdit()->setFocus(Qt::MouseFocusReason);
    sound->lineEdit()->clear();
    for (Qt::Key k : {Qt::Key_T, Qt::Key_A, Qt::Key_3, Qt::Key_Space})
        press({k});
    EXPECT_EQ(sound->currentText(), "ta3 ");
    EXPECT_EQ(form.BeatsPerCycle(), 4);
    EXPECT_FALSE(form.Running());
    EXPECT_FALSE(form.TapSeries().TapStarted());
}

} // namespace
