// The practice tools rendered offline: subdivisions, the tempo trainer, gap training, the volume,
// spoken numbers ahead of their beats.
#include <algorithm>
#include <cmath>

#include "engine/render_test.h"
#include "sound/wav_loader.h"

namespace {

using enginetest::Constant;
using enginetest::kHeard;
constexpr double kFramesPerMinute = 44100.0 * 60;
const float kMinus10dB = static_cast<float>(std::pow(10.0, -0.5));

struct PracticeTest : enginetest::RenderTest {
    PracticeTest()
    {
        settings.rules = {false, false, true, true, true}; // the click alone on every beat
        settings.samples = {click, click, click};
        settings.slotSamples = {click, click, click};
    }
    void Gap(bool on)
    {
        settings.practice.gapOn = on;
        Publish();
    }
    // Whether each beat heard since the last call was silent.
    std::vector<bool> Muted()
    {
        std::vector<bool> muted;
        for (const auto &e : Events())
            muted.push_back(e.muted);
        return muted;
    }
    // Each onset's frame, B for a beat, s for a subdivision.
    std::string Heard() const
    {
        std::string heard;
        for (const auto &[frame, value] : Onsets())
            heard += std::to_string(frame) + (value == 0.1f ? "B " : "s ");
        return heard;
    }
    const sound::Sample *click = Hold(Constant(1, 0.1f)); // held by the fixture, which outlives the metronome
};

// The tempo and the clicks a beat.
class Subdivision : public PracticeTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

// Over two minutes, beats on their frames, the clicks 10 dB below on the frames nearest the even
// division of each beat (no drift, none lost or doubled); events for the beats only.
TEST_P(Subdivision, ClicksOnTheNearestFramesDividingEveryBeat)
{
    const auto [bpm, n] = GetParam();
    settings.practice.subdivision = n;
    Tempo(bpm);
    Start();
    const double beat = kFramesPerMinute / bpm;
    const auto length = std::int64_t(120 * 44100);
    RenderTo(length);
    const auto onsets = Onsets();
    auto onset = onsets.begin();
    for (int k = 1; (k + 1) * beat < double(length); ++k) {
        ASSERT_GE(double(onset->first), k * beat - 1e-3) << "beat " << k;
        ASSERT_LT(double(onset->first), k * beat + 1) << "beat " << k;
        ASSERT_EQ(onset->second, 0.1f) << "beat " << k;
        ++onset;
        for (int j = 1; j < n; ++j, ++onset) {
            ASSERT_LE(std::fabs(double(onset->first) - (k + double(j) / n) * beat), 0.5 + 1e-6)
                << "subdivision " << j << " after beat " << k;
            ASSERT_FLOAT_EQ(onset->second, 0.1f * kMinus10dB) << "subdivision " << j << " after beat " << k;
        }
    }
    const auto heard = std::count_if(onsets.begin(), onsets.end(), [](const auto &o) { return o.second == 0.1f; });
    EXPECT_EQ(Events().size(), size_t(heard)) << "events for beats only";
}

INSTANTIATE_TEST_SUITE_P(Tempos, Subdivision,
                         ::testing::Values(std::pair{120, 2}, std::pair{120, 4}, std::pair{133, 3}, std::pair{133, 4},
                                           std::pair{271, 3}, std::pair{271, 4}));

// From 60 bpm (beats at 44100 * k), {frame, bpm, clicks a beat} published at that frame, then
// rendered to the end.
struct Changes {
    const char *name;
    std::vector<std::tuple<std::int64_t, int, int>> changes;
    std::int64_t end;
    const char *heard;
};
void PrintTo(const Changes &c, std::ostream *os) { *os << c.name; }
class SubdivisionChange : public PracticeTest, public ::testing::WithParamInterface<Changes> {};

TEST_P(SubdivisionChange, WithinABeat)
{
    for (const auto &[at, bpm, clicks] : GetParam().changes) {
        RenderTo(at);
        Tempo(bpm);
        settings.practice.subdivision = clicks;
        at == 0 ? Start() : Publish();
    }
    RenderTo(GetParam().end);
    EXPECT_EQ(Heard(), GetParam().heard);
}

// A tempo change a third into beat 2: the beat goes on from there, the clicks after it divide the
// rest. A new subdivision after beat 2's half (its 2/3, 118 ms later at 85 bpm, would be a flam) waits
// for beat 3; 4 and back to 3 within beat 4 (176400, its first third at 191100) keeps the thirds.
INSTANTIATE_TEST_SUITE_P(
    Changes, SubdivisionChange,
    ::testing::Values(Changes{"tempo",
                              {{0, 60, 3}, {58800, 120, 3}},
                              110000,
                              "44100B 58800s 66150s 73500B 80850s 88200s 95550B 102900s "},
                      Changes{
                          "clicks",
                          {{0, 60, 2}, {115000, 60, 3}, {190000, 60, 4}, {195000, 60, 3}},
                          225000,
                          "44100B 66150s 88200B 110250s 132300B 147000s 161700s 176400B 191100s 205800s 220500B "}));

// Two cycles sounding, one silent from its first beat's frame (after the cut's short fade) to the
// next beat, which sounds on its frame; its beats are still reported, marked silent.
TEST_F(PracticeTest, GapCyclesAreSilentAndTheNextBeatIsOnItsFrame)
{
    settings.samples.click = Hold(Constant(15000, 0.1f)); // still sounding when the silent cycle begins
    settings.beatsPerCycle = 2;
    settings.practice = {.subdivision = 2, .gapOn = true, .gapPlayCycles = 2, .gapMuteCycles = 1};
    Start();
    RenderTo(22050 * 13 + kHeard + 1);
    EXPECT_EQ(Muted(), (std::vector<bool>{false, false, false, false, true, true, false, false, false, false, true,
                                          true, false}));
    for (int gap : {5, 11}) { // the first beat of each silent cycle
        const std::int64_t from = 22050 * gap, to = 22050 * (gap + 2);
        ASSERT_NE(At(from - 1), 0.0f) << "still ringing just before";
        for (std::int64_t f = from + sound::Mixer::kCutFadeFrames; f < to; ++f)
            ASSERT_EQ(At(f), 0.0f) << "frame " << f << " of the silent cycle from " << from;
        EXPECT_EQ(At(to), 0.1f) << "the next beat on its frame";
    }
    // STOP within the pattern, two silent cycles now, and START: it begins with its sounding cycles.
    metronome.Stop();
    settings.practice.gapMuteCycles = 2;
    Start();
    RenderTo(rendered + 22050 * 6 + kHeard + 1);
    EXPECT_EQ(Muted(), (std::vector<bool>{false, false, false, false, true, true}));
}

// Switched on mid-cycle (after beat 3, cycles of two), the pattern begins at the next cycle with its
// sounding cycle, never silent mid-bar; off and on within the silence, anew at the next cycle.
TEST_F(PracticeTest, GapTrainingSwitchedOnWhilePlayingBeginsAtTheNextCycle)
{
    settings.beatsPerCycle = 2;
    settings.practice = {.gapPlayCycles = 1, .gapMuteCycles = 1};
    Start();
    RenderTo(22050 * 3 + 11025); // beats at 22050 * k: beat 3 begins the second cycle
    Gap(true);
    RenderTo(22050 * 10 + kHeard + 1);
    EXPECT_EQ(Muted(), (std::vector<bool>{false, false, false, false, false, false, true, true, false, false}));
    EXPECT_EQ(At(22050 * 4), 0.1f) << "beat 4, the end of the cycle under way, sounds on its frame";

    RenderTo(22050 * 11 + 11025); // within the silent cycle of beats 11 and 12
    Gap(false);
    RenderTo(22050 * 11 + 16000);
    Gap(true);
    RenderTo(22050 * 16 + kHeard + 1);
    EXPECT_EQ(Muted(), (std::vector<bool>{true, false, false, false, true, true}));

    // STOP and START with it on: the pattern begins with the run, its sounding cycle first.
    metronome.Stop();
    Start();
    RenderTo(rendered + 22050 * 6 + kHeard + 1);
    EXPECT_EQ(Muted(), (std::vector<bool>{false, false, true, true, false, false}));
}

// From 120, 10 more every two cycles, to 135 (a short last step): each on the first beat of a cycle,
// reported with it. A phase rate published before is not taken back; START begins at 120 again.
TEST_F(PracticeTest, TheTrainerStepsExactlyAtCycleBoundaries)
{
    settings.beatsPerCycle = 2;
    settings.practice = {.trainerOn = true, .trainerEveryCycles = 2, .trainerStepBpm = 10, .trainerGoalBpm = 135};
    Start();
    RenderTo(300000);
    std::vector<double> ideal; // where each beat's crossing is
    const int tempoOfCycle[] = {120, 120, 130, 130, 135, 135, 135, 135, 135, 135, 135, 135};
    for (double beat = 22050, k = 1; beat < 300000 - kHeard; ++k) { // the interval after beat k at its cycle's tempo
        ideal.push_back(beat);
        beat += kFramesPerMinute / tempoOfCycle[int(k - 1) / 2];
    }
    const auto onsets = Onsets();
    ASSERT_EQ(onsets.size(), ideal.size()) << "beats lost or doubled";
    const auto events = Events();
    ASSERT_EQ(events.size(), ideal.size());
    auto onset = onsets.begin();
    for (size_t i = 0; i < ideal.size(); ++i, ++onset) {
        SCOPED_TRACE(testing::Message() << "beat " << i + 1);
        EXPECT_TRUE(double(onset->first) >= ideal[i] - 1e-3 && double(onset->first) < ideal[i] + 1) << onset->first;
        EXPECT_EQ(events[i].onsetFrame, std::uint64_t(onset->first));
        EXPECT_EQ(events[i].beat, int(i % 2 + 1));
        EXPECT_EQ(events[i].bpm, i == 0 ? 120 : i == 4 ? 130 : i == 8 ? 135 : 0);
    }

    // The pendulum drawn for frames heard shortly before the last step still swings at 130: half a
    // beat before the step it stands at its turning point, half a beat (at 135) after it too.
    const engine::ClockState &clock = metronome.Clock();
    EXPECT_NEAR(std::fabs(clock.SwingAt(ideal[8] - kFramesPerMinute / 130 / 2)), 1.0, 1e-6);
    EXPECT_NEAR(std::fabs(clock.SwingAt(ideal[8] + kFramesPerMinute / 135 / 2)), 1.0, 1e-6);

    Publish(); // settings published again (another lamp, say) with the window's old tempo
    RenderTo(400000);
    for (const auto &e : Events())
        EXPECT_EQ(e.measuredBpm, 135) << "the trainer's tempo stays";
    settings.practice.trainerOn = false;
    Tempo(90);
    Publish();
    RenderTo(500000);
    EXPECT_EQ(Events().back().measuredBpm, 90) << "the tempo set by hand";

    metronome.Stop();
    settings.practice.trainerOn = true;
    Start();
    const std::int64_t start = rendered;
    RenderTo(start + 22050 + 512);
    const auto restarted = Events();
    ASSERT_EQ(restarted.size(), 1u);
    EXPECT_EQ(restarted[0].onsetFrame, std::uint64_t(start + 22050)) << "half a swing at 120";
    EXPECT_EQ(restarted[0].bpm, 120);
}

// Volume changes while a sound rings glide over at least 5 ms, without a step larger than that
// allows; 85 is the plain level, 100 the sound's own level (+9 dB), 0 silence.
TEST_F(PracticeTest, AVolumeChangeGlidesOverAtLeastFiveMilliseconds)
{
    settings.samples.click = Hold(Constant(80000, 0.25f));
    Tempo(30);
    Start();
    RenderTo(88200 + 1000); // the first beat rings, the next one is far
    double gain = 1;        // over the plain level
    for (auto [volume, next] :
         {std::pair{100, std::pow(10.0, 0.45)}, {0, 0.0}, {60, std::pow(10.0, -0.75)}, {85, 1.0}}) {
        settings.practice.volume = volume;
        Publish();
        const std::int64_t at = rendered; // the change from here on
        RenderTo(at + 4000 + kHeard);
        const double largest = 0.25 * std::fabs(next - gain) / (0.005 * 44100);
        for (std::int64_t f = at; f < at + 4000; ++f)
            ASSERT_LE(std::fabs(At(f) - At(f - 1)), largest + 1e-7) << "volume " << volume << " at " << f;
        EXPECT_NEAR(At(at + 3999), 0.25 * next, 1e-6) << "volume " << volume;
        gain = next;
    }
    EXPECT_EQ(At(rendered - kHeard - 1), 0.25f) << "back at 85: exactly the plain level";
}

// A word (a soft fricative, its vowel 40 ms in) starts early so the vowel is within 5 ms of its beat:
// after START, trainer steps and silent cycles; subdivision clicks between; STOP leaves it unheard.
TEST_F(PracticeTest, SpokenNumbersSwellOnTheirBeats)
{
    auto spoken = std::make_shared<sound::Sample>(); // 200 ms; the swell as the loader measures it
    for (int i = 0; i < 8820; ++i) {
        const float v = i < 1764 ? 0.05f * float(i * 7919 % 201 - 100) / 100 : 0.6f * float(std::sin(i * 0.0314));
        spoken->data.insert(spoken->data.end(), {v, v});
    }
    spoken->swellFrames = 1764;
    const sound::Sample *word = Hold(spoken);
    settings.rules.counting = true;
    settings.samples.countPlain.fill(word);
    settings.samples.countAccented.fill(word);
    settings.beatsPerCycle = 2;
    settings.practice = {.subdivision = 2, .gapOn = true, .gapPlayCycles = 3, .gapMuteCycles = 1};
    settings.practice.trainerOn = true; // from 120 to 135, 10 more every cycle
    settings.practice.trainerEveryCycles = 1;
    settings.practice.trainerStepBpm = 10;
    settings.practice.trainerGoalBpm = 135;
    Start();
    RenderTo(300000);
    auto vowelNear = [&](std::int64_t frame) { // the first frame of the vowel within 100 ms of `frame`
        for (std::int64_t f = std::max<std::int64_t>(frame - 4410, 0); f < frame + 4410; ++f)
            if (std::fabs(At(f)) > 0.2f)
                return f;
        return std::int64_t(-1);
    };
    const auto events = Events();
    ASSERT_GE(events.size(), 14u);
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        const auto beat = std::int64_t(events[i].onsetFrame);
        SCOPED_TRACE(testing::Message() << "beat " << i + 1 << " at " << beat);
        if (events[i].muted) {
            EXPECT_EQ(vowelNear(beat), -1) << "a silent cycle";
            continue;
        }
        EXPECT_NEAR(double(vowelNear(beat)), double(beat), 221) << "the vowel within 5 ms of the beat";
        const auto half = (beat + std::int64_t(events[i + 1].onsetFrame)) / 2;
        bool clicked = false;
        for (std::int64_t f = half - 1; f <= half + 1; ++f)
            clicked = clicked || std::fabs(At(f) - 0.1f * kMinus10dB) < 1e-6f;
        EXPECT_TRUE(clicked) << "the subdivision click between";
    }
    // STOP 20 ms before the next beat: its word, begun already, is cut and never swells.
    const auto next = std::int64_t(std::ceil(double(events.back().onsetFrame) + kFramesPerMinute / 135 - 1));
    while (rendered + 512 < next - 882)
        RenderTo(rendered + 512);
    metronome.Stop();
    RenderTo(next + 4410 + kHeard);
    for (std::int64_t f = next - 512; f < next + 4410; ++f)
        ASSERT_LT(std::fabs(At(f)), 0.2f) << f;
}

