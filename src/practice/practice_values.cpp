#include "practice/practice_values.h"

#include <algorithm>

#include "tempo/tempo_model.h"

namespace practice {

int StepVolume(int volume, int delta)
{
    return std::clamp(volume + delta, 0, 100);
}

int NextSubdivision(int subdivision)
{
    return std::clamp(subdivision, 1, 4) % 4 + 1;
}

engine::Practice Clamped(engine::Practice p)
{
    p.volume = std::clamp(p.volume, 0, 100);
    p.subdivision = std::clamp(p.subdivision, 1, 4);
    p.trainerStartBpm = std::clamp(p.trainerStartBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    p.trainerGoalBpm = std::clamp(p.trainerGoalBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    p.trainerEveryCycles = std::clamp(p.trainerEveryCycles, 1, 16);
    p.trainerStepBpm = p.trainerStepBpm == 0 ? 1 : std::clamp(p.trainerStepBpm, -10, 10);
    p.gapPlayCycles = std::clamp(p.gapPlayCycles, 1, 8);
    p.gapMuteCycles = std::clamp(p.gapMuteCycles, 1, 8);
    return p;
}

void TrainerSwitchedOn(engine::Practice &p, int shownBpm, bool chosenInDialog)
{
    p.trainerOn = true;
    if (chosenInDialog)
        return;
    p.trainerStartBpm = std::clamp(shownBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    p.trainerGoalBpm = std::min(p.trainerStartBpm + kTrainerGoalAbove, tempo::kMaxWeightBpm);
}

std::string StatusLine(const engine::Practice &p, bool brief)
{
    std::string line;
    auto add = [&line](const std::string &part) { line += (line.empty() ? "" : " · ") + part; };
    if (p.subdivision > 1)
        add(std::to_string(p.subdivision) + (brief ? "/Schlag" : " pro Schlag"));
    if (p.trainerOn)
        add((brief ? "bis " : "Trainer bis ") + std::to_string(p.trainerGoalBpm));
    if (p.gapOn)
        add(brief ? "mit Pausen" : "Pausen-Training");
    return line;
}

} // namespace practice
