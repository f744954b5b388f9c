#pragma once
#include <string>

#include "engine/metronome.h"

// The practice tools' values as the window changes them: volume steps, the subdivision key's
// cycle, the trainer's starting values and the short status line. UI thread only.
namespace practice {

inline constexpr int kVolumeKeyStep = 5;
inline constexpr int kTrainerGoalAbove = 20; // the goal's default: this far above the start

// The volume moved by `delta`, kept to 0..100.
int StepVolume(int volume, int delta);
// The subdivision key: 1 -> 2 -> 3 -> 4 -> 1.
int NextSubdivision(int subdivision);
// Every value kept to its range (a step of 0 becomes +1); what the window and a settings file may set.
engine::Practice Clamped(engine::Practice p);
// The trainer switched on at `shownBpm`: its start is that tempo and its goal 20 above (at most
// 271), unless the user chose both in the trainer's dialog.
void TrainerSwitchedOn(engine::Practice &p, int shownBpm, bool chosenInDialog);

// The status line while any tool is on ("3 pro Schlag · Trainer bis 140 · Pausen-Training"), or
// `brief`ly where that does not fit ("3/Schlag · bis 140 · mit Pausen"); empty while none is.
std::string StatusLine(const engine::Practice &p, bool brief);

} // namespace practice
