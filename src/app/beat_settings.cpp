#include "app/beat_settings.h"

#include "app/sound_list.h"
#include "sound/levels.h"
#include "sound/sample_cache.h"
#include "sound/sound_slots.h"

namespace app {

BeatSettings BuildBeatSettings(const BeatChoices &c, sound::SampleCache &cache, const sound::SoundSlots &soundSlots)
{
    BeatSettings out;
    auto load = [&](const std::string &path) -> const sound::Sample * {
        out.files.push_back(path);
        std::string why;
        auto sample = cache.Get(path, &why);
        if (!sample && !why.empty())
            out.unplayable.emplace_back(path, why);
        out.samples.push_back(sample);
        return sample.get();
    };
    auto named = [&](const std::string &name) {
        return SoundFilePath(QString::fromStdString(c.soundsDir), QString::fromStdString(name)).toStdString();
    };
    const auto voice = engine::CountingVoice(c.preset);
    engine::Settings &s = out.settings;
    s.rules.counting = voice.has_value();
    s.rules.accentOn = c.accentOn;
    s.rules.clickNamed = !c.click.empty();
    s.rules.accent1Named = !c.accent1.empty();
    s.rules.accent2Named = !c.accent2.empty();
    s.pattern = c.pattern;
    s.beatsPerCycle = c.beatsPerCycle;
    s.phaseRate = c.phaseRate;
    s.swingFactor = c.swingFactor;
    // The normal beat's sound, also in counting mode: the subdivision clicks play it.
    if (s.rules.clickNamed)
        s.samples.click = load(named(c.click));
    if (voice) {
        const std::string folder = c.soundsDir + "Count/" + *voice + "/";
        for (int n = 1; n <= engine::kLamps; ++n) {
            s.samples.countPlain[n - 1] = load(folder + std::to_string(n) + ".wav");
            s.samples.countAccented[n - 1] = load(folder + std::to_string(n) + "a.wav");
        }
    } else {
        if (s.rules.accent1Named)
            s.samples.accent1 = load(named(c.accent1));
        if (s.rules.accent2Named)
            s.samples.accent2 = load(named(c.accent2));
    }
    for (int slot = 0; slot < 3; ++slot) {
        const sound::SoundSlot *held = soundSlots.slot(slot);
        s.slotSamples[slot] = held ? held->Buffer.get() : nullptr;
        if (held)
            out.samples.push_back(held->Buffer);
    }
    // Every beat sound plays at volume 85 (-9 dB), centred.
    s.gain = static_cast<float>(sound::AttenuationToGain(sound::VolumeToAttenuation(85)));
    s.practice = c.practice;
    return out;
}

bool SamplesDiffer(const engine::BeatSamples &a, const engine::BeatSamples &b)
{
    return a.click != b.click || a.accent1 != b.accent1 || a.accent2 != b.accent2 || a.countPlain != b.countPlain ||
           a.countAccented != b.countAccented;
}

} // namespace app
