#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/metronome.h"

namespace sound {
class SampleCache;
class SoundSlots;
} // namespace sound

namespace app {

// What the window's controls say about the beats, as plain values.
struct BeatChoices {
    std::string soundsDir;               // the Sounds folder, ending in a separator
    std::string preset;                  // cboPresets
    std::string click, accent1, accent2; // Combo1..Combo3: sound names without ".wav"
    bool accentOn = false;               // chkAccent
    engine::BeatPattern pattern;
    int beatsPerCycle = 4;
    double phaseRate = 0;
    double swingFactor = 30.5;
    engine::Practice practice; // volume, subdivision, trainer, gap training: passed on as they are
};

// The settings the beat engine plays from, the samples they point to and the files they name.
struct BeatSettings {
    engine::Settings settings;
    std::vector<std::shared_ptr<const sound::Sample>> samples; // owns every sample `settings` points to
    std::vector<std::string> files;                            // the sound files named (to watch them)
    // Files named that are there but cannot be played, with the reason: their slots play on what
    // they held.
    std::vector<std::pair<std::string, std::string>> unplayable;
};

// Builds what the beats play: the counting voice's numbers (Count/<voice>/1.wav .. 8.wav and
// 1a.wav .. 8a.wav) and the normal beat's sound (for subdivisions) when the preset counts, else the
// three named sounds; each read through the cache (null when it cannot be loaded); the samples
// slots 0..2 hold now; every beat at volume 85, centred; the practice tools as chosen.
//
// Threads (see sound/threads.h): UI thread.
BeatSettings BuildBeatSettings(const BeatChoices &choices, sound::SampleCache &cache, const sound::SoundSlots &slots);

// Whether two settings play different beat samples (another sound chosen, a file changed on disk).
bool SamplesDiffer(const engine::BeatSamples &a, const engine::BeatSamples &b);

} // namespace app
