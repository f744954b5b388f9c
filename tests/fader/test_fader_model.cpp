#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "fader/fader_model.h"

namespace {

using fader::ButtonImage;
using fader::DrawOp;
using fader::FaderModel;
using fader::PropertyBag;

// A control as its container makes it: defaults, then the stored data, then sized.
FaderModel Placed(const PropertyBag &stored, int width, int height)
{
    FaderModel m;
    m.UserControl_Initialize();
    m.UserControl_ReadProperties(stored);
    m.UserControl_Resize(width, height);
    return m;
}

const PropertyBag kFader1{{"max", 249}, {"value", 120}, {"style", 1}, {"butsz", 1}, {"tickmarks", 0}};
const PropertyBag kFader2{{"max", 7}, {"value", 3}, {"style", 1}, {"butsz", 1}};

std::vector<DrawOp> OpsOf(const FaderModel &m, DrawOp::Type type)
{
    std::vector<DrawOp> ops;
    for (const DrawOp &op : m.Surface())
        if (op.type == type)
            ops.push_back(op);
    return ops;
}

DrawOp ButtonOf(const FaderModel &m)
{
    const auto copies = OpsOf(m, DrawOp::Type::Copy);
    EXPECT_EQ(copies.size(), 1u);
    return copies.empty() ? DrawOp{} : copies.back();
}

std::vector<DrawOp> TicksOf(const FaderModel &m)
{
    // Tick marks are the black boxes across the track; the groove's black bar runs along it.
    std::vector<DrawOp> ticks;
    for (const DrawOp &op : OpsOf(m, DrawOp::Type::Box)) {
        const bool across = m.Style() == 0 ? (op.y1 == op.y2 && op.x1 == 5) : (op.x1 == op.x2 && op.y1 == 6);
        if (op.color == 0 && across)
            ticks.push_back(op);
    }
    return ticks;
}

// ---- Properties, defaults and change reports ----

TEST(FaderProperties, InitialisationGivesTheDefaultsThroughTheLetsInOrder)
{
    FaderModel m;
    std::vector<std::string> reports;
    m.PropertyChanged = [&](std::string_view name) { reports.emplace_back(name); };
    m.UserControl_Initialize();

    EXPECT_EQ(m.Max(), 100);
    EXPECT_EQ(m.Value(), 0);
    EXPECT_EQ(m.Style(), 0);
    EXPECT_FALSE(m.HalfMark());
    EXPECT_EQ(m.HalfMarkColor(), 255);
    EXPECT_EQ(m.BackColor(), 0);
    EXPECT_TRUE(m.TickMarks());
    EXPECT_EQ(m.TickMarkCnt(), 5);
    EXPECT_EQ(m.ButSz(), 0);
    EXPECT_EQ(m.DraggerSource(), ButtonImage::DraggerSourceV);
    EXPECT_EQ(reports, (std::vector<std::string>{"Max", "Style", "HalfMark", "HalfMarkColor", "BackColor", "TickMarks",
                                                 "TickMarkCnt", "ButSz"}));
}

// The small image is chosen when Style is set, with the ButSz of that moment; drawing takes the
// large images straight.
TEST(FaderProperties, SmallImageFollowsStyleAndTheButSzOfThatMoment)
{
    struct Case {
        int butSzBefore, style, butSzAfter;
        ButtonImage draggerSource, drawn;
    };
    const Case cases[] = {
        {0, 0, 0, ButtonImage::DraggerSourceV, ButtonImage::DraggerSourceV},
        {1, 0, 1, ButtonImage::DSV, ButtonImage::DSV},
        {0, 1, 0, ButtonImage::DraggerSourceH, ButtonImage::DraggerSourceH},
        {1, 1, 1, ButtonImage::DSH, ButtonImage::DSH},
        {0, 1, 1, ButtonImage::DraggerSourceH, ButtonImage::DSH},
        {1, 1, 0, ButtonImage::DSH, ButtonImage::DSH}, // a large image left in the small slot
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.butSzBefore << " " << c.style << " " << c.butSzAfter);
        FaderModel m;
        m.UserControl_Initialize();
        m.UserControl_Resize(222, 22);
        m.SetButSz(c.butSzBefore);
        m.SetStyle(c.style);
        m.SetButSz(c.butSzAfter);
        EXPECT_EQ(m.DraggerSource(), c.draggerSource);
        EXPECT_EQ(ButtonOf(m).image, c.drawn);
    }
}

