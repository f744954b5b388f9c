#pragma once
#include <atomic>
#include <cstdint>

#include "sound/audio_source.h"
#include "sound/latest_value.h"

namespace sound {

// Where the stream stood when the audio thread last rendered.
struct HeardClock {
    std::uint64_t rendered = 0; // frames rendered so far
    std::int64_t latency = 0;   // of those, how many were not heard yet at atNs (< 0: the stream ran dry)
    std::int64_t atNs = 0;      // steady clock (CLOCK_MONOTONIC), 0 before the first block
};

// What every output stream renders: the source put behind it, the count of frames rendered (the
// same frame numbers as the mixer's, since every frame of the mixer is rendered through here) and,
// with each block, when the frames are heard, from the latency the output reports.
//
// Threads (see sound/threads.h): SetSource, HeardFrame, Restart and Handover on the UI thread
// (Restart and Handover only while no stream renders, Restart also on the sound output's
// connecting thread); SetLatency, Render and
// BlockLatency on the audio thread; SetLatency also on the UI or connecting thread while no stream
// renders; silentFrames on any thread.
class StreamFeed : public AudioSource {
public:
    explicit StreamFeed(AudioSource *source = nullptr) : source_(source) {}

    // Puts another source behind the stream (null plays silence). When it returns, Render no
    // longer uses the previous source, which may then be destroyed.
    void SetSource(AudioSource *source);
    // How many frames already rendered are not heard yet as the next block begins. Relaxed: one
    // writer at a time, and a stream starting after the UI thread wrote it is ordered by its start.
    // `reported`: the output's own report, not a stand-in while it has reported nothing yet.
    void SetLatency(std::int64_t frames, bool reported = true)
    {
        latency_.store(frames, std::memory_order_relaxed);
        reported_.store(reported, std::memory_order_relaxed);
    }
    // Audio thread, before Render: the same from the server's own timing report, where the output
    // has one (-1: none); it places the blocks on a shared session's clock.
    void SetHeardAfter(std::int64_t frames) { heardAfter_.store(frames, std::memory_order_relaxed); }
    // Inside Render (the source's block): how many frames after the mixer's first frame of the
    // block starts being heard (the output's latency and the limiter's look-ahead), or -1 while the
    // output has reported no latency.
    std::int64_t BlockLatency() const;

    void Render(float *out, int frames) override;
    void Restart() override;
    // The count of frames rendered goes on, so HeardFrame stays in step across the gap.
    void Handover() override;

    // The frame heard now, in the numbering of the mixer's frames (the frame a voice is started at,
    // a beat's onset frame): the frames rendered less the output's latency and the mixer's
    // constant look-ahead (Mixer::kLookAheadFrames). Never less than it was at the last call,
    // never more than what has been rendered.
    double HeardFrame();
    // How many frames at the end of what was rendered are silent. Relaxed: a hint.
    std::uint64_t silentFrames() const { return silent_.load(std::memory_order_relaxed); }

private:
    std::atomic<AudioSource *> source_;
    // Odd while Render runs: SetSource waits for it to leave before the old source goes.
    std::atomic<std::uint64_t> inRender_{0};
    std::atomic<std::int64_t> latency_{0};
    std::atomic<bool> reported_{false};
    std::atomic<std::int64_t> heardAfter_{-1};
    std::atomic<std::uint64_t> silent_{0};
    std::uint64_t rendered_ = 0; // audio thread
    LatestValue<HeardClock> clock_;
    double lastHeard_ = 0; // UI thread
};

} // namespace sound
