#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tempo/pendulum_scale.h"
#include "tempo/tempo_control.h"
#include "tempo/tempo_model.h"

namespace {

struct RoundCase {
    double in;
    double out;
};
void PrintTo(const RoundCase &c, std::ostream *os) { *os << c.in; }

class Round2Test : public ::testing::TestWithParam<RoundCase> {};
TEST_P(Round2Test, TwoDecimalsAndATenthUpWhenWellAboveTheWholeNumber)
{
    EXPECT_NEAR(tempo::Round2(GetParam().in), GetParam().out, 1e-9);
}
INSTANTIATE_TEST_SUITE_P(Examples, Round2Test,
                         ::testing::Values(RoundCase{120, 120}, RoundCase{60000.0 / 503, 119.38},
                                           RoundCase{60000.0 / 497, 120.72}, RoundCase{119.284, 119.38},
                                           RoundCase{120.724, 120.72}, RoundCase{120.5, 120.6}, RoundCase{121.5, 121.5},
                                           RoundCase{121.004, 121}, RoundCase{60000.0 / 595, 100.84}));

struct StepCase {
    int from;
    int index;
    int to;
};
void PrintTo(const StepCase &c, std::ostream *os) { *os << c.from << " button " << c.index; }

class StepTest : public ::testing::TestWithParam<StepCase> {};
TEST_P(StepTest, StepsStayWithinOneTo250AndAStepUpNeverSlowsDown)
{
    EXPECT_EQ(tempo::StepTempo(GetParam().from, GetParam().index), GetParam().to);
}
INSTANTIATE_TEST_SUITE_P(Edges, StepTest,
                         ::testing::Values(StepCase{1, 3, 10}, StepCase{2, 3, 12}, StepCase{10, 2, 1}, StepCase{5, 2, 1},
                                           StepCase{1, 0, 1}, StepCase{250, 1, 250}, StepCase{245, 3, 250},
                                           StepCase{120, 0, 119}, StepCase{120, 1, 121}, StepCase{120, 7, 120},
                                           StepCase{271, 0, 250}, StepCase{271, 1, 271}, StepCase{255, 3, 255},
                                           StepCase{249, 3, 250}));

TEST(SliderTopTable, EveryTempoGetsTheSmallestTopThatShowsIt)
{
    for (int t = tempo::kFirstTableTempo; t <= tempo::kLastTableTempo; ++t) {
        const auto top = tempo::SliderTopForTempo(t);
        ASSERT_TRUE(top) << t;
        EXPECT_EQ(tempo::BpmFromSliderTop(*top), t) << "top " << *top << " shows another tempo";
        EXPECT_NE(tempo::BpmFromSliderTop(*top - 1), t) << "top " << *top - 1 << " shows " << t << " too";
    }
    for (int t : {-1, 0, 21, 276, 1000})
        EXPECT_FALSE(tempo::SliderTopForTempo(t)) << t;
}

struct TopCase {
    int tempo;
    int top;
};
void PrintTo(const TopCase &c, std::ostream *os) { *os << c.tempo; }
class TellingRowsTest : public ::testing::TestWithParam<TopCase> {};
TEST_P(TellingRowsTest, MatchesTheScale)
{
    EXPECT_EQ(tempo::SliderTopForTempo(GetParam().tempo), GetParam().top);
}
INSTANTIATE_TEST_SUITE_P(Rows, TellingRowsTest,
                         ::testing::Values(TopCase{22, 24}, TopCase{23, 25}, TopCase{27, 29}, TopCase{28, 31},
                                           TopCase{39, 43}, TopCase{60, 65}, TopCase{100, 109}, TopCase{120, 131},
                                           TopCase{121, 132}, TopCase{160, 175}, TopCase{200, 218}, TopCase{250, 273},
                                           TopCase{271, 296}, TopCase{275, 300}));

TEST(GetSldrTop, TempoWithoutEntryLeavesTheTopButRecomputesTheRest)
{
    auto g = tempo::PendulumGeometry::Initial(308, 200);
    for (double bpm : {21.0, 276.0, 0.0, 120.5}) {
        g.SliderRadius = -1;
        EXPECT_FALSE(tempo::GetSldrTop(g, bpm)) << bpm;
        EXPECT_EQ(g.SliderTop, 200);
        EXPECT_DOUBLE_EQ(g.SliderRadius, 350 - (200 + 16));
        EXPECT_DOUBLE_EQ(g.SliderSwing, g.SliderRadius * std::sin(std::numbers::pi / 7));
    }
    EXPECT_TRUE(tempo::GetSldrTop(g, std::string_view("075")));
    EXPECT_EQ(g.SliderTop, 82);
    for (const char *text : {"", "abc", "75x", "1e999"})
        EXPECT_FALSE(tempo::GetSldrTop(g, std::string_view(text))) << text;
    EXPECT_EQ(g.SliderTop, 82);
    EXPECT_TRUE(tempo::GetSldrTop(g, 22.0));
    EXPECT_EQ(g.SliderTop, 24);
    EXPECT_TRUE(tempo::GetSldrTop(g, 275.0));
    EXPECT_EQ(g.SliderTop, 300);
}

TEST(PhaseRate, ThePendulumCrossesTheCentreAtTheTempoShown)
{
    for (int bpm : {1, 22, 60, 120, 250, 999}) {
        const double rate = tempo::PhaseRateForBpm(bpm, 30.5);
        const double msPerCrossing = std::numbers::pi / (30.5 * rate);
        EXPECT_NEAR(msPerCrossing, 60000.0 / bpm, 1e-9) << bpm;
    }
}

struct ControlCase {
    const char *what;
    int bpm;
    int sliderTop;
};
void PrintTo(const ControlCase &c, std::ostream *os) { *os << c.what; }

class TempoControlTest : public ::testing::TestWithParam<ControlCase> {};
TEST_P(TempoControlTest, TheWeightAndThePhaseRateFollowTheTempo)
{
    tempo::TempoControl t;
    const std::string what = GetParam().what;
    if (what == "start") {
    } else if (what == "fader at 0") {
        t.Fader1Moved(0);
    } else if (what == "fader at 249") {
        t.Fader1Moved(249);
    } else if (what == "fader at 119") {
        t.Fader1Moved(119);
    } else if (what == ">> twice") {
        t.Step(3);
        t.Step(3);
    } else if (what == "tap 20") {
        t.Tapped(20);
    } else if (what == "tap 600") {
        t.Tapped(600);
    } else if (what == "tap 0") {
        t.Tapped(0);
    } else if (what == "drag to 24") {
        EXPECT_TRUE(t.DragWeight(24 - 131));
    } else if (what == "drag to 296") {
        EXPECT_TRUE(t.DragWeight(296 - 131));
    } else if (what == "drag to 23") {
        EXPECT_FALSE(t.DragWeight(23 - 131));
    } else if (what == "drag to 297") {
        EXPECT_FALSE(t.DragWeight(297 - 131));
    }
    EXPECT_EQ(t.Bpm(), GetParam().bpm);
    EXPECT_EQ(t.Geometry().SliderTop, GetParam().sliderTop);
    EXPECT_EQ(t.Fader1Value(), std::min(GetParam().bpm, 250) - 1) << "the slider holds 0..249";
    EXPECT_DOUBLE_EQ(t.PhaseRate(), tempo::PhaseRateForBpm(GetParam().bpm, 30.5));
    EXPECT_DOUBLE_EQ(t.Geometry().SliderRadius, 350 - (GetParam().sliderTop + 16));
}
INSTANTIATE_TEST_SUITE_P(
    Changes, TempoControlTest,
    ::testing::Values(ControlCase{"start", 120, 131}, ControlCase{"fader at 0", 1, 24},
                      ControlCase{"fader at 249", 250, 273}, ControlCase{"fader at 119", 120, 131},
                      ControlCase{">> twice", 140, 153}, ControlCase{"tap 20", 20, 24}, ControlCase{"tap 600", 271, 296},
                      ControlCase{"tap 0", 1, 24}, ControlCase{"drag to 24", 22, 24}, ControlCase{"drag to 296", 271, 296},
                      ControlCase{"drag to 23", 120, 131}, ControlCase{"drag to 297", 120, 131}));

TEST(TempoControl, DragNearTheBoundStopsShortInsteadOfSnapping)
{
    tempo::TempoControl t;
    ASSERT_TRUE(t.DragWeight(27 - 131));
    EXPECT_FALSE(t.DragWeight(-5)); // would reach 22
    EXPECT_EQ(t.Geometry().SliderTop, 27);
    tempo::RestPosition(t.Geometry());
    EXPECT_EQ(t.Geometry().SliderTop, 27) << "the rest drawing keeps the dragged height";
    EXPECT_DOUBLE_EQ(t.Geometry().SliderLeft, 154 - 16);
}

} // namespace
