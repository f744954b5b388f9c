#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/beat_pattern.h"

// What a beat plays, how the count goes on, and what the presets set. Pure rules.
//
// Threads (see sound/threads.h): any thread (the audio thread at each beat, the UI thread when a
// preset is chosen).
namespace engine {

// The sound layers of a beat, each played through its own sample slot.
enum class Layer {
    Click,         // the normal beat sound (slot 0)
    Accent1,       // the first accent's sound (slot 1)
    Accent2,       // the second accent's sound (slot 2)
    CountPlain,    // the spoken number of the beat (slot 1)
    CountAccented, // the accented spoken number (slot 2)
};

struct SoundPlay {
    int slot = 0;
    Layer layer = Layer::Click;
};

struct BeatChoice {
    bool darkRed = false; // the big beat display turns dark red
    int count = 0;        // sounds in `plays`, started in this order
    std::array<SoundPlay, 3> plays{};
};

// The settings a beat's sound depends on.
struct BeatRules {
    bool counting = false;     // a voice is chosen in the preset list
    bool accentOn = false;     // the accent switch
    bool clickNamed = true;    // a sound name is chosen for the normal beat
    bool accent1Named = true;  // ... for accent 1
    bool accent2Named = true;  // ... for accent 2
};

// The sounds of beat number `beat` (1-based) and the colour of the beat display.
BeatChoice ChooseBeat(const BeatRules &rules, const BeatPattern &pattern, int beat);

// The beat after `current`; the count starts again at 1 past the cycle's length (a beat beyond a
// shortened cycle is played once more at its number, then the count restarts).
int NextBeat(int current, int beatsPerCycle);

// The voice folder a preset text names ("Long", "Englisch", "Computer"), if it names one.
std::optional<std::string> CountingVoice(std::string_view presetText);

// The presets offered, in their order.
inline constexpr std::array<const char *, 6> kPresetNames = {"Normal", "Kick", "Rhythmus", "Long", "Englisch", "Computer"};

// What choosing a preset sets. Every preset clears the pattern first; the sound presets then set
// the three sounds, the accent switch and their marks; the voices keep the sounds and the switch.
struct Preset {
    std::optional<std::array<std::string, 3>> sounds; // normal beat, accent 1, accent 2
    std::optional<bool> accentOn;
    BeatPattern pattern;
};
Preset PresetFor(std::string_view presetText);

} // namespace engine
