// Songs rendered offline: every click on the frame docs/songs.md gives it, at two block sizes.
#include "engine/render_test.h"

namespace {

using enginetest::Constant;

struct SongTest : enginetest::RenderTest, ::testing::WithParamInterface<int> {
    SongTest()
    {
        blockFrames = GetParam();
        settings.rules = {false, false, true, true, true};
        settings.samples = {beatSound, accentSound, accentSound};
        settings.slotSamples = {beatSound, accentSound, accentSound};
    }
    const sound::Sample *beatSound = Hold(Constant(1, 0.1f));
    const sound::Sample *accentSound = Hold(Constant(1, 0.2f));
};

// A count-in, a pattern with '.', a meter change with a volume, a ramp and a per-beat list, at 44100
// frames a second. Frames from START: the count-in (one bar of the first section's 2/4 at 120)
// clicks every 22050 frames from one click after START; 2/4 at 120 likewise; 3/8 at 90 is 180 clicks a minute, 14700
// frames; the ramp 60-120 over 2 clicks reaches click 1 after 2 ln(1.5) s = 35762.02 frames and ends after 2 ln 2 s =
// 61135.59; the list 120,60 lasts 22050 then 44100 frames. Then the same with gap training (one bar
// sounding, one silent), which counts the song's bars after the count-in: b and the list are silent.
TEST_P(SongTest, ClicksOnTheMapsFramesAtAnyBlockSize)
{
    const auto map = song::ParseTempoMap("a: 1 2/4 120 X.\n"
                                         "b: 1 3/8 90 Xxx 0.5\n"
                                         "1 2/4 60-120\n"
                                         "1 2/4 120,60\n",
                                         "m");
    ASSERT_TRUE(map.map) << map.error;
    const engine::SongPlan plan(*map.map, 0, 1);
    settings.song = &plan;
    struct Click {
        std::int64_t frame;
        float value;
        bool gapSilent;
    };
    const std::vector<Click> expected = {
        {22050, 0.3f, false},  {44100, 0.1f, false},                         // count-in
        {66150, 0.3f, false},                                                // a: X . (the second silent)
        {110250, 0.15f, true}, {124950, 0.05f, true}, {139650, 0.05f, true}, // b: at half volume
        {154350, 0.3f, false}, {190113, 0.1f, false},                        // the ramp
        {215486, 0.3f, true},  {237536, 0.1f, true},                         // the list (215485.58 rounded up)
    };
    settings.practice.gapPlayCycles = settings.practice.gapMuteCycles = 1;
    for (const bool gap : {true, false}) {
        settings.practice.gapOn = gap;
        const std::int64_t start = rendered;
        Start();
        RenderTo(start + 330000);
        EXPECT_TRUE(metronome.Clock().running) << "the window stops the run when it hears the end";
        metronome.Stop();
        std::vector<std::pair<std::int64_t, float>> want;
        for (const Click &c : expected)
            if (!(gap && c.gapSilent))
                want.emplace_back(start + c.frame, c.value);
        const auto heard = Onsets(start); // beat 0.1, with the accent on top 0.3, times the volume
        ASSERT_EQ(heard.size(), want.size()) << "gap training " << gap;
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(std::next(heard.begin(), long(i))->first, want[i].first) << "click " << i << ", gap " << gap;
            EXPECT_FLOAT_EQ(std::next(heard.begin(), long(i))->second, want[i].second) << "click " << i;
        }
        if (gap)
            Events(); // those of the second run are told below
    }
    // The window is told each beat's section, bar and number; the silent one too; then the end,
    // one interval after the last click.
    std::string told;
    for (const auto &e : Events())
        told += e.songEnd ? "end@" + std::to_string(e.onsetFrame)
                          : std::to_string(e.songSection) + "." + std::to_string(e.songBar) + "." +
                                std::to_string(e.beat) + (e.muted ? "m " : " ");
    EXPECT_EQ(told, "0.1.1 0.1.2 1.1.1 1.1.2m 2.1.1 2.1.2 2.1.3 3.1.1 3.1.2 4.1.1 4.1.2 end@" +
                        std::to_string(rendered - 330000 + 281636));
}

// A plain START with one bar counted in: the window's 3 beats at its tempo, then its beats from 1.
// Settings without the song leave it mid-run: the window's tempo goes on from there.
TEST_P(SongTest, CountInBeforeAPlainStartAndLeavingASong)
{
    settings.beatsPerCycle = 3;
    settings.practice.countInBars = 1;
    Start();
    RenderTo(22050 * 6 + 100);
    std::string told;
    for (const auto &e : Events())
        told += std::to_string(e.beat) + (e.countIn ? "c " : " ");
    EXPECT_EQ(told, "1c 2c 3c 1 2 3 ");

    metronome.Stop();
    const auto map = song::ParseTempoMap("100 4/4 60", "m");
    const engine::SongPlan plan(*map.map, 0, 0);
    settings.song = &plan;
    Start();
    const std::int64_t start = rendered;
    RenderTo(start + 44100 * 2 + 100); // clicks at 1 and 2 s
    settings.song = nullptr;           // the window's 120 from here
    Publish();
    RenderTo(start + 44100 * 3 + 100);
    // 100 frames after the click at 2 s, the rest of the swing at 120: 44000 / 44100 of 22050 frames.
    EXPECT_EQ(Onsets(start).rbegin()->first - start, 44100 * 2 + 100 + 22000);
}

INSTANTIATE_TEST_SUITE_P(Blocks, SongTest, ::testing::Values(512, 97));

} // namespace
