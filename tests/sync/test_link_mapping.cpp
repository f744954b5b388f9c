// The metronome following a Link session, rendered offline: Link itself (never enabled: off the
// network) on a clock the test moves block by block, the stream's feed reporting a latency, and
// every sound a one-frame impulse, so the output tells at which frame each beat sounded.
#include <gtest/gtest.h>

#include "sync/ableton_link.h"
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>

#include "engine/render_test.h"
#include "engine/session_follower.h"
#include "sound/mixer.h"
#include "sound/stream_feed.h"
#include "sync/audio_session.h"
#include "tempo/tempo_model.h"

namespace {

constexpr double kRate = 44100;
constexpr std::int64_t kT0 = 1'000'000'000; // host time of frame 0, microseconds
// The mix leaves the render this much after its frame: a run started alone counts from the mix.
constexpr int kDelay = sound::Mixer::kLookAheadFrames;

// The host clock: the frames rendered so far, in microseconds from kT0.
struct FakeClock {
    static inline std::atomic<std::int64_t> now{kT0};
    std::chrono::microseconds micros() const { return std::chrono::microseconds(now.load()); }
};

// Link with the count of peers the test says (the session's own arithmetic is Link's). As Link
// does once enabled, what the audio thread commits is what it captures for a second after.
struct TestLink : ableton::BasicLink<FakeClock> {
    TestLink() : ableton::BasicLink<FakeClock>(120.0) {}
    std::size_t numPeers() const { return peers; }
    SessionState captureAudioSessionState() const
    {
        return held && FakeClock::now < heldUntil ? *held : BasicLink::captureAudioSessionState();
    }
    void commitAudioSessionState(const SessionState &state)
    {
        held = state;
        heldUntil = FakeClock::now + 1'000'000;
        BasicLink::commitAudioSessionState(state);
    }
    std::size_t peers = 0;
    std::optional<SessionState> held;
    std::int64_t heldUntil = 0;
};

struct LinkMappingTest : ::testing::Test {
    LinkMappingTest()
    {
        FakeClock::now = kT0;
        settings.rules = {false, true, true, true, true};
        settings.pattern = {};
        settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5);
        settings.samples = {click.get(), click.get(), click.get()};
        settings.slotSamples = {click.get(), click.get(), click.get()};
        metronome.Publish(settings);
        metronome.SetSession(&session, &feed);
        link.setTempoCallback([this](double bpm) { session.Noticed(bpm); }); // as the window's session does
    }
    ~LinkMappingTest() override
    {
        link.setTempoCallback([](double) {}); // Link's thread may call it while `session` goes
        metronome.SetSession(nullptr, nullptr);
    }

    // Renders blocks of 512 frames until `frames` have been rendered since frame 0.
    void RenderTo(std::uint64_t frames)
    {
        std::vector<float> out(2 * 512);
        for (; rendered < frames; rendered += 512) {
            FakeClock::now = kT0 + corked + std::llround(double(rendered) * 1e6 / kRate);
            feed.Render(out.data(), 512);
            for (int i = 0; i < 512; ++i)
                if (out[2 * i] != 0.0f)
                    onsets.push_back(rendered + std::uint64_t(i));
            waited |= metronome.Clock().waitingForBar;
        }
        for (engine::BeatEvent e; metronome.PopBeat(e);)
            events.push_back(e);
    }
    // The frame at which a host time is heard with `latency` frames of latency.
    double FrameAt(double micros, std::int64_t latency) const
    {
        return (micros - double(kT0 + corked)) * kRate / 1e6 - double(latency);
    }
    // A change on the app side, as the window's session makes it: first the beat the audio thread
    // asked for.
    void App(const std::function<void(TestLink::SessionState &)> &change)
    {
        auto state = link.captureAppSessionState();
        session.AlignIn(state);
        change(state);
        link.commitAppSessionState(state);
    }
    // Sets the session's tempo and puts beat 0 (a bar) at host time `bar`, as a peer's would be.
    void SessionAt(double bpm, std::int64_t bar)
    {
        auto state = link.captureAppSessionState();
        state.setTempo(bpm, std::chrono::microseconds(FakeClock::now.load()));
        state.requestBeatAtTime(0, std::chrono::microseconds(bar), 4); // alone in Link: exactly there
        link.commitAppSessionState(state);
    }

