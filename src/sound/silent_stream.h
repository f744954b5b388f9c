#pragma once
#include <atomic>
#include <thread>
#include <vector>

#include "sound/stream_feed.h"

namespace sound {

// A stream that nobody hears: renders the feed in blocks at the pace of real time and throws the
// frames away, so that the beat clock and the pendulum run while no sound server answers. The
// frames are taken as heard the moment they are rendered.
//
// Threads (see sound/threads.h): Start and Stop on the UI thread or the sound output's connecting
// thread, one at a time; its own thread is the audio thread while it runs.
class SilentStream {
public:
    SilentStream(StreamFeed &feed, int blockFrames);
    ~SilentStream() { Stop(); }
    SilentStream(const SilentStream &) = delete;
    SilentStream &operator=(const SilentStream &) = delete;

    // Only while no other stream renders the feed.
    void Start();
    // No block is rendered any more when it returns (it waits at most one block).
    void Stop();
    bool running() const { return thread_.joinable(); }

private:
    void Run();

    StreamFeed &feed_;
    std::vector<float> block_;
    const int blockFrames_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

} // namespace sound
