#include "sound/peak_limiter.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

// Coming back up: a twentieth of a second's time constant, the last 1e-4 in one step.
constexpr float kRelease = 1.0f / (0.05f * 44100.0f);
constexpr float kSnap = 1e-4f;

} // namespace

void PeakLimiter::Reset()
{
    held_.fill(0.0f);
    needs_.fill(1.0f);
    head_ = 0;
    gain_ = 1.0f;
    sinceLoud_ = kDelayFrames;
    needsInit_ = false;
}

void PeakLimiter::Process(float *data, int frames)
{
    if (needsInit_)
        Reset();
    for (int i = 0; i < frames; ++i) {
        float *frame = data + 2 * i;
        const float peak = std::max(std::fabs(frame[0]), std::fabs(frame[1]));
        // A NaN needs no gain at all (it would otherwise pass every comparison).
        const float need = peak > kCeiling ? kCeiling / peak : (peak == peak ? 1.0f : 0.0f);
        const float left = held_[2 * head_], right = held_[2 * head_ + 1];
        const float leavingNeed = needs_[head_];
        held_[2 * head_] = frame[0];
        held_[2 * head_ + 1] = frame[1];
        needs_[head_] = need;
        head_ = head_ + 1 == kDelayFrames ? 0 : head_ + 1;
        sinceLoud_ = need < 1.0f ? 0 : std::min(sinceLoud_ + 1, kDelayFrames + 1);

        if (gain_ == 1.0f && sinceLoud_ > kDelayFrames && leavingNeed == 1.0f) {
            frame[0] = left; // nothing to hold down: the frame leaves untouched
            frame[1] = right;
            continue;
        }
        // The gain for the leaving frame: no more than it needs, and on a straight line from the
        // present gain to what each held frame needs by the time it leaves, so the gain glides
        // down over the look-ahead instead of jumping; otherwise it comes back towards 1.
        float g = gain_ + (1.0f - gain_) * kRelease;
        if (1.0f - g < kSnap)
            g = 1.0f;
        g = std::min(g, leavingNeed);
        // Only while a held frame needs holding down (none does once the last loud one has left).
        for (int d = 0; sinceLoud_ < kDelayFrames && d < kDelayFrames; ++d) {
            const int at = head_ + d < kDelayFrames ? head_ + d : head_ + d - kDelayFrames;
            // The frame at distance d leaves d + 1 frames after this one.
            if (needs_[at] < gain_)
                g = std::min(g, gain_ + (needs_[at] - gain_) / float(d + 2));
        }
        gain_ = g;
        frame[0] = left * g;
        frame[1] = right * g;
    }
}

} // namespace sound
