#include "sound/graph_clock.h"

#include <cmath>

namespace sound {

GraphClock::Block GraphClock::Next(const GraphTime &time, std::int64_t lateTicks, int frames)
{
    const double tickSeconds = double(time.rateNum) / double(time.rateDenom ? time.rateDenom : 1);
    const double ahead = double(time.queued + time.buffered) / double(streamRate_); // seconds
    Block block;
    block.heardAtNs = time.nowNs + std::llround((double(time.delay + lateTicks) * tickSeconds + ahead) * 1e9);
    // Where the block begins on the graph's time line, in graph frames: from the ticks, which count
    // exactly, not from `now`, which comes late after the daemon was held up while the ticks do not.
    const double at = double(time.ticks) + double(time.delay + lateTicks) + ahead / tickSeconds;
    const double framesPerTick = tickSeconds * double(streamRate_);
    // In step: the callback was woken by its own cycle, not run right after the one before it,
    // and serves the cycle it reports. After the daemon or this thread was held up, the callbacks
    // come back to back to catch up, and one of them may read the position of a cycle it does not
    // serve: a gap, then no gap, then the same position again. A gap is taken as skipped only once
    // an in-step callback finds the graph where the blocks since promised; the burst's gaps have
    // cancelled by then.
    const double cycleNs = double(frames) / double(streamRate_) * 1e9;
    const bool inStep = time.calledNs == 0 || (double(time.calledNs - lastCalledNs_) >= cycleNs / 4 &&
                                               double(time.calledNs - time.nowNs) < cycleNs);
    lastCalledNs_ = time.calledNs;
    if (started_) {
        const double gap = (at - expectedTicks_) * framesPerTick;
        if (std::abs(gap) >= double(kMinSkipFrames)) {
            pending_ += gap;
        } else if (inStep) {
            // A skip is whole frames; what it leaves of a frame is carried to the next one, so
            // that the beats do not creep off the device's time line by a fraction per skip.
            const double owed = pending_ + carry_;
            const auto skip = std::int64_t(std::llround(owed));
            if (skip >= kMinSkipFrames && skip <= kMaxSkipFrames) {
                block.skip = skip;
                carry_ = owed - double(skip);
            }
            pending_ = 0;
        }
    }
    started_ = true;
    expectedTicks_ = at + double(frames) / framesPerTick;
    return block;
}

} // namespace sound
