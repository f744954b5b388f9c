#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "sound/audio_device.h"
#include "sound/pipewire_output.h"
#include "sound/pulse_output.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/silent_stream.h"
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
// The note shown while the program runs silent because no sound server answers.
inline constexpr char kSilentNote[] =
    "Der Tonserver antwortet nicht: das Metronom läuft ohne Ton und spielt hörbar, sobald er antwortet.";
inline constexpr char kSilentBrief[] = "Kein Tonserver: ohne Ton";
// The same when the server answers but has no device to play on.
inline constexpr char kNoDeviceNote[] =
    "Der Tonserver hat kein Ausgabegerät: das Metronom läuft ohne Ton und spielt hörbar, sobald eines da ist.";
inline constexpr char kNoDeviceBrief[] = "Kein Ausgabegerät: ohne Ton";
// The note shown while the server holds the device suspended under the playing metronome.
inline constexpr char kSuspendedNote[] = "Der Tonserver hat die Ausgabe angehalten (hält ein anderes Programm das "
                                         "Gerät?): das Metronom spielt hörbar weiter, sobald sie wieder läuft.";
inline constexpr char kSuspendedBrief[] = "Tonausgabe angehalten";
// How long the device must stay suspended while playing before kSuspendedNote is shown: a device
// that idled while the stream rested wakes within milliseconds of START.
inline constexpr std::chrono::milliseconds kSuspendedNoteAfter{2000};
// The environment variable that allows one output only: "pipewire", "pulse" or "sdl".
inline constexpr char kOutputVariable[] = "METRONOM_OUTPUT";
// How long the program waits for a sound server before it runs silent.
inline constexpr std::chrono::milliseconds kSilentAfter{2000};

// The blocks of the SDL output: SDL's PulseAudio backend asks the server for a buffer of one block,
// and with 512 frames (11.6 ms) the server ran dry about every 20 s even on an idle two-core
// machine; with 1024 frames it did not. The beats stay on their exact frames either way.
inline constexpr int kProgramBlockFrames = 1024;

// How long a stopped SDL output plays silence before its device is closed. Closing and stopping
// SDL's audio takes the UI thread 50-190 ms (ALSA); a START soon after a STOP, as when the tempo is
// set between two runs, does not wait for that.
inline constexpr std::chrono::milliseconds kSdlRestAfter{5000};

// Shows a message with a caption and returns when the user has closed it.
using FailureBox = std::function<void(const std::string &text, const std::string &caption)>;

// The sound output as one object (the inherited `DX7Sound`): the sample slots, their cache
// and keeper, and the stream that plays them. The stream is a native PipeWire stream where a
// PipeWire daemon answers and plays the sound, else a PulseAudio stream where a server answers,
// else SDL's default device (SDL_AUDIODRIVER chooses SDL's driver, and then only SDL is tried, so
// tests keep their `dummy` and `disk` drivers). METRONOM_OUTPUT=pipewire, pulse or sdl allows that
// output only (kOutputVariable). Made and owned by the program (or a test) and handed to the window.
//
// Connecting never makes the window wait: a server may take any time to answer (one frozen with
// SIGSTOP takes libpulse's 30 s to give up, and SDL's and ALSA's default paths wait for the same
// server). So InitDirectSound hands the connecting to a thread of its own; the UI thread, in Poll,
// takes over the stream it opened. While no server has answered for kSilentAfter, a SilentStream
// keeps the beat clock going (the pendulum swings, nothing is heard; note() says so), and the
// connecting goes on until a server answers; then the real stream continues the same frames, so
// no beat is lost or doubled.
//
// Threads (see sound/threads.h): UI thread, like its parts (each part names its one audio-thread
// function); the loss notifier is called on the audio thread or on the connecting thread.
//
// The connecting thread is the one thread beside the UI thread and the audio thread. It runs only
// while no stream is taken over: it connects to PipeWire or PulseAudio (or opens SDL's device), and
// it alone touches the PipeWireOutput, the PulseOutput and the AudioDevice meanwhile; the UI thread looks at them again
// only after it has joined it. The two meet only under `handover_`: the silent stream is started (UI thread) or stopped
// for the real stream (connecting thread), the feed restarted, the source swapped and the notifier called; it is held
// for at most one silent block, never by the audio thread.
class SoundOutput {
public:
    // `sdlHost` stands in for SDL's audio functions (tests).
    explicit SoundOutput(std::unique_ptr<AudioHost> sdlHost = nullptr);
    ~SoundOutput();
    SoundOutput(const SoundOutput &) = delete;
    SoundOutput &operator=(const SoundOutput &) = delete;

