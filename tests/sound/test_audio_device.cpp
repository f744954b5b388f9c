// The output device: SDL's dummy driver, a driver that does not exist, and a stand-in host whose
// device fails and vanishes on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound/dx7_sound.h"
#include "sound/wav_writer.h"

namespace {

using namespace std::chrono_literals;
using sound::AudioDevice;

class CountingSource : public sound::AudioSource {
public:
    void Render(float *out, int frames) override
    {
        std::fill(out, out + 2 * frames, 0.0f);
        // Relaxed: counters read by the test thread after waiting; no data hangs on them.
        calls.fetch_add(1, std::memory_order_relaxed);
        lastFrames.store(frames, std::memory_order_relaxed);
    }
    void Restart() override { ++restarts; }
    std::atomic<int> calls{0};
    std::atomic<int> lastFrames{0};
    int restarts = 0; // UI thread only
};

template <class Condition> bool WaitFor(Condition condition, std::chrono::milliseconds limit = 3s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class DriverEnv {
public:
    explicit DriverEnv(const char *driver)
    {
        if (const char *old = std::getenv("SDL_AUDIODRIVER"))
            old_ = old;
        ::setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~DriverEnv()
    {
        if (old_.empty())
            ::unsetenv("SDL_AUDIODRIVER");
        else
            ::setenv("SDL_AUDIODRIVER", old_.c_str(), 1);
    }

private:
    std::string old_;
};

TEST(SdlDevice, DummyDriverCallsTheSourceBlockByBlock)
{
    DriverEnv env("dummy");
    CountingSource source;
    AudioDevice device(&source);
    ASSERT_TRUE(device.Open()) << device.error();
    EXPECT_TRUE(device.IsOpen());
    EXPECT_GE(device.blockFrames(), 512);
    EXPECT_TRUE(WaitFor([&] { return source.calls.load() >= 4; }));
    EXPECT_EQ(source.lastFrames.load(), device.blockFrames());
    EXPECT_EQ(source.restarts, 1);
    EXPECT_TRUE(device.Poll()) << "the dummy device does not get lost";
    device.Close();
    const int calls = source.calls.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(source.calls.load(), calls) << "no callback after Close";
    EXPECT_FALSE(device.Poll()) << "a closed device is not reopened";
}

TEST(SdlDevice, UnknownDriverIsRefused)
{
    DriverEnv env("no-such-driver");
    CountingSource source;
    AudioDevice device(&source);
    EXPECT_FALSE(device.Open());
    EXPECT_FALSE(device.error().empty());
    EXPECT_FALSE(device.IsOpen());
}

TEST(SdlDevice, SetSourceHandsTheStreamOver)
{
    DriverEnv env("dummy");
    CountingSource first, second;
    AudioDevice device(&first);
    ASSERT_TRUE(device.Open());
    ASSERT_TRUE(WaitFor([&] { return first.calls.load() >= 2; }));
    device.SetSource(&second);
    const int firstCalls = first.calls.load();
    ASSERT_TRUE(WaitFor([&] { return second.calls.load() >= 3; }));
    EXPECT_EQ(first.calls.load(), firstCalls) << "the old source is left alone once SetSource returns";
    device.SetSource(nullptr); // silence
    device.Close();
}

TEST(SdlDevice, InitDirectSoundShowsTheBoxAndEndsTheProgram)
{
    EXPECT_EXIT(
        {
            ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            sound::DX7Sound output;
            output.InitDirectSound([](const std::string &text, const std::string &caption) {
                std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
            });
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1),
        "\\[Lindoquet Metronome Vintra \\(Preview\\)\\] Unable to start DirectSound\\. Check to see that your "
        "sound card is properly installed\n");
}

TEST(SdlDevice, SlotsPlayThroughTheDummyDevice)
{
    DriverEnv env("dummy");
    soundtest::TempDir dir;
    soundtest::WriteFile(dir / "Klack.wav", soundtest::ConstantWav(2000, 10000, 10000));
    sound::DX7Sound output;
    bool boxShown = false;
    output.InitDirectSound([&](const std::string &, const std::string &) { boxShown = true; });
    EXPECT_FALSE(boxShown);
    output.soundSlots().CreateBuffers(10, dir / "Klack.wav");
    ASSERT_TRUE(output.soundSlots().PlayVoice1(dir / "Klack.wav"));
    EXPECT_TRUE(WaitFor([&] { return output.player().Acknowledged() >= 2; })) << "the callback takes the plays";
    const sound::Sample &klack = *output.soundSlots().slot(0)->Buffer;
    EXPECT_TRUE(WaitFor([&] { return klack.mixerRefs.load() == 0; })) << "the click has played out";
    EXPECT_TRUE(output.PollDevice());
}

// A host whose device can be made to fail or vanish.
struct FakeState {
    bool initWorks = true;
    bool openWorks = true;
    bool lost = false;
    int inits = 0, quits = 0, opens = 0, closes = 0, resumes = 0;
    SDL_AudioSpec want{};
};

class FakeHost : public sound::AudioHost {
public:
    explicit FakeHost(FakeState &s) : s_(s) {}
    bool Init(std::string &error) override
    {
        ++s_.inits;
        if (!s_.initWorks)
            error = "no sound server";
        return s_.initWorks;
    }
    void Quit() override { ++s_.quits; }
    std::uint32_t Open(const SDL_AudioSpec &want, SDL_AudioSpec &have, std::string &error) override
    {
        ++s_.opens;
        s_.want = want;
        if (!s_.openWorks) {
            error = "no device";
            return 0;
        }
        have = want;
        s_.lost = false;
        return 7;
    }
    void Resume(std::uint32_t) override { ++s_.resumes; }
    bool Lost(std::uint32_t) override { return s_.lost; }
    void Close(std::uint32_t) override { ++s_.closes; }

private:
    FakeState &s_;
};

class FakeDeviceTest : public ::testing::Test {
protected:
    // One block from the stream, as SDL's thread would ask for it.
    void Callback()
    {
        std::vector<float> block(2 * 512);
        state.want.callback(state.want.userdata, reinterpret_cast<Uint8 *>(block.data()),
                            static_cast<int>(block.size() * sizeof(float)));
    }
    FakeState state;
    CountingSource source;
    AudioDevice device{&source, 256, std::make_unique<FakeHost>(state)};
};

TEST_F(FakeDeviceTest, AsksForFloatStereoAt44100InBlocksOfAtLeast512)
{
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(state.want.freq, 44100);
    EXPECT_EQ(state.want.format, AUDIO_F32SYS);
    EXPECT_EQ(state.want.channels, 2);
    EXPECT_EQ(state.want.samples, 512) << "256 asked for, 512 given";
    EXPECT_EQ(state.resumes, 1);
    Callback();
    EXPECT_EQ(source.lastFrames.load(), 512);
}

TEST_F(FakeDeviceTest, FailureToStartOrToOpenIsReportedAndCleanedUp)
{
    state.initWorks = false;
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(device.error(), "no sound server");
    EXPECT_EQ(state.opens, 0);
    state.initWorks = true;
    state.openWorks = false;
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(device.error(), "no device");
    EXPECT_EQ(state.quits, 1) << "SDL started without a device is stopped again";
    EXPECT_FALSE(device.Poll()) << "a device that never opened is not retried";
    EXPECT_EQ(state.opens, 1);
}

TEST_F(FakeDeviceTest, LostDeviceIsClosedAndOpenedAgainWhenOneIsThere)
{
    device.setRetryInterval(0ms);
    ASSERT_TRUE(device.Open());
    EXPECT_TRUE(device.Poll());
    EXPECT_EQ(state.closes, 0);

    state.lost = true; // the sound server went away
    state.openWorks = false;
    EXPECT_FALSE(device.Poll());
    EXPECT_EQ(device.losses(), 1);
    EXPECT_EQ(state.closes, 1);
    EXPECT_EQ(state.quits, 2) << "once for the lost device, once for the failed retry";
    EXPECT_FALSE(device.Poll());
    EXPECT_EQ(state.opens, 3) << "tried again on every poll";

    state.openWorks = true; // it is back
    EXPECT_TRUE(device.Poll());
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(state.resumes, 2);
    EXPECT_EQ(source.restarts, 4) << "the source forgets the old stream before each new one";
    Callback();
    EXPECT_EQ(source.calls.load(), 1);

    device.Close();
    EXPECT_EQ(state.inits, state.quits) << "every start of SDL's audio is matched by a stop";

    // With a retry interval, a lost device is tried once at once and then only after it.
    AudioDevice spaced{&source, 512, std::make_unique<FakeHost>(state)};
    spaced.setRetryInterval(1h);
    ASSERT_TRUE(spaced.Open());
    const int opens = state.opens;
    state.lost = true;
    state.openWorks = false;
    for (int i = 0; i < 3; ++i)
        spaced.Poll();
    EXPECT_EQ(state.opens, opens + 1);
}

} // namespace
