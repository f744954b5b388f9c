#pragma once
// The metronome rendered offline, block by block, frames counted as the mixer's (the output comes
// the limiter's look-ahead later). No block may allocate or free: the audio callback never does.
#include <gtest/gtest.h>

#include <map>

#include "engine/metronome.h"
#include "tempo/tempo_model.h"

namespace enginetest {

constexpr int kHeard = sound::Mixer::kLookAheadFrames;
// While `rendering`, this thread's calls of the global operator new and delete are counted (they
// are replaced in count_allocations.cpp).
inline thread_local bool rendering = false;
inline thread_local int allocations = 0;

// A sound of `frames` frames that all hold `value`.
inline std::shared_ptr<const sound::Sample> Constant(int frames, float value)
{
    auto s = std::make_shared<sound::Sample>();
    s->data.assign(2 * std::size_t(frames), value);
    return s;
}

struct RenderTest : ::testing::Test {
    RenderTest()
    {
        settings.pattern = engine::BeatPattern::Initial();
        Tempo(120);
    }
    void Tempo(int bpm) { settings.phaseRate = tempo::PhaseRateForBpm(bpm, 30.5); }
    void Publish() { metronome.Publish(settings); }
    void Start()
    {
        Publish();
        metronome.Start();
    }
    // Renders up to frame `until` in blocks of at most `blockFrames` frames; keeps the left channel (heard up
    // to until - kHeard) and the events of the beats heard by then.
    void RenderTo(std::int64_t until)
    {
        std::vector<float> out(2 * std::size_t(blockFrames));
        while (rendered < until) {
            const int n = int(std::min<std::int64_t>(blockFrames, until - rendered));
            rendering = true;
            metronome.Render(out.data(), n);
            rendering = false;
            EXPECT_EQ(std::exchange(allocations, 0), 0) << "Render allocated or freed before frame " << rendered + n;
            for (int i = 0; i < n; ++i)
                left.push_back(out[2 * i]);
            rendered += n;
            for (engine::BeatEvent e; metronome.PopBeat(e);)
                (std::int64_t(e.onsetFrame) + kHeard < until ? beats_ : later_).push_back(e);
        }
    }
    float At(std::int64_t frame) const { return left[std::size_t(frame + kHeard)]; }
    // The frames from `from` on where a sound starts (a value after silence), with their values.
    std::map<std::int64_t, float> Onsets(std::int64_t from = 0) const
    {
        std::map<std::int64_t, float> onsets;
        for (std::int64_t f = std::max<std::int64_t>(from, 0); f + kHeard < std::int64_t(left.size()); ++f)
            if (At(f) != 0.0f && (f == 0 || At(f - 1) == 0.0f))
                onsets[f] = At(f);
        return onsets;
    }
    // The beats heard since the last call.
    std::vector<engine::BeatEvent> Events()
    {
        std::vector<engine::BeatEvent> v = std::exchange(beats_, later_);
        later_.clear();
        return v;
    }
    // Keeps a sample alive as long as the metronome, which keeps the slots' last samples.
    const sound::Sample *Hold(std::shared_ptr<const sound::Sample> sample) { return held.emplace_back(sample).get(); }

    std::vector<std::shared_ptr<const sound::Sample>> held;
    sound::SlotPlayer player{11};
    engine::Metronome metronome{player};
    engine::Settings settings;
    std::int64_t rendered = 0;
    int blockFrames = 512;
    std::vector<float> left;
    std::vector<engine::BeatEvent> beats_, later_; // beats heard, beats still in the limiter's look-ahead
};

} // namespace enginetest
