#pragma once
#include <cstdint>
#include <vector>

// Where a sound is heard to begin. A listener hears a spoken word's beat where its voice swells,
// not where its first consonant starts: the swell is the first frame at which the sound's 5 ms
// RMS envelope (centred on the frame) reaches half its peak. A percussive sound, loud from its
// first frame, swells at 0.
//
// Threads (see sound/threads.h): any thread except the audio thread (it runs over the whole
// sound; the loader calls it once per file).
namespace sound {

inline constexpr int kSwellWindowFrames = 221; // 5 ms at 44100 Hz

// The swell of interleaved stereo frames, in frames from the first.
std::int64_t SwellFrames(const std::vector<float> &interleavedStereo);

} // namespace sound
