#pragma once
#include <atomic>
#include <functional>
#include <memory>

#include "engine/shared_session.h"

// Playing together over Ableton Link: tempo, bar and (optionally) start and stop shared with the
// other programs on the network. This folder is the only one that includes Link's headers.
namespace linksync {

// What the window holds while Link is on: the session's app-side calls. LinkSession is the real
// one; tests give the window one of their own.
//
// Threads (see sound/threads.h): UI thread, except Peers (any thread) and audio() (whose functions
// belong to the audio thread, see engine::SharedSession). The session's own threads call the
// notifiers given when it is made: they must neither block nor call Qt; posting a queued call is fine.
class Session {
public:
    struct Notifiers {
        std::function<void()> peers;               // the count of peers changed (read Peers())
        std::function<void(double bpm)> tempo;     // the session's tempo changed (ours too)
        std::function<void(bool playing)> playing; // the shared start/stop state changed
    };
    virtual ~Session() = default;

    // A tempo the user chose, from now on (app session state), within 20..999.
    virtual void SetTempo(double bpm) = 0;
    // Shares start and stop with peers that share them too.
    virtual void SetStartStopShared(bool shared) = 0;
    // The user stopped (with start/stop shared, peers stop too).
    virtual void Stopped() = 0;
    // Other programs in the session.
    virtual int Peers() const = 0;
    // Gives the session the beat the audio thread asked for (SharedSession::RequestAlignment), if
    // one is waiting: often while running (the window does it on every display frame).
    virtual void Align() = 0;
    virtual engine::SharedSession &audio() = 0;
};

// One Link session while Link is on: made when the user switches Link on, destroyed when it goes
// off, so that while off no Link object, thread or socket exists. Threads as for Session.
class LinkSession final : public Session {
public:
    // Enables Link at `bpm` (kept within Link's 20..999).
    LinkSession(double bpm, Notifiers notify);
    // Disables Link and ends its threads; no notifier is called once it returns.
    ~LinkSession() override;
    LinkSession(const LinkSession &) = delete;
    LinkSession &operator=(const LinkSession &) = delete;

    void SetTempo(double bpm) override;
    double Tempo() const;
    void SetStartStopShared(bool shared) override;
    void Stopped() override;
    // Relaxed: a count shown.
    int Peers() const override { return peers_.load(std::memory_order_relaxed); }
    void Align() override;

    engine::SharedSession &audio() override;

    static constexpr double kMinBpm = 20;
    static constexpr double kMaxBpm = 999;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::atomic<int> peers_{0};
};

} // namespace linksync
