// The slider's model without a display: the clamp of Value and the button's place.
#include <gtest/gtest.h>

#include "fader/fader_model.h"

namespace {

using fader::DrawOp;
using fader::FaderModel;
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

// The redraw clamps Value to 0..Max; a value beyond 16 bits is refused without a redraw.
TEST(FaderLetValue, TheRedrawClampsAndAValueBeyond16BitsIsRefused)
{
    const std::tuple<int, bool, int> cases[] = {{300, true, 249},    {-5, true, 0},       {32767, true, 249},
                                                {-32768, true, 0},   {40000, false, 120}, {32768, false, 120},
                                                {-32769, false, 120}};
    for (const auto &[newValue, accepted, after] : cases) {
        FaderModel m = Placed(kFader1);
        const auto before = m.Surface();
        EXPECT_EQ(m.SetValue(newValue), accepted) << newValue;
        EXPECT_EQ(m.Value(), after) << newValue;
        EXPECT_TRUE(accepted || m.Surface() == before) << newValue;
    }
}

// Each value puts the button at its place, halves to the even pixel (the pointer: the widget tests).
TEST(FaderButton, EachValueHasItsPlace)
{
    const PropertyBag wide{{"max", 380}, {"style", 1}, {"butsz", 1}};
    const std::tuple<const PropertyBag *, int, int> places[] = {
        // value, button x (y is 1)
        {&kFader1, 120, 92}, {&kFader1, 249, 190}, {&kFader1, 0, 0}, {&kFader2, 1, 27}, {&kFader2, 4, 109},
        {&kFader2, 7, 190},  {&wide, 1, 0},        {&wide, 3, 2},    {&wide, 5, 2},     {&wide, 7, 4}};
    for (const auto &[bag, value, x] : places) {
        FaderModel m = Placed(*bag);
        m.SetValue(value);
        const DrawOp &button = m.Surface().back();
        EXPECT_EQ(std::tuple(button.type, button.x, button.y), std::tuple(DrawOp::Type::Copy, x, 1))
            << "value " << value << " of " << m.Max();
    }
}

} // namespace
