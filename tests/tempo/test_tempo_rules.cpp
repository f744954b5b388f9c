#include <gtest/gtest.h>

#include "tempo/pendulum_scale.h"
#include "tempo/tempo_control.h"
#include "tempo/tempo_model.h"

namespace {

// The step buttons: -1, +1, -10, +10, the result held within 1..250; a step up never slows down.
TEST(StepTempo, StepsStayWithinOneTo250AndAStepUpNeverSlowsDown)
{
    const int cases[][3] = {{1, 3, 10},    {2, 3, 12},    {5, 2, 1},     {1, 0, 1},     {245, 3, 250},
                            {250, 1, 250}, {120, 0, 119}, {120, 1, 121}, {120, 7, 120}, {271, 0, 250},
                            {271, 1, 271}, {255, 3, 255}, {249, 3, 250}};
    for (auto [from, index, to] : cases)
        EXPECT_EQ(tempo::StepTempo(from, index), to) << from << " button " << index;
}

TEST(SliderTopTable, EveryTempoGetsTheSmallestTopThatShowsIt)
{
    for (int t = tempo::kFirstTableTempo; t <= tempo::kLastTableTempo; ++t) {
        const auto top = tempo::SliderTopForTempo(t);
        ASSERT_TRUE(top) << t;
        EXPECT_EQ(tempo::BpmFromSliderTop(*top), t) << "top " << *top << " shows another tempo";
        EXPECT_NE(tempo::BpmFromSliderTop(*top - 1), t) << "top " << *top - 1 << " shows " << t << " too";
    }
    EXPECT_EQ(tempo::SliderTopForTempo(275), 300) << "the scale's last row";
    for (int t : {-1, 0, 21, 276, 1000})
        EXPECT_FALSE(tempo::SliderTopForTempo(t)) << t;
}

// Every way of setting the tempo moves the weight, the slider and the phase rate along; drags
// beyond the scale are refused.
TEST(TempoControl, TheWeightAndThePhaseRateFollowTheTempo)
{
    using Change = void (*)(tempo::TempoControl &);
    const struct {
        const char *what;
        Change change;
        int bpm, sliderTop;
    } cases[] = {{"start", [](tempo::TempoControl &) {}, 120, 131},
                 {"fader at 0", [](tempo::TempoControl &t) { t.Fader1Moved(0); }, 1, 24},
                 {"fader at 249", [](tempo::TempoControl &t) { t.Fader1Moved(249); }, 250, 273},
                 {">> twice", [](tempo::TempoControl &t) { t.Step(3), t.Step(3); }, 140, 153},
                 {"tap 20", [](tempo::TempoControl &t) { t.Tapped(20); }, 20, 24},
                 {"tap 600", [](tempo::TempoControl &t) { t.Tapped(600); }, 271, 296},
                 {"tap 0", [](tempo::TempoControl &t) { t.Tapped(0); }, 1, 24},
                 {"drag to 24", [](tempo::TempoControl &t) { EXPECT_TRUE(t.DragWeight(24 - 131)); }, 22, 24},
                 {"drag to 296", [](tempo::TempoControl &t) { EXPECT_TRUE(t.DragWeight(296 - 131)); }, 271, 296},
                 {"drag to 23", [](tempo::TempoControl &t) { EXPECT_FALSE(t.DragWeight(23 - 131)); }, 120, 131},
                 {"drag to 297", [](tempo::TempoControl &t) { EXPECT_FALSE(t.DragWeight(297 - 131)); }, 120, 131}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        tempo::TempoControl t;
        c.change(t);
        EXPECT_EQ(t.Bpm(), c.bpm);
        EXPECT_EQ(t.Geometry().SliderTop, c.sliderTop);
        EXPECT_EQ(t.Fader1Value(), std::min(c.bpm, 250) - 1) << "the slider holds 0..249";
        EXPECT_DOUBLE_EQ(t.PhaseRate(), tempo::PhaseRateForBpm(c.bpm, 30.5));
    }
}

TEST(TempoControl, DragNearTheBoundStopsShortInsteadOfSnapping)
{
    tempo::TempoControl t;
    ASSERT_TRUE(t.DragWeight(27 - 131));
    EXPECT_FALSE(t.DragWeight(-5)); // would reach 22
    EXPECT_EQ(t.Geometry().SliderTop, 27);
    tempo::RestPosition(t.Geometry());
    EXPECT_EQ(t.Geometry().SliderTop, 27) << "the rest drawing keeps the dragged height";
}

} // namespace
