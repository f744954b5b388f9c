#include <gtest/gtest.h>

#include "tempo/tap_tempo.h"

namespace {

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 0;
};

struct SeriesCase {
    const char *name;
    std::vector<std::int64_t> taps; // clock readings
    std::vector<double> series;     // tempos recorded
    bool hasTempo;
    int tempo;          // shown and used
    const char *latest; // Label1
    bool slower, faster;
};

const SeriesCase kSeries[] = {
    {"worked example", {10000, 10500, 11003, 11500}, {120, 119.38, 120.72}, true, 120, "121", false, true},
    {"one tap starts only", {5000}, {}, false, 0, "", false, false},
    {"taps 55 ms apart record nothing", {0, 55, 110}, {}, false, 0, "", false, false},
    {"too fast a tap keeps the display", {0, 500, 555}, {120}, true, 120, "120", false, true},
    {"two taps in one tick", {0, 500, 500}, {120}, true, 120, "120", false, true},
    {"slower", {0, 502, 1101}, {119.52, 100.27}, true, 110, "100", true, false},
    // 60000 / 603 = 99.50 and 60000 / 599 = 100.17 + 0.1: compared as numbers
    {"faster", {0, 603, 1202}, {99.5, 100.27}, true, 100, "100", false, true},
    // the mean of 100.84 and 100.84 is 101; dropping the fractions of older taps would say 100
    {"true mean", {0, 595, 1190}, {100.84, 100.84}, true, 101, "101", true, true},
    // 78.125 rounds half to even (78.12), then a tenth up
    {"a tie at the second decimal", {0, 768}, {78.22}, true, 78, "78", false, true}};

TEST(TapTempo, RecordsTheTapsAndShowsTheirMean)
{
    for (const SeriesCase &c : kSeries) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        tempo::TapTempo tap(clock);
        tempo::TapDisplay d;
        for (auto t : c.taps) {
            clock.now = t;
            d = tap.Tap();
        }
        ASSERT_EQ(tap.Series().size(), c.series.size());
        for (size_t i = 0; i < c.series.size(); ++i)
            EXPECT_NEAR(tap.Series()[i], c.series[i], 1e-9) << "tap " << i;
        EXPECT_EQ(d.hasTempo, c.hasTempo);
        if (c.hasTempo) {
            EXPECT_EQ(std::tuple(d.tempo, d.latest, d.slower, d.faster),
                      std::tuple(c.tempo, c.latest, c.slower, c.faster));
        }
    }
}

} // namespace