    // Starts connecting (see above) with the slots' player as the source, and returns at once
    // (SDL_AUDIODRIVER set: opens SDL's device before it returns). When the server refuses and no
    // SDL device opens either: Poll shows `box` with kStartFailureText and kStartFailureCaption
    // and, when it has been closed, ends the process with status 1. A slow server shows no box.
    void InitDirectSound(const FailureBox &box);
    // Opens a stream before it returns, waiting as long as the server takes (tests and tools):
    // false when no output opened.
    bool OpenDevice();
    // Closes the stream; Poll no longer reopens it.
    void Close();
    // Whether a stream renders (a silent one too): START plays from then on.
    bool IsOpen() const
    {
        return kind_ == Kind::PipeWire || kind_ == Kind::Pulse || kind_ == Kind::Silent ||
               (kind_ == Kind::Sdl && sdl_.IsOpen());
    }
    // "PipeWire", "PulseAudio", "SDL" or "silent" while open, "" otherwise.
    const char *kind() const;
    // kSilentNote (kNoDeviceNote) while the program runs silent, kSuspendedNote while the metronome
    // plays on a device the server has held suspended for kSuspendedNoteAfter (as Poll last saw), ""
    // otherwise.
    const char *note() const;
    // The same in a few words, for a narrow line.
    const char *briefNote() const;
    // Whether the connecting thread runs.
    bool connecting() const { return connector_.joinable(); }
    // Why the last opening failed (not while connecting): "PipeWire: ...; PulseAudio: ...; SDL: ..."
    // (each output tried, with its library's own words).
    const std::string &error() const { return error_; }

    // Puts another source behind the stream (null: the slots' player). When it returns, the old
    // source is no longer used and may be destroyed.
    void SetSource(AudioSource *source);
    // Playing (the metronome runs) or resting: a resting stream is corked (SDL: its device closed,
    // see AudioDevice::Rest) as soon as what it holds is silent, and costs nothing until it plays
    // again. Starts resting; a slot played while resting sounds when the stream plays again.
    // Resting after playing also takes back every sound that begins after the frame heard now and
    // that the stream still holds unheard (PulseAudio only: SDL's hold is two short blocks), once
    // the source starts nothing new (the metronome's STOP comes first).
    void Play(bool playing);
    // The frame heard now, numbered like the mixer's frames (from the server's timing report;
    // SDL: two of its blocks behind what was rendered), the limiter's look-ahead counted in.
    double HeardFrame() { return feed_.HeardFrame(); }

    // While NeedsPoll, call every PollInterval: takes over the stream the connecting thread
    // opened, runs silent after kSilentAfter without one, closes a lost stream and opens one
    // again (at most once per retry interval, the first time at once), closes a resting SDL device
    // once silent, watches a playing stream's device being suspended (note()) and frees the
    // samples the audio thread no longer plays. True while a stream is open.
    bool Poll();
    // Cheap enough for every frame.
    bool NeedsPoll() const;
    // A quarter second while connecting (so that the silent stream starts in time), else a second.
    std::chrono::milliseconds PollInterval() const;
    void setRetryInterval(std::chrono::milliseconds interval);
    // How long a stopped SDL output plays silence before its device is closed (kSdlRestAfter).
    void setSdlRestAfter(std::chrono::milliseconds after) { sdlRestAfter_ = after; }
    // Called on the audio thread when the PulseAudio stream is lost, and on the connecting thread
    // when it is done: wake the UI thread to Poll. Empty: no call any more once this returns.
    void SetLossNotifier(std::function<void()> notify);

