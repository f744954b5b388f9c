#pragma once
#include <SDL.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/audio_source.h"

namespace sound {

// The calls the output device makes to the platform: SDL's audio functions in the program, a
// stand-in in tests that need a device to fail or vanish at will.
class AudioHost {
public:
    virtual ~AudioHost() = default;
    // Starts the audio subsystem (SDL_InitSubSystem). False, with the reason, when it cannot.
    virtual bool Init(std::string &error) = 0;
    // Stops it again (SDL_QuitSubSystem), so that the next Init connects to the sound server anew.
    virtual void Quit() = 0;
    // Opens the default output device with exactly the format `want` asks for; 0 on failure.
    virtual std::uint32_t Open(const SDL_AudioSpec &want, SDL_AudioSpec &have, std::string &error) = 0;
    // Starts the callbacks of an opened device.
    virtual void Resume(std::uint32_t device) = 0;
    // Stops them until the next Resume.
    virtual void Pause(std::uint32_t) {}
    // Whether an open device has stopped for good (unplugged, the sound server went away).
    virtual bool Lost(std::uint32_t device) = 0;
    // Closes the device; no callback runs any more when it returns.
    virtual void Close(std::uint32_t device) = 0;
    // Whether a resting device may be closed and opened again to play: not with SDL's disk driver,
    // whose file, the recording of the whole stream, would begin anew at each opening.
    virtual bool ClosesAtRest() { return true; }
};

// SDL's audio functions. SDL picks the driver; SDL_AUDIODRIVER chooses one (`dummy` for tests and
// machines without sound).
std::unique_ptr<AudioHost> MakeSdlAudioHost();

// The default sound output as one stream with a callback: interleaved stereo float at 44100 Hz in
// blocks of `blockFrames` frames (512 or more: smaller blocks underrun under PulseAudio on a busy
// two-core machine). Each block is asked of the AudioSource.
//
// Resting (Rest), the device is closed and SDL's audio subsystem stopped, so that nothing runs: a
// paused device's thread still wakes for every block. Pause(false) opens it again on the calling
// thread (measured: under a millisecond with SDL's dummy driver, a few with ALSA), and the source
// goes on where it stopped (AudioSource::Handover).
//
// The stream survives the loss of its device (a sound server restarted, a headset unplugged):
// SDL stops calling back, nothing crashes, and Poll, called regularly, closes the dead device and
// opens the default device again as soon as there is one.
//
// Threads (see sound/threads.h): UI thread; only the callback runs on the audio thread (SDL's), and
// it takes no lock, allocates nothing and calls only AudioSource::Render.
class AudioDevice {
public:
    static constexpr int kDefaultBlockFrames = 512;

    explicit AudioDevice(AudioSource *source, int blockFrames = kDefaultBlockFrames,
                         std::unique_ptr<AudioHost> host = nullptr);
    ~AudioDevice();
    AudioDevice(const AudioDevice &) = delete;
    AudioDevice &operator=(const AudioDevice &) = delete;

    // Starts the audio subsystem and opens the default device. False (see error()) when either
    // fails: SDL may start without any device, and only the opening fails then.
    bool Open();
    // Closes the device; Poll no longer reopens it.
    void Close();
    // A resting device counts as open.
    bool IsOpen() const { return device_ != 0 || resting_; }

    // Call every few hundred milliseconds (a QTimer of 500 ms) after a successful Open: notices a
    // lost device and closes it, and tries to open the default device again, at most once per
    // retryInterval. Returns whether a device is open.
    bool Poll();
    void setRetryInterval(std::chrono::milliseconds interval) { retryInterval_ = interval; }

    // Stops calling the source (the stream plays silence) until Pause(false); kept over reopening.
    // Pause(false) on a resting device opens it again; when that fails the device is lost, as if
    // Poll had found it so, and Poll tries again.
    void Pause(bool paused);
    bool paused() const { return paused_; }
    // Pauses the device and closes it until the next Pause(false) (see above); call it once what
    // the device holds is silent, since that is not played. Only pauses where the host does not
    // close at rest.
    void Rest();
    bool resting() const { return resting_; }
    // Whether the open device has played since it was opened: if not, it holds nothing.
    bool played() const { return played_; }

    // The block size of the open stream, in frames.
    int blockFrames() const { return obtainedFrames_; }
    // Why the last Open failed.
    const std::string &error() const { return error_; }
    // How many blocks the callback has delivered (any thread).
    std::uint64_t blocks() const { return blocks_.load(std::memory_order_relaxed); }
    // How many times Poll has found the device lost.
    int losses() const { return losses_; }

private:
    static void SDLCALL Callback(void *self, Uint8 *stream, int length);
    // `forget`: the source forgets the old stream (AudioSource::Restart), else goes on (Handover).
    bool TryOpen(bool forget);
    void Shut();

    std::unique_ptr<AudioHost> host_;
    AudioSource *const source_; // null plays silence; the sound output's feed switches what plays
    int blockFrames_;
    int obtainedFrames_ = 0;
    std::uint32_t device_ = 0;
    bool wanted_ = false; // opened once and not closed: Poll keeps it open
    bool paused_ = false;
    bool resting_ = false; // closed by Rest, to be opened by Pause(false)
    bool played_ = false;  // resumed since it was opened
    std::string error_;
    int losses_ = 0;
    std::chrono::milliseconds retryInterval_{1000};
    std::chrono::steady_clock::time_point lastTry_{};
    std::atomic<std::uint64_t> blocks_{0};
};

} // namespace sound
