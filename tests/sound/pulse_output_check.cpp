// The program's sound output against a private PulseAudio server, one mode per run of pulse_check.sh
// (also under ThreadSanitizer), a click every 22050 frames started on the mixer in each (--output
// also against PipeWire's native stream, pipewire_check.sh):
// --output: the script records the sink; the audio thread stalls 150 ms once, the stream runs dry
//   (counted) and the later clicks must stay on their grid; the heard frame trails the rendered one
//   by less than the buffer and advances at the stream's rate. (The server going away and the
//   resting (corked) stream: e2e.pulse_restart_xvfb.)
// --moves: the stream moved between the sinks "metronom" and "other" as in the sound settings; whether
//   the device it plays on is suspended (the window's "Tonausgabe angehalten") follows each move.
// --stop: STOP pressed three times (START again after each) while the next click is with the server
//   but 50-110 ms from being heard. The script counts the clicks recorded: only those heard before
//   each STOP may sound.
// --heard LOG SECONDS: no stall; logs every 2 ms the time (steady_clock: CLOCK_MONOTONIC, ns) and the
//   frame heard, to compare with when each click played at the sink the script moves it to.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>

#include "sound/mixer.h"
#include "sound/sound_output.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A 10 ms click every 22050 frames started on the mixer, as the beat engine starts its sounds, while
// `playing`; STOP asks the mixer where they began. With `stall`, once, after the fourth click, a
// stalled audio thread.
struct MixerClicks : sound::AudioSource {
    MixerClicks()
    {
        for (int n = 0; n < 441; ++n)
            click.data.insert(click.data.end(), 2, float(0.5 * std::pow(1 - n / 441.0, 6)));
    }
    void Render(float *out, int frames) override
    {
        const std::uint64_t at = mixer.framesRendered();
        // Acquire: pairs with the test's release when it starts or stops.
        const bool play = playing.load(std::memory_order_acquire);
        if (play && !played) {
            next = (at / 22050 + 1) * 22050; // the grid again; not the stream's first frame, which may be lost
            firstOfRun.store(next, std::memory_order_relaxed); // relaxed: published with `rendered`
            runs.fetch_add(1, std::memory_order_relaxed);      // relaxed: as firstOfRun
        }
        played = play;
        for (; play && next < at + std::uint64_t(frames); next += 22050)
            mixer.StartVoice(0, &click, 1.0f, 1.0f, int(next - at));
        mixer.Render(out, frames);
        if (stall && at > 4 * 22050 + 2000) {
            stall = false;
            std::this_thread::sleep_for(150ms);
        }
        rendered.store(at + std::uint64_t(frames), std::memory_order_release); // release: with firstOfRun
    }
    std::uint64_t FirstStartFrom(std::uint64_t frame) const override { return mixer.FirstStartFrom(frame); }
    void Skipping(std::int64_t frames) override { mixer.DeferStarts(frames); }
    std::uint64_t RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity) override
    {
        return mixer.RenderAgainWithout(start, out, capacity);
    }

    sound::Sample click;
    sound::Mixer mixer{1};
    std::atomic<bool> playing{true};
    std::atomic<std::uint64_t> rendered{0}, firstOfRun{0};
    std::atomic<int> runs{0};
    std::uint64_t next = 0;            // audio thread
    bool played = false, stall = true; // audio thread (stall: set before the stream starts)
};

int Fail(const std::string &what) { return std::fprintf(stderr, "FAILED: %s\n", what.c_str()), 1; }

template <class Condition> bool Within(std::chrono::milliseconds limit, Condition condition)
{
    for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(10ms))
        if (condition())
            return true;
    return condition();
}

// The stream moved between a running sink and one suspended by hand (as another program holding the
// device does), and that one suspended under it: the suspended state must follow the device it plays on.
int Moves(sound::SoundOutput &output)
{
    const std::string suspend = "pactl suspend-sink other ",
                      move = "pactl move-sink-input \"$(pactl list short sink-inputs | cut -f1 | head -n1)\" ";
    const std::tuple<std::string, bool, const char *> steps[] = {
        {"true", false, "suspended on the running sink"},
        {suspend + "1 && " + move + "other", true, "moved to a suspended sink, and not said to be suspended"},
        {move + "metronom", false, "moved back to the running sink, and still said to be suspended"},
        {suspend + "0 && " + move + "other", false, "moved to the resumed sink, and said to be suspended"},
        {suspend + "1", true, "the sink suspended under the stream was not noticed"},
        {move + "metronom", false, "moved away from the suspended sink, and still said to be suspended"},
    };
    for (const auto &[pactl, suspended, fault] : steps) {
        if (std::system((pactl + " >/dev/null").c_str()) != 0)
            return Fail("pactl failed: " + pactl);
        if (!Within(2s, [&, suspended = suspended] { return output.pulse().suspended() == suspended; }))
            return Fail(fault);
    }
    std::printf("the suspended state followed four moves\n");
    return 0;
}

