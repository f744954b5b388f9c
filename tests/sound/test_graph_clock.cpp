#include <gtest/gtest.h>

#include <vector>

#include "sound/graph_clock.h"

// Callback sequences as a PipeWire stream reports them (pw_time in each process callback), with the
// frames of the program's 44.1 kHz stream each one renders.
namespace {

struct Call {
    std::int64_t nowNs;
    std::uint64_t ticks;
    int frames;
    std::int64_t heardAtNs;    // expected: the block's first frame is heard then
    std::int64_t skip;         // expected: frames the device played without the stream
    std::int64_t calledNs = 0; // when the callback ran (0: early in its cycle)
};

// The report's numbers that stay put within a sequence; restart: the stream started again before
// the last call.
struct Setup {
    std::uint32_t rate;
    std::int64_t delay;
    std::uint64_t queued, buffered;
    std::int64_t lateTicks;
    bool restart;
};

struct Sequence {
    const char *fault; // what a user would hear or see if the row failed
    Setup setup;
    std::vector<Call> calls;
};

const Sequence kSequences[] = {
    {"the pendulum off its click on a null sink (48 kHz, 256-frame cycles), or a beat moved by the converter's "
     "rounding of 235/236 frames a cycle",
     {48000, 0, 0, 0, 0, false},
     {{1'000'000'000, 0, 235, 1'000'000'000, 0},
      {1'005'333'333, 256, 236, 1'005'333'333, 0},
      {1'010'666'667, 512, 235, 1'010'666'667, 0}}},
    {"without RT_PROCESS the buffer plays a cycle later: the pendulum a cycle ahead of its click",
     {48000, 0, 0, 0, 256, false},
     {{2'000'000'000, 1000, 235, 2'005'333'333, 0}}},
    {"a device's delay and the stream's own queue not counted: the pendulum ahead of the click by them",
     {48000, 1024, 100, 12, 0, false},
     {{3'000'000'000, 0, 512, 3'023'873'016, 0}}},
    {"a graph at 96 kHz taken as 44.1 or 48 kHz: the pendulum off, or a skip every cycle",
     {96000, 0, 0, 0, 0, false},
     {{4'000'000'000, 0, 470, 4'000'000'000, 0}, {4'010'666'667, 1024, 471, 4'010'666'667, 0}}},
    // A skip is said with the block after the gap, once the graph is steady again.
    {"a cycle missed twice (48 kHz, 256 frames): every later beat 5.3 ms off the grid, or creeping off it by the "
     "0.2 frame a skip of 235 leaves",
     {48000, 0, 0, 0, 0, false},
     {{5'000'000'000, 0, 235, 5'000'000'000, 0},
      {5'005'333'333, 256, 235, 5'005'333'333, 0},
      {5'016'000'000, 768, 235, 5'016'000'000, 0},
      {5'021'333'333, 1024, 235, 5'021'333'333, 235},
      {5'032'000'000, 1536, 235, 5'032'000'000, 0},
      {5'037'333'333, 1792, 235, 5'037'333'333, 236}}},
    {"three cycles missed at once (44.1 kHz, 512 frames): every later beat 1536 frames late",
     {44100, 0, 0, 0, 0, false},
     {{6'000'000'000, 0, 512, 6'000'000'000, 0},
      {6'011'609'977, 512, 512, 6'011'609'977, 0},
      {6'058'049'887, 2560, 512, 6'058'049'887, 0},
      {6'069'659'864, 3072, 512, 6'069'659'864, 1536}}},
    {"three cycles missed at 96 kHz, 1024 frames: the grid moved by 32 ms",
     {96000, 0, 0, 0, 0, false},
     {{7'000'000'000, 0, 470, 7'000'000'000, 0},
      {7'010'666'667, 1024, 471, 7'010'666'667, 0},
      {7'053'333'335, 5120, 470, 7'053'333'335, 0},
      {7'064'000'002, 6144, 471, 7'064'000'002, 1411}}},
    {"after the daemon was held up, its cycles back to back, a callback read the next cycle's position (the same "
     "again in the next): a false skip, every later beat a cycle early",
     {48000, 0, 0, 0, 0, false},
     {{8'000'000'000, 0, 235, 8'000'000'000, 0},
      {8'010'666'667, 512, 235, 8'010'666'667, 0},
      {8'010'700'000, 512, 235, 8'010'700'000, 0},
      {8'016'000'000, 768, 235, 8'016'000'000, 0}}},
    {"the daemon held up 7 ms runs its next cycle late (now late, ticks on time): a false skip, every later beat a "
     "cycle early",
     {48000, 0, 0, 0, 0, false},
     {{9'000'000'000, 0, 235, 9'000'000'000, 0},
      {9'012'333'333, 256, 235, 9'012'333'333, 0},
      {9'017'666'667, 512, 235, 9'017'666'667, 0}}},
    {"held up, a late callback read two cycles on and the next came back to back, one reading the same position "
     "twice (recorded under load): a false skip, every later beat a cycle early; then a cycle really missed, "
     "confirmed only after the burst: every later beat a cycle late",
     {48000, 0, 0, 0, 0, false},
     {{11'000'000'000, 0, 235, 11'000'000'000, 0, 11'000'100'000},
      {11'010'666'667, 512, 235, 11'010'666'667, 0, 11'017'166'667},
      {11'016'000'000, 768, 235, 11'016'000'000, 0, 11'017'200'000},
      {11'016'000'000, 768, 235, 11'016'000'000, 0, 11'017'210'000},
      {11'021'333'333, 1024, 235, 11'021'333'333, 0, 11'021'433'333},
      {11'032'000'000, 1536, 235, 11'032'000'000, 0, 11'040'100'000},
      {11'037'333'333, 1792, 235, 11'037'333'333, 0, 11'040'133'333},
      {11'042'666'667, 2048, 235, 11'042'666'667, 235, 11'042'766'667}}},
    {"started again after resting (ticks went on meanwhile): the first beat of the new run seconds late",
     {48000, 0, 0, 0, 0, true},
     {{10'000'000'000, 0, 235, 10'000'000'000, 0}, {13'000'000'000, 144'000, 235, 13'000'000'000, 0}}},
};

TEST(GraphClock, HeardFrameAndSkippedCyclesFromEachCallbacksReport)
{
    for (const Sequence &s : kSequences) {
        SCOPED_TRACE(s.fault);
        sound::GraphClock clock(44100);
        for (std::size_t i = 0; i < s.calls.size(); ++i) {
            const Call &c = s.calls[i];
            if (s.setup.restart && i + 1 == s.calls.size())
                clock.Reset();
            sound::GraphTime t;
            t.nowNs = c.nowNs;
            t.calledNs = c.calledNs;
            t.ticks = c.ticks;
            t.delay = s.setup.delay;
            t.queued = s.setup.queued;
            t.buffered = s.setup.buffered;
            t.rateDenom = s.setup.rate;
            const sound::GraphClock::Block b = clock.Next(t, s.setup.lateTicks, c.frames);
            EXPECT_NEAR(b.heardAtNs, c.heardAtNs, 1) << "call " << i;
            EXPECT_EQ(b.skip, c.skip) << "call " << i;
        }
    }
}

} // namespace
