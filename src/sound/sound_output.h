#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sound/audio_device.h"
#include "sound/pulse_output.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "sound/sound_slots.h"
#include "sound/stream_feed.h"

// The program's sound output: one stream and the sample slots it plays. This is the header the
// window and the beat engine use.
namespace sound {

// The message and caption shown when no sound device can be started.
inline constexpr char kStartFailureText[] =
    "Unable to start DirectSound. Check to see that your sound card is properly installed";
inline constexpr char kStartFailureCaption[] = "Lindoquet Metronome Vintra (Preview)";

// The blocks of the SDL output: SDL's PulseAudio backend asks the server for a buffer of one block,
// and with 512 frames (11.6 ms) the server ran dry about every 20 s even on an idle two-core
// machine; with 1024 frames it did not. The beats stay on their exact frames either way.
inline constexpr int kProgramBlockFrames = 1024;

// Shows a message with a caption and returns when the user has closed it.
using FailureBox = std::function<void(const std::string &text, const std::string &caption)>;

// The sound output as one object (the inherited `DX7Sound`): the sample slots, their cache
// and keeper, and the stream that plays them. The stream is a PulseAudio stream where a server
// answers, else SDL's default device (SDL_AUDIODRIVER chooses SDL's driver, and then only SDL is
// tried, so tests keep their `dummy` and `disk` drivers). Made and owned by the program (or a
// test) and handed to the window.
//
// Threads (see sound/threads.h): UI thread, like its parts (each part names its one audio-thread
// function); the loss notifier is called on the audio thread.
class SoundOutput {
public:
    // `sdlHost` stands in for SDL's audio functions (tests).
    explicit SoundOutput(std::unique_ptr<AudioHost> sdlHost = nullptr);
    ~SoundOutput();
    SoundOutput(const SoundOutput &) = delete;
    SoundOutput &operator=(const SoundOutput &) = delete;

    // Opens the stream with the slots' player as its source. When no output opens: shows `box`
    // with kStartFailureText and kStartFailureCaption and, when it has been closed, ends the
    // process with status 1.
    void InitDirectSound(const FailureBox &box);
    // The same without the box and the end: false when no output opened.
    bool OpenDevice();
    // Closes the stream; Poll no longer reopens it.
    void Close();
    bool IsOpen() const { return kind_ == Kind::Pulse || (kind_ == Kind::Sdl && sdl_.IsOpen()); }
    // "PulseAudio" or "SDL" while open, "" otherwise.
    const char *kind() const;
    // Why the last opening failed.
    const std::string &error() const { return error_; }

    // Puts another source behind the stream (null: the slots' player). When it returns, the old
    // source is no longer used and may be destroyed.
    void SetSource(AudioSource *source) { feed_.SetSource(source ? source : &player_); }
    // Playing (the metronome runs) or resting: a resting stream is corked (SDL: paused) as soon as
    // what it holds is silent, and costs nothing until it plays again. Starts resting; a slot
    // played while resting sounds when the stream plays again.
    void Play(bool playing);
    // The frame heard now, numbered like the mixer's frames (from the server's timing report;
    // SDL: two of its blocks behind what was rendered), the limiter's look-ahead counted in.
    double HeardFrame() { return feed_.HeardFrame(); }

    // While NeedsPoll, call about once a second: closes a lost stream and opens one again (at most
    // once per retry interval, the first time at once), pauses a resting SDL device once silent
    // and frees the samples the audio thread no longer plays. True while a stream is open.
    bool Poll();
    bool NeedsPoll() const;
    void setRetryInterval(std::chrono::milliseconds interval);
    // Called on the audio thread when the PulseAudio stream is lost: wake the UI thread to Poll.
    // Empty: no call any more once this returns.
    void SetLossNotifier(std::function<void()> notify);

    // How often the stream ran dry, and how often it was lost.
    std::uint64_t underruns() const { return pulse_.underruns(); }
    int losses() const { return losses_; }

    SoundSlots &soundSlots() { return slots_; }
    SampleCache &cache() { return cache_; }
    SampleKeeper &keeper() { return keeper_; }
    SlotPlayer &player() { return player_; }
    PulseOutput &pulse() { return pulse_; }
    AudioDevice &sdl() { return sdl_; }
    // What the stream renders through: the latency of each block (StreamFeed::BlockLatency).
    const StreamFeed &feed() const { return feed_; }

private:
    enum class Kind { None, Pulse, Sdl };
    bool TryOpen();
    static void Lost(void *self);

    const bool usePulse_;
    // Destroyed bottom-up: the streams first (no more blocks), the keeper last.
    SampleKeeper keeper_;
    SampleCache cache_;
    SlotPlayer player_;
    SoundSlots slots_;
    StreamFeed feed_;
    AudioDevice sdl_;
    PulseOutput pulse_;
    std::function<void()> notify_;
    Kind kind_ = Kind::None;
    bool wanted_ = false; // opened once and not closed: Poll keeps it open
    bool playing_ = false;
    int losses_ = 0;
    std::string error_;
    std::chrono::milliseconds retryInterval_{1000};
    std::chrono::steady_clock::time_point lastTry_{};
};

} // namespace sound
