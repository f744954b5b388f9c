#include "engine/beat_rules.h"

namespace engine {

BeatChoice ChooseBeat(const BeatRules &rules, const BeatPattern &pattern, int beat)
{
    BeatChoice c;
    const int i = beat - 1;
    const bool inPattern = i >= 0 && i < kPatternSize;
    const bool marked1 = inPattern && pattern.Accent1[i];
    const bool marked2 = inPattern && pattern.Accent2[i];
    auto play = [&c](int slot, Layer layer) { c.plays[c.count++] = {slot, layer}; };

    if (rules.counting) {
        // Spoken numbers: the accented number on a beat marked in either row; nothing else.
        c.darkRed = marked1 || marked2;
        if (c.darkRed)
            play(2, Layer::CountAccented);
        else
            play(1, Layer::CountPlain);
        return c;
    }
    if (rules.clickNamed)
        play(0, Layer::Click);
    if (rules.accentOn && marked1) {
        c.darkRed = true;
        if (rules.accent1Named)
            play(1, Layer::Accent1);
    }
    if (rules.accentOn && marked2 && rules.accent2Named)
        play(2, Layer::Accent2);
    return c;
}

int NextBeat(int current, int beatsPerCycle)
{
    const int next = current + 1;
    return next >= beatsPerCycle + 1 ? 1 : next;
}

std::optional<std::string> CountingVoice(std::string_view presetText)
{
    for (const char *voice : {"Long", "Englisch", "Computer"})
        if (presetText == voice)
            return std::string(voice);
    return std::nullopt;
}

Preset PresetFor(std::string_view presetText)
{
    Preset p;
    if (presetText == "Normal") {
        p.sounds = {{"Klack", "Bassdrum", "Snare"}};
        p.accentOn = false;
    } else if (presetText == "Kick") {
        p.sounds = {{"HiHat", "Bassdrum", "HandClaps"}};
        p.accentOn = true;
        p.pattern.Accent1[0] = p.pattern.Accent1[4] = true;
    } else if (presetText == "Rhythmus") {
        p.sounds = {{"HiHat", "Bassdrum", "Snare"}};
        p.accentOn = true;
        p.pattern.Accent1[0] = p.pattern.Accent1[4] = true;
        p.pattern.Accent2[2] = p.pattern.Accent2[6] = true;
    }
    return p;
}

} // namespace engine
