#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "sound/stream_feed.h"

struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_threaded_mainloop;

namespace sound {

// A PulseAudio playback stream (libpulse, threaded main loop; PipeWire serves it too): interleaved
// stereo float at 44100 Hz, filled by the StreamFeed whenever the server asks for data, so that the
// beat clock is the same as with any other output.
//
// Holding time: the server keeps kTargetMs of our frames (see pulse_output.cpp for why that
// length). Pre-buffering is off: when the stream runs dry, the server plays on without waiting,
// skips what it missed and every later frame keeps its place on the sink's clock; each such
// underrun is counted. Before every block the feed learns the latency the server reports (its last
// timing report taken while the stream played, else libpulse's interpolation), so it knows which
// frame is heard now; when the server has reported nothing yet, the buffer length stands in.
// PipeWire's server reports its read position only once per processing cycle: there libpulse's
// interpolation is taken throughout.
//
// STOP: TakeBack writes again what the server holds unheard, so that no sound begun after the
// frame heard at the press is heard (StreamFeed::TakeBack). PulseAudio rewinds its device for
// that, up to the frame being heard; PipeWire's server replaces only what it has not read yet
// (up to a processing cycle ahead), so a sound due within that cycle still sounds there.
//
// Resting: Play(false) corks the stream as soon as everything it holds is silence (a sound still
// ringing is played out first); then nothing runs and nothing is asked for. Play(true) uncorks.
//
// Threads (see sound/threads.h): Open, Connect, HasDevice, StartStream, Close, Play, TakeBack and
// SetLossNotifier on one thread at a time: the UI thread, or the sound output's connecting thread
// while it runs. The filling runs on the audio thread (the main loop's thread), which also tries once to raise its own
// priority to real time where the system allows (RLIMIT_RTPRIO), silently otherwise. lost(), lostAtNs(),
// underruns(), corked() and suspended() on any thread.
class PulseOutput {
public:
    static constexpr int kTargetMs = 160;
    static constexpr int kRequestMs = 20;
    static constexpr int kTakeBackMarginMs = 5;

    explicit PulseOutput(StreamFeed &feed) : feed_(feed) {}
    ~PulseOutput() { Close(); }
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Connects to the server (PULSE_SERVER or the default) and starts a stream, corked unless
    // `playing`. False, with the reason, when no server answers or it refuses the stream. Waits
    // as long as the server takes (Connect, then StartStream).
    bool Open(bool playing, std::string &error);
    // How connecting ended: connected; refused (no server, an error); the server did not answer in
    // libpulse's time (about 30 s: frozen or overloaded); `cancel` was set meanwhile.
    enum class Step { Ready, Refused, Slow, Cancelled };
    // Connects to the server, looking at `cancel` every 10 ms. Anything but Ready closes again.
    Step Connect(std::string &error, const std::atomic<bool> &cancel);
    // After Connect: whether the server has a device to play on (its default sink; none when every
    // sink is gone). Waits as long as the server takes; false when cancelled.
    bool HasDevice(const std::atomic<bool> &cancel);
    // After Connect: starts the stream, corked unless `playing`. False (closed) when refused or
    // cancelled.
    bool StartStream(bool playing, std::string &error, const std::atomic<bool> &cancel);
    // Ends the stream and the connection; no block is rendered any more when it returns.
    void Close();
    bool IsOpen() const { return mainloop_ != nullptr; }
    void Play(bool playing);
    // STOP was pressed while `heardFrame` was heard (StreamFeed::HeardFrame), and the source starts
    // nothing new: a sound that begins after it and is not heard yet is taken back. Holds the main
    // loop's lock (as Play does), so that no block is rendered meanwhile.
    void TakeBack(double heardFrame);

    // The server went away or failed the stream: Close, then Open again.
    bool lost() const { return lost_.load(std::memory_order_acquire); } // acquire: pairs with the setter
    // When it was lost (steady clock, ns); read after lost() is true.
    std::int64_t lostAtNs() const { return lostAtNs_.load(std::memory_order_relaxed); }    // relaxed: see lost()
    std::uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); } // relaxed: a count
    // Whether the stream is corked (asked for by Play(false) and done).
    bool corked() const { return corked_.load(std::memory_order_relaxed); } // relaxed: a state shown
    // Whether the server has suspended the device the stream plays on: another program holds it
    // (as a JACK server does), it was suspended by hand, or it idles while the stream is corked.
    // Nothing is played or asked for meanwhile. Followed when the stream is moved to another device
    // too (the sound settings, a device unplugged).
    bool suspended() const { return suspended_.load(std::memory_order_relaxed); } // relaxed: a state shown
    int bufferFrames() const;
    // A callback the audio thread calls once when the stream is lost (to wake the UI thread).
    // Set under the main loop's lock, so that it is never called once replaced.
    void SetLossNotifier(void (*notify)(void *), void *context);

private:
    static void OnContextState(pa_context *context, void *self);
    static void OnStreamState(pa_stream *stream, void *self);
    static void OnWrite(pa_stream *stream, std::size_t bytes, void *self);
    static void OnUnderflow(pa_stream *stream, void *self);
    static void OnSuspended(pa_stream *stream, void *self);
    // Connecting thread, before the stream: whether the server reports in processing cycles.
    bool ReportsInCycles(const std::atomic<bool> &cancel);
    void Fill(std::size_t bytes);
    // Under the main loop's lock: how many of the frames written last the server will still play as
    // written again (kTakeBackMarginMs to spare), 0 when it cannot tell.
    std::int64_t Replaceable() const;
    template <class Done> bool WaitFor(Done done, const std::atomic<bool> &cancel);
    // Waits for the answer to `o` (none: false) as WaitFor does; a cancelled one calls nothing any more.
    template <class Done> bool Await(pa_operation *o, Done done, const std::atomic<bool> &cancel);
    // Audio thread: frames from now until the next frame written is heard, from the server's last
    // timing report; -1 without one.
    std::int64_t HeardAfter() const;
    void MarkLost();

    StreamFeed &feed_;
    pa_threaded_mainloop *mainloop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    std::atomic<bool> lost_{false};
    std::atomic<std::int64_t> lostAtNs_{0};
    std::atomic<bool> resting_{false};
    std::atomic<bool> corked_{false};
    std::atomic<bool> suspended_{false};
    std::atomic<std::uint64_t> underruns_{0};
    bool prioritySet_ = false;     // audio thread
    bool reportsInCycles_ = false; // PipeWire's server; set before the stream starts
    void (*notify_)(void *) = nullptr;
    void *notifyContext_ = nullptr;
};

} // namespace sound
