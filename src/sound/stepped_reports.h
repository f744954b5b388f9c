#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "sound/sample.h"

namespace sound {

// Some servers (PipeWire's PulseAudio server) move a stream's read position only once per
// processing cycle, in whole cycles of up to 2048 frames, but stamp the report with the moment they
// answer. Taken as it stands, such a report makes the frames seem heard up to a cycle later than
// they are, by an amount that changes from block to block: the pendulum wandered ±45 ms around the
// click. A report can only be late, never early: of the reports of the last one to two seconds,
// carried forward on the clock, the one that has the frames heard soonest is taken.
//
// Audio thread only (a plain value of the output's filling).
class SteppedReports {
public:
    // `written`: the frames written to the stream before this block; `heardAfter`: frames from
    // `nowNs` (steady clock) until frame `written` is heard, as the report has it (-1: no report).
    // Returns the same, from the earliest of the recent reports.
    std::int64_t HeardAfter(std::uint64_t written, std::int64_t heardAfter, std::int64_t nowNs)
    {
        if (heardAfter < 0)
            return heardAfter;
        // A gap in the blocks (corked, stalled): what came before says nothing of the stream now.
        if (nowNs - lastNs_ > kGapNs)
            Reset();
        lastNs_ = nowNs;
        // The frame heard at time zero: constant while the stream plays on the sink's clock, and
        // too small in a report that came late.
        const double nowFrames = double(nowNs) * 1e-9 * kStreamRate;
        const double atZero = double(written) - double(heardAfter) - nowFrames;
        if (nowNs - bucketStartNs_ >= kBucketNs) {
            previous_ = current_;
            current_ = kNone;
            bucketStartNs_ = nowNs;
        }
        current_ = std::max(current_, atZero);
        const double best = std::max(current_, previous_);
        return std::max<std::int64_t>(std::llround(double(written) - nowFrames - best), 0);
    }
    // The stream started, was uncorked, ran dry or moved to another device: its frames may be
    // heard later than before.
    void Reset()
    {
        current_ = previous_ = kNone;
        bucketStartNs_ = std::numeric_limits<std::int64_t>::min() / 2;
    }

private:
    static constexpr double kNone = -std::numeric_limits<double>::infinity();
    static constexpr std::int64_t kBucketNs = 1'000'000'000;
    static constexpr std::int64_t kGapNs = 200'000'000;
    double current_ = kNone;  // the latest frame heard at time zero, this second
    double previous_ = kNone; // and the second before
    std::int64_t bucketStartNs_ = std::numeric_limits<std::int64_t>::min() / 2;
    std::int64_t lastNs_ = std::numeric_limits<std::int64_t>::min() / 2;
};

} // namespace sound