    std::int64_t clockBefore = FakeClock::now.exchange(kT0); // Link made at kT0 (a start's time stamps)
    std::shared_ptr<const sound::Sample> click = enginetest::Constant(1, 0.5f);
    sound::SlotPlayer player{11};
    engine::Metronome metronome{player};
    sound::StreamFeed feed{&metronome};
    TestLink link;
    linksync::AudioSession<TestLink> session{link};
    engine::Settings settings;
    std::uint64_t rendered = 0;
    std::int64_t corked = 0; // microseconds the stream stood still (it rests while stopped)
    std::vector<std::uint64_t> onsets;
    std::vector<engine::BeatEvent> events;
    bool waited = false;
};

struct Heard {
    double bpm;
    std::int64_t latency; // frames
    int corkedMs;         // the stream stood still this long before START
};

void PrintTo(const Heard &h, std::ostream *os)
{
    *os << h.bpm << " bpm, latency " << h.latency << ", stood still " << h.corkedMs << " ms";
}

class LinkHeardTest : public LinkMappingTest, public ::testing::WithParamInterface<Heard> {};

// With peers, START joins at the session's next bar, sounding the latency before its host time; then
// every beat is on the session's, counted from the bar, at its tempo; also after the stream stood still.
TEST_P(LinkHeardTest, BeatsSoundWhenTheSessionsBeatsAreHeard)
{
    const auto [bpm, latency, corkedMs] = GetParam();
    link.peers = 2;
    feed.SetLatency(latency);
    RenderTo(22050); // stopped
    corked = corkedMs * 1000;
    const std::int64_t bar = FakeClock::now + corked + 1'000'000;
    SessionAt(bpm, bar);
    metronome.Start();
    const double beat = 60e6 / bpm;
    RenderTo(std::uint64_t(FrameAt(double(bar) + 8.5 * beat, latency)));
    ASSERT_EQ(onsets.size(), 9u) << "nothing before the bar, then every beat";
    EXPECT_TRUE(waited) << "the run said it waits for the bar";
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        EXPECT_NEAR(double(onsets[k]), std::ceil(FrameAt(double(bar) + double(k) * beat, latency)), 1.0)
            << "beat " << k;
        EXPECT_EQ(events[k].beat, int(k % 4) + 1);
        EXPECT_EQ(events[k].measuredBpm, int(std::lround(bpm)));
    }
}

INSTANTIATE_TEST_SUITE_P(Link, LinkHeardTest,
                         ::testing::Values(Heard{97, 7056, 0}, Heard{180, 7056, 0}, Heard{97.5, 2048, 0},
                                           Heard{97, 0, 0}, Heard{97, 7056, 2000}));

// START with peers asks Link for the session's next bar: within a frame before it, never a hair past
// it, which Link moves to the bar after (12 s late at 20 bpm), whatever the tempo and bar's place.
TEST_F(LinkMappingTest, StartWithPeersAsksForTheNextBarNeverPastIt)
{
    constexpr double q = 4;
    for (const double bpm : {20.0, 21.0, 23.7, 97.0, 999.0}) {
        for (std::int64_t offset = 0; offset < 12'000'000; offset += 250'013) {
            SessionAt(bpm, FakeClock::now + offset);
            session.Capture();
            const std::int64_t at = FakeClock::now + 1;
            const double bar = std::ceil(session.BeatAt(at, q) / q) * q;
            const std::int64_t asked = engine::NextBarRequest(session, at, q);
            EXPECT_LE(session.BeatAt(asked, q), bar) << bpm << " bpm, bar " << offset << " us on: past the bar";
            EXPECT_GE(session.BeatAt(asked + 23, q), bar) << bpm << " bpm, bar " << offset << " us on: too early";
        }
    }
}

