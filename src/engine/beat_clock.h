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
namespace engine {

class BeatClock {
public:
    // A beat found in a block.
    struct Beat {
        int offset;            // frame within the block at which the beat sounds
        double intervalMs;     // exact time since the previous beat (the first: since the start)
        std::int64_t unit = 0; // the crossing it is: unit k is the k-th passage since the start
    };

    BeatClock() = default;
    explicit BeatClock(double sampleRate) : sampleRate_(sampleRate) {}

    // A new run: Phase 0 at the next frame rendered, swinging at `phaseRatePerMs`. The start
    // itself is the reference: the first beat is the first return to the centre, half a swing on.
    void Start(double phaseRatePerMs, double swingFactor);
    // A new rate from the next frame on, continuing from the current phase without a jump.
    void SetRate(double phaseRatePerMs);
    double Rate() const { return ratePerMs_; }
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
    double UnitsAt(std::int64_t frame) const { return anchorUnits_ + unitsPerFrame_ * double(frame - anchorFrame_); }

    double sampleRate_ = 44100.0;
    double swingFactor_ = 30.5;
    double ratePerMs_ = 0;
    double unitsPerFrame_ = 0;
    std::int64_t frame_ = 0;       // next frame to render
    std::int64_t anchorFrame_ = 0; // where the current rate began
    double anchorUnits_ = 0;       // crossing units at anchorFrame_
    std::int64_t nextCrossing_ = 1;
    double lastBeatFrame_ = 0; // ideal frame of the previous beat; the start before the first
};

template <class OnBeat> void BeatClock::Advance(int frames, OnBeat &&onBeat)
{
    const std::int64_t end = frame_ + frames;
    while (unitsPerFrame_ > 0) {
        const double at = double(anchorFrame_) + (double(nextCrossing_) - anchorUnits_) / unitsPerFrame_;
        // The first frame at or after the ideal crossing; a tolerance far below a frame keeps a
        // crossing that falls exactly on a frame there despite rounding.
        const double first = std::ceil(at - 1e-4);
        if (!(first < double(end)))
            break;
        const double interval = (at - lastBeatFrame_) * 1000.0 / sampleRate_;
        lastBeatFrame_ = at;
        ++nextCrossing_;
        const int offset = first < double(frame_) ? 0 : int(first - double(frame_));
        onBeat(Beat{offset, interval, nextCrossing_ - 1});
    }
    frame_ = end;
}

} // namespace engine
