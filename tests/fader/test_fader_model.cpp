#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fader/fader_model.h"

namespace {

using fader::ButtonImage;
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

DrawOp ButtonOf(const FaderModel &m)
{
    EXPECT_EQ(m.Surface().back().type, DrawOp::Type::Copy);
    return m.Surface().back();
}

// Where the tick strokes are: x of each on a horizontal track, y on a vertical one.
std::vector<float> TickPlaces(const FaderModel &m)
{
    std::vector<float> places;
    for (const DrawOp &op : m.Surface()) {
        if (op.type == DrawOp::Type::Box && op.color == 0 && m.Style() != 0 && op.x1 == op.x2 && op.y1 == 6 && op.y2 == 16)
            places.push_back(op.x1);
        if (op.type == DrawOp::Type::Box && op.color == 0 && m.Style() == 0 && op.y1 == op.y2 && op.x1 == 5 && op.x2 == 16)
            places.push_back(op.y1);
    }
    return places;
}

using Settings = std::tuple<int, int, int, bool, int, int, bool, int, int>; // in the order of the keys
Settings SettingsOf(const FaderModel &m)
{
    return {m.Max(), m.Value(), m.Style(), m.HalfMark(), m.HalfMarkColor(), m.BackColor(), m.TickMarks(), m.TickMarkCnt(), m.ButSz()};
}

TEST(FaderProperties, InitialisationSetsTheDefaultsThroughTheLetsMaxFirst)
{
    FaderModel m;
    std::vector<std::string> reports;
    m.PropertyChanged = [&](std::string_view name) { reports.emplace_back(name); };
    m.UserControl_Initialize();
    EXPECT_EQ(SettingsOf(m), Settings(100, 0, 0, false, 255, 0, true, 5, 0));
    EXPECT_EQ(m.DraggerSource(), ButtonImage::DraggerSourceV);
    EXPECT_EQ(reports, (std::vector<std::string>{"Max", "Style", "HalfMark", "HalfMarkColor", "BackColor", "TickMarks", "TickMarkCnt", "ButSz"}));
}

// The small image is chosen by Style with the ButSz of that moment; drawing takes a large image straight.
TEST(FaderProperties, SmallImageFollowsStyleAndTheButSzOfThatMoment)
{
    const std::tuple<int, int, int, ButtonImage, ButtonImage> cases[] = {
        {0, 0, 0, ButtonImage::DraggerSourceV, ButtonImage::DraggerSourceV},
        {1, 0, 1, ButtonImage::DSV, ButtonImage::DSV},
        {0, 1, 0, ButtonImage::DraggerSourceH, ButtonImage::DraggerSourceH},
        {0, 1, 1, ButtonImage::DraggerSourceH, ButtonImage::DSH},
        {1, 1, 0, ButtonImage::DSH, ButtonImage::DSH}, // a large image left in the small slot
    };
    for (auto [butSzBefore, style, butSzAfter, source, drawn] : cases) {
        FaderModel m = Placed({});
        m.SetButSz(butSzBefore);
        m.SetStyle(style);
        m.SetButSz(butSzAfter);
        EXPECT_EQ(m.DraggerSource(), source) << butSzBefore << style << butSzAfter;
        EXPECT_EQ(ButtonOf(m).image, drawn) << butSzBefore << style << butSzAfter;
    }
}

// ---- Persistence ----

TEST(FaderPersistence, AllDefaultsStoreNothingAndAnEmptyBagGivesTheDefaults)
{
    PropertyBag bag;
    Placed({}).UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Size(), 0u);
    FaderModel m = Placed(kFader1);
    EXPECT_TRUE(m.UserControl_ReadProperties(bag));
    EXPECT_EQ(SettingsOf(m), SettingsOf(Placed({})));
}

class FaderRoundTrip : public testing::TestWithParam<std::tuple<Settings, std::vector<std::string>>> {};

