#pragma once
#include <atomic>
#include <functional>
#include <memory>

#include "engine/shared_session.h"

// Playing together over Ableton Link: tempo, bar and (optionally) start and stop shared with the
// other programs on the network. This folder is the only one that includes Link's headers.
namespace linksync {

// One Link session while Link is on: made when the user switches Link on, destroyed when it goes
// off, so that while off no Link object, thread or socket exists.
//
// Threads (see sound/threads.h): UI thread, except Peers (any thread) and audio() (whose functions
// belong to the audio thread, see engine::SharedSession). Link's own threads call the notifiers
// given at construction: they must neither block nor call Qt; posting a queued call is fine.
class LinkSession {
public:
    struct Notifiers {
        std::function<void()> peers;               // the count of peers changed (read Peers())
        std::function<void(double bpm)> tempo;     // the session's tempo changed (ours too)
        std::function<void(bool playing)> playing; // the shared start/stop state changed
    };

    // Enables Link at `bpm` (kept within Link's 20..999).
    LinkSession(double bpm, Notifiers notify);
    // Disables Link and ends its threads; no notifier is called once it returns.
    ~LinkSession();
    LinkSession(const LinkSession &) = delete;
    LinkSession &operator=(const LinkSession &) = delete;

    // A tempo the user chose, from now on (app session state), within 20..999.
    void SetTempo(double bpm);
    double Tempo() const;
    // Shares start and stop with peers that share them too.
    void SetStartStopShared(bool shared);
    // The user stopped (with start/stop shared, peers stop too).
    void Stopped();
    // Other programs in the session. Relaxed: a count shown.
    int Peers() const { return peers_.load(std::memory_order_relaxed); }

    engine::SharedSession &audio();

    static constexpr double kMinBpm = 20;
    static constexpr double kMaxBpm = 999;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::atomic<int> peers_{0};
};

} // namespace linksync
