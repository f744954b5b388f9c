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
    // Each onset heard: frame and value (beat 0.1, with the accent on top 0.3, times the volume).
    std::vector<std::pair<std::int64_t, float>> Heard() const
    {
        const auto onsets = Onsets();
        return {onsets.begin(), onsets.end()};
    }
    const sound::Sample *beatSound = Hold(Constant(1, 0.1f));
    const sound::Sample *accentSound = Hold(Constant(1, 0.2f));
};

// A count-in, a pattern with '.', a meter change with a volume, a ramp and a per-beat list, at 44100
// frames a second. Frames from START: the count-in (one bar of the first section's 2/4 at 120)
// clicks every 22050 frames from one click after START; 2/4 at 120 likewise; 3/8 at 90 is 180 clicks a minute, 14700
// frames; the ramp 60-120 over 2 clicks reaches click 1 after 2 ln(1.5) s = 35762.02 frames and ends after 2 ln 2 s =
// 61135.59; the list 120,60 lasts 22050 then 44100 frames.
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
    Start();
    RenderTo(330000);
    const std::vector<std::pair<std::int64_t, float>> expected = {
        {22050, 0.3f},   {44100, 0.1f},                    // count-in
        {66150, 0.3f},                                     // a: X . (the second silent)
        {110250, 0.15f}, {124950, 0.05f}, {139650, 0.05f}, // b: at half volume
        {154350, 0.3f},  {190113, 0.1f},                   // the ramp
        {215486, 0.3f},  {237536, 0.1f},                   // the list (215485.58 rounded up)
    };
    ASSERT_EQ(Heard().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Heard()[i].first, expected[i].first) << "click " << i;
        EXPECT_FLOAT_EQ(Heard()[i].second, expected[i].second) << "click " << i;
    }
    // The window is told each beat's section, bar and number; the silent one too; then the end,
    // one interval after the last click.
    std::string told;
    for (const auto &e : Events())
        told += e.songEnd ? "end@" + std::to_string(e.onsetFrame)
                          : std::to_string(e.songSection) + "." + std::to_string(e.songBar) + "." +
                                std::to_string(e.beat) + (e.muted ? "m " : " ");
    EXPECT_EQ(told, "0.1.1 0.1.2 1.1.1 1.1.2m 2.1.1 2.1.2 2.1.3 3.1.1 3.1.2 4.1.1 4.1.2 end@281636");
    EXPECT_TRUE(metronome.Clock().running) << "the window stops the run when it hears the end";

    // Gap training (1 bar on, 1 off) counts the song's bars after the count-in: b and the list fall silent.
    const auto before = Heard();
    metronome.Stop();
    settings.practice = {.gapOn = true, .gapPlayCycles = 1, .gapMuteCycles = 1};
    Start();
    RenderTo(2 * 330000);
    std::map<std::int64_t, float> gapped;
    for (const std::size_t i : {0, 1, 2, 6, 7})
        gapped[330000 + before[i].first] = before[i].second;
    EXPECT_EQ(Onsets(330000), gapped);
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
