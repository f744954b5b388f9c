// The slider widget on the offscreen platform, with the tempo slider's stored data.
#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>

#include "fader/fader.h"
#include "ui/fader_data.h"

namespace {

using fader::Fader;

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
