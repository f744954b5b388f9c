#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/shared_session.h"

// The engine's view of an Ableton Link session (engine::SharedSession) on Link's audio-thread
// calls, which neither lock nor allocate. `LinkT` is ableton::Link, or ableton::BasicLink with a
// clock of the tests' own.
namespace linksync {

// Threads (see sound/threads.h): SetStartStopShared on any thread; the session's functions on the
// audio thread (see engine::SharedSession).
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
    void RequestBeatAtStartPlaying(double beat, double quantum) override
    {
        state_->requestBeatAtStartPlayingTime(beat, quantum);
        changed_ = true;
    }
    void SetTempo(double bpm, std::int64_t micros) override
    {
        state_->setTempo(bpm, std::chrono::microseconds(micros));
        changed_ = true;
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

private:
    bool Shared() const { return startStopShared_.load(std::memory_order_relaxed); }

    LinkT &link_;
    std::optional<typename LinkT::SessionState> state_; // audio thread
    bool changed_ = false;
    std::atomic<bool> startStopShared_{false};
};

} // namespace linksync
