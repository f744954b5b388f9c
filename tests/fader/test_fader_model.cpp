// The slider's model without a display: the stored properties it reads, the clamp of Value, the
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
TEST(FaderLetValue, TheRedrawClampsAndAValueBeyond16BitsIsRefused)
{
    const std::tuple<int, bool, int> cases[] = {{300, true, 249},    {-5, true, 0},       {32767, true, 249}, {-32768, true, 0},
                                                {40000, false, 120}, {32768, false, 120}, {-32769, false, 120}};
    for (const auto &[newValue, accepted, after] : cases) {
        FaderModel m = Placed(kFader1);
        const auto before = m.Surface();
        EXPECT_EQ(m.SetValue(newValue), accepted) << newValue;
        EXPECT_EQ(m.Value(), after) << newValue;
        EXPECT_TRUE(accepted || m.Surface() == before) << newValue;
    }
}

TEST(FaderLetValue, ALowerMaxClampsValueOnlyAtTheNextRedraw)
{
    const std::pair<const char *, void (*)(FaderModel &)> redraws[] = {
        {"HalfMark", [](FaderModel &m) { m.SetHalfMark(true); }},
        {"resize", [](FaderModel &m) { m.UserControl_Resize(222, 22); }},
        {"press", [](FaderModel &m) { m.UserControl_MouseDown(kLeftButton, 0, 300, 11); }}
    };
    for (const auto &[name, redraw] : redraws) {
        FaderModel m = Placed(kFader1);
        m.SetMax(10);
        EXPECT_EQ(m.Value(), 120) << name;
        redraw(m);
        EXPECT_EQ(m.Value(), 10) << name;
    }
}

// Each value puts the button at its place, halves to the even pixel; a press or a drag with the
// left button puts the button's centre under the pointer.
TEST(FaderButton, EachValueHasItsPlaceAndThePointerHoldsTheCentre)
{
    const PropertyBag wide{{"max", 380}, {"style", 1}, {"butsz", 1}};
    const std::tuple<const PropertyBag *, int, int> places[] = { // value, button x (y is 1)
        {&kFader1, 120, 92}, {&kFader1, 249, 190}, {&kFader1, 0, 0}, {&kFader2, 1, 27}, {&kFader2, 4, 109},
        {&kFader2, 7, 190},  {&wide, 1, 0},        {&wide, 3, 2},    {&wide, 5, 2},     {&wide, 7, 4}};
    for (const auto &[bag, value, x] : places) {
        FaderModel m = Placed(*bag);
        m.SetValue(value);
        EXPECT_EQ(ButtonAt(m), std::pair(x, 1)) << "value " << value << " of " << m.Max();
    }
    const std::tuple<const PropertyBag *, float, int> presses[] = { // at x, value
        {&kFader1, 107, 121}, {&kFader1, 108, 122}, {&kFader1, 15, 0}, {&kFader1, 300, 249},
        {&kFader1, -50, 0},   {&kFader1, 1e9f, 249}, {&kFader2, 29, 1}, {&kFader2, 56, 2}};
    for (const auto &[bag, at, value] : presses) {
        for (bool press : {true, false}) {
            FaderModel m = Placed(*bag);
            EXPECT_TRUE(press ? m.UserControl_MouseDown(kLeftButton, 0, at, 11) : m.UserControl_MouseMove(kLeftButton, 0, at, 11));
            EXPECT_EQ(m.Value(), value) << (press ? "press at " : "drag to ") << at << " of " << m.Max();
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

// No room between the values: nothing divides by zero and Value is held at 0.
TEST(FaderEmptyScale, AMaxBelowOneNeverDividesAndHoldsValueAtZero)
{
    for (int max : {0, -1, -2147483647 - 1}) {
        FaderModel m = Placed({{"style", 1}, {"butsz", 1}}, 222, 222);
        m.SetMax(max);
        EXPECT_EQ(m.OneIncrement(), 0.0);
        EXPECT_TRUE(m.SetValue(5));
        EXPECT_TRUE(m.UserControl_MouseDown(kLeftButton, 0, 100, 100));
        EXPECT_TRUE(m.UserControl_MouseMove(kLeftButton, 0, 15, 15)); // right at the button's centre
        EXPECT_EQ(m.Value(), 0) << max;
        EXPECT_EQ(ButtonAt(m), std::pair(0, 1)) << max;
    }
}

} // namespace
