#pragma once
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/shared_session.h"

// The engine's view of an Ableton Link session (engine::SharedSession) on Link's audio-thread
// calls, which neither lock nor allocate. `LinkT` is ableton::Link, or ableton::BasicLink with a
// clock of the tests' own.
namespace linksync {

// Threads (see sound/threads.h): SetStartStopShared on any thread; AlignIn on the UI thread; the
// session's functions on the audio thread (see engine::SharedSession).
template <class LinkT> class AudioSession final : public engine::SharedSession {
public:
    explicit AudioSession(LinkT &link) : link_(link) {}

    // Whether start and stop are shared with peers; without, the session never says it plays and
    // our own starts and stops stay ours. Relaxed: a setting, read afresh in every block.
    void SetStartStopShared(bool shared) { startStopShared_.store(shared, std::memory_order_relaxed); }

    std::int64_t NowMicros() const override { return link_.clock().micros().count(); }
    void Capture() override
    {
        state_.emplace(link_.captureAudioSessionState());
        changed_ = false;
    }
    int Peers() const override { return int(link_.numPeers()); }
    double Tempo() const override { return state_->tempo(); }
    double BeatAt(std::int64_t micros, double quantum) const override
    {
        return state_->beatAtTime(std::chrono::microseconds(micros), quantum);
    }
    bool Playing() const override { return Shared() && state_->isPlaying(); }

    void RequestBeatAtTime(double beat, std::int64_t micros, double quantum) override
    {
        state_->requestBeatAtTime(beat, std::chrono::microseconds(micros), quantum);
        changed_ = true;
    }
    void RequestAlignment(double beat, std::int64_t micros, double quantum, double seen) override
    {
        // A sequence lock: odd while the fields change. Relaxed stores between a release fence and
        // the release store of the even count, which AlignIn acquires before reading them.
        const std::uint64_t n = sequence_.load(std::memory_order_relaxed);
        sequence_.store(n + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        beat_.store(beat, std::memory_order_relaxed);
        micros_.store(micros, std::memory_order_relaxed);
        quantum_.store(quantum, std::memory_order_relaxed);
        seen_.store(seen, std::memory_order_relaxed);
        sequence_.store(n + 2, std::memory_order_release);
    }
    bool AlignmentDropped() const override
    {
        // Relaxed: sequence_ is the audio thread's own, dropped_ a number compared with it.
        const std::uint64_t n = sequence_.load(std::memory_order_relaxed);
        return n != 0 && dropped_.load(std::memory_order_relaxed) == n;
    }
    void RequestBeatAtStartPlaying(double beat, double quantum) override
    {
        state_->requestBeatAtStartPlayingTime(beat, quantum);
        changed_ = true;
    }
    void SetTempo(double bpm, std::int64_t micros) override
    {
        state_->setTempo(bpm, std::chrono::microseconds(micros));
        changed_ = true;
        // Relaxed value, release count: a reader that sees the count sees the value (or a later one).
        const std::uint64_t n = sentCount_.load(std::memory_order_relaxed);
        sent_[n % sent_.size()].store(std::clamp(bpm, kMinTempo, kMaxTempo), std::memory_order_relaxed);
        sentCount_.store(n + 1, std::memory_order_release);
    }
    bool TempoFromElsewhere(std::uint64_t &seen, double &bpm) const override
    {
        const std::uint64_t n = noticed_.load(std::memory_order_acquire); // pairs with Noticed's release
        if (n == seen)
            return false;
        seen = n;
        bpm = noticedTempo_.load(std::memory_order_relaxed);
        return true;
    }

    // On Link's thread, for every tempo the session takes (its tempo callback): one the audio side
    // did not set lately is counted for TempoFromElsewhere. Our own come back as set; one passed on
    // through the network may be off by Link's rounding to whole microseconds a beat.
    void Noticed(double bpm)
    {
        const std::uint64_t sent = sentCount_.load(std::memory_order_acquire); // see SetTempo
        for (std::uint64_t i = 0; i < std::min<std::uint64_t>(sent, sent_.size()); ++i)
            if (std::abs(sent_[i].load(std::memory_order_relaxed) - bpm) < 0.01)
                return;
        noticedTempo_.store(bpm, std::memory_order_relaxed);
        noticed_.fetch_add(1, std::memory_order_release); // release: the tempo is there first
    }
    void SetPlaying(bool playing, std::int64_t micros) override
    {
        if (!Shared())
            return;
        state_->setIsPlaying(playing, std::chrono::microseconds(micros));
        changed_ = true;
    }
    void Commit() override
    {
        if (changed_)
            link_.commitAudioSessionState(*state_);
        changed_ = false;
    }

    // UI thread. Makes the change RequestAlignment asked for in `state`, an app session state
    // captured now, if it is new, we are still alone and the session still gives the beat the
    // audio thread saw; true when it did. A request that does not match yet is tried again next
    // time (the session may not yet show what the audio thread saw).
    bool AlignIn(typename LinkT::SessionState &state)
    {
        const std::uint64_t n = sequence_.load(std::memory_order_acquire); // see RequestAlignment
        if (n == aligned_ || n % 2 != 0)
            return false;
        const double beat = beat_.load(std::memory_order_relaxed);
        const std::chrono::microseconds at(micros_.load(std::memory_order_relaxed));
        const double quantum = quantum_.load(std::memory_order_relaxed);
        const double seen = seen_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) != n) // changed while read: next time
            return false;
        if (std::isnan(beat)) {
            aligned_ = n; // withdrawn
            return false;
        }
        if (link_.numPeers() > 0) {
            aligned_ = n; // a peer's session is ours now, or our session theirs: it stays as it is
            dropped_.store(n, std::memory_order_relaxed); // relaxed: a number, nothing read with it
            return false;
        }
        if (std::abs(state.beatAtTime(at, quantum) - seen) > kSameBeat)
            return false;
        state.requestBeatAtTime(beat, at, quantum);
        aligned_ = n;
        return true;
    }

    // UI thread: a request AlignIn has not yet made or dropped (cheap, without Link's locks).
    bool AlignmentWaiting() const { return sequence_.load(std::memory_order_relaxed) != aligned_; } // a hint

    // Two readings of the same timeline at the same time differ by less (Link counts micro-beats).
    static constexpr double kSameBeat = 1e-5;

private:
    bool Shared() const { return startStopShared_.load(std::memory_order_relaxed); }

    LinkT &link_;
    std::optional<typename LinkT::SessionState> state_; // audio thread
    bool changed_ = false;
    std::atomic<bool> startStopShared_{false};
    // The alignment asked for (RequestAlignment) and the last one AlignIn is done with (UI thread).
    std::atomic<std::uint64_t> sequence_{0};
    std::atomic<double> beat_{0};
    std::atomic<std::int64_t> micros_{0};
    std::atomic<double> quantum_{4};
    std::atomic<double> seen_{0};
    std::uint64_t aligned_ = 0;
    std::atomic<std::uint64_t> dropped_{0}; // the request AlignIn dropped because peers came
    // The tempi the audio side set last (a ring, written by it), and those noticed from elsewhere.
    std::array<std::atomic<double>, 16> sent_{};
    std::atomic<std::uint64_t> sentCount_{0};
    std::atomic<double> noticedTempo_{0};
    std::atomic<std::uint64_t> noticed_{0};
};

} // namespace linksync
