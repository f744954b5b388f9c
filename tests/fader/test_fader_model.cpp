// The slider's model without a display: its properties and their storage, the clamp of Value, the
// button's place, the pointer and the tick marks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fader/fader_model.h"

namespace {

using fader::DrawOp;
using fader::FaderModel;
using fader::kLeftButton;
using fader::PropertyBag;

// A control as its container makes it: defaults, then the stored data, then sized.
FaderModel Placed(const PropertyBag &stored, int width = 222, int height = 22)
{
    FaderModel m;
    m.UserControl_Initialize();
    m.UserControl_ReadProperties(stored);
    m.UserControl_Resize(width, height);
    return m;
}

const PropertyBag kFader1{{"max", 249}, {"value", 120}, {"style", 1}, {"butsz", 1}, {"tickmarks", 0}};
const PropertyBag kFader2{{"max", 7}, {"value", 3}, {"style", 1}, {"butsz", 1}};
const PropertyBag kUpright{{"max", 100}}; // vertical, small button

std::pair<int, int> ButtonAt(const FaderModel &m)
{
    EXPECT_EQ(m.Surface().back().type, DrawOp::Type::Copy);
    return {m.Surface().back().x, m.Surface().back().y};
}

using Settings = std::tuple<int, int, int, bool, int, int, bool, int, int>; // in the order of the keys
Settings SettingsOf(const FaderModel &m)
{
    return {m.Max(), m.Value(), m.Style(), m.HalfMark(), m.HalfMarkColor(), m.BackColor(), m.TickMarks(), m.TickMarkCnt(), m.ButSz()};
}

TEST(FaderPersistence, AStoredNumberTooLargeForItsPropertyIsSkipped)
{
    FaderModel m = Placed(kFader1);
    EXPECT_FALSE(m.UserControl_ReadProperties(PropertyBag{{"max", 50000}, {"value", 40000}, {"tickmarkcnt", 70000}, {"butsz", 0}}));
    EXPECT_EQ(SettingsOf(m), Settings(50000, 120, 0, false, 255, 0, true, 5, 0));
}

// The redraw clamps Value to 0..Max; a value beyond 16 bits is refused without a redraw.
class FaderLetValue : public testing::TestWithParam<std::tuple<int, bool, int>> {};

TEST_P(FaderLetValue, TheRedrawClampsAndAValueBeyond16BitsIsRefused)
{
    const auto [newValue, accepted, after] = GetParam();
    FaderModel m = Placed(kFader1);
    const auto before = m.Surface();
    EXPECT_EQ(m.SetValue(newValue), accepted);
    EXPECT_EQ(m.Value(), after);
    EXPECT_TRUE(accepted || m.Surface() == before);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaderLetValue,
                         testing::Values(std::tuple{300, true, 249}, std::tuple{-5, true, 0}, std::tuple{32767, true, 249},
                                         std::tuple{-32768, true, 0}, std::tuple{40000, false, 120},
                                         std::tuple{32768, false, 120}, std::tuple{-32769, false, 120}));

TEST(FaderLetValue, ALowerMaxClampsValueOnlyAtTheNextRedraw)
{
    const std::pair<const char *, void (*)(FaderModel &)> redraws[] = {
        {"HalfMark", [](FaderModel &m) { m.SetHalfMark(true); }},
        {"resize", [](FaderModel &m) { m.UserControl_Resize(222, 22); }},
        {"press", [](FaderModel &m) { m.UserControl_MouseDown(kLeftButton, 0, 300, 11); }},
    };
    for (const auto &[name, redraw] : redraws) {
        FaderModel m = Placed(kFader1);
        m.SetMax(10);
        EXPECT_EQ(m.Value(), 120) << name;
        redraw(m);
        EXPECT_EQ(m.Value(), 10) << name;
    }
}

struct PositionCase {
    const char *name;
    PropertyBag bag;
    int width, height;
    std::vector<std::tuple<int, int, int>> valueXY; // value, button x, button y
};
void PrintTo(const PositionCase &c, std::ostream *os) { *os << c.name; }

class FaderPositions : public testing::TestWithParam<PositionCase> {};

TEST_P(FaderPositions, EachValuePutsTheButtonAtItsPlace)
{
    const PositionCase &c = GetParam();
    FaderModel m = Placed(c.bag, c.width, c.height);
    for (auto [value, x, y] : c.valueXY) {
        m.SetValue(value);
        EXPECT_EQ(ButtonAt(m), std::pair(x, y)) << "value " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPositions,
    testing::Values(
        PositionCase{"Fader1", kFader1, 222, 22, {{120, 92, 1}, {249, 190, 1}, {0, 0, 1}}},
        PositionCase{"Fader2", kFader2, 222, 22, {{0, 0, 1}, {1, 27, 1}, {2, 54, 1}, {3, 81, 1}, {4, 109, 1}, {5, 136, 1}, {6, 163, 1}, {7, 190, 1}}},
        PositionCase{"vertical_small", kUpright, 22, 100, {{100, 1, 1}, {0, 1, 90}, {25, 1, 68}}},
        PositionCase{"vertical_large", {{"butsz", 1}}, 22, 100, {{100, 1, 0}, {0, 1, 48}}},
        PositionCase{"halves_to_even", {{"max", 380}, {"style", 1}, {"butsz", 1}}, 222, 22, {{1, 0, 1}, {3, 2, 1}, {5, 2, 1}, {7, 4, 1}}}));

// A press or a drag with the left button puts the button's centre under the pointer.
TEST(FaderPress, TheLeftButtonPutsTheButtonsCentreUnderThePointer)
{
    const std::tuple<const PropertyBag *, int, int, float, int> cases[] = {
        {&kFader1, 222, 22, 107.f, 121}, {&kFader1, 222, 22, 108.f, 122},  {&kFader1, 222, 22, 15.f, 0},
        {&kFader1, 222, 22, 300.f, 249}, {&kFader1, 222, 22, -50.f, 0},    {&kFader1, 222, 22, 1e9f, 249},
        {&kFader2, 222, 22, 29.f, 1},    {&kFader2, 222, 22, 56.f, 2},     {&kUpright, 22, 100, 5.f, 100},
        {&kUpright, 22, 100, 94.f, 0},   {&kUpright, 22, 100, 49.5f, 50},  {&kUpright, 22, 100, -1e9f, 100}};
    for (const auto &[bag, width, height, at, value] : cases) {
        const float x = width > height ? at : 11, y = width > height ? 11 : at;
        for (bool press : {true, false}) {
            FaderModel m = Placed(*bag, width, height);
            EXPECT_TRUE(press ? m.UserControl_MouseDown(kLeftButton, 0, x, y) : m.UserControl_MouseMove(kLeftButton, 0, x, y));
            EXPECT_EQ(m.Value(), value) << (press ? "press at " : "drag to ") << at << " on " << width << "x" << height;
        }
    }
}

// Tick strokes from row 6 to 16 on a horizontal track: `count` of them, `spacing` apart from x = `first`;
// none for a spacing below 1, which must not hang either.
TEST(FaderTicks, StrokesEverySpacingPixelsAndNoneForASpacingBelowOne)
{
    const PropertyBag flat{{"style", 1}};
    const std::tuple<const PropertyBag *, int, int, float, int> cases[] = {
        {&kFader2, 222, 5, 4.f, 44}, {&kFader2, 222, 50, 4.f, 5}, {&kFader1, 222, 5, 0.f, 0}, // TickMarks off
        {&flat, 222, 0, 0.f, 0},     {&flat, 8, -1, 0.f, 0}};
    for (const auto &[bag, width, spacing, first, count] : cases) {
        FaderModel m = Placed(*bag, width, 22);
        m.SetTickMarkCnt(static_cast<std::int16_t>(spacing));
        std::vector<float> places, expected;
        for (const DrawOp &op : m.Surface())
            if (op.type == DrawOp::Type::Box && op.color == 0 && op.x1 == op.x2 && op.y1 == 6 && op.y2 == 16)
                places.push_back(op.x1);
        for (int i = 0; i < count; ++i)
            expected.push_back(first + static_cast<float>(i * spacing));
        EXPECT_EQ(places, expected) << "spacing " << spacing;
    }
}

class FaderEmptyScale : public testing::TestWithParam<int> {};

TEST_P(FaderEmptyScale, AMaxBelowOneNeverDividesAndHoldsValueAtZero)
{
    for (int style : {0, 1}) {
        FaderModel m = Placed({{"style", style}, {"butsz", 1}}, 222, 222);
        m.SetMax(GetParam());
        EXPECT_EQ(m.OneIncrement(), 0.0);
        EXPECT_TRUE(m.SetValue(5));
        EXPECT_TRUE(m.UserControl_MouseDown(kLeftButton, 0, 100, 100));
        EXPECT_TRUE(m.UserControl_MouseMove(kLeftButton, 0, 15, 15)); // right at the button's centre
        EXPECT_EQ(m.Value(), 0);
        EXPECT_EQ(ButtonAt(m), style == 0 ? std::pair(1, 0) : std::pair(0, 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Maxima, FaderEmptyScale, testing::Values(0, -1, -2147483647 - 1));

} // namespace