// Logs the frame heard every 2 ms for `seconds`.
int LogHeard(sound::SoundOutput &output, const char *path, double seconds)
{
    std::FILE *log = std::fopen(path, "w");
    if (!log)
        return Fail(std::string("cannot write ") + path);
    for (const auto end = Clock::now() + std::chrono::duration<double>(seconds); Clock::now() < end;) {
        std::this_thread::sleep_for(2ms);
        const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch());
        std::fprintf(log, "%lld %.1f\n", (long long)now.count(), output.HeardFrame());
    }
    std::fclose(log);
    return 0;
}

// Presses STOP three times while a click that has not been heard yet is with the server, starting
// again after each; prints how many clicks began before the STOPs.
int Stops(sound::SoundOutput &output, MixerClicks &source)
{
    constexpr double kPeriod = 22050;
    int heardClicks = 0;
    for (int round = 0; round < 3; ++round) {
        if (round > 0) // START again
            source.playing.store(true, std::memory_order_release), output.Play(true);
        // A click of the run was heard, and the next one's onset is rendered and will be heard in
        // 50-110 ms.
        double heard = 0;
        const auto due = [&] {
            heard = output.HeardFrame();
            const double next = std::ceil((heard + 1) / kPeriod) * kPeriod;
            const double rendered = double(source.rendered.load(std::memory_order_acquire));
            const double first = double(source.firstOfRun.load(std::memory_order_relaxed));
            return source.runs.load(std::memory_order_relaxed) == round + 1 && heard > first &&
                   next + sound::Mixer::kLookAheadFrames < rendered && next - heard > 2205 && next - heard < 4851;
        };
        if (!Within(3s, due))
            return Fail("no moment to press STOP in round " + std::to_string(round + 1));
        source.playing.store(false, std::memory_order_release);
        output.Play(false);
        const auto first = double(source.firstOfRun.load(std::memory_order_relaxed));
        heardClicks += int(std::floor((heard - first) / kPeriod)) + 1;
        std::this_thread::sleep_for(700ms);
    }
    std::printf("clicks begun before the STOPs: %d, underruns: %llu\n", heardClicks,
                (unsigned long long)output.underruns());
    return output.underruns() == 0 ? 0 : Fail("the stream ran dry");
}

int Output(sound::SoundOutput &output, MixerClicks &source)
{
    const double buffer = 2.0 * sound::kStreamRate * sound::PulseOutput::kTargetMs / 1000, heard0 = output.HeardFrame();
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
    return output.underruns() > 0 ? 0 : Fail("the stalled audio thread was not counted as an underrun");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "--output";
    if (mode == "--heard" && argc < 4)
        return Fail("usage: pulse_output_check --heard LOG SECONDS");
    sound::SoundOutput output;
    MixerClicks source;
    source.stall = mode == "--output";
    output.SetSource(&source);
    // METRONOM_OUTPUT=pipewire: the same checks of the native PipeWire stream (pipewire_check.sh).
    const char *chosen = std::getenv(sound::kOutputVariable);
    const std::string kind = chosen && std::string(chosen) == "pipewire" ? "PipeWire" : "PulseAudio";
    if (!output.OpenDevice() || output.kind() != kind)
        return Fail("no " + kind + " stream: " + output.error());
    output.Play(true);
    const int status = !Within(2s, [&] { return source.rendered.load() > 22050; }) ? Fail("no sound")
                       : mode == "--stop"                                          ? Stops(output, source)
                       : mode == "--moves"                                         ? Moves(output)
                       : mode == "--heard" ? LogHeard(output, argv[2], std::atof(argv[3]))
                                           : Output(output, source);
    output.SetSource(nullptr);
    return status;
}