TEST(FaderProperties, EveryLetReportsItsNameOnce)
{
    using Let = void (*)(FaderModel &);
    const std::pair<const char *, Let> lets[] = {
        {"Value", [](FaderModel &m) { m.SetValue(3); }},
        {"Max", [](FaderModel &m) { m.SetMax(50); }},
        {"Style", [](FaderModel &m) { m.SetStyle(1); }},
        {"HalfMark", [](FaderModel &m) { m.SetHalfMark(true); }},
        {"HalfMarkColor", [](FaderModel &m) { m.SetHalfMarkColor(0xFF00); }},
        {"BackColor", [](FaderModel &m) { m.SetBackColor(0x808080); }},
        {"TickMarks", [](FaderModel &m) { m.SetTickMarks(false); }},
        {"TickMarkCnt", [](FaderModel &m) { m.SetTickMarkCnt(7); }},
        {"ButSz", [](FaderModel &m) { m.SetButSz(1); }},
    };
    for (const auto &[name, let] : lets) {
        FaderModel m;
        m.UserControl_Initialize();
        std::vector<std::string> reports;
        m.PropertyChanged = [&](std::string_view n) { reports.emplace_back(n); };
        let(m);
        EXPECT_EQ(reports, std::vector<std::string>{name});
    }
}

// ---- Persistence ----

TEST(FaderPersistence, AllDefaultsStoreNothingAndAnEmptyBagGivesTheDefaults)
{
    FaderModel m;
    m.UserControl_Initialize();
    PropertyBag bag;
    m.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Size(), 0u);

    FaderModel loaded;
    loaded.UserControl_Initialize();
    loaded.SetMax(7);
    loaded.SetTickMarks(false);
    EXPECT_TRUE(loaded.UserControl_ReadProperties(bag));
    EXPECT_EQ(loaded.Max(), 100);
    EXPECT_TRUE(loaded.TickMarks());
}

struct Settings {
    std::int32_t max = 100, value = 0, style = 0;
    bool halfMark = false;
    std::int32_t halfMarkColor = 255, backColor = 0;
    bool tickMarks = true;
    std::int16_t tickMarkCnt = 5;
    std::int32_t butSz = 0;
};

Settings SettingsOf(const FaderModel &m)
{
    return {m.Max(), m.Value(), m.Style(), m.HalfMark(), m.HalfMarkColor(), m.BackColor(),
            m.TickMarks(), m.TickMarkCnt(), m.ButSz()};
}

bool operator==(const Settings &a, const Settings &b)
{
    return a.max == b.max && a.value == b.value && a.style == b.style && a.halfMark == b.halfMark &&
           a.halfMarkColor == b.halfMarkColor && a.backColor == b.backColor && a.tickMarks == b.tickMarks &&
           a.tickMarkCnt == b.tickMarkCnt && a.butSz == b.butSz;
}

struct RoundTrip {
    const char *name;
    Settings settings;
    std::vector<std::string> storedKeys; // as the test asks for them, in any case
};
void PrintTo(const RoundTrip &c, std::ostream *os) { *os << c.name; }

class FaderRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(FaderRoundTrip, SavesOnlyWhatDiffersAndLoadsItBack)
{
    const RoundTrip &c = GetParam();
    FaderModel m;
    m.UserControl_Initialize();
    m.UserControl_Resize(222, 22);
    const Settings &s = c.settings;
    m.SetMax(s.max);
    m.SetValue(s.value);
    m.SetStyle(s.style);
    m.SetHalfMark(s.halfMark);
    m.SetHalfMarkColor(s.halfMarkColor);
    m.SetBackColor(s.backColor);
    m.SetTickMarks(s.tickMarks);
    m.SetTickMarkCnt(s.tickMarkCnt);
    m.SetButSz(s.butSz);

    PropertyBag bag;
    m.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Size(), c.storedKeys.size());
    for (const std::string &key : c.storedKeys)
        EXPECT_TRUE(bag.Contains(key)) << key;

    FaderModel loaded;
    loaded.UserControl_Initialize();
    EXPECT_TRUE(loaded.UserControl_ReadProperties(bag));
    EXPECT_TRUE(SettingsOf(loaded) == s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderRoundTrip,
    testing::Values(
        RoundTrip{"Fader1", {249, 120, 1, false, 255, 0, false, 5, 1}, {"max", "VALUE", "Style", "tickmarks", "ButSz"}},
        RoundTrip{"Fader2", {7, 3, 1, false, 255, 0, true, 5, 1}, {"MAX", "value", "style", "BUTSZ"}},
        RoundTrip{"everything", {1000, 999, 2, true, 0x00FF00, 0x336699, false, 12, 3},
                  {"Max", "Value", "Style", "HalfMark", "HalfMarkColor", "BackColor", "TickMarks", "TickMarkCnt",
                   "ButSz"}},
        RoundTrip{"zeros where defaults are not", {0, 0, 0, false, 0, 0, true, 0, 0}, {"max", "halfmarkcolor", "tickmarkcnt"}},
        RoundTrip{"negative numbers", {100, 0, -1, false, -1, -2, true, -3, -4},
                  {"style", "halfmarkcolor", "backcolor", "tickmarkcnt", "butsz"}}));

TEST(FaderPersistence, BooleansAreStoredAsTrueMinusOneAndAnyNonZeroReadsAsTrue)
{
    FaderModel m;
    m.UserControl_Initialize();
    m.SetHalfMark(true);
    m.SetTickMarks(false);
    PropertyBag bag;
    m.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Read("HalfMark", 0), -1);
    EXPECT_EQ(bag.Read("TickMarks", -1), 0);

    FaderModel loaded;
    loaded.UserControl_Initialize();
    loaded.UserControl_ReadProperties(PropertyBag{{"halfmark", 1}, {"TICKMARKS", 0}});
    EXPECT_TRUE(loaded.HalfMark());
    EXPECT_FALSE(loaded.TickMarks());
}

