#pragma once
#include <cmath>
#include <cstdint>

// The beat clock: the pendulum's phase, advanced by the frames the audio stream renders, and the
// exact frames at which the swing Sin(Phase * SwingFactor) passes the centre. No allocation, no
// locks.
//
// Threads (see sound/threads.h): audio thread once the stream runs; tests drive it directly.
//
// Internally the phase is counted in half swings ("crossing units": Phase * SwingFactor / pi), so
// the k-th passage through the centre is exactly at unit k and no error builds up over a long run.
// With n clicks per beat the j-th subdivision after beat k is at unit k + j / n, on the frame
// nearest to it, so subdivisions divide every beat interval evenly at any tempo, also across a
// change of tempo.
namespace engine {

class BeatClock {
public:
    // A beat found in a block.
    struct Beat {
        int offset;            // frame within the block at which the beat sounds
        double intervalMs;     // exact time since the previous beat (the first: since the start)
        int sub = 0;           // 0: a beat; 1 .. n-1: the subdivision click that many n-ths after a beat
        std::int64_t unit = 0; // the crossing of the beat (or the one before the subdivision)
    };

    BeatClock() = default;
    explicit BeatClock(double sampleRate) : sampleRate_(sampleRate) {}

    // A new run: Phase 0 at the next frame rendered, swinging at `phaseRatePerMs`. The start
    // itself is the reference: the first beat is the first return to the centre, half a swing on.
    void Start(double phaseRatePerMs, double swingFactor);
    // A new rate from the next frame on, continuing from the current phase without a jump.
    void SetRate(double phaseRatePerMs);
    // Inside onBeat of Advance, for a beat (not a subdivision): a new rate from that beat's exact
    // crossing on, so the interval after it is the first at the new tempo.
    void SetRateFromLastBeat(double phaseRatePerMs);
    // Inside onBeat of Advance for a beat, or before the first beat: the next beat at `frame`
    // (counted from Start, fractional), the rate changed from the last beat's exact crossing so
    // that it falls there. Beats placed from a list of times this way carry no error from one to
    // the next.
    void SetNextBeatAt(double frame);
    double SampleRate() const { return sampleRate_; }
    // Clicks per beat, 1..4 (others are clamped): from the next beat on (the beat under way keeps
    // its kind); before the first beat at once. The first beat after Start has none before it.
    void SetSubdivision(int clicksPerBeat);
    int Subdivision() const { return subdivision_; }
    // The frame (counted from Start) of the next beat at the present rate; INT64_MAX while still.
    std::int64_t NextBeatFrame() const;
    double Rate() const { return ratePerMs_; }
    // Frames from one beat to the next at the present rate; 0 while still.
    double FramesPerBeat() const { return unitsPerFrame_ > 0 ? 1.0 / unitsPerFrame_ : 0.0; }
    // Following a clock outside (a shared session): from the next frame on, `units` crossing units
    // and `unitsPerFrame` more each frame. Steps of up to kLateMs from where the clock stood leave
    // the crossing count alone (a beat that came due before the block sounds at its first frame);
    // after a larger step the next beat is the first crossing at or after `units`, but never one
    // before unit `firstUnit`.
    void Follow(double units, double unitsPerFrame, std::int64_t firstUnit);
    // Standing still (no crossing) until the next Follow or SetRate.
    void Hold() { unitsPerFrame_ = 0; }
    static constexpr double kLateMs = 10;
    double SwingFactor() const { return swingFactor_; }

    // Advances by one block of `frames` frames and calls onBeat(Beat) for every centre crossing in
    // it, in order.
    template <class OnBeat> void Advance(int frames, OnBeat &&onBeat);

    // Crossing units at the next frame to render.
    double UnitsNow() const { return UnitsAt(frame_); }
    // The crossing the next beat will be.
    std::int64_t NextUnit() const { return nextCrossing_; }
    // Frames rendered since Start.
    std::int64_t Frame() const { return frame_; }
    // Phase at a frame of this run, kept within one swing period (0 .. 2 pi / SwingFactor).
    double PhaseAt(std::int64_t frame) const;
    // Swing position Sin(Phase * SwingFactor) at a frame, -1 .. 1.
    double SwingAt(std::int64_t frame) const;

private:
    double UnitsAt(std::int64_t frame) const { return anchorUnits_ + unitsPerFrame_ * (double(frame) - anchorFrame_); }
    void Anchor(double frame, double units, double phaseRatePerMs);

    double sampleRate_ = 44100.0;
    double swingFactor_ = 30.5;
    double ratePerMs_ = 0;
    double unitsPerFrame_ = 0;
    std::int64_t frame_ = 0; // next frame to render
    double anchorFrame_ = 0; // where the current rate began (a beat's exact crossing may lie between frames)
    double anchorUnits_ = 0; // crossing units at anchorFrame_
    std::int64_t nextCrossing_ = 1;
    int subdivision_ = 1;
    int nextSub_ = 1;            // the next tick is subdivision nextSub_ before nextCrossing_; subdivision_: the beat
    int pendingSubdivision_ = 0; // clicks per beat from the next beat on; 0: no change
    double lastBeatFrame_ = 0;   // ideal frame of the previous beat; the start before the first
};

template <class OnBeat> void BeatClock::Advance(int frames, OnBeat &&onBeat)
{
    const std::int64_t end = frame_ + frames;
    while (unitsPerFrame_ > 0) {
        const bool beat = nextSub_ >= subdivision_;
        const double unit =
            beat ? double(nextCrossing_) : double(nextCrossing_ - 1) + double(nextSub_) / double(subdivision_);
        const double at = anchorFrame_ + (unit - anchorUnits_) / unitsPerFrame_;
        // A beat on the first frame at or after the ideal crossing (a tolerance far below a frame
        // keeps a crossing that falls exactly on a frame there despite rounding); a subdivision on
        // the nearest frame.
        const double first = beat ? std::ceil(at - 1e-4) : std::floor(at + 0.5);
        if (!(first < double(end)))
            break;
        const int offset = first < double(frame_) ? 0 : int(first - double(frame_));
        if (!beat) {
            ++nextSub_;
            onBeat(Beat{offset, 0.0, nextSub_ - 1, nextCrossing_ - 1});
            continue;
        }
        const double interval = (at - lastBeatFrame_) * 1000.0 / sampleRate_;
        lastBeatFrame_ = at;
        ++nextCrossing_;
        if (pendingSubdivision_ > 0)
            subdivision_ = pendingSubdivision_;
        pendingSubdivision_ = 0;
        nextSub_ = 1;
        onBeat(Beat{offset, interval, 0, nextCrossing_ - 1});
    }
    frame_ = end;
}

} // namespace engine
