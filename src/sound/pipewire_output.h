#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/graph_clock.h"
#include "sound/stream_feed.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;
struct pw_stream;
struct spa_source;

namespace sound {

// A native PipeWire playback stream (libpipewire-0.3): interleaved stereo float at 44100 Hz,
// rendered by the StreamFeed in PipeWire's data thread (PW_STREAM_FLAG_RT_PROCESS), in the very
// cycle the graph plays it.
//
// Chosen where a PipeWire daemon answers on the user's socket (PIPEWIRE_REMOTE or pipewire-0; no
// daemon is started for it), is 0.3.50 or later (pw_stream_get_time_n with `buffered`) and plays
// the sound (an Audio/Sink node exists: where PulseAudio plays and PipeWire only handles video, it
// does not).
//
// Timing: in every callback the stream's report (pw_time) says when the block filled now is heard
// (GraphClock), which the feed takes as its latency, so the pendulum passes the centre as the
// click is heard. A cycle the graph ran without our data (the callback came too late, PipeWire logs
// "client missed N wakeups") shows as ticks past the frames written: the feed skips those frames
// (StreamFeed::Skip), so every later beat stays on its frame of the device's time line, and a beat
// due within them sounds at the first frame after.
//
// Latency: the node asks for kLatencyFrames at 48 kHz. A node's request sets the whole graph's
// cycle (the smallest request wins), so a small one costs every other program wake-ups; 512
// frames (10.7 ms) keeps STOP quick, and the heard frame is exact at any cycle.
//
// Real time: the data thread's priority is PipeWire's (its client module asks RTKit, or sets it
// where the limits allow); where it was refused, the data thread says so in realTimeRefused().
//
// Resting: Play(false) makes the stream inactive once what it played last is silent; then nothing
// runs. Play(true) makes it active again.
//
// Threads (see sound/threads.h): Connect, StartStream, Close, Play and SetLossNotifier on one
// thread at a time: the UI thread, or the sound output's connecting thread while it runs. The
// filling runs on the audio thread (PipeWire's data thread); stream events on the thread loop's
// thread. lost(), lostAtNs(), suspended(), skippedCycles() and realTimeRefused() on any thread.
class PipeWireOutput {
public:
    static constexpr int kLatencyFrames = 512; // at kLatencyRate
    static constexpr int kLatencyRate = 48000;
    // How long connecting or starting the stream may take before the daemon counts as slow.
    static constexpr int kSlowAfterMs = 5000;
    // How long a playing stream may go without a cycle before its device counts as suspended.
    static constexpr int kSuspendedAfterMs = 500;

    explicit PipeWireOutput(StreamFeed &feed);
    ~PipeWireOutput();
    PipeWireOutput(const PipeWireOutput &) = delete;
    PipeWireOutput &operator=(const PipeWireOutput &) = delete;

    // How connecting ended: a daemon that plays the sound answered; refused (no daemon, too old,
    // no Audio/Sink); it did not answer within kSlowAfterMs (frozen or overloaded); `cancel` was set.
    enum class Step { Ready, Refused, Slow, Cancelled };
    // Connects, looking at `cancel` every 10 ms. Anything but Ready closes again.
    Step Connect(std::string &error, const std::atomic<bool> &cancel);
    // After Connect: starts the stream, inactive unless `playing`. False (closed) when refused,
    // slow or cancelled.
    bool StartStream(bool playing, std::string &error, const std::atomic<bool> &cancel);
    // Ends the stream and the connection; no block is rendered any more when it returns.
    void Close();
    bool IsOpen() const { return loop_ != nullptr; }
    void Play(bool playing);

    // The daemon went away or failed the stream: Close, then connect again.
    bool lost() const { return lost_.load(std::memory_order_acquire); }                 // acquire: pairs with MarkLost
    std::int64_t lostAtNs() const { return lostAtNs_.load(std::memory_order_relaxed); } // relaxed: see lost()
    // Playing, but no cycle for kSuspendedAfterMs: the device is suspended or held, or no sink is
    // linked (the last one removed). Nothing is played meanwhile.
    bool suspended() const;
    // Cycles the graph ran without the stream's data, and the frames skipped for them.
    std::uint64_t skippedCycles() const { return skipped_.load(std::memory_order_relaxed); } // relaxed: a count
    std::uint64_t skippedFrames() const { return skippedFrames_.load(std::memory_order_relaxed); }
    // The data thread found itself without real-time scheduling.
    bool realTimeRefused() const { return rtRefused_.load(std::memory_order_relaxed); } // relaxed: a hint
    // A callback the thread loop calls once when the stream is lost (to wake the UI thread).
    void SetLossNotifier(void (*notify)(void *), void *context);

    struct Listeners; // PipeWire's hooks and event tables (pipewire_output.cpp)

private:
    friend struct Listeners;
    void Process();     // audio thread
    void RestIfAsked(); // thread loop
    void MarkLost();    // thread loop
    template <class Done> bool WaitFor(Done done, const std::atomic<bool> &cancel, bool &slow);

    StreamFeed &feed_;
    std::unique_ptr<Listeners> listeners_;
    pw_thread_loop *loop_ = nullptr;
    pw_context *context_ = nullptr;
    pw_core *core_ = nullptr;
    pw_registry *registry_ = nullptr;
    pw_stream *stream_ = nullptr;
    spa_source *restEvent_ = nullptr;
    // Thread loop, read by the waiting thread under the loop's lock.
    int syncSeq_ = -1;
    bool synced_ = false;
    bool failed_ = false;
    int sinks_ = 0;
    std::string version_;
    int state_ = 0; // pw_stream_state
    std::string streamError_;

    GraphClock graph_;            // audio thread
    std::uint64_t ticksBase_ = 0; // audio thread: the graph's position where graph_ started
    std::uint64_t lastTicks_ = 0; // audio thread: the position and time of the last cycle
    std::int64_t lastNowNs_ = 0;
    // How far the position may run ahead of the time passed (graph frames) before it counts as
    // another driver's: `now` is the cycle's start, which a held-up daemon reports late by up to a
    // cycle or two, while its position counts exactly.
    static constexpr double kDriverSlackTicks = 8192;
    bool rtChecked_ = false; // audio thread
    int cycles_ = 0;         // audio thread, until rtChecked_
    static constexpr int kRtCheckCycle = 100;
    std::atomic<bool> rtRefused_{false};
    std::atomic<bool> resetClock_{true}; // the next cycle starts the graph clock anew
    std::atomic<bool> resting_{false};   // asked by Play(false)
    std::atomic<bool> restAsked_{false}; // the data thread asked the loop to make the stream inactive
    std::atomic<bool> inactive_{false};  // made inactive (thread loop, and Play under its lock)
    std::atomic<std::int64_t> lastCycleNs_{0};
    std::atomic<bool> lost_{false};
    std::atomic<std::int64_t> lostAtNs_{0};
    std::atomic<std::uint64_t> skipped_{0};
    std::atomic<std::uint64_t> skippedFrames_{0};
    void (*notify_)(void *) = nullptr;
    void *notifyContext_ = nullptr;
};

} // namespace sound