TEST_P(FaderRoundTrip, SavesOnlyWhatDiffersAndLoadsItBack)
{
    const auto &[s, storedKeys] = GetParam();
    FaderModel m = Placed({});
    m.SetMax(std::get<0>(s));
    m.SetValue(std::get<1>(s));
    m.SetStyle(std::get<2>(s));
    m.SetHalfMark(std::get<3>(s));
    m.SetHalfMarkColor(std::get<4>(s));
    m.SetBackColor(std::get<5>(s));
    m.SetTickMarks(std::get<6>(s));
    m.SetTickMarkCnt(static_cast<std::int16_t>(std::get<7>(s)));
    m.SetButSz(std::get<8>(s));
    PropertyBag bag;
    m.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Size(), storedKeys.size());
    for (const std::string &key : storedKeys) // asked for in any case
        EXPECT_TRUE(bag.Contains(key)) << key;
    FaderModel loaded;
    loaded.UserControl_Initialize();
    EXPECT_TRUE(loaded.UserControl_ReadProperties(bag));
    EXPECT_EQ(SettingsOf(loaded), s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderRoundTrip,
    testing::Values(std::tuple{Settings(249, 120, 1, false, 255, 0, false, 5, 1), std::vector<std::string>{"max", "VALUE", "Style", "tickmarks", "ButSz"}},
                    std::tuple{Settings(1000, 999, 2, true, 0xFF00, 0x336699, true, 12, 3),
                               std::vector<std::string>{"MAX", "value", "style", "HalfMark", "halfmarkcolor", "BACKCOLOR", "TickMarkCnt", "butsz"}},
                    std::tuple{Settings(0, 0, -1, false, 0, -2, true, -3, 0), std::vector<std::string>{"max", "style", "halfmarkcolor", "backcolor", "tickmarkcnt"}}));

// The main window's stored data: Max is in force before Value's redraw, Style before ButSz.
TEST(FaderPersistence, TheMainWindowsSlidersLoadFromTheirLowerCaseKeys)
{
    const FaderModel f1 = Placed(kFader1), f2 = Placed(kFader2);
    EXPECT_EQ(SettingsOf(f1), Settings(249, 120, 1, false, 255, 0, false, 5, 1));
    EXPECT_EQ(SettingsOf(f2), Settings(7, 3, 1, false, 255, 0, true, 5, 1));
    EXPECT_EQ(f1.DraggerSource(), ButtonImage::DraggerSourceH);
    EXPECT_EQ(ButtonOf(f1).image, ButtonImage::DSH);
}

TEST(FaderPersistence, AStoredNumberTooLargeForItsPropertyIsSkipped)
{
    FaderModel m = Placed(kFader1);
    EXPECT_FALSE(m.UserControl_ReadProperties(PropertyBag{{"max", 50000}, {"value", 40000}, {"tickmarkcnt", 70000}, {"butsz", 0}}));
    EXPECT_EQ(SettingsOf(m), Settings(50000, 120, 0, false, 255, 0, true, 5, 0));
}

// ---- Value and its clamp ----

class FaderLetValue : public testing::TestWithParam<std::tuple<int, bool, int>> {};

