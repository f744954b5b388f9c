// The window's keys, pressed as a user presses them: through the active window, so that they reach
// whatever has the focus and the window's shortcuts decide.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QLineEdit>

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
        QTest::keyClick(form.windowHandle(), k.key, k.mods);
    }
};

// From the start (120, four beats, accents off after "Normal").
TEST_P(KeyboardTest, EachKeyDoesWhatItsControlDoes)
{
    const KeyCase &c = GetParam();
    for (Key k : c.keys)
        press(k);
    EXPECT_EQ(text("lblBPM").toInt(), c.bpm);
    EXPECT_EQ(form.BeatsPerCycle(), c.beats);
    EXPECT_EQ(form.control<QCheckBox>("chkAccent")->isChecked(), c.accent);
    EXPECT_EQ(form.Running(), c.running);
    EXPECT_EQ(QApplication::focusWidget(), &form) << "no visible control takes the focus";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardTest,
    ::testing::Values(
        KeyCase{"Space_twice_stops", {{Qt::Key_Space}, {Qt::Key_Space}}, 0, 4, false, false},
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

} // namespace