    // How often the stream ran dry, and how often it was lost.
    // (PipeWire: the cycles its graph ran without the stream's data.)
    std::uint64_t underruns() const { return kind_ == Kind::PipeWire ? pipewire_.skippedCycles() : pulse_.underruns(); }
    int losses() const { return losses_; }

    SoundSlots &soundSlots() { return slots_; }
    SampleCache &cache() { return cache_; }
    SampleKeeper &keeper() { return keeper_; }
    SlotPlayer &player() { return player_; }
    PulseOutput &pulse() { return pulse_; }
    PipeWireOutput &pipewire() { return pipewire_; }
    AudioDevice &sdl() { return sdl_; }
    // What the stream renders through: the latency of each block (StreamFeed::BlockLatency).
    const StreamFeed &feed() const { return feed_; }

private:
    enum class Kind { None, PipeWire, Pulse, Sdl, Silent };
    enum class Outcome { Pending, PipeWire, Pulse, Sdl, Refused };
    // Starts the connecting thread: PulseAudio (retrying a slow server unless `once`), SDL's
    // device when the server refuses and `sdlToo`.
    void StartConnecting(bool sdlToo, bool once);
    void Connect(bool sdlToo, bool once); // the connecting thread
    void TakeOver();                      // the connecting thread: stops the silent stream
    void Finish(Outcome outcome);         // the connecting thread: its result, and a wake-up
    void StopConnecting();
    void StartSilent();
    // Joins a finished connecting thread and takes over its stream; false while it still runs.
    bool Adopt();
    // No output at all: the reason on the error output, the box, then the end (status 1).
    [[noreturn]] void ShowFailure();
    static void Lost(void *self);
    void Wake();

    bool usePipeWire_ = true;
    bool usePulse_ = true;
    bool useSdl_ = true;
    // Destroyed bottom-up: the streams first (no more blocks), the keeper last.
    SampleKeeper keeper_;
    SampleCache cache_;
    SlotPlayer player_;
    SoundSlots slots_;
    StreamFeed feed_;
    AudioDevice sdl_;
    PulseOutput pulse_;
    PipeWireOutput pipewire_;
    SilentStream silent_;
    std::function<void()> notify_; // under handover_
    FailureBox box_;
    Kind kind_ = Kind::None;
    bool wanted_ = false; // opened once and not closed: Poll keeps it open
    bool playing_ = false;
    std::thread connector_;
    std::mutex handover_;
    bool takenOver_ = false;                         // under handover_: the silent stream may not start
    std::atomic<bool> cancel_{false};                // relaxed: a request, seen within 10 ms
    std::atomic<bool> playingNow_{false};            // relaxed: playing_ for the connecting thread, a hint
    std::atomic<bool> noDevice_{false};              // relaxed: the server answered without a device, a hint
    std::atomic<Outcome> outcome_{Outcome::Pending}; // release by the connecting thread, acquire by Poll
    std::chrono::steady_clock::time_point connectSince_{};
    std::optional<std::chrono::steady_clock::time_point> suspendedSince_; // while playing
    bool everOpen_ = false; // a stream (a silent one too) has played: no box any more
    bool rtSaid_ = false;   // the missing real-time scheduling was said on the error output
    int losses_ = 0;
    std::string error_; // written by the connecting thread while it runs
    std::chrono::milliseconds retryInterval_{1000};
    std::chrono::milliseconds sdlRestAfter_{kSdlRestAfter};
};

} // namespace sound
