#pragma once
#include <functional>
#include <memory>
#include <string>

#include "sound/audio_device.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "sound/sound_slots.h"

// The program's sound output: one device and the sample slots it plays. This is the header the
// window and the beat engine use.
namespace sound {

// The message and caption shown when no sound device can be started.
inline constexpr char kStartFailureText[] =
    "Unable to start DirectSound. Check to see that your sound card is properly installed";
inline constexpr char kStartFailureCaption[] = "Lindoquet Metronome Vintra (Preview)";

// The program's stream blocks: SDL's PulseAudio backend asks the server for a buffer of one block,
// and with 512 frames (11.6 ms) the server ran dry about every 20 s even on an idle two-core
// machine; with 1024 frames it did not. The beats stay on their exact frames either way.
inline constexpr int kProgramBlockFrames = 1024;

// Shows a message with a caption and returns when the user has closed it.
using FailureBox = std::function<void(const std::string &text, const std::string &caption)>;

// Everything the sound output is made of, built and torn down in an order that keeps every sample
// alive while a voice may play it. Tests make their own; the program uses Output().
//
// Threads: UI thread, like its parts (see each part for the one function of the audio thread).
class DX7Sound {
public:
    explicit DX7Sound(std::unique_ptr<AudioHost> host = nullptr);
    ~DX7Sound();

    // Opens the default output device with the slots' player as its source. When SDL cannot start
    // or no device opens: shows `box` with kStartFailureText and kStartFailureCaption and, when it
    // has been closed, ends the process with status 1.
    void InitDirectSound(const FailureBox &box);
    // The same without the box and the end: false when no device opened.
    bool OpenDevice();

    // Call every few hundred milliseconds (a QTimer of 500 ms): reopens a lost device when it
    // can, and frees the samples the audio thread no longer plays. True while a device is open.
    bool PollDevice();

    SoundSlots &soundSlots() { return slots_; }
    SampleCache &cache() { return cache_; }
    SampleKeeper &keeper() { return keeper_; }
    SlotPlayer &player() { return player_; }
    AudioDevice &device() { return device_; }

private:
    // Destroyed bottom-up: the device first (no more callbacks), the keeper last.
    SampleKeeper keeper_;
    SampleCache cache_;
    SlotPlayer player_;
    SoundSlots slots_;
    AudioDevice device_;
};

// The program's one sound output, made on first use and kept until the process ends.
DX7Sound &Output();

// Shorthands for the program's sound output.
inline void InitDirectSound(const FailureBox &box) { Output().InitDirectSound(box); }
inline SoundSlots &Slots() { return Output().soundSlots(); }
inline bool PollDevice() { return Output().PollDevice(); }

} // namespace sound
