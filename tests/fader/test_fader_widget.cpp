#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <cstdio>
#include <string>
#include <vector>

#include "fader/fader.h"
#include "ui/controls.h"
#include "ui/fader_data.h"

namespace {

using fader::Fader;

std::string Hex(QRgb c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06X", c & 0xFFFFFFu);
    return buf;
}

QRgb Rgb(std::uint32_t bgr) // 0x00BBGGRR as the image's 0xRRGGBB
{
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

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
    EXPECT_EQ(seen, (std::vector<int>{121, 0, 0, 249, 249, 122}));
}

class FaderButtons : public FaderInWindow, public testing::WithParamInterface<std::vector<Qt::MouseButton>> {};

TEST_P(FaderButtons, OnlyTheLeftButtonAloneMovesTheSlider)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    for (Qt::MouseButton b : GetParam())
        Press(b, 200);
    Move(30);
    EXPECT_EQ(fader->Value(), 120);
    EXPECT_EQ(scrolling.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaderButtons,
                         testing::Values(std::vector{Qt::RightButton}, std::vector{Qt::MiddleButton},
                                         std::vector{Qt::RightButton, Qt::LeftButton},
                                         std::vector{Qt::MiddleButton, Qt::LeftButton}));

TEST_F(FaderInWindow, ASecondButtonHaltsADragUntilItIsReleased)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    Press(Qt::LeftButton, 107);
    Press(Qt::RightButton, 107);
    Move(30);
    EXPECT_EQ(fader->Value(), 121);
    Release(Qt::RightButton, 30);
    Move(15);
    EXPECT_EQ(fader->Value(), 0);
    EXPECT_EQ(scrolling.count(), 2);
}

TEST_F(FaderInWindow, SettingValueFromCodeRaisesNoScrolling)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    QSignalSpy changed(fader, &Fader::PropertyChanged);
    EXPECT_TRUE(fader->SetValue(1000));
    EXPECT_FALSE(fader->SetValue(40000));
    EXPECT_EQ(fader->Value(), 249);
    EXPECT_EQ(scrolling.count(), 0);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toString(), "Value");
}

// ---- What the screen shows, at device pixel ratios 1 and 2 ----

struct Pixel {
    int x, y;
    std::uint32_t bgr;
};
struct PaintCase {
    const char *stored;
    int value;
    bool halfMark;
    std::uint32_t back;
    int buttonX; // where DSH must be, pixel for pixel
    std::vector<Pixel> pixels;
};

class FaderPaint : public testing::TestWithParam<std::tuple<PaintCase, qreal>> {};

TEST_P(FaderPaint, GrooveMarksAndButtonLandSharplyOnTheirPixels)
{
    const auto &[c, ratio] = GetParam();
    Fader f(ui::StoredFaderProperties(c.stored));
    f.setGeometry(0, 0, 222, 22);
    f.SetBackColor(static_cast<std::int32_t>(c.back));
    f.SetHalfMark(c.halfMark);
    f.SetValue(c.value);
    QImage image(QSize(222, 22) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    f.render(&image);

    // A logical pixel's colour, which must fill all of its device pixels.
    auto at = [&, ratio = static_cast<int>(ratio)](int x, int y) {
        for (int d = 1; d < ratio * ratio; ++d)
            EXPECT_EQ(image.pixel(x * ratio + d % ratio, y * ratio + d / ratio), image.pixel(x * ratio, y * ratio))
                << "blurred at " << x << "," << y;
        return Hex(image.pixel(x * ratio, y * ratio));
    };
    for (const Pixel &p : c.pixels)
        EXPECT_EQ(at(p.x, p.y), Hex(Rgb(p.bgr))) << "at " << p.x << "," << p.y;
    const fader::Picture &cap = fader::ButtonPicture(fader::ButtonImage::DSH);
    for (int y = 0; y < cap.height; ++y)
        for (int x = 0; x < cap.width; ++x)
            ASSERT_EQ(at(c.buttonX + x, 1 + y), Hex(Rgb(cap.At(x, y)))) << "button pixel " << x << "," << y;
    for (int y = 0; y < 22; ++y)
        EXPECT_EQ(at(221, y), Hex(Rgb(c.back))) << "the last column is background, row " << y;
}

constexpr std::uint32_t kShadow = 0x404040, kWhite = 0xFFFFFF, kBlack = 0, kRed = 0x0000FF, kGrey = 0x303030;

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPaint,
    testing::Combine(
        testing::Values(PaintCase{"Fader1", 120, false, kBlack, 92,
                                  {{50, 9, kBlack}, {50, 10, kShadow}, {50, 11, kShadow}, {50, 12, kWhite}, {50, 13, kBlack},
                                   {3, 12, kBlack}, {4, 10, kShadow}, {217, 12, kWhite}, {218, 11, kBlack},
                                   {91, 11, kShadow}, {122, 11, kShadow}}},
                        // Ticks at x = 4, 9, ... from row 6 to 16; the half mark two pixels wide at
                        // 110.5 under the groove; the button at the left end.
                        PaintCase{"Fader2", 0, true, kGrey, 0,
                                  {{114, 5, kGrey}, {114, 6, kBlack}, {114, 10, kShadow}, {114, 16, kBlack},
                                   {114, 17, kGrey}, {113, 8, kGrey}, {219, 8, kBlack}, {110, 3, kRed},
                                   {111, 3, kRed}, {112, 3, kGrey}, {110, 11, kShadow}, {111, 12, kWhite},
                                   {110, 21, kRed}, {110, 0, kGrey}}}),
        testing::Values(1.0, 2.0)));

// ---- Size and the main window ----

TEST(FaderSize, TheControlKeepsItsSizeAcrossTheTrack)
{
    Fader horizontal(ui::StoredFaderProperties("Fader1"));
    horizontal.setGeometry(0, 0, 300, 40);
    EXPECT_EQ(horizontal.model().HLength(), 299);
    EXPECT_EQ(horizontal.size(), QSize(300, 22));
    Fader upright; // a new control stands upright
    upright.setGeometry(0, 0, 40, 150);
    EXPECT_EQ(upright.model().VLength(), 149);
    EXPECT_EQ(upright.size(), QSize(22, 150));
}

TEST(FaderInMainWindow, BothSlidersComeUpFromTheirStoredData)
{
    QWidget form;
    const auto controls = ui::BuildControls(&form);
    for (auto [name, y, max, value, ticks] : {std::tuple{"Fader1", 253, 249, 120, false}, std::tuple{"Fader2", 321, 7, 3, true}}) {
        auto *f = qobject_cast<Fader *>(controls.value(name));
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f->geometry(), QRect(320, y, 222, 22)) << name;
        EXPECT_EQ(std::tuple(f->Max(), f->Value(), f->TickMarks(), f->Style(), f->ButSz(), f->BackColor()),
                  std::tuple(max, value, ticks, 1, 1, 0)) << name;
        EXPECT_DOUBLE_EQ(f->OneIncrement(), 190.0 / max) << name << ": the track follows the described size";
    }
}

} // namespace
