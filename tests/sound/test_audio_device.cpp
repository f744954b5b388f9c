// The output device: a stand-in host whose device fails and vanishes on demand.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "sound/mixer.h"
#include "sound/sound_output.h"
#include "sound/stream_feed.h"
#include "sound/wav_writer.h"

namespace {

using namespace std::chrono_literals;

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

// A host whose device can be made to fail or vanish, counting what is asked of it.
struct FakeHost : sound::AudioHost {
    bool Init(std::string &error) override
    {
        inits += initWorks, error = initWorks ? "" : "no sound server"; // successful starts counted
        return initWorks;
    }
    std::uint32_t Open(const SDL_AudioSpec &wanted, SDL_AudioSpec &have, std::string &error) override
    {
        want = have = wanted, lost = false;
        error = openWorks ? "" : "no device";
        return openWorks ? 7 : 0;
    }
    void Quit() override { ++quits; }
    void Resume(std::uint32_t) override { ++resumes; }
    bool Lost(std::uint32_t) override { return lost; }
    void Close(std::uint32_t) override {}
    bool initWorks = true, openWorks = true, lost = false;
    int inits = 0, quits = 0, resumes = 0;
    SDL_AudioSpec want{};
};

TEST(FakeDevice, FailuresAreCleanedUpAndALostDeviceIsOpenedAgain)
{
    CountingSource source;
    auto owned = std::make_unique<FakeHost>();
    FakeHost &host = *owned;
    sound::AudioDevice device(&source, 256, std::move(owned));
    host.initWorks = false;
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(device.error(), "no sound server");
    host.initWorks = true;
    host.openWorks = false;
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(device.error(), "no device");
    EXPECT_FALSE(device.Poll()) << "a device that never opened is not retried";

    host.openWorks = true;
    device.setRetryInterval(0ms);
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(std::tuple(host.want.freq, host.want.format, host.want.channels, host.want.samples),
              std::tuple(44100, AUDIO_F32SYS, 2, 512))
        << "256 frames asked for, 512 given";
    const int restarts = source.restarts, resumes = host.resumes;
    host.lost = true; // the sound server went away
    host.openWorks = false;
    EXPECT_FALSE(device.Poll());
    EXPECT_FALSE(device.Poll() || device.IsOpen()) << "no device while the server is away";
    EXPECT_EQ(device.losses(), 1);
    host.openWorks = true; // it is back
    EXPECT_TRUE(device.Poll() && device.IsOpen()) << "opened again at the next poll";
    EXPECT_GT(host.resumes, resumes) << "the new device plays";
    EXPECT_GT(source.restarts, restarts) << "the source forgets the old stream before the new one";

    device.Close();
    EXPECT_EQ(host.inits, host.quits) << "every start of SDL's audio is matched by a stop, a failed one too";
}

// Without PulseAudio the SDL device opens. With no output at all the box keeps its old words, and
// the libraries' own reasons reach the error output before the program ends.
TEST(FakeDeviceDeathTest, WithoutPulseAudioSdlOpensAndWithNoOutputAtAllTheBoxShowsAndSaysWhy)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::unsetenv("SDL_AUDIODRIVER"); // which would choose SDL at once
    ::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1);
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
        "metronom: no sound output: PulseAudio: [^\n]+; SDL: no device\n"
        "box \\[Lindoquet Metronome Vintra \\(Preview\\)\\] Unable to start DirectSound\\. Check");
    ::unsetenv("PULSE_SERVER");
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// The frame heard now: what was rendered, less what the output held before the last block (its
// latency), that block and the limiter's look-ahead, plus the time since; never beyond what was rendered, and never
// back when a stall ends with a block reporting the whole latency again.
TEST(StreamFeed, HeardFrameLagsByLatencyAndBlockAndNeverStepsBack)
{
    const int cases[][2] = {{0, 4096}, {7056, 4096}, {2048, 8192}}; // latency, block (frames)
    for (auto [latency, block] : cases) {
        SCOPED_TRACE(testing::Message() << "latency " << latency << ", block " << block);
        sound::StreamFeed feed; // no source: silence
        std::vector<float> out(2 * std::size_t(block));
        double rendered = 0;
        auto render = [&] {
            feed.SetLatency(latency);
            feed.Render(out.data(), block);
            rendered += block;
        };
        for (int i = 0; i < 3; ++i)
            render();
        const double heard = feed.HeardFrame(), lag = rendered - heard;
        const int held = latency + block + sound::Mixer::kLookAheadFrames;
        EXPECT_TRUE(lag <= held && lag > held - 2048) << "lag " << lag;
        std::this_thread::sleep_for(std::chrono::milliseconds((latency + block) / 44 + 100)); // a stall
        EXPECT_EQ(feed.HeardFrame(), rendered) << "beyond what was rendered";
        const double before = rendered;
        render();
        EXPECT_GE(feed.HeardFrame(), before) << "stepped back after the stall";
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
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
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
