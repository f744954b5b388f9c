// The slider widget on the offscreen platform, with the tempo slider's stored data.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "fader/fader.h"
#include "ui/fader_data.h"

namespace {

using fader::Fader;

// The tempo slider inside a larger window, shown offscreen. The pointer comes through the window
// system, so a press grabs it as on a screen and it can leave the slider and the window.
class FaderInWindow : public testing::Test {
protected:
    void SetUp() override
    {
        window.resize(600, 100);
        fader = new Fader(ui::StoredFaderProperties("Fader1"), &window);
        fader->setGeometry(150, 40, 222, 22);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) // QTest remembers them
            if (held.testFlag(b))
                Release(b, 0);
    }
    QPoint At(int x) const { return fader->mapTo(&window, QPoint(x, 11)); } // x in the slider's pixels
    void Press(Qt::MouseButton b, int x)
    {
        held |= b;
        QTest::mousePress(window.windowHandle(), b, {}, At(x));
    }
    void Release(Qt::MouseButton b, int x)
    {
        held &= ~Qt::MouseButtons(b);
        QTest::mouseRelease(window.windowHandle(), b, {}, At(x));
    }
    void Move(int x) { QTest::mouseMove(window.windowHandle(), At(x)); }

    QWidget window;
    Fader *fader = nullptr;
    Qt::MouseButtons held;
};

TEST_F(FaderInWindow, ADragKeepsGoingOutsideTheControlAndEndsAtZeroOrMax)
{
    std::vector<int> seen; // Value as each Scrolling handler sees it
    QObject::connect(fader, &Fader::Scrolling, [&] { seen.push_back(fader->Value()); });
    Press(Qt::LeftButton, 107);
    Move(-140);  // left of the slider, over the window
    Move(-1000); // beyond the window
    Move(300);   // right of the slider
    Move(5000);  // beyond the window
    Move(108);
    Release(Qt::LeftButton, 108);
    Move(20); // no button held: not a drag
    EXPECT_TRUE(fader->SetValue(1000)) << "set from code: no Scrolling";
    EXPECT_EQ(seen, (std::vector<int>{121, 0, 0, 249, 249, 122}));
}

TEST_F(FaderInWindow, OnlyTheLeftButtonAloneMovesTheSlider)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    for (auto buttons : {std::vector{Qt::RightButton}, std::vector{Qt::MiddleButton},
                         std::vector{Qt::RightButton, Qt::LeftButton}, std::vector{Qt::MiddleButton, Qt::LeftButton}}) {
        for (Qt::MouseButton b : buttons)
            Press(b, 200);
        Move(30);
        for (Qt::MouseButton b : buttons)
            Release(b, 30);
    }
    EXPECT_EQ(fader->Value(), 120);
    EXPECT_EQ(scrolling.count(), 0);
}

// The tempo slider painted at device pixel ratios 1 and 2: the groove's rows and the button at
// its place, each logical pixel filling all of its device pixels.
class FaderPaint : public testing::TestWithParam<qreal> {};

TEST_P(FaderPaint, GrooveAndButtonLandSharplyOnTheirPixels)
{
    const int ratio = static_cast<int>(GetParam());
    Fader f(ui::StoredFaderProperties("Fader1"));
    f.setGeometry(0, 0, 222, 22);
    QImage image(QSize(222, 22) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    f.render(&image);
    auto at = [&](int x, int y) {
        for (int d = 1; d < ratio * ratio; ++d)
            EXPECT_EQ(image.pixel(x * ratio + d % ratio, y * ratio + d / ratio), image.pixel(x * ratio, y * ratio))
                << "blurred at " << x << "," << y;
        return image.pixel(x * ratio, y * ratio) & 0xFFFFFFu;
    };
    const QRgb black = 0, shadow = 0x404040, white = 0xFFFFFF;
    for (auto [x, y, rgb] : {std::tuple{50, 9, black}, {50, 10, shadow}, {50, 11, shadow}, {50, 12, white}, {50, 13, black},
                             {3, 12, black}, {4, 10, shadow}, {217, 12, white}, {218, 11, black}, {91, 11, shadow},
                             {122, 11, shadow}, {221, 11, black}})
        EXPECT_EQ(at(x, y), rgb) << "at " << x << "," << y;
    const fader::Picture &button = fader::ButtonPicture(fader::ButtonImage::DSH);
    for (int y = 0; y < button.height; ++y)
        for (int x = 0; x < button.width; ++x) { // the picture is 0x00BBGGRR
            const std::uint32_t bgr = button.At(x, y);
            ASSERT_EQ(at(92 + x, 1 + y), qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, bgr >> 16) & 0xFFFFFFu) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Ratios, FaderPaint, testing::Values(1.0, 2.0));

} // namespace
