// The slider: its model (the clamp of Value, the button's place) and the widget on the offscreen
// platform, with the tempo slider's stored data.
#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>

#include "fader/fader.h"
#include "fader/fader_model.h"
#include "ui/fader_data.h"

namespace {

using namespace fader;

const PropertyBag kFader1{{"max", 249}, {"value", 120}, {"style", 1}, {"butsz", 1}, {"tickmarks", 0}};
const PropertyBag kFader2{{"max", 7}, {"value", 3}, {"style", 1}, {"butsz", 1}};

// A screen reader may set any value: beyond 0..Max it is held there, beyond 16 bits it is refused and
// the value stays; each value puts the button at its place (the pointer: the widget tests).
TEST(FaderModel, AValueOutOfRangeIsHeldOneBeyond16BitsRefusedAndEachValueHasItsPlace)
{
    // slider, value set, accepted, value then, button x (y is 1)
    const std::tuple<const PropertyBag *, int, bool, int, int> cases[] = {
        {&kFader1, 300, true, 249, 190},    {&kFader1, -5, true, 0, 0}, {&kFader1, 40000, false, 120, 92},
        {&kFader1, -32769, false, 120, 92}, {&kFader2, 1, true, 1, 27}, {&kFader2, 4, true, 4, 109},
        {&kFader2, 7, true, 7, 190}};
    for (const auto &[bag, newValue, accepted, after, x] : cases) {
        FaderModel m; // as its container makes it: defaults, then the stored data, then sized
        m.UserControl_Initialize();
        m.UserControl_ReadProperties(*bag);
        m.UserControl_Resize(222, 22);
        EXPECT_EQ(m.SetValue(newValue), accepted) << newValue;
        const DrawOp &button = m.Surface().back();
        EXPECT_EQ(std::tuple(m.Value(), button.type, button.x, button.y), std::tuple(after, DrawOp::Type::Copy, x, 1))
            << "value " << newValue << " of " << m.Max();
    }
}

// The tempo slider inside a larger window, shown offscreen. The pointer comes through the window
// system, so a press grabs it as on a screen and it can leave the slider and the window. Only the left
// button alone moves the slider; a drag keeps going outside the control and the window and ends at
// 0 or Max.
TEST(FaderInWindow, ALeftDragKeepsGoingOutsideTheControlAndEndsAtZeroOrMax)
{
    QWidget window;
    window.resize(600, 100);
    auto *fader = new Fader(ui::StoredFaderProperties("Fader1"), &window);
    fader->setGeometry(150, 40, 222, 22);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto at = [&](int x) { return fader->mapTo(&window, QPoint(x, 11)); }; // x in the slider's pixels
    std::vector<int> seen;                                                 // Value as each Scrolling handler sees it
    QObject::connect(fader, &Fader::Scrolling, [&] { seen.push_back(fader->Value()); });
    for (auto buttons : {std::vector{Qt::RightButton}, std::vector{Qt::MiddleButton, Qt::LeftButton}}) {
        for (Qt::MouseButton b : buttons)
            QTest::mousePress(window.windowHandle(), b, {}, at(200));
        QTest::mouseMove(window.windowHandle(), at(30));
        for (Qt::MouseButton b : buttons)
            QTest::mouseRelease(window.windowHandle(), b, {}, at(30));
    }
    EXPECT_EQ(fader->Value(), 120) << "moved by another button";
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at(107));
    for (int x : {-140, -1000, 300, 5000, 108}) // left of the slider, beyond the window, right of it, ...
        QTest::mouseMove(window.windowHandle(), at(x));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at(108));
    QTest::mouseMove(window.windowHandle(), at(20)); // no button held: not a drag
    EXPECT_TRUE(fader->SetValue(1000)) << "set from code: no Scrolling";
    EXPECT_EQ(seen, (std::vector<int>{121, 0, 0, 249, 249, 122}));
}

} // namespace
