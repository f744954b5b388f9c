// The output device: a stand-in host whose device fails and vanishes on demand.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/render_test.h"
#include "sound/mixer.h"
#include "sound/sound_output.h"
#include "sound/stream_feed.h"
#include "sound/wav_writer.h"
#include "support/fake_host.h"
#include "tempo/tempo_model.h"

namespace {

using namespace std::chrono_literals;
using testsupport::FakeHost;
using testsupport::PlayingHost;

struct CountingSource : sound::AudioSource {
    void Render(float *out, int frames) override
    {
        std::fill(out, out + 2 * frames, 0.0f);
        calls.fetch_add(1, std::memory_order_relaxed); // relaxed: a counter read after waiting
    }
    void Restart() override { ++restarts; }
    std::atomic<int> calls{0};
    int restarts = 0; // UI thread only
};

// A start of SDL's audio left without its stop would keep the old connection to the sound server:
// the next opening, after the server is back, would not reach it; the source forgets the old stream
// before the new one. (That the reopened device plays: SdlRest.)
TEST(FakeDevice, FailuresAreCleanedUpAndALostDeviceIsOpenedAgain)
{
    CountingSource source;
    auto owned = std::make_unique<FakeHost>();
    FakeHost &host = *owned;
    sound::AudioDevice device(&source, 256, std::move(owned));
    host.initWorks = false;
    EXPECT_EQ(device.Open() ? "opened" : device.error(), "no sound server");
    host.initWorks = true, host.openWorks = false;
    EXPECT_EQ(device.Open() ? "opened" : device.error(), "no device");
    EXPECT_FALSE(device.Poll()) << "a device that never opened is not retried";

    host.openWorks = true;
    device.setRetryInterval(0ms);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(std::tuple(host.want.freq, host.want.format, host.want.channels, host.want.samples),
              std::tuple(44100, AUDIO_F32SYS, 2, 512))
        << "256 frames asked for, 512 given";
    const int restarts = source.restarts;
    host.lost = true, host.openWorks = false; // the sound server went away
    EXPECT_FALSE(device.Poll() || device.Poll() || device.IsOpen()) << "no device while the server is away";
    host.openWorks = true; // it is back
    EXPECT_TRUE(device.Poll() && device.IsOpen()) << "opened again at the next poll";
    EXPECT_GT(source.restarts, restarts) << "sounds asked for while lost would all sound at once";
    device.Close();
    EXPECT_EQ(host.inits, host.quits) << "every start of SDL's audio is matched by a stop, a failed one too";
}

// Without PipeWire and PulseAudio the SDL device opens. With no output at all the box keeps its old words, and
// the libraries' own reasons reach the error output before the program ends.
TEST(FakeDeviceDeathTest, WithoutPulseAudioSdlOpensAndWithNoOutputAtAllTheBoxShowsAndSaysWhy)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::unsetenv("SDL_AUDIODRIVER"); // which would choose SDL at once
    ::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1);
    ::setenv("PIPEWIRE_REMOTE", "nonexistent-pipewire", 1);
    {
        sound::SoundOutput output(std::make_unique<FakeHost>());
        EXPECT_TRUE(output.OpenDevice()) << output.error();
        EXPECT_STREQ(output.kind(), "SDL");
    }
    EXPECT_EXIT(
        {
            auto host = std::make_unique<FakeHost>();
            host->openWorks = false;
            sound::SoundOutput output(std::move(host));
            output.InitDirectSound([](const std::string &text, const std::string &caption) {
                std::fprintf(stderr, "box [%s] %s\n", caption.c_str(), text.c_str());
            });
            for (int i = 0; i < 400; ++i) { // the refusal comes from the connecting thread
                std::this_thread::sleep_for(10ms);
                output.Poll();
            }
        },
        ::testing::ExitedWithCode(1),
        "metronom: no sound output: PipeWire: [^\n]+; PulseAudio: [^\n]+; SDL: no device\n"
        "box \\[Lindoquet Metronome Vintra \\(Preview\\)\\] Unable to start DirectSound\\. Check");
    ::unsetenv("PULSE_SERVER");
    ::unsetenv("PIPEWIRE_REMOTE");
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// The program's output through SDL with the beat engine behind it, at 120 BPM: beat 1 comes half a
// second (22050 frames) after START. While stopped, the device is closed (its thread would wake for
// every block), after a second of silence (a START soon after a STOP finds it open: closing holds the
// window up to 0.2 s); START opens it again and plays on from where it stopped: beat 1 half a second
// after START, the pendulum's frame in step with the sound, and a sound played while resting heard at
// once. A device that does not open again at START (run 3) is lost, and opened once it is back.
TEST(SdlRest, WhileStoppedTheDeviceIsClosedAndStartOpensItAgainOnTheBeat)
{
    const std::shared_ptr<const sound::Sample> click = enginetest::Constant(1, 0.1f);
    auto owned = std::make_unique<PlayingHost>();
    PlayingHost &host = *owned;
    sound::SoundOutput output{std::move(owned)};
    engine::Metronome metronome{output.player()};
    engine::Settings settings;
    settings.phaseRate = tempo::PhaseRateForBpm(120, 30.5);
    settings.samples = {click.get(), click.get(), click.get()};
    output.setRetryInterval(0ms);
    output.setSdlRestAfter(1000ms);
    output.SetSource(&metronome);
    constexpr int kBlock = sound::kProgramBlockFrames, kHeard = sound::Mixer::kLookAheadFrames;

    ASSERT_TRUE(output.OpenDevice());
    output.Poll();
    EXPECT_FALSE(host.open) << "open although it has not played yet";
    EXPECT_TRUE(output.IsOpen()) << "a resting device counts as open";
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        if (run == 2)
            output.player().Post({sound::SlotCommand::Kind::Play, 5, click.get(), 1.0f, 1.0f});
        host.openWorks = run != 3;
        metronome.Publish(settings);
        metronome.Start();
        output.Play(true);
        if (run == 3) {
            EXPECT_FALSE(output.IsOpen() || output.Poll()) << "open without a device";
            host.openWorks = true;
            EXPECT_TRUE(output.Poll()) << "not opened again once the device is back";
        }
        ASSERT_TRUE(host.open) << "START did not open the device";
        const std::size_t started = host.openedAt;
        engine::BeatEvent beat;
        for (int i = 0; i < 40 && !metronome.PopBeat(beat); ++i)
            ASSERT_TRUE(host.Play(1)) << "the device does not play";
        EXPECT_EQ(std::tuple(beat.beat, beat.onsetFrame), std::tuple(1, started + 22050))
            << "beat 1 not half a second after the first frame";
        EXPECT_EQ(host.FirstSound(started + 22050), std::int64_t(started + 22050 + kHeard))
            << "beat 1 not heard on its frame";
        if (run == 2) {
            EXPECT_EQ(host.FirstSound(started), std::int64_t(started + kHeard))
                << "the sound played while resting is not heard in the first block";
        }
        host.Play(3);
        EXPECT_NEAR(output.HeardFrame(), double(host.recording.size() / 2) - 2 * kBlock - kHeard, kBlock / 4.0)
            << "the pendulum's frame is not two blocks behind the sound";

        metronome.Stop();
        output.Play(false);
        host.Play(4); // the last sound plays out
        output.Poll();
        EXPECT_TRUE(host.open) << "closed at once after STOP";
        host.Play(44100 / kBlock + 1);
        output.Poll();
        EXPECT_FALSE(host.open) << "still open after a second of silence";
    }
    output.SetSource(nullptr);
}

