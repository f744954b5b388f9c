#include <gtest/gtest.h>

#include "tempo/pendulum_scale.h"
#include "tempo/tap_tempo.h"
#include "tempo/tempo_control.h"
#include "tempo/tempo_model.h"

namespace {

// The step buttons: -1, +1, -10, +10, the result held within 1..250; a step up never slows down.
// Beyond the weight's scale (a shared session's tempo) a step down goes down by its size, not to 250.
TEST(StepTempo, StepsStayWithinOneTo250AndAStepUpNeverSlowsDown)
{
    const int cases[][3] = {{1, 3, 10},    {2, 3, 12},    {5, 2, 1},     {1, 0, 1},     {245, 3, 250}, {250, 1, 250},
                            {120, 0, 119}, {120, 1, 121}, {120, 7, 120}, {271, 0, 250}, {271, 1, 271}, {255, 3, 255},
                            {249, 3, 250}, {300, 0, 299}, {280, 2, 270}, {999, 2, 989}, {400, 1, 400}};
    for (auto [from, index, to] : cases)
        EXPECT_EQ(tempo::StepTempo(from, index), to) << from << " button " << index;
}

// The tempo word changes exactly at the last tempo of each word; 0 (before the first beat) has none.
TEST(Tempowort, EachWordEndsAtItsEdge)
{
    const std::pair<int, const char *> last[] = {
        {0, ""},          {19, "Larghissimo"}, {39, "Largamente"}, {59, "Largo"},   {65, "Larghetto"},   {75, "Adagio"},
        {107, "Andante"}, {119, "Moderato"},   {167, "Allegro"},   {199, "Presto"}, {999, "Prestissimo"}};
    for (size_t i = 0; i + 1 < std::size(last); ++i)
        EXPECT_EQ(tempo::Tempowort(last[i].first) + "/" + tempo::Tempowort(last[i].first + 1),
                  std::string(last[i].second) + "/" + last[i + 1].second);
}

// Where the weight sits for a tempo: the smallest top whose row of the scale shows it.
TEST(SliderTopTable, EveryTempoGetsTheSmallestTopThatShowsIt)
{
    const int cases[][2] = {{22, 24},   {23, 25},   {59, 64},   {60, 65},   {119, 130}, {120, 131},
                            {121, 132}, {200, 218}, {250, 273}, {271, 296}, {274, 299}, {275, 300}};
    for (auto [bpm, top] : cases)
        EXPECT_EQ(tempo::SliderTopForTempo(bpm), top) << bpm;
    for (int t : {-1, 0, 21, 276, 1000})
        EXPECT_FALSE(tempo::SliderTopForTempo(t)) << t;
}

// Every way of setting the tempo moves the weight, the slider and the phase rate along; drags
// beyond the scale change nothing.
TEST(TempoControl, TheWeightAndThePhaseRateFollowTheTempo)
{
    using Change = void (*)(tempo::TempoControl &);
    const struct {
        const char *what;
        Change change;
        int bpm, sliderTop;
        double rate; // a beat every 60000 / bpm ms, the swing factor 30.5: radians per ms
    } cases[] = {
        {"start", [](tempo::TempoControl &) {}, 120, 131, 2.0600607564523e-4},
        {"fader at 0", [](tempo::TempoControl &t) { t.Fader1Moved(0); }, 1, 24, 1.7167172970436e-6},
        {"fader at 249", [](tempo::TempoControl &t) { t.Fader1Moved(249); }, 250, 273, 4.2917932426090e-4},
        {">> twice", [](tempo::TempoControl &t) { t.Step(3), t.Step(3); }, 140, 153, 2.4034042158611e-4},
        {"tap 20", [](tempo::TempoControl &t) { t.Tapped(20); }, 20, 24, 3.4334345940872e-5},
        {"tap 600", [](tempo::TempoControl &t) { t.Tapped(600); }, 271, 296, 4.6523038749882e-4},
        {"tap 0", [](tempo::TempoControl &t) { t.Tapped(0); }, 1, 24, 1.7167172970436e-6},
        {"drag to 24", [](tempo::TempoControl &t) { EXPECT_TRUE(t.DragWeight(24 - 131)); }, 22, 24, 3.7767780534959e-5},
        {"drag to 296", [](tempo::TempoControl &t) { EXPECT_TRUE(t.DragWeight(296 - 131)); }, 271, 296,
         4.6523038749882e-4},
        {"drags beyond the scale refused",
         [](tempo::TempoControl &t) { EXPECT_FALSE(t.DragWeight(23 - 131) || t.DragWeight(297 - 131)); }, 120, 131,
         2.0600607564523e-4},
        // Near the scale's bound the weight stops short instead of snapping to it, also when drawn at rest.
        {"drag near the top",
         [](tempo::TempoControl &t) {
             ASSERT_TRUE(t.DragWeight(27 - 131));
             EXPECT_FALSE(t.DragWeight(-5)); // would reach 22
             tempo::RestPosition(t.Geometry());
         },
         25, 27, 4.2917932426090e-5}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        tempo::TempoControl t;
        c.change(t);
        EXPECT_EQ(t.Bpm(), c.bpm);
        EXPECT_EQ(t.Geometry().SliderTop, c.sliderTop);
        EXPECT_EQ(t.Fader1Value(), std::min(c.bpm, 250) - 1) << "the slider holds 0..249";
        EXPECT_NEAR(t.PhaseRate(), c.rate, 1e-15);
    }
}

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 0;
};

// The taps (clock readings) and what the display shows after the last: whether a tempo, the tempo
// shown and used (the mean), the latest tap's tempo (Label1), and the slower and faster arrows.
const struct {
    const char *name;
    std::vector<std::int64_t> taps;
    bool hasTempo;
    int tempo;
    const char *latest;
    bool slower, faster;
} kSeries[] = {{"worked example", {10000, 10500, 11003, 11500}, true, 120, "121", false, true},
               {"one tap starts only", {5000}, false, 0, "", false, false},
               {"taps 55 ms apart record nothing", {0, 55, 110}, false, 0, "", false, false},
               {"too fast a tap keeps the display", {0, 500, 555}, true, 120, "120", false, true},
               {"two taps in one tick", {0, 500, 500}, true, 120, "120", false, true},
               {"slower", {0, 502, 1101}, true, 110, "100", true, false},
               // 60000 / 603 = 99.50 and 60000 / 599 = 100.17 + 0.1: compared as numbers
               {"faster", {0, 603, 1202}, true, 100, "100", false, true},
               // the mean of 100.84 and 100.84 is 101; dropping the fractions of older taps would say 100
               {"true mean", {0, 595, 1190}, true, 101, "101", true, true},
               // 78.125 rounds half to even (78.12), then a tenth up
               {"a tie at the second decimal", {0, 768}, true, 78, "78", false, true}};

TEST(TapTempo, ShowsTheMeanOfTheSeriesAndTheLatestTap)
{
    for (const auto &c : kSeries) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        tempo::TapTempo tap(clock);
        tempo::TapDisplay d;
        for (auto t : c.taps) {
            clock.now = t;
            d = tap.Tap();
        }
        EXPECT_EQ(d.hasTempo, c.hasTempo);
        if (c.hasTempo) {
            EXPECT_EQ(std::tuple(d.tempo, d.latest, d.slower, d.faster),
                      std::tuple(c.tempo, c.latest, c.slower, c.faster));
        }
    }
}

} // namespace