TEST_P(FaderLetValue, TheRedrawClampsAndAValueBeyond16BitsIsRefused)
{
    const auto [newValue, accepted, after] = GetParam();
    FaderModel m = Placed(kFader1);
    const auto before = m.Surface();
    std::vector<std::string> reports;
    m.PropertyChanged = [&](std::string_view n) { reports.emplace_back(n); };
    EXPECT_EQ(m.SetValue(newValue), accepted);
    EXPECT_EQ(m.Value(), after);
    EXPECT_EQ(reports, std::vector<std::string>{"Value"}) << "reported also when refused";
    if (!accepted) {
        EXPECT_EQ(m.Surface(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FaderLetValue,
                         testing::Values(std::tuple{300, true, 249}, std::tuple{-5, true, 0}, std::tuple{32767, true, 249},
                                         std::tuple{-32768, true, 0}, std::tuple{40000, false, 120},
                                         std::tuple{32768, false, 120}, std::tuple{-32769, false, 120}));

TEST(FaderLetValue, ALowerMaxClampsValueOnlyAtTheNextRedraw)
{
    const std::pair<const char *, void (*)(FaderModel &)> redraws[] = {
        {"HalfMark", [](FaderModel &m) { m.SetHalfMark(true); }},
        {"ButSz", [](FaderModel &m) { m.SetButSz(1); }},
        {"Style", [](FaderModel &m) { m.SetStyle(1); }},
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

TEST(FaderLetValue, DrawPicAtValueClampsTheCallersVariableInPlace)
{
    FaderModel m = Placed(kFader1);
    for (auto [given, clamped, x] : {std::tuple{300, 249, 190}, std::tuple{-7, 0, 0}}) {
        auto v = static_cast<std::int16_t>(given);
        m.DrawPicAtValue(v);
        EXPECT_EQ(v, clamped);
        EXPECT_EQ(m.Surface().back().x, x);
    }
    EXPECT_EQ(m.Value(), 120) << "the stored Value is not touched";
}

// ---- Geometry, button positions and the pointer ----

struct PositionCase {
    const char *name;
    PropertyBag bag;
    int width, height;
    double oneIncrement;
    std::vector<std::tuple<int, int, int>> valueXY; // value, button x, button y
};
void PrintTo(const PositionCase &c, std::ostream *os) { *os << c.name; }

class FaderPositions : public testing::TestWithParam<PositionCase> {};

TEST_P(FaderPositions, EachValuePutsTheButtonAtItsPlace)
{
    const PositionCase &c = GetParam();
    FaderModel m = Placed(c.bag, c.width, c.height);
    EXPECT_NEAR(m.OneIncrement(), c.oneIncrement, 1e-12);
    for (auto [value, x, y] : c.valueXY) {
        m.SetValue(value);
        EXPECT_EQ(std::pair(ButtonOf(m).x, ButtonOf(m).y), std::pair(x, y)) << "value " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPositions,
    testing::Values(
        PositionCase{"Fader1", kFader1, 222, 22, 190.0 / 249, {{120, 92, 1}, {249, 190, 1}, {0, 0, 1}}},
        PositionCase{"Fader2", kFader2, 222, 22, 190.0 / 7, {{0, 0, 1}, {1, 27, 1}, {2, 54, 1}, {3, 81, 1}, {4, 109, 1}, {5, 136, 1}, {6, 163, 1}, {7, 190, 1}}},
        PositionCase{"horizontal_small", {{"style", 1}}, 222, 22, 211.0 / 100, {{0, 1, 1}, {40, 85, 1}, {100, 212, 1}}},
        PositionCase{"vertical_small", kUpright, 22, 100, 0.89, {{100, 1, 1}, {0, 1, 90}, {25, 1, 68}}},
        PositionCase{"vertical_large", {{"butsz", 1}}, 22, 100, 0.48, {{100, 1, 0}, {0, 1, 48}}},
        PositionCase{"halves_to_even", {{"max", 380}, {"style", 1}, {"butsz", 1}}, 222, 22, 0.5, {{1, 0, 1}, {3, 2, 1}, {5, 2, 1}, {7, 4, 1}}}));

TEST(FaderGeometry, ResizeFixesTheCrossSizeAndButSzAloneKeepsTheOldTravel)
{
    FaderModel m = Placed({{"style", 1}}, 300, 40); // small button: travel 285
    EXPECT_EQ(std::tuple(m.HLength(), m.HTravel(), m.ClientWidth(), m.ClientHeight()), std::tuple(299, 285, 300, 22));
    m.SetButSz(1);
    EXPECT_DOUBLE_EQ(m.OneIncrement(), (285 - 2) / 100.0);
    m.SetStyle(0); // resized upright: the horizontal pair keeps its values
    EXPECT_EQ(std::tuple(m.VLength(), m.VTravel(), m.HLength(), m.ClientWidth()), std::tuple(21, -8, 299, 22));
}

class FaderPress : public testing::TestWithParam<std::tuple<const PropertyBag *, int, int, float, int>> {};

TEST_P(FaderPress, TheLeftButtonPutsTheButtonsCentreUnderThePointer)
{
    const auto [bag, width, height, at, value] = GetParam();
    for (bool press : {true, false}) {
        FaderModel m = Placed(*bag, width, height);
        int reports = 0;
        m.PropertyChanged = [&](std::string_view) { ++reports; };
        const float x = width > height ? at : 11, y = width > height ? 11 : at;
        EXPECT_TRUE(press ? m.UserControl_MouseDown(kLeftButton, 0, x, y) : m.UserControl_MouseMove(kLeftButton, 0, x, y));
        EXPECT_EQ(m.Value(), value) << (press ? "press at " : "move to ") << at;
        EXPECT_EQ(reports, 0) << "the pointer sets the field, not the property";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaderPress,
    testing::Values(std::tuple{&kFader1, 222, 22, 107.f, 121}, std::tuple{&kFader1, 222, 22, 108.f, 122},
                    std::tuple{&kFader1, 222, 22, 15.f, 0}, std::tuple{&kFader1, 222, 22, 300.f, 249},
                    std::tuple{&kFader1, 222, 22, -50.f, 0}, std::tuple{&kFader1, 222, 22, 1e9f, 249},
                    std::tuple{&kFader2, 222, 22, 29.f, 1}, std::tuple{&kFader2, 222, 22, 56.f, 2},
                    std::tuple{&kUpright, 22, 100, 5.f, 100}, std::tuple{&kUpright, 22, 100, 94.f, 0},
                    std::tuple{&kUpright, 22, 100, 49.5f, 50}, std::tuple{&kUpright, 22, 100, -1e9f, 100}));

TEST(FaderPress, AnyButtonButTheLeftAloneDoesNothing)
{
    for (int button : {0, 2, 4, 1 | 2, 1 | 4, 1 | 2 | 4, 1 | 8}) {
        FaderModel m = Placed(kFader1);
        const auto surface = m.Surface();
        EXPECT_FALSE(m.UserControl_MouseDown(button, 0, 200, 11)) << button;
        EXPECT_FALSE(m.UserControl_MouseMove(button, 0, 10, 11)) << button;
        EXPECT_EQ(m.Value(), 120);
        EXPECT_EQ(m.Surface(), surface);
    }
}

// ---- What a redraw paints ----

TEST(FaderDrawing, BackgroundThenTicksThenHalfMarkThenGrooveThenButton)
{
    FaderModel m = Placed(kFader2);
    m.SetBackColor(0x102030);
    m.SetHalfMark(true);
    const auto &s = m.Surface();
    ASSERT_EQ(s.size(), 1u + 44u + 1u + 3u + 1u);
    EXPECT_EQ(s[0], (DrawOp{DrawOp::Type::Clear, 0x102030}));
    EXPECT_EQ(s[45], (DrawOp{DrawOp::Type::Box, 255, 110.5f, 1, 110.5f, 22, 2}));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(s[46 + row], (DrawOp{DrawOp::Type::Box, row < 2 ? 0x404040u : 0xFFFFFFu, 4, 10.f + row, 217, 10.f + row}));
    EXPECT_EQ(s[49].type, DrawOp::Type::Copy);
}

class FaderTicks : public testing::TestWithParam<std::tuple<const PropertyBag *, int, int, int, std::vector<float>>> {};

TEST_P(FaderTicks, StrokesEverySpacingPixelsAndNoneForASpacingBelowOne)
{
    const auto &[bag, width, height, spacing, places] = GetParam();
    FaderModel m = Placed(*bag, width, height);
    m.SetTickMarkCnt(static_cast<std::int16_t>(spacing)); // a spacing below 1 must not hang
    EXPECT_EQ(TickPlaces(m), places);
}

std::vector<float> Every(float first, float step, float last)
{
    std::vector<float> v;
    for (float p = first; p <= last; p += step)
        v.push_back(p);
    return v;
}

const PropertyBag kFlat{{"style", 1}};
INSTANTIATE_TEST_SUITE_P(Cases, FaderTicks,
                         testing::Values(std::tuple{&kFader2, 222, 22, 5, Every(4, 5, 219)}, // 44 strokes
                                         std::tuple{&kFader2, 222, 22, 50, std::vector<float>{4, 54, 104, 154, 204}},
                                         std::tuple{&kFader1, 222, 22, 5, std::vector<float>{}},
                                         std::tuple{&kUpright, 22, 100, 5, Every(4, 5, 94)},
                                         std::tuple{&kFlat, 222, 22, 0, std::vector<float>{}},
                                         std::tuple{&kFlat, 8, 22, -1, std::vector<float>{}},
                                         std::tuple{&kUpright, 22, 100, 0, std::vector<float>{}}));

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
        EXPECT_EQ(std::pair(ButtonOf(m).x, ButtonOf(m).y), style == 0 ? std::pair(1, 0) : std::pair(0, 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Maxima, FaderEmptyScale, testing::Values(0, -1, -2147483647 - 1));

// ---- The small button pictures, row by row as described ----

TEST(FaderPictures, SmallButtonsAreTheDescribedStripes)
{
    const std::uint32_t K = 0, W = 0xFFFFFF, G = 0x808080, S = 0xC0C0C0;
    const std::uint32_t across[9] = {K, W, G, S, S, S, W, G, K}, down[9] = {K, G, W, S, S, S, G, W, K};
    const fader::Picture &h = fader::ButtonPicture(ButtonImage::DraggerSourceH);
    const fader::Picture &v = fader::ButtonPicture(ButtonImage::DraggerSourceV);
    ASSERT_EQ(std::tuple(h.width, h.height, v.width, v.height), std::tuple(9, 20, 20, 9));
    for (int i = 0; i < 9; ++i) {
        for (int j = 0; j < 20; ++j) {
            EXPECT_EQ(h.At(i, j), j == 0 || j == 19 ? K : across[i]) << i << "," << j;
            EXPECT_EQ(v.At(j, i), j == 0 || j == 19 ? K : down[i]) << j << "," << i;
        }
    }
}

} // namespace