// The stored data of the main window, in lower case: Max is in force before Value is clamped.
TEST(FaderPersistence, TheMainWindowsStoredSlidersLoadAsTheyWereSaved)
{
    struct Case {
        const char *name;
        const PropertyBag &bag;
        Settings expected;
    };
    const Case cases[] = {
        {"Fader1", kFader1, {249, 120, 1, false, 255, 0, false, 5, 1}},
        {"Fader2", kFader2, {7, 3, 1, false, 255, 0, true, 5, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FaderModel m = Placed(c.bag, 222, 22);
        EXPECT_TRUE(SettingsOf(m) == c.expected);
        EXPECT_EQ(m.DraggerSource(), ButtonImage::DraggerSourceH) << "Style came before ButSz";
        EXPECT_EQ(ButtonOf(m).image, ButtonImage::DSH);
    }
}

// A stored number that does not fit its property is skipped; the rest still loads.
TEST(FaderPersistence, AStoredNumberTooLargeForItsPropertyIsSkipped)
{
    FaderModel m;
    m.UserControl_Initialize();
    m.SetValue(20);
    EXPECT_FALSE(m.UserControl_ReadProperties(PropertyBag{{"max", 50000}, {"value", 40000}, {"tickmarkcnt", 70000}, {"butsz", 1}}));
    EXPECT_EQ(m.Max(), 50000);
    EXPECT_EQ(m.Value(), 20);
    EXPECT_EQ(m.TickMarkCnt(), 5);
    EXPECT_EQ(m.ButSz(), 1);
}

// ---- Value and its clamp ----

struct LetValueCase {
    std::int32_t newValue;
    bool accepted;
    std::int32_t after;
};
void PrintTo(const LetValueCase &c, std::ostream *os) { *os << c.newValue; }

class FaderLetValue : public testing::TestWithParam<LetValueCase> {};

TEST_P(FaderLetValue, TheRedrawClampsAndAValueBeyond16BitsIsRefused)
{
    const LetValueCase &c = GetParam();
    FaderModel m = Placed(kFader1, 222, 22);
    std::vector<std::string> reports;
    m.PropertyChanged = [&](std::string_view n) { reports.emplace_back(n); };
    EXPECT_EQ(m.SetValue(c.newValue), c.accepted);
    EXPECT_EQ(m.Value(), c.after);
    EXPECT_EQ(reports, std::vector<std::string>{"Value"}) << "reported also when refused";
}

INSTANTIATE_TEST_SUITE_P(Cases, FaderLetValue,
                         testing::Values(LetValueCase{300, true, 249}, LetValueCase{-5, true, 0},
                                         LetValueCase{249, true, 249}, LetValueCase{0, true, 0},
                                         LetValueCase{32767, true, 249}, LetValueCase{-32768, true, 0},
                                         LetValueCase{40000, false, 120}, LetValueCase{32768, false, 120},
                                         LetValueCase{-32769, false, 120}, LetValueCase{-2147483647 - 1, false, 120}));

TEST(FaderLetValue, ARefusedValueLeavesTheSurfaceAsItWas)
{
    FaderModel m = Placed(kFader1, 222, 22);
    const auto before = m.Surface();
    EXPECT_FALSE(m.SetValue(40000));
    EXPECT_EQ(m.Surface(), before);
}

// Let Max does not redraw: Value keeps its old place until whatever redraws next.
TEST(FaderLetValue, ALowerMaxClampsValueOnlyAtTheNextRedraw)
{
    using Redraw = void (*)(FaderModel &);
    const std::pair<const char *, Redraw> redraws[] = {
        {"HalfMark", [](FaderModel &m) { m.SetHalfMark(true); }},
        {"TickMarks", [](FaderModel &m) { m.SetTickMarks(true); }},
        {"BackColor", [](FaderModel &m) { m.SetBackColor(0); }},
        {"ButSz", [](FaderModel &m) { m.SetButSz(1); }},
        {"Style", [](FaderModel &m) { m.SetStyle(1); }},
        {"resize", [](FaderModel &m) { m.UserControl_Resize(222, 22); }},
    };
    for (const auto &[name, redraw] : redraws) {
        SCOPED_TRACE(name);
        FaderModel m = Placed(kFader1, 222, 22);
        m.SetMax(10);
        EXPECT_EQ(m.Value(), 120);
        redraw(m);
        EXPECT_EQ(m.Value(), 10);
    }
}

TEST(FaderDrawPicAtValue, ClampsTheCallersVariableInPlace)
{
    FaderModel m = Placed(kFader1, 222, 22);
    const std::tuple<int, int, int> cases[] = {{300, 249, 190}, {-7, 0, 0}, {120, 120, 92}};
    for (auto [given, clamped, x] : cases) {
        std::int16_t v = static_cast<std::int16_t>(given);
        m.DrawPicAtValue(v);
        EXPECT_EQ(v, clamped);
        EXPECT_EQ(m.Surface().back().x, x);
    }
    EXPECT_EQ(m.Value(), 120) << "the stored Value is not touched";
}

// ---- Geometry and button positions ----

TEST(FaderGeometry, ResizeSetsTheTrackOfTheCurrentStyleAndFixesTheCrossSize)
{
    FaderModel m = Placed(kFader1, 222, 22);
    EXPECT_EQ(m.HTravel(), 192);
    EXPECT_EQ(m.HLength(), 221);
    m.UserControl_Resize(300, 40);
    EXPECT_EQ(m.HLength(), 299);
    EXPECT_EQ(m.ClientWidth(), 300);
    EXPECT_EQ(m.ClientHeight(), fader::kCrossSize);

    m.SetStyle(0); // vertical now: the horizontal pair keeps what it held
    m.UserControl_Resize(40, 100);
    EXPECT_EQ(m.VLength(), 99);
    EXPECT_EQ(m.VTravel(), 70);
    EXPECT_EQ(m.HLength(), 299);
    EXPECT_EQ(m.ClientWidth(), fader::kCrossSize);
    EXPECT_EQ(m.ClientHeight(), 100);
}

struct PositionCase {
    const char *name;
    int style, butSz, width, height, max;
    double oneIncrement;
    std::vector<std::tuple<int, int, int>> valueXY; // value, button x, button y
};
void PrintTo(const PositionCase &c, std::ostream *os) { *os << c.name; }

class FaderPositions : public testing::TestWithParam<PositionCase> {};

TEST_P(FaderPositions, EachValuePutsTheButtonAtItsPlace)
{
    const PositionCase &c = GetParam();
    FaderModel m = Placed(PropertyBag{{"max", c.max}, {"style", c.style}, {"butsz", c.butSz}}, c.width, c.height);
    EXPECT_NEAR(m.OneIncrement(), c.oneIncrement, 1e-9);
    for (auto [value, x, y] : c.valueXY) {
        m.SetValue(value);
        const DrawOp button = ButtonOf(m);
        EXPECT_EQ(button.x, x) << "value " << value;
        EXPECT_EQ(button.y, y) << "value " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPositions,
    testing::Values(
        PositionCase{"Fader1", 1, 1, 222, 22, 249, 190.0 / 249, {{120, 92, 1}, {249, 190, 1}, {0, 0, 1}, {121, 92, 1}}},
        PositionCase{"Fader2", 1, 1, 222, 22, 7, 190.0 / 7,
                     {{0, 0, 1}, {1, 27, 1}, {2, 54, 1}, {3, 81, 1}, {4, 109, 1}, {5, 136, 1}, {6, 163, 1}, {7, 190, 1}}},
        PositionCase{"horizontal small", 1, 0, 222, 22, 100, 211.0 / 100, {{0, 1, 1}, {40, 85, 1}, {100, 212, 1}}},
        PositionCase{"vertical small", 0, 0, 22, 100, 100, 0.89, {{100, 1, 1}, {0, 1, 90}, {25, 1, 68}}},
        PositionCase{"vertical large", 0, 1, 22, 100, 100, 0.48, {{100, 1, 0}, {0, 1, 48}}},
        PositionCase{"halves go to the even neighbour", 1, 1, 222, 22, 380, 0.5, {{1, 0, 1}, {3, 2, 1}, {5, 2, 1}, {7, 4, 1}}}));

TEST(FaderGeometry, ButSzWithoutAResizeKeepsTheOldTravel)
{
    FaderModel m = Placed(PropertyBag{{"max", 100}, {"style", 1}}, 222, 22); // small button: travel 207
    m.SetButSz(1);
    EXPECT_DOUBLE_EQ(m.OneIncrement(), (207 - 2) / 100.0);
    m.UserControl_Resize(222, 22);
    EXPECT_DOUBLE_EQ(m.OneIncrement(), (192 - 2) / 100.0);
}

// ---- The pointer ----

struct PressCase {
    const char *name;
    const PropertyBag *bag;
    int width, height;
    float x, y;
    int value;
};
void PrintTo(const PressCase &c, std::ostream *os) { *os << c.name; }

class FaderPress : public testing::TestWithParam<PressCase> {};

TEST_P(FaderPress, TheLeftButtonPutsTheButtonsCentreUnderThePointer)
{
    const PressCase &c = GetParam();
    for (bool press : {true, false}) {
        FaderModel m = Placed(*c.bag, c.width, c.height);
        int reports = 0;
        m.PropertyChanged = [&](std::string_view) { ++reports; };
        const bool scrolling = press ? m.UserControl_MouseDown(fader::kLeftButton, 0, c.x, c.y)
                                     : m.UserControl_MouseMove(fader::kLeftButton, 0, c.x, c.y);
        EXPECT_TRUE(scrolling);
        EXPECT_EQ(m.Value(), c.value) << (press ? "press" : "move");
        EXPECT_EQ(reports, 0) << "the pointer sets the field, not the property";
    }
}

const PropertyBag kVerticalSmall{{"max", 100}};

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPress,
    testing::Values(PressCase{"Fader1_107", &kFader1, 222, 22, 107, 11, 121},
                    PressCase{"Fader1_108", &kFader1, 222, 22, 108, 11, 122},
                    PressCase{"Fader1_15", &kFader1, 222, 22, 15, 11, 0},
                    PressCase{"Fader1_far_right", &kFader1, 222, 22, 300, 11, 249},
                    PressCase{"Fader1_far_left", &kFader1, 222, 22, -50, 11, 0},
                    PressCase{"Fader1_beyond_16_bits", &kFader1, 222, 22, 1e9f, 11, 249},
                    PressCase{"Fader2_29", &kFader2, 222, 22, 29, 11, 1},
                    PressCase{"Fader2_56", &kFader2, 222, 22, 56, 11, 2},
                    PressCase{"vertical_top", &kVerticalSmall, 22, 100, 11, 5, 100},
                    PressCase{"vertical_bottom", &kVerticalSmall, 22, 100, 11, 94, 0},
                    PressCase{"vertical_below", &kVerticalSmall, 22, 100, 11, 400, 0},
                    PressCase{"vertical_middle", &kVerticalSmall, 22, 100, 11, 49.5f, 50}));

TEST(FaderPress, AnyButtonButTheLeftAloneDoesNothing)
{
    using fader::kLeftButton, fader::kMiddleButton, fader::kRightButton;
    for (int button : {0, kRightButton, kMiddleButton, kLeftButton | kRightButton, kLeftButton | kMiddleButton,
                       kLeftButton | kRightButton | kMiddleButton, kLeftButton | 8}) {
        SCOPED_TRACE(button);
        FaderModel m = Placed(kFader1, 222, 22);
        const auto surface = m.Surface();
        EXPECT_FALSE(m.UserControl_MouseDown(button, 0, 200, 11));
        EXPECT_FALSE(m.UserControl_MouseMove(button, 0, 10, 11));
        EXPECT_EQ(m.Value(), 120);
        EXPECT_EQ(m.Surface(), surface);
    }
}

// ---- What a redraw paints ----

TEST(FaderDrawing, PaintsBackgroundTicksHalfMarkGrooveAndButtonInThatOrder)
{
    FaderModel m = Placed(kFader2, 222, 22);
    m.SetBackColor(0x102030);
    m.SetHalfMark(true);
    const auto &s = m.Surface();
    ASSERT_EQ(s.size(), 1u + 44u + 1u + 3u + 1u);
    EXPECT_EQ(s.front(), (DrawOp{DrawOp::Type::Clear, 0x102030}));
    const DrawOp half = s[45];
    EXPECT_EQ(half.color, 255u);
    EXPECT_EQ(half.penWidth, 2);
    EXPECT_FLOAT_EQ(half.x1, 110.5f);
    EXPECT_FLOAT_EQ(half.x2, 110.5f);
    EXPECT_EQ(half.y1, 1);
    EXPECT_EQ(half.y2, 22);
    for (int row = 0; row < 3; ++row) {
        const DrawOp &g = s[46 + row];
        EXPECT_EQ(g.type, DrawOp::Type::Box);
        EXPECT_EQ(g.color, row < 2 ? 0x404040u : 0xFFFFFFu);
        EXPECT_EQ(g.y1, 10 + row);
        EXPECT_EQ(g.y2, 10 + row);
        EXPECT_EQ(g.x1, 4);
        EXPECT_EQ(g.x2, 217);
    }
    EXPECT_EQ(s.back().type, DrawOp::Type::Copy);
}

TEST(FaderDrawing, VerticalGrooveIsFramedInShadowAndWhiteAroundABlackBar)
{
    const FaderModel m = Placed(kVerticalSmall, 22, 100);
    const auto boxes = OpsOf(m, DrawOp::Type::Box);
    ASSERT_GE(boxes.size(), 4u);
    const std::vector<DrawOp> groove(boxes.end() - 4, boxes.end());
    auto box = [](float x1, float y1, float x2, float y2, std::uint32_t c) {
        DrawOp op{DrawOp::Type::Box, c, x1, y1, x2, y2};
        return op;
    };
    EXPECT_EQ(groove, (std::vector<DrawOp>{box(9, 2, 12, 2, 0x404040), box(9, 2, 9, 96, 0x404040),
                                           box(12, 3, 12, 96, 0xFFFFFF), box(10, 3, 11, 96, 0)}));
}

struct TickCase {
    const char *name;
    int style, width, height;
    bool tickMarks;
    int spacing;
    std::vector<float> places; // x of each vertical stroke, or y of each horizontal one
};
void PrintTo(const TickCase &c, std::ostream *os) { *os << c.name; }

class FaderTicks : public testing::TestWithParam<TickCase> {};

TEST_P(FaderTicks, StrokesEverySpacingPixelsAlongTheTrack)
{
    const TickCase &c = GetParam();
    FaderModel m = Placed(PropertyBag{{"style", c.style}, {"tickmarks", c.tickMarks ? -1 : 0}}, c.width, c.height);
    m.SetTickMarkCnt(static_cast<std::int16_t>(c.spacing));
    std::vector<float> places;
    for (const DrawOp &t : TicksOf(m)) {
        if (c.style != 0) {
            EXPECT_EQ(t.y1, 6);
            EXPECT_EQ(t.y2, 16);
        } else {
            EXPECT_EQ(t.x2, 16);
        }
        places.push_back(c.style != 0 ? t.x1 : t.y1);
    }
    EXPECT_EQ(places, c.places);
}

std::vector<float> Every(float first, float step, float last)
{
    std::vector<float> v;
    for (float p = first; p <= last; p += step)
        v.push_back(p);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderTicks,
    testing::Values(TickCase{"horizontal_5", 1, 222, 22, true, 5, Every(4, 5, 219)},
                    TickCase{"horizontal_50", 1, 222, 22, true, 50, {4, 54, 104, 154, 204}},
                    TickCase{"horizontal_off", 1, 222, 22, false, 5, {}},
                    TickCase{"vertical_5", 0, 22, 100, true, 5, Every(4, 5, 94)},
                    TickCase{"spacing_0", 1, 222, 22, true, 0, {}},
                    TickCase{"spacing_negative", 1, 222, 22, true, -3, {}},
                    TickCase{"spacing_negative_short_track", 1, 8, 22, true, -1, {}},
                    TickCase{"spacing_0_vertical", 0, 22, 100, true, 0, {}}));

TEST(FaderTicks, FortyFourOnTheTempoSliderTrack)
{
    EXPECT_EQ(TicksOf(Placed(kFader2, 222, 22)).size(), 44u);
    EXPECT_TRUE(TicksOf(Placed(kFader1, 222, 22)).empty());
}

// ---- A scale below 1 ----

class FaderEmptyScale : public testing::TestWithParam<int> {};

TEST_P(FaderEmptyScale, NeverDividesByZeroAndKeepsValueAtZero)
{
    for (int style : {0, 1}) {
        SCOPED_TRACE(style);
        FaderModel m = Placed(PropertyBag{{"style", style}, {"butsz", 1}}, 222, 222);
        m.SetMax(GetParam());
        EXPECT_EQ(m.OneIncrement(), 0.0);
        EXPECT_TRUE(m.SetValue(5));
        EXPECT_EQ(m.Value(), 0);
        EXPECT_TRUE(m.UserControl_MouseDown(fader::kLeftButton, 0, 100, 100));
        EXPECT_EQ(m.Value(), 0);
        EXPECT_TRUE(m.UserControl_MouseMove(fader::kLeftButton, 0, 15, 15)); // exactly at the margin
        EXPECT_EQ(m.Value(), 0);
        const DrawOp button = ButtonOf(m);
        EXPECT_EQ(style == 0 ? button.y : button.x, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Maxima, FaderEmptyScale, testing::Values(0, -1, -100, -2147483647 - 1));

TEST(FaderEmptyScale, InitialisationRunsWithTickMarksOnBeforeTheirSpacingIsSet)
{
    // The first redraws see Max 100 but spacing 0 with tick marks on; they must end.
    FaderModel m;
    m.UserControl_Resize(22, 30000);
    m.UserControl_Initialize();
    EXPECT_EQ(TicksOf(m).size(), static_cast<std::size_t>((29999 - 3 - 3) / 5 + 1));
}

// ---- The button pictures ----

TEST(FaderPictures, SmallButtonsAreTheDescribedRowsAndColumns)
{
    const std::uint32_t K = 0, W = 0xFFFFFF, G = 0x808080, S = 0xC0C0C0;
    const std::vector<std::uint32_t> across = {K, W, G, S, S, S, W, G, K};
    const std::vector<std::uint32_t> down = {K, G, W, S, S, S, G, W, K};

    const fader::Picture &h = fader::ButtonPicture(ButtonImage::DraggerSourceH);
    ASSERT_EQ(h.width, 9);
    ASSERT_EQ(h.height, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(h.At(x, y), (y == 0 || y == 19) ? K : across[x]) << x << "," << y;

    const fader::Picture &v = fader::ButtonPicture(ButtonImage::DraggerSourceV);
    ASSERT_EQ(v.width, 20);
    ASSERT_EQ(v.height, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(v.At(x, y), (x == 0 || x == 19) ? K : down[y]) << x << "," << y;
}

TEST(FaderPictures, LargeCapsHaveOutlineSlotAndAStippledFace)
{
    struct Case {
        ButtonImage image;
        int width, height;
        std::vector<int> blackRows, blackColumns;
    };
    const Case cases[] = {
        {ButtonImage::DSH, 30, 20, {0, 18, 19}, {0, 14, 15, 29}},
        {ButtonImage::DSV, 20, 30, {0, 14, 15, 29}, {0, 18, 19}},
    };
    for (const Case &c : cases) {
        const fader::Picture &p = fader::ButtonPicture(c.image);
        ASSERT_EQ(p.width, c.width);
        ASSERT_EQ(p.height, c.height);
        std::set<std::uint32_t> face;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const bool outline = std::count(c.blackRows.begin(), c.blackRows.end(), y) ||
                                     std::count(c.blackColumns.begin(), c.blackColumns.end(), x);
                if (outline)
                    EXPECT_EQ(p.At(x, y), 0u) << x << "," << y;
                else if (p.At(x, y) != 0 || c.image != ButtonImage::DSV || y < 27)
                    face.insert(p.At(x, y));
            }
        }
        EXPECT_EQ(face, (std::set<std::uint32_t>{0xFFFFFF, 0xCCCCCC, 0x999999}));
    }
}

} // namespace
