#include <gtest/gtest.h>

#include <set>

#include "ui/window_layout.h"

namespace {

TEST(WindowLayout, NamesAreUniqueAndContainersComeFirst)
{
    std::set<std::string> seen;
    for (const ui::ControlSpec &c : ui::MainWindowControls()) {
        EXPECT_TRUE(seen.insert(c.name).second) << "duplicate " << c.name;
        if (!c.parent.empty()) {
            EXPECT_TRUE(seen.count(c.parent)) << c.name << " comes before its container " << c.parent;
        }
    }
}

TEST(WindowLayout, EveryVisibleControlLiesInsideTheClientArea)
{
    const ui::WindowSpec &w = ui::MainWindow();
    for (const ui::ControlSpec &c : ui::MainWindowControls()) {
        if (!c.parent.empty())
            continue;
        EXPECT_GE(c.left, 0) << c.name;
        EXPECT_GE(c.top, 0) << c.name;
        EXPECT_LE(c.left + c.width, w.clientWidth) << c.name;
        EXPECT_LE(c.top + c.height, w.clientHeight) << c.name;
    }
}

struct PixelCase {
    int in;
    int out;
};
void PrintTo(const PixelCase &c, std::ostream *os) { *os << c.in; }
class TwipsTest : public ::testing::TestWithParam<PixelCase> {};
TEST_P(TwipsTest, FifteenTwipsToAPixel)
{
    EXPECT_EQ(ui::TwipsToPixels(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Values, TwipsTest,
                         ::testing::Values(PixelCase{0, 0}, PixelCase{15, 1}, PixelCase{11850, 790}, PixelCase{7635, 509},
                                           PixelCase{-540, -36}, PixelCase{22, 1}, PixelCase{23, 2}, PixelCase{7, 0},
                                           PixelCase{8, 1}));

struct FontCase {
    double points;
    int pixels;
};
void PrintTo(const FontCase &c, std::ostream *os) { *os << c.points << "pt"; }
class PointsTest : public ::testing::TestWithParam<FontCase> {};
TEST_P(PointsTest, PointsAtNinetySixDotsPerInch)
{
    EXPECT_EQ(ui::PointsToPixels(GetParam().points), GetParam().pixels);
}
INSTANTIATE_TEST_SUITE_P(Sizes, PointsTest,
                         ::testing::Values(FontCase{8.25, 11}, FontCase{9.75, 13}, FontCase{11.25, 15}, FontCase{12, 16},
                                           FontCase{14.25, 19}, FontCase{21.75, 29}, FontCase{36, 48},
                                           FontCase{249.75, 333}));

} // namespace
