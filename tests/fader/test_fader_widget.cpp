#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

#include "fader/fader.h"
#include "ui/controls.h"
#include "ui/fader_data.h"

namespace {

using fader::Fader;

std::string Hex(QRgb c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", c & 0xFFFFFFu);
    return buf;
}

// 0x00BBGGRR as the image's 0xRRGGBB.
QRgb Rgb(std::uint32_t bgr)
{
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The tempo slider of the main window inside a larger window, shown offscreen, so that the
// pointer can leave the slider and still be over the window, and also leave the window.
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
        // QTest remembers held buttons from one test to the next: let go of all of them.
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            if (held.testFlag(b))
                Release(b, 0);
    }

    // The pointer as the window system reports it, so that the press grabs it as on a screen.
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

    // A point on the slider's middle row, x in the slider's pixels, as a point of the window.
    QPoint At(int x) const { return fader->mapTo(&window, QPoint(x, 11)); }

    QWidget window;
    Fader *fader = nullptr;
    Qt::MouseButtons held;
};

TEST_F(FaderInWindow, ADragKeepsGoingOutsideTheControlAndEndsAtZeroOrMax)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    std::vector<int> seen;
    QObject::connect(fader, &Fader::Scrolling, [&] { seen.push_back(fader->Value()); });

    Press(Qt::LeftButton, 107);
    Move(-140);  // left of the slider, still over the window
    Move(-1000); // beyond the window
    Move(300);   // right of the slider
    Move(5000);  // beyond the window
    Move(108);   // back on the track
    Release(Qt::LeftButton, 108);
    Move(20); // no button held: not a drag

    EXPECT_EQ(seen, (std::vector<int>{121, 0, 0, 249, 249, 122})) << "one Scrolling per press and move, "
                                                                      "with Value already set";
    EXPECT_EQ(scrolling.count(), 6);
    EXPECT_EQ(fader->Value(), 122);
}

struct ButtonsCase {
    const char *name;
    std::vector<Qt::MouseButton> pressed; // in this order, all held for the move
};
void PrintTo(const ButtonsCase &c, std::ostream *os) { *os << c.name; }

class FaderButtons : public FaderInWindow, public testing::WithParamInterface<ButtonsCase> {};

TEST_P(FaderButtons, OnlyTheLeftButtonAloneMovesTheSlider)
{
    QSignalSpy scrolling(fader, &Fader::Scrolling);
    for (Qt::MouseButton b : GetParam().pressed)
        Press(b, 200);
    Move(30);
    EXPECT_EQ(fader->Value(), 120);
    EXPECT_EQ(scrolling.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaderButtons,
                         testing::Values(ButtonsCase{"right", {Qt::RightButton}},
                                         ButtonsCase{"middle", {Qt::MiddleButton}},
                                         ButtonsCase{"right_then_left", {Qt::RightButton, Qt::LeftButton}},
                                         ButtonsCase{"middle_then_left", {Qt::MiddleButton, Qt::LeftButton}}));

TEST_F(FaderInWindow, ASecondButtonDuringADragStopsItUntilItIsReleased)
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
    EXPECT_TRUE(fader->SetValue(200));
    EXPECT_TRUE(fader->SetValue(1000));
    EXPECT_FALSE(fader->SetValue(40000));
    EXPECT_EQ(fader->Value(), 249);
    EXPECT_EQ(scrolling.count(), 0);
    ASSERT_EQ(changed.count(), 3);
    EXPECT_EQ(changed.at(2).at(0).toString(), "Value");
}

// ---- What the screen shows ----

struct Pixel {
    int x, y;
    std::uint32_t bgr;
};

struct PaintCase {
    const char *name;
    const char *stored;   // the main window's slider it starts from
    int value;
    bool halfMark;
    std::uint32_t back;
    int buttonX;          // where DSH must be, pixel for pixel
    std::vector<Pixel> pixels;
};

class FaderPaint : public testing::TestWithParam<std::tuple<PaintCase, qreal>> {};

void PrintTo(const std::tuple<PaintCase, qreal> &p, std::ostream *os)
{
    *os << std::get<0>(p).name << " at ratio " << std::get<1>(p);
}

