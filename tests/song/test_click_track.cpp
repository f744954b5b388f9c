// The click track is what the window plays: the same samples as a live render of the song.
#include "engine/render_test.h"
#include "song/click_track.h"

namespace {

TEST(ClickTrack, TheSamplesTheLiveStreamPlays)
{
    struct Live : enginetest::RenderTest {
        void TestBody() override {}
    } live;
    live.blockFrames = 300;
    const sound::Sample *beat = live.Hold(enginetest::Constant(3000, 0.1f));
    const sound::Sample *accent = live.Hold(enginetest::Constant(2000, 0.2f));
    live.settings.samples = {beat, accent, accent};
    live.settings.slotSamples = {beat, accent, accent};
    live.settings.practice.subdivision = 2;
    const auto map = song::ParseTempoMap("2 3/4 100-140 X.x 0.7\n1 7/8 120\n", "m");
    ASSERT_TRUE(map.map) << map.error;
    const engine::SongPlan plan(*map.map, 0, 1);
    live.settings.song = &plan;
    live.Start();
    const std::int64_t first = engine::SongPlan::FrameOf(plan.Lead(), 44100);
    const std::int64_t end = first + engine::SongPlan::FrameOf(plan.EndTime(), 44100);
    live.RenderTo(end + enginetest::kHeard);

    std::vector<float> track;
    ASSERT_TRUE(song::RenderClickTrack(live.settings, plan, [&](const float *frames, int n) {
        for (int i = 0; i < n; ++i)
            track.push_back(frames[2 * i]);
        return true;
    }));
    ASSERT_EQ(std::int64_t(track.size()), end - first);
    EXPECT_NE(track.front(), 0.0f) << "the first click on the file's first frame";
    for (std::int64_t f = first; f < end; ++f)
        ASSERT_EQ(track[std::size_t(f - first)], live.At(f)) << "frame " << f;
}

} // namespace
