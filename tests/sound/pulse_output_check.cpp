// The program's sound output against a private PulseAudio server (run by pulse_output.sh):
//   fallback            PULSE_SERVER points nowhere: the SDL device opens instead.
//   clicks              plays a click every 22050 frames while the script records the sink; the
//                       audio thread stalls 150 ms once, the stream runs dry (counted) and the
//                       later clicks must stay on their grid; the heard frame trails the rendered
//                       one by no more than the buffer and advances at the stream's rate; the
//                       stream corks while resting and plays again when asked.
//   recovery START STOP the server stops under the stream and starts again: the stream comes back.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sound/sound_output.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A 10 ms click every 22050 frames from its first frame on (120 per minute), and once, in the block
// after the fourth click, a stalled audio thread.
class ClickSource : public sound::AudioSource {
public:
    void Render(float *out, int frames) override
    {
        for (int i = 0; i < frames; ++i) {
            const auto n = double((frame_ + i) % 22050);
            const float v = n < 441 ? float(0.5 * std::pow(1 - n / 441, 6)) : 0.0f; // 10 ms, fading out
            out[2 * i] = out[2 * i + 1] = silent.load(std::memory_order_relaxed) ? 0.0f : v; // relaxed: a switch
        }
        frame_ += std::uint64_t(frames);
        if (!stalled_ && frame_ > 3 * 22050 + 2000) {
            stalled_ = true;
            std::this_thread::sleep_for(150ms);
        }
        rendered.store(frame_, std::memory_order_relaxed); // relaxed: a count
    }
    std::atomic<std::uint64_t> rendered{0};
    std::atomic<bool> silent{false};

private:
    std::uint64_t frame_ = 0;
    bool stalled_ = false;
};

// SDL's device as a stand-in that always opens.
struct OpeningHost : sound::AudioHost {
    bool Init(std::string &) override { return true; }
    void Quit() override {}
    std::uint32_t Open(const SDL_AudioSpec &want, SDL_AudioSpec &have, std::string &) override
    {
        have = want;
        return 1;
    }
    void Resume(std::uint32_t) override {}
    bool Lost(std::uint32_t) override { return false; }
    void Close(std::uint32_t) override {}
};

int Fail(const std::string &what)
{
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    return 1;
}

template <class Condition> bool Within(std::chrono::milliseconds limit, Condition condition)
{
    for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(10ms))
        if (condition())
            return true;
    return condition();
}

int Clicks()
{
    sound::SoundOutput output;
    ClickSource source;
    output.SetSource(&source);
    if (!output.OpenDevice() || std::string(output.kind()) != "PulseAudio")
        return Fail("no PulseAudio stream: " + output.error());
    output.Play(true);
    const double buffer = 2.0 * sound::kStreamRate * sound::PulseOutput::kTargetMs / 1000;
    // Steady before the stall: the heard frame advances at the stream's rate and trails by less
    // than the buffer.
    if (!Within(2s, [&] { return source.rendered.load() > 22050; }))
        return Fail("no sound");
    const double heard0 = output.HeardFrame();
    const auto t0 = Clock::now();
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(10ms);
        const double lag = double(source.rendered.load()) - output.HeardFrame();
        if (lag < 0 || lag > buffer)
            return Fail("heard frame " + std::to_string(lag) + " frames behind the rendered one");
    }
    const double rate = (output.HeardFrame() - heard0) / std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("heard frames advance at %.0f per second\n", rate);
    if (rate < 0.9 * sound::kStreamRate || rate > 1.1 * sound::kStreamRate)
        return Fail("the heard frame does not follow the stream");
    if (!Within(6s, [&] { return source.rendered.load() > 9 * 22050; }))
        return Fail("the stream stopped");
    std::printf("underruns: %llu\n", (unsigned long long)output.underruns());
    if (output.underruns() == 0)
        return Fail("the stalled audio thread was not counted as an underrun");

    // Resting: corked once silent, nothing rendered; then it plays again.
    source.silent = true;
    output.Play(false);
    if (!Within(1s, [&] { return output.pulse().corked(); }))
        return Fail("the resting stream was not corked");
    const std::uint64_t resting = source.rendered.load();
    std::this_thread::sleep_for(300ms);
    if (source.rendered.load() != resting)
        return Fail("a corked stream still renders");
    output.Play(true);
    if (!Within(1s, [&] { return source.rendered.load() > resting; }))
        return Fail("the stream does not play again");
    output.SetSource(nullptr);
    return 0;
}

int Recovery(const char *start, const char *stop)
{
    sound::SoundOutput output;
    output.setRetryInterval(200ms);
    ClickSource source;
    output.SetSource(&source);
    auto poll = [&](auto condition) {
        return Within(10s, [&] { return output.Poll(), condition(); });
    };
    if (!output.OpenDevice())
        return Fail("no stream: " + output.error());
    output.Play(true);
    if (std::system(stop) != 0)
        return Fail("cannot stop the server");
    if (!poll([&] { return output.losses() == 1 && output.NeedsPoll(); }))
        return Fail("the loss went unnoticed");
    if (std::system(start) != 0)
        return Fail("cannot start the server again");
    const auto back = Clock::now();
    if (!poll([&] { return output.IsOpen() && !output.NeedsPoll(); }))
        return Fail("no stream after the server came back: " + output.error());
    const std::uint64_t before = source.rendered.load();
    // A null sink that has just started may first play out a second or two of silence it rendered
    // ahead (it then reports that much latency), so the limit here is wider than the program's 1 s,
    // which the end-to-end test measures.
    if (!Within(3s, [&] { return source.rendered.load() > before + 4410; }))
        return Fail("no sound after the server came back");
    std::printf("sound back %.2f s after the server\n", std::chrono::duration<double>(Clock::now() - back).count());
    output.SetSource(nullptr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fallback") {
        ::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1);
        sound::SoundOutput output(std::make_unique<OpeningHost>());
        if (!output.OpenDevice() || std::string(output.kind()) != "SDL")
            return Fail("no fallback to SDL: " + output.error());
        return 0;
    }
    if (mode == "clicks")
        return Clicks();
    if (mode == "recovery" && argc == 4)
        return Recovery(argv[2], argv[3]);
    return Fail("usage: pulse_output_check fallback | clicks | recovery START STOP");
}
