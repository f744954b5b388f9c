// The slider widget on the offscreen platform, with the tempo slider's stored data.
#include <gtest/gtest.h>

#include <QImage>
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
    for (auto buttons : {std::vector{Qt::RightButton}, std::vector{Qt::MiddleButton},
                         std::vector{Qt::RightButton, Qt::LeftButton}, std::vector{Qt::MiddleButton, Qt::LeftButton}}) {
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
    for (auto [x, y, rgb] : {std::tuple{50, 9, black},
                             {50, 10, shadow},
                             {50, 11, shadow},
                             {50, 12, white},
                             {50, 13, black},
                             {3, 12, black},
                             {4, 10, shadow},
                             {217, 12, white},
                             {218, 11, black},
                             {91, 11, shadow},
                             {122, 11, shadow},
                             {221, 11, black}})
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