// A tempo the session gets from elsewhere (a peer) while the trainer runs: the trainer goes on from
// it at its next step, instead of setting the session back to its own (every peer would follow).
TEST_F(LinkMappingTest, TheTrainerGoesOnFromATempoAPeerSet)
{
    settings.practice = {.trainerOn = true, .trainerEveryCycles = 1}; // from 120 to 140, by 2
    metronome.Publish(settings);
    feed.SetLatency(4410);
    metronome.Start();
    RenderTo(22050 * 8); // past the second in which Link shows the audio side its own last change
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().measuredBpm, 122);
    // Link hands what the audio thread commits to the app side on a thread of its own; a peer's
    // tempo comes after the trainer's step there, not before it.
    for (int i = 0; i < 2000 && link.captureAppSessionState().tempo() != 122; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    App([&](auto &state) { state.setTempo(125, std::chrono::microseconds(FakeClock::now.load())); });
    for (int i = 0; i < 2000 && (session.Capture(), session.Tempo() != 125); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // until the audio side has it
    ASSERT_EQ(session.Tempo(), 125);
    RenderTo(rendered + 44100 * 5);
    std::vector<double> steps;
    for (const engine::BeatEvent &e : events)
        if (e.bpm > 0)
            steps.push_back(e.bpm);
    EXPECT_EQ(steps, (std::vector<double>{120, 122, 127, 129, 131})) << "from the peer's 125 on, by 2";
}

// With a peer, a song leads: its count-in's first click on the session's next bar (quantum 2, its
// 2/4), also where it comes in on the grid of a shared start, each click's rate the session's tempo
// (what peers play), so every click as far from the last as the map says; a tempo a peer sets
// during a ramp leaves it, the run going on at that tempo.
class LinkSongTest : public LinkMappingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LinkSongTest, ASongLeadsTheSessionFromItsBarUntilAPeerSetsATempo)
{
    link.peers = 1;
    feed.SetLatency(4410);
    SessionAt(97, FakeClock::now + 1'000'000); // at START (heard 0.1 s on) half way to an odd beat
    session.SetStartStopShared(GetParam());
    link.enableStartStopSync(GetParam());
    FakeClock::now += 1; // after Link's own start and stop state
    App([&](auto &state) { state.setIsPlaying(GetParam(), std::chrono::microseconds(kT0 - 4'321'000)); });
    for (int i = 0; i < 2000 && (session.Capture(), session.Playing() != GetParam()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::uint64_t seen = 0;
    for (double bpm = 0; !session.TempoFromElsewhere(seen, bpm);) // before START, once Link's thread has it
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto map = song::ParseTempoMap("1 2/4 120\n1 3/4 60,90,120\n6 2/4 100-130\n", "m");
    const engine::SongPlan plan(*map.map, 0, 1);
    settings.song = &plan;
    metronome.Publish(settings);
    metronome.Start();
    while (onsets.empty() && rendered < 44100 * 5)
        RenderTo(rendered + 512);
    const double bar =
        (session.Capture(), session).BeatAt(std::llround(kT0 + double(onsets.at(0) + 4410) * 1e6 / kRate), 2) / 2;
    EXPECT_NEAR(bar, std::round(bar), 1e-3) << "the first click on the session's bar";
    RenderTo(onsets[0] + std::uint64_t(5.5 * kRate)); // past the second Link shows the audio side its own change
    const double clicks[] = {0, 0.5, 1, 1.5, 2, 3, 3 + 2 / 3.0, 25 / 6.0, 4.75929, 5.33763}; // seconds
    ASSERT_EQ(onsets.size(), std::size(clicks));
    for (std::size_t k = 0; k < onsets.size(); ++k)
        EXPECT_NEAR(double(onsets[k] - onsets[0]), clicks[k] * kRate, 1.5) << "click " << k;
    // A peer's tempo while the ramp sends one every click, so the audio side sees its own for good.
    App([&](auto &state) { state.setTempo(150, std::chrono::microseconds(FakeClock::now.load())); });
    for (double bpm = 0; !session.TempoFromElsewhere(seen, bpm);)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    events.clear();
    RenderTo(rendered + 44100 * 2);
    EXPECT_TRUE(events.at(0).songLeft && std::abs(events[0].clickRate - 150) < 1e-6) << "left at the peer's tempo";
    EXPECT_NEAR(double(onsets.at(11) - onsets[10]), 17640, 1.5) << "at once, though Link shows the audio side its own";
}

INSTANTIATE_TEST_SUITE_P(Link, LinkSongTest, ::testing::Values(false, true));

// A tempo set in the session while running: the beats after it come at the new tempo, from the
// session's beat time at the change (no beat lost, none doubled).
TEST_F(LinkMappingTest, ATempoChangeInTheSessionMovesTheNextBeats)
{
    feed.SetLatency(4410);
    metronome.Start();
    RenderTo(22050 * 2 + 11264); // beats at 22050 and 44100, then a quarter second on
    ASSERT_EQ(onsets.size(), 2u);
    const std::int64_t now = FakeClock::now.load() + std::llround(512 * 1e6 / kRate);
    App([&](auto &state) { state.setTempo(150, std::chrono::microseconds(now)); });
    // Heard 4410 frames after it is rendered, the change comes part way into the third beat; the
    // rest of that beat goes at 150 (17640 frames a beat). Frames here are the output's.
    const double change = FrameAt(double(now), 4410);
    RenderTo(rendered + 17640 * 4);
    ASSERT_GE(onsets.size(), 5u);
    EXPECT_NEAR(double(onsets[2]), std::ceil(change + (22050 * 3 + kDelay - change) * 17640 / 22050), 1.0);
    for (std::size_t k = 3; k < onsets.size(); ++k)
        EXPECT_NEAR(double(onsets[k] - onsets[k - 1]), 17640, 1.0);
    EXPECT_EQ(events.back().measuredBpm, 150);
}

// Alone, once the server reported its latency, as without Link; Link off and on keeps the frames and
// the session gets our beat; a peer found later is followed at once, not when Link lets go of our change.
TEST_F(LinkMappingTest, AloneAsWithoutLinkThenAPeerFoundIsFollowedAtOnce)
{
    feed.SetLatency(4410, false);
    metronome.Start();
    RenderTo(512 * 60);
    EXPECT_TRUE(onsets.empty()) << "no beat while the server has reported no latency";
    const std::uint64_t known = rendered;
    feed.SetLatency(4410, true);
    RenderTo(known + 33075);
    metronome.SetSession(nullptr, nullptr);
    RenderTo(rendered + 512);
    metronome.SetSession(&session, &feed);
    RenderTo(known + 55125);
    App([](auto &) {});                                                                 // the window's next frame
    const double third = kT0 + double(known + 22050 * 3 + kDelay + 4410) * 1e6 / kRate; // heard there
    EXPECT_NEAR(link.captureAppSessionState().beatAtTime(std::chrono::microseconds(std::llround(third)), 4), 2, 1e-3);
    const std::int64_t bar = FakeClock::now.load() + 250'000; // the peer's
    SessionAt(97, bar);
    link.peers = 1;
    RenderTo(std::uint64_t(FrameAt(double(bar) + 2.5 * 60e6 / 97, 4410)));
    ASSERT_EQ(onsets.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_NEAR(double(onsets[k]),
                    k < 2 ? double(known + 22050 * (k + 1) + kDelay)
                          : std::ceil(FrameAt(double(bar) + double(k - 2) * 60e6 / 97, 4410)),
                    1.0)
            << "beat " << k;
    EXPECT_FALSE(waited);
}

// A peer joins before the window gave the session our beat: from the window's next frame on (which
// drops our beat) the beats are on the session's grid, none lost or doubled on the way.
TEST_F(LinkMappingTest, APeerJoiningOurSessionBeforeItHadOurBeatIsFollowedFromTheWindowsNextFrame)
{
    feed.SetLatency(4410);
    const std::int64_t bar = kT0 + 125'000; // the session's beats a quarter beat before ours
    SessionAt(120, bar);
    for (session.Capture(); std::abs(session.BeatAt(bar, 4)) > 1e-6; session.Capture())
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // until the audio side has it
    metronome.Start();
    RenderTo(22050 * 2 + 11025);
    ASSERT_EQ(onsets.size(), 2u);
    link.peers = 1;
    RenderTo(22050 * 4 + 11025);
    App([](auto &) {});
    const std::size_t framed = onsets.size();
    RenderTo(22050 * 8);
    ASSERT_GE(onsets.size(), framed + 3);
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const double beats = double(onsets[k] + 4410 - FrameAt(double(bar), 0)) / 22050;
        if (k < 2) {
            EXPECT_NEAR(double(onsets[k]), double(22050 * (k + 1) + kDelay), 1.0) << "ours, beat " << k;
        } else {
            EXPECT_NEAR(double(onsets[k] - onsets[k - 1]), 22050, 22050 / 4) << "none lost or doubled";
        }
        if (k >= framed) {
            EXPECT_NEAR(beats, std::round(beats), 1.0 / 22050) << "the session's, beat " << k;
        }
    }
}

} // namespace
