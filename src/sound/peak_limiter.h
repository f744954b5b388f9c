#pragma once
#include <array>

// The last stage of the mix: a look-ahead peak limiter. Every frame is held back kDelayFrames, so
// that the gain can glide down to what a loud frame needs before that frame leaves; every value
// that leaves is at most kCeiling. While nothing needs holding down (and the gain has come back to
// 1) a frame leaves exactly as it came in, bit for bit: a single sound that stays below the
// ceiling is never touched. Plain C++, no allocation.
//
// Threads (see sound/threads.h): the thread that renders (the audio thread).
namespace sound {

class PeakLimiter {
public:
    // 1.45 ms at 44100 Hz: the constant delay every frame of the mix has between its voices and the
    // output (see StreamFeed::HeardFrame).
    static constexpr int kDelayFrames = 64;
    // -0.31 dBFS, a little under the -0.3 dBFS that must never be exceeded, for float rounding.
    static constexpr float kCeiling = 0.9650f;

    // Limits `frames` interleaved stereo frames in place (what leaves is what came in kDelayFrames
    // frames earlier).
    void Process(float *data, int frames);
    // Forgets the frames held and the gain (silence held, gain 1).
    void Reset();
    float gain() const { return gain_; }

private:
    std::array<float, 2 * kDelayFrames> held_{}; // the frames held, oldest at head_
    std::array<float, kDelayFrames> needs_{};    // the gain each held frame needs (1: none)
    int head_ = 0;
    float gain_ = 1.0f;
    int sinceLoud_ = kDelayFrames; // frames since one that needed less than 1 came in
    bool needsInit_ = true;
};

} // namespace sound
