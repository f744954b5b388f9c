#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

// A decoded sound in the stream's format, shared by the UI thread (which loads and frees it) and
// the audio thread (which only reads it).
namespace sound {

// The format of the output stream and of every Sample: interleaved stereo float at 44100 Hz.
inline constexpr int kStreamRate = 44100;
inline constexpr int kStreamChannels = 2;

struct Sample {
    // Interleaved left/right values, nominally -1..1. Never changed after loading.
    std::vector<float> data;

    std::int64_t frames() const { return static_cast<std::int64_t>(data.size() / kStreamChannels); }

    // Frames from the first to where the sound swells (see swell.h), measured when it is loaded;
    // the beat engine starts a spoken number that much before its beat.
    std::int64_t swellFrames = 0;

    // How many mixer voices (playing, fading out or waiting to start) hold this sample. The audio
    // thread counts up and down; the UI thread reads it before freeing the sample (SampleKeeper).
    mutable std::atomic<int> mixerRefs{0};
};

} // namespace sound
