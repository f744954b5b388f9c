// What the beats play, built from the window's choices without a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/beat_settings.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "sound/sound_slots.h"
#include "sound/wav_writer.h"

namespace {

// A Sounds folder with a short sound under each name, its cache and the three slots, and the
// window's choices pointing at it.
TEST(BeatSettings, NamedSoundsOrTheCountingVoiceFromTheSoundsFolder)
{
    soundtest::TempDir dir;
    for (const char *name :
         {"Klack.wav", "Count/Long/1.wav", "Count/Long/2a.wav", "Click.WAV", "Bell.Wav", "Both.wav", "Both.WAV"}) {
        std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
        soundtest::WriteFile(dir / name, soundtest::MakeWav({}, {1000, 1000}, 100));
    }
    soundtest::WriteFile(dir / "Broken.wav", {'R', 'I', 'F', 'F'});
    sound::SampleCache cache;
    sound::SampleKeeper keeper;
    sound::SlotPlayer player{sound::kSlotCount};
    sound::SoundSlots slots{cache, keeper, player};
    slots.CreateBuffers(10, dir / "Klack.wav");
    app::BeatChoices c;
    c.soundsDir = dir.path().string() + "/";
    c.preset = "Normal";
    c.click = "Klack";
    c.accent2 = "Missing"; // named, but no such file: null, and the slot plays its last sample
    c.accent1 = "Broken";  // there, but no sound in it: the same, and the window is told why
    const app::BeatSettings plain = app::BuildBeatSettings(c, cache, slots);
    ASSERT_EQ(plain.unplayable.size(), 1u) << "only the file that is there";
    EXPECT_EQ(plain.unplayable[0].first, dir / "Broken.wav");
    EXPECT_EQ(app::BuildBeatSettings(c, cache, slots).unplayable, plain.unplayable) << "told again from the cache";
    const engine::Settings &p = plain.settings;
    EXPECT_TRUE(p.rules.clickNamed && p.rules.accent1Named && p.rules.accent2Named && !p.rules.counting);
    EXPECT_EQ(p.samples.click, cache.Get(dir / "Klack.wav").get());
    EXPECT_TRUE(p.samples.accent1 == nullptr && p.samples.accent2 == nullptr);
    EXPECT_EQ(plain.files, (std::vector<std::string>{dir / "Klack.wav", dir / "Broken.wav", dir / "Missing.wav"}))
        << "watched, so that each is heard once it is there";

    c.preset = "Long"; // counts aloud: the voice's numbers, not the accents; the click for subdivisions
    const engine::BeatSamples &s = app::BuildBeatSettings(c, cache, slots).settings.samples;
    EXPECT_EQ(s.click, cache.Get(dir / "Klack.wav").get());
    EXPECT_EQ(s.countPlain[0], cache.Get(dir / "Count/Long/1.wav").get());
    EXPECT_EQ(s.countAccented[1], cache.Get(dir / "Count/Long/2a.wav").get());
    EXPECT_TRUE(app::SamplesDiffer(s, p.samples)) << "the change is published";

    // The three voices count aloud, each from its own folder; the sound presets do not.
    for (auto [preset, counts] : {std::pair{"Kick", false},
                                  {"Rhythmus", false},
                                  {"Normal", false},
                                  {"Long", true},
                                  {"Englisch", true},
                                  {"Computer", true}}) {
        c.preset = preset;
        const app::BeatSettings b = app::BuildBeatSettings(c, cache, slots);
        EXPECT_EQ(b.settings.rules.counting, counts) << preset;
        if (counts) {
            EXPECT_EQ(b.files.at(1), (dir.path() / "Count" / preset / "1.wav").string()) << preset;
        }
    }

    // The choosers offer a file whatever the case of its extension ("Click.WAV" as "Click"): it must
    // play too, not leave the slot on the sound it played before; name.wav first where both are there.
    c.preset = "Normal";
    c.click = "Click";
    c.accent1 = "Bell";
    c.accent2 = "Both";
    const app::BeatSettings b = app::BuildBeatSettings(c, cache, slots);
    EXPECT_TRUE(b.unplayable.empty());
    EXPECT_TRUE(b.settings.samples.click && b.settings.samples.accent1);
    EXPECT_EQ(b.settings.samples.click, cache.Get(dir / "Click.WAV").get());
    EXPECT_EQ(b.settings.samples.accent1, cache.Get(dir / "Bell.Wav").get());
    EXPECT_EQ(b.settings.samples.accent2, cache.Get(dir / "Both.wav").get());
    EXPECT_EQ(b.files, (std::vector<std::string>{dir / "Click.WAV", dir / "Bell.Wav", dir / "Both.wav"}))
        << "watched under their own names";
}

} // namespace