// SDL itself (its dummy driver): START brings the sound back after each rest.
TEST(SdlRestWithSdl, StartBringsTheSoundBackAfterEachRest)
{
    sound::SoundOutput output;
    output.setSdlRestAfter(0ms);
    ASSERT_TRUE(output.OpenDevice()) << output.error();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        output.Poll(); // rests
        const std::uint64_t blocks = output.sdl().blocks();
        output.Play(true);
        for (int i = 0; i < 200 && output.sdl().blocks() < blocks + 2; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_GE(output.sdl().blocks(), blocks + 2) << "START brought no sound";
        output.Play(false);
        std::this_thread::sleep_for(100ms); // its last blocks (silent) played out
    }
}

// The frame heard now: what was rendered, less what the output held before the last block (its latency),
// that block and the limiter's look-ahead, plus the time since; never beyond what was rendered, and
// never back when a stall ends with a block reporting the whole latency again.
TEST(StreamFeed, HeardFrameLagsByLatencyAndBlockAndNeverStepsBack)
{
    const int cases[][2] = {{0, 4096}, {7056, 4096}, {2048, 8192}}; // latency, block (frames)
    for (auto [latency, block] : cases) {
        SCOPED_TRACE(testing::Message() << "latency " << latency << ", block " << block);
        sound::StreamFeed feed; // no source: silence
        std::vector<float> out(2 * std::size_t(block));
        auto render = [&] { feed.SetLatency(latency), feed.Render(out.data(), block); };
        render(), render(), render();
        const double lag = 3.0 * block - feed.HeardFrame(), held = latency + block + sound::Mixer::kLookAheadFrames;
        EXPECT_TRUE(lag <= held && lag > held - 2048) << "lag " << lag;
        std::this_thread::sleep_for(std::chrono::milliseconds((latency + block) / 44 + 100)); // a stall
        EXPECT_EQ(feed.HeardFrame(), 3.0 * block) << "beyond what was rendered";
        render();
        EXPECT_GE(feed.HeardFrame(), 3.0 * block) << "stepped back after the stall";
    }
}