// At 40 bpm each word sounds alone: every shipped number, plain and accented, swells (its centred
// 5 ms RMS envelope first at half its peak) within 5 ms of its beat.
TEST_F(PracticeTest, EveryShippedNumberSwellsOnItsBeat)
{
    settings.rules.counting = true;
    settings.beatsPerCycle = 8;
    Tempo(40);
    for (const char *voice : {"Long", "Englisch", "Computer"})
        for (const char *form : {"", "a"}) {
            SCOPED_TRACE(testing::Message() << voice << " " << form);
            for (int n = 1; n <= 8; ++n) {
                const std::string path =
                    std::string(METRONOM_SOUNDS_DIR) + "/Count/" + voice + "/" + std::to_string(n) + form + ".wav";
                const sound::Sample *word = Hold(sound::LoadWavFile(path));
                ASSERT_TRUE(word) << path;
                settings.samples.countPlain[std::size_t(n - 1)] = word;    // an unmarked beat
                settings.samples.countAccented[std::size_t(n - 1)] = word; // beat 1, marked
            }
            Start();
            const std::int64_t interval = 66150, half = interval / 2;
            RenderTo(rendered + 9 * interval + half + kHeard);
            const auto events = Events();
            ASSERT_EQ(events.size(), 9u);
            for (const auto &e : events) {
                const auto beat = std::int64_t(e.onsetFrame);
                SCOPED_TRACE(testing::Message() << "number " << e.beat);
                std::vector<double> envelope;
                double peak = 0;
                for (std::int64_t f = beat - half; f < beat + half; ++f) {
                    double sum = 0;
                    for (std::int64_t g = f - 110; g <= f + 110; ++g)
                        sum += double(At(g)) * At(g);
                    envelope.push_back(std::sqrt(sum / 221));
                    peak = std::max(peak, envelope.back());
                }
                ASSERT_GT(peak, 0.01) << "the word is heard";
                const auto swell =
                    std::find_if(envelope.begin(), envelope.end(), [&](double v) { return v >= peak / 2; });
                EXPECT_NEAR(double(swell - envelope.begin() - half), 0.0, 221.0) << "frames from the beat";
            }
            metronome.Stop();
            RenderTo(rendered + 2 * 44100); // the last word dies away
            Events();
        }
}

// Besides the renders above, each checked by RenderTo: loud sums the limiter holds (at volume 100,
// sounds ringing into each other), and a slot's sound posted in the block of a STOP.
TEST_F(PracticeTest, LoudSumsAndSlotCommandsAllocateNothing)
{
    settings.samples.click = Hold(Constant(3000, 0.9f));
    settings.practice.volume = 100;
    settings.practice.subdivision = 4;
    Tempo(271);
    for (int slot = 0; slot < 11; ++slot) {
        Start();
        RenderTo(rendered + 40 * 512);
        player.Post({sound::SlotCommand::Kind::Play, slot, nullptr, 0.5f, 0.5f});
        metronome.Stop();
        RenderTo(rendered + 2 * 512);
    }
    EXPECT_GE(Events().size(), 20u) << "the beats played";
}

} // namespace
