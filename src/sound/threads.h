#pragma once
#include <atomic>
#include <cassert>
#include <thread>

// The program's threads, as every sound and engine header names them:
//
//   UI thread     the thread of the Qt event loop (main); tests stand in for it with their own.
//   audio thread  the thread that renders the stream: PulseAudio's main loop thread or SDL's audio
//                 callback thread. It changes when a stream is opened anew, never while one runs.
//                 On it: no locks the UI thread can hold, no allocation or freeing, no file access,
//                 no Qt calls, no logging.
//   any thread    callable from both, at any time.
//
// A class with a "Threads:" line names the thread of each member function; without it, the whole
// class belongs to the UI thread.
namespace sound {

// Checks in debug builds that one end of a single-producer or single-consumer structure is used
// by one thread only: the first thread to use it owns it until Release (called while that thread
// no longer touches it, e.g. between two streams). Costs nothing with NDEBUG.
class OneThread {
public:
    void Check()
    {
#ifndef NDEBUG
        std::thread::id none;
        const std::thread::id me = std::this_thread::get_id();
        // Relaxed: only the identity matters; a handover between threads is ordered by whatever
        // stopped the first thread (a stream closed, a thread joined).
        if (!owner_.compare_exchange_strong(none, me, std::memory_order_relaxed))
            assert(none == me && "used from a second thread");
#endif
    }
    void Release()
    {
#ifndef NDEBUG
        owner_.store(std::thread::id{}, std::memory_order_relaxed); // relaxed: see Check
#endif
    }

private:
#ifndef NDEBUG
    std::atomic<std::thread::id> owner_{};
#endif
};

} // namespace sound