// Counts its frames into the samples it renders (frame n plays n on both channels).
struct RampSource : sound::AudioSource {
    void Render(float *out, int frames) override
    {
        for (int i = 0; i < frames; ++i)
            out[2 * i] = out[2 * i + 1] = float(next++);
        if (feed && firstLatency < 0)
            firstLatency = feed->BlockLatency();
    }
    void Restart() override { next = -1000000; } // what was meant for the old stream is gone
    sound::StreamFeed *feed = nullptr;
    std::int64_t next = 0, firstLatency = -1;
};

// A stream lost with frames the server had not played yet (the server dropped it, or went away):
// the next stream plays them first, from the frame heard when it was lost, then the source goes on
// without a frame skipped or played twice; meanwhile the frame heard stays where the sound broke
// off. Not when more was lost than the feed keeps, nor when the run was stopped meanwhile.
TEST(StreamFeed, TheNextStreamPlaysFirstWhatALostOneDidNot)
{
    constexpr int kBlock = 1024, kBlocks = 64, kLatencyNow = 4410;
    const std::tuple<int, bool, std::int64_t> cases[] = {
        // latency, stopped meanwhile, the first frame the next stream plays
        {7056, false, kBlocks * kBlock - 7056 - kBlock}, // 160 ms held by the server
        {0, false, kBlocks * kBlock - kBlock},           // only the block being played
        {7056, true, -1000000},                          // stopped meanwhile: the source forgot
        {50000, false, -1000000},                        // more than a second lost: as before
    };
    for (auto [latency, stopped, firstPlayed] : cases) {
        SCOPED_TRACE(testing::Message() << "latency " << latency << (stopped ? ", stopped" : ""));
        RampSource ramp;
        sound::StreamFeed feed(&ramp);
        auto render = [&](int latencyThen, int blocks) {
            std::vector<float> played, out(2 * kBlock);
            for (int i = 0; i < blocks; ++i) {
                feed.SetLatency(latencyThen);
                feed.Render(out.data(), kBlock);
                played.insert(played.end(), out.begin(), out.end());
            }
            return played;
        };
        render(latency, kBlocks);
        feed.Lost(0); // at the last report
        const double heard = feed.HeardFrame();
        if (latency < sound::StreamFeed::kKeptFrames) {
            std::this_thread::sleep_for(std::chrono::milliseconds(latency / 44 + 50));
            EXPECT_EQ(feed.HeardFrame(), heard) << "the pendulum went on while nothing played";
        }
        if (stopped)
            feed.DropUnheard();
        feed.Restart(); // the next stream, on its own audio thread
        ramp.feed = &feed;
        const std::vector<float> played = render(kLatencyNow, 12);
        ASSERT_EQ(played[0], float(firstPlayed));
        for (std::size_t i = 2; i < played.size(); i += 2)
            ASSERT_EQ(played[i], played[i - 2] + 1) << "a frame skipped or doubled at " << i / 2;
        if (!stopped && latency < sound::StreamFeed::kKeptFrames) {
            // The source's first frame comes after what was played again (the beats a shared
            // session places are heard where it meant them).
            const std::int64_t replayed = kBlocks * kBlock - firstPlayed;
            EXPECT_EQ(ramp.firstLatency, kLatencyNow + replayed % kBlock + sound::Mixer::kLookAheadFrames);
            EXPECT_GE(feed.HeardFrame(), heard);
        }
    }
}

// A server that takes the connection and never answers (like one frozen with SIGSTOP): connecting
// goes on in the background, no box is shown, and after 2 s the output runs silent with its note,
// rendering its source; closing it ends the connecting at once.
TEST(SoundOutput, AServerThatNeverAnswersLeavesTheProgramRunningSilent)
{
    soundtest::TempDir dir;
    const std::string socketPath = dir / "native";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 8), 0); // connections wait in the backlog, never accepted
    ::unsetenv("SDL_AUDIODRIVER");
    ::setenv("PULSE_SERVER", ("unix:" + socketPath).c_str(), 1);
    {
        CountingSource source;
        sound::SoundOutput output(std::make_unique<FakeHost>());
        output.SetSource(&source);
        output.InitDirectSound([](const std::string &, const std::string &) { ADD_FAILURE() << "a box"; });
        EXPECT_TRUE(output.connecting()) << "InitDirectSound waited for the server";
        EXPECT_STREQ(output.note(), "");
        output.Play(true);
        for (int i = 0; i < 200 && (!*output.note() || source.calls.load() < 3); ++i) {
            std::this_thread::sleep_for(50ms);
            output.Poll();
        }
        EXPECT_STREQ(output.note(), sound::kSilentNote) << output.kind() << " " << output.error();
        EXPECT_TRUE(output.IsOpen() && output.connecting());
        EXPECT_GE(source.calls.load(), 3) << "the silent stream renders the source";
        output.Close();
        EXPECT_FALSE(output.connecting() || output.IsOpen());
    }
    ::close(listener);
    ::unsetenv("PULSE_SERVER");
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

} // namespace