TEST_P(FaderPaint, GrooveMarksAndButtonLandOnTheirPixelsSharply)
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

    // The colour of a logical pixel, which must cover all of its device pixels alike.
    auto at = [&](int x, int y) -> QRgb {
        const int r = static_cast<int>(ratio);
        const QRgb first = image.pixel(x * r, y * r) & 0xFFFFFFu;
        for (int dy = 0; dy < r; ++dy)
            for (int dx = 0; dx < r; ++dx)
                EXPECT_EQ(Hex(image.pixel(x * r + dx, y * r + dy)), Hex(first)) << "blurred at " << x << "," << y;
        return first;
    };

    for (const Pixel &p : c.pixels)
        EXPECT_EQ(Hex(at(p.x, p.y)), Hex(Rgb(p.bgr))) << "at " << p.x << "," << p.y;

    const fader::Picture &cap = fader::ButtonPicture(fader::ButtonImage::DSH);
    for (int y = 0; y < cap.height; ++y)
        for (int x = 0; x < cap.width; ++x)
            ASSERT_EQ(Hex(at(c.buttonX + x, 1 + y)), Hex(Rgb(cap.At(x, y)))) << "button pixel " << x << "," << y;
    for (int y = 0; y < 22; ++y)
        EXPECT_EQ(Hex(at(221, y)), Hex(Rgb(c.back))) << "the rightmost column is background, row " << y;
}

constexpr std::uint32_t kShadow = 0x404040, kWhite = 0xFFFFFF, kBlack = 0, kRed = 0x0000FF, kBack = 0x303030;

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPaint,
    testing::Combine(
        testing::Values(
            PaintCase{"Fader1",
                      "Fader1",
                      120,
                      false,
                      0,
                      92,
                      {{50, 10, kShadow}, {50, 11, kShadow}, {50, 12, kWhite}, {50, 9, kBlack}, {50, 13, kBlack},
                       {4, 10, kShadow}, {217, 12, kWhite}, {218, 11, kBlack}, {3, 12, kBlack}, {91, 11, kShadow},
                       {122, 11, kShadow}, {150, 21, kBlack}, {150, 0, kBlack}}},
            PaintCase{"Fader2 with half mark on grey",
                      "Fader2",
                      0,
                      true,
                      kBack,
                      0,
                      {{114, 5, kBack}, {114, 6, kBlack}, {114, 9, kBlack}, {114, 10, kShadow}, {114, 16, kBlack},
                       {114, 17, kBack}, {113, 8, kBack}, {219, 8, kBlack}, {110, 3, kRed}, {111, 3, kRed},
                       {112, 3, kBack}, {110, 11, kShadow}, {111, 12, kWhite}, {110, 21, kRed}, {110, 0, kBack}}}),
        testing::Values(1.0, 2.0)));

// ---- Size and the main window ----

TEST(FaderSize, TheControlKeepsItsSizeAcrossTheTrack)
{
    Fader horizontal(ui::StoredFaderProperties("Fader1"));
    horizontal.setGeometry(0, 0, 300, 40);
    EXPECT_EQ(horizontal.model().HLength(), 299);
    EXPECT_EQ(horizontal.size(), QSize(300, 22));

    Fader vertical; // a new control stands upright
    vertical.setGeometry(0, 0, 40, 150);
    EXPECT_EQ(vertical.model().VLength(), 149);
    EXPECT_EQ(vertical.size(), QSize(22, 150));
    vertical.SetStyle(1);
    EXPECT_EQ(vertical.size(), QSize(22, 22));
}

TEST(FaderInMainWindow, BothSlidersComeUpFromTheirStoredData)
{
    struct Case {
        const char *name;
        QRect geometry;
        int max, value;
        bool tickMarks;
    };
    QWidget form;
    const auto controls = ui::BuildControls(&form);
    for (const Case &c : {Case{"Fader1", {320, 253, 222, 22}, 249, 120, false}, Case{"Fader2", {320, 321, 222, 22}, 7, 3, true}}) {
        SCOPED_TRACE(c.name);
        auto *f = qobject_cast<Fader *>(controls.value(c.name));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->geometry(), c.geometry);
        EXPECT_EQ(f->Max(), c.max);
        EXPECT_EQ(f->Value(), c.value);
        EXPECT_EQ(f->TickMarks(), c.tickMarks);
        EXPECT_EQ(f->Style(), 1);
        EXPECT_EQ(f->ButSz(), 1);
        EXPECT_EQ(f->BackColor(), 0);
        EXPECT_EQ(f->focusPolicy(), Qt::NoFocus);
        EXPECT_DOUBLE_EQ(f->OneIncrement(), 190.0 / c.max) << "the track follows the size from the description";
    }
}

} // namespace
