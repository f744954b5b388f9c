#pragma once
#include <cstdint>

// What the engine sees of a tempo and beat timeline shared with other programs (an Ableton Link
// session, see sync/): the session's beat at a host time, its tempo, whether it plays, and the few
// changes the engine makes to it. Host times are microseconds of the session's clock.
namespace engine {

// Threads (see sound/threads.h): audio thread, every function; Capture first in each block, then
// the reads and changes, then Commit, all within the block.
class SharedSession {
public:
    virtual ~SharedSession() = default;

    // The tempi a session takes (Link's); one outside is clamped by the session.
    static constexpr double kMinTempo = 20;
    static constexpr double kMaxTempo = 999;

    // The session's clock now.
    virtual std::int64_t NowMicros() const = 0;
    // Takes the session's state for this block.
    virtual void Capture() = 0;
    // Other programs in the session.
    virtual int Peers() const = 0;
    // Beats per minute of the captured state.
    virtual double Tempo() const = 0;
    // The beat at a host time, counted so that its multiples of `quantum` fall on the session's
    // bars (the phase is shared; the count is ours).
    virtual double BeatAt(std::int64_t micros, double quantum) const = 0;
    // Start and stop are shared and the session plays.
    virtual bool Playing() const = 0;

    // Changes of the captured state, sent with Commit. Our beat `beat` at host time `micros`
    // (with peers: at the first time from `micros` on whose phase matches).
    virtual void RequestBeatAtTime(double beat, std::int64_t micros, double quantum) = 0;
    // Asks the app side (sync/) to put our beat `beat` at host time `micros` while we are alone, as
    // RequestBeatAtTime would, provided the session then still gives `seen` there. Not sent with
    // Commit: a change the audio thread commits hides the session's own changes from it for a
    // while (Link: a second), and a peer found meanwhile would not be followed at once. A new
    // request replaces the last; a NaN `beat` withdraws it.
    virtual void RequestAlignment(double beat, std::int64_t micros, double quantum, double seen) = 0;
    // The app side dropped the last request because peers came: the session it shows is theirs
    // (or ours, joined by them) and stays as it is.
    virtual bool AlignmentDropped() const = 0;
    // Our beat `beat` at the time the session started playing (only while it plays).
    virtual void RequestBeatAtStartPlaying(double beat, double quantum) = 0;
    virtual void SetTempo(double bpm, std::int64_t micros) = 0;
    // A tempo the session took that none of our recent SetTempo calls gave it (a peer's, or the
    // app side's), noticed after the `seen`th such one: true, with `seen` and `bpm` the latest.
    // Link lets the audio side see only its own changes for a second after each, and a change it
    // commits meanwhile replaces a peer's in the whole session: this is how it learns of them.
    virtual bool TempoFromElsewhere(std::uint64_t &seen, double &bpm) const
    {
        (void)seen;
        (void)bpm;
        return false;
    }
    virtual void SetPlaying(bool playing, std::int64_t micros) = 0;
    virtual void Commit() = 0;
};

} // namespace engine
