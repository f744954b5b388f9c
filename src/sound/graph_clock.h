#pragma once
#include <cstdint>

namespace sound {

// What a PipeWire stream reports of its graph in a process callback (pw_stream_get_time_n), as
// plain numbers: the graph's position `ticks` at `nowNs`, counted in graph frames of
// rateNum / rateDenom seconds each; `delay` graph frames from the graph to the device's output;
// `queued` and `buffered` frames of the stream (at the stream's own rate) ahead of the block being
// filled, in the stream's queue and in its converter.
struct GraphTime {
    std::int64_t nowNs = 0;    // CLOCK_MONOTONIC, the start of the graph's cycle
    std::int64_t calledNs = 0; // CLOCK_MONOTONIC, when the callback read the report (0: unknown, taken as in step)
    std::uint64_t ticks = 0;
    std::int64_t delay = 0;
    std::uint64_t queued = 0;
    std::uint64_t buffered = 0;
    std::uint32_t rateNum = 1;
    std::uint32_t rateDenom = 48000;
};

// Maps each callback's report to the moment the first frame of the block filled in it is heard,
// and finds the cycles the graph went on without the stream's data.
//
// Heard: the cycle reported starts at nowNs; the block filled now is the stream's part of it,
// heard after the device's delay and after what the stream still holds ahead of it. A stream whose
// callback runs outside the data thread (without PW_STREAM_FLAG_RT_PROCESS) fills a buffer the
// graph takes one cycle later: `lateTicks` says by how much.
//
// Skipped: the graph's clock runs on whether or not the stream delivered. When a cycle passed
// without the stream's data (its callback was late: "client missed N wakeups"), the device played
// silence in its place and the block filled now lies that much further on the graph's time line
// (its ticks) than the blocks before it promised. skip says how many stream frames that is, so that the beat clock can
// jump over them and every later beat stays on its frame of the device's time line.
//
// Threads (see sound/threads.h): one thread at a time, the audio thread while a stream runs.
class GraphClock {
public:
    explicit GraphClock(int streamRate) : streamRate_(streamRate) {}

    struct Block {
        std::int64_t heardAtNs = 0; // CLOCK_MONOTONIC: the block's first frame is heard then
        std::int64_t skip = 0;      // stream frames the device played without the stream since the last block
    };
    // Before `frames` frames are rendered for the cycle `time` reports.
    Block Next(const GraphTime &time, std::int64_t lateTicks, int frames);
    // The stream starts (again): its ticks went on while it was inactive, which is no skip.
    void Reset()
    {
        started_ = false;
        carry_ = 0;
        pending_ = 0;
        lastCalledNs_ = 0;
    }

    // A gap shorter than this is the converter's rounding, not a skipped cycle (which is at least
    // a graph cycle of 32 frames).
    static constexpr std::int64_t kMinSkipFrames = 8;
    // A gap longer than this (the daemon held up for seconds) starts the time line anew rather than
    // rendering all of it in one callback.
    static constexpr std::int64_t kMaxSkipFrames = 10 * 48000;

private:
    int streamRate_;
    bool started_ = false;
    double expectedTicks_ = 0; // where the frame after the last block lies on the graph's time line
    double carry_ = 0;         // the fraction of a frame the last skip left
    double pending_ = 0;       // frames of gap not confirmed yet
    std::int64_t lastCalledNs_ = 0;
};

} // namespace sound
