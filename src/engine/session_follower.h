#pragma once
#include <array>
#include <atomic>
#include <cstdint>

#include "engine/beat_clock.h"
#include "engine/shared_session.h"

namespace sound {
class StreamFeed;
}

// The beats of a shared session (see shared_session.h) on the frames of our stream: for each block
// the host time at which its first frame is heard, and the beat clock steered so that its crossings
// fall where the session's beat time crosses whole beats.
namespace engine {

// When the frames of the stream are heard, in host time: Ableton's HostTimeFilter, without
// allocation. Each block gives one point (its first frame, the clock now plus the latency the
// output reports); the line through the last kPoints points smooths the jitter of both. A point
// more than kJumpMicros off the line is left out (the thread was held up between the two
// readings); kJumpPoints such points in a row (the stream was corked or ran dry, and the frames
// moved against the clock) start the line anew. Until the points span a second the slope is the
// nominal rate. Audio thread.
class HostTimeFilter {
public:
    static constexpr int kPoints = 512;
    static constexpr double kJumpMicros = 5000;
    static constexpr int kJumpPoints = 4;

    explicit HostTimeFilter(double sampleRate = 44100.0) : nominal_(1e6 / sampleRate) {}
    // Adds the point and returns the smoothed host time of `frame`.
    double Add(std::uint64_t frame, double micros);
    // Microseconds per frame along the line.
    double Slope() const { return slope_; }
    // The last point was left out: off the line.
    bool Off() const { return off_ > 0; }
    void Reset() { count_ = off_ = 0; }

private:
    double At(std::uint64_t frame) const { return base_.second + intercept_ + slope_ * (double(frame) - base_.first); }

    double nominal_;
    std::array<std::pair<double, double>, kPoints> points_{}; // frame and micros, from base_
    std::pair<double, double> base_{};
    int count_ = 0;
    int next_ = 0;
    int off_ = 0; // points in a row off the line
    double slope_ = 0;
    double intercept_ = 0;
};

// The host time to ask the session for its next bar (from `at` on) with RequestBeatAtTime: a
// hair before the bar, since the session counts in millionths of a beat and, with peers, moves a
// request forward to the next bar whose phase matches, never back. Audio thread.
std::int64_t NextBarRequest(const SharedSession &session, std::int64_t at, double quantum);

// Steers the engine's beat clock by a shared session while one is set. Crossing unit k of the
// clock is the session's beat k - 1 for the quantum (the beats per cycle): unit 1, the first beat
// of a run, is the session's bar. A run started alone begins as without a session (its first beat
// one beat after the start, which becomes the session's bar); with peers it waits for the next bar
// of the session, or, when start and stop are shared and the session already plays, it comes in on
// the grid of that start. Beats before the bar are not sounded (the clock may swing meanwhile).
//
// Alone, our beat goes to the session through the app side (RequestAlignment), not in a commit of
// the audio thread, which would hide a peer found a moment later from us for a while; until the
// session shows it, the clock keeps our beat by an offset to the session's. A peer's session
// found meanwhile is followed as soon as it reaches the audio side; when a peer joins ours instead,
// the offset ends once the app side has dropped our beat.
//
// Threads (see sound/threads.h): SetSession on the UI thread; the rest on the audio thread, inside
// the metronome's Render.
class SessionFollower {
public:
    // The session from the next block on (null: none), with the stream feed whose latency places
    // the blocks. When it returns, the previous session is no longer used and may be destroyed.
    void SetSession(SharedSession *session, const sound::StreamFeed *feed);

    // Audio thread. At the start of a block: takes the session's state; false without a session.
    bool Begin(std::uint64_t blockStart);
    // A run starts with this block; a `bpm` above 0 is the run's tempo, set in the session at its
    // start (a song's first), before the run's first beat is asked for. `onBar`: its first beat is
    // a session bar also when it comes in on the grid of a shared start (a song, a count-in).
    void StartRun(double bpm = 0, bool onBar = false)
    {
        startPending_ = true;
        startTempo_ = bpm;
        startOnBar_ = onBar;
    }
    // Steers `clock` for this block; `nextBeat` is the number the next beat would have without the
    // session. Without a reported latency the clock stands still: no beat is placed before the
    // block's time is known.
    void Steer(BeatClock &clock, int beatsPerCycle, int nextBeat);
    // The number in the cycle of the beat at crossing `unit` (the session's phase).
    static int BeatNumber(std::int64_t unit, int beatsPerCycle);
    // Called for each beat placed.
    void Placed();
    // The trainer's new tempo from frame `frame` on, sent to the session.
    void SetTempo(double bpm, std::uint64_t frame);
    // Ends the block (after every Begin, with or without a session): sends what changed.
    void End();

    // A tempo the session took from elsewhere (a peer's) since the run started: true, with it.
    bool TempoFromElsewhere(double &bpm) { return active_ && active_->TempoFromElsewhere(noticed_, bpm); }

    double Tempo() const { return tempo_; }
    // A run waits for the session's bar.
    bool Waiting() const { return waiting_; }
    bool Active() const { return active_ != nullptr; }

private:
    double UnitsAt(double host, double quantum) const;
    // Alone: our beat `beat` at host time `at`, asked of the app side; the offset keeps it meanwhile.
    void AlignAlone(double beat, std::int64_t at, double quantum);
    // The offset ends (the session moved, or a new start); a request still waiting is withdrawn.
    void EndAlignment();

    std::atomic<SharedSession *> session_{nullptr};
    std::atomic<const sound::StreamFeed *> feed_{nullptr};
    // Odd while a block uses the session: SetSession waits for it to end.
    std::atomic<std::uint64_t> inBlock_{0};

    // Audio thread only.
    SharedSession *active_ = nullptr;
    const sound::StreamFeed *activeFeed_ = nullptr;
    HostTimeFilter filter_;
    std::uint64_t blockStart_ = 0;
    double hostStart_ = 0; // smoothed host time of the block's first frame, 0: unknown
    double heard_ = 0;     // the same, as the clock and the latency report it for this block
    double tempo_ = 0;
    bool startPending_ = false;
    double startTempo_ = 0;
    bool startOnBar_ = false;
    bool barFirst_ = false;      // the run's first beat: the first bar from this block on
    std::int64_t firstUnit_ = 1; // the run's first beat
    std::uint64_t noticed_ = 0;  // the session's tempi from elsewhere seen
    bool adopt_ = false;
    bool waiting_ = false;
    bool placedInRun_ = false;
    // The alignment asked for while alone: our beat at alignAt_ and what the session gave there.
    bool aligning_ = false;
    double offset_ = 0; // our beat minus the session's, while aligning_
    double alignBeat_ = 0;
    std::int64_t alignAt_ = 0;
    double alignQuantum_ = 1;
    double alignSeen_ = 0;
};

} // namespace engine
