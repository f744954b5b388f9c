#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sound/sample.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"

namespace sound {

// The program's numbered sample slots.
inline constexpr int kSlotCount = 11; // slots 0..10

struct SoundSlot {
    // The slot holds a sample that may be played: set by every successful load, cleared only when
    // CreateBuffers makes the slots afresh.
    bool Loaded = false;
    // The sample most recently loaded into the slot.
    std::shared_ptr<const Sample> Buffer;
    // The slot's level and pan in hundredths of a decibel (see levels.h); a load resets both to 0,
    // full level in the centre.
    int attenuation = 0;
    int pan = 0;
};

// The sample slots as the window and the beat engine see them: load a WAV file into a slot, set
// its volume and pan, play it. A play returns at once; the audio thread starts the slot's voice at
// the beginning of its next block, cutting off the slot's previous sound, and the slots sound
// independently of each other. A file that cannot be loaded leaves the slot's previous sample in
// place, so that a play sounds that sample again. Files are read through the SampleCache: read
// once, and again only when they change on disk.
//
// Slot indices outside the slots made by CreateBuffers, volumes and pans outside 0..100 have no
// effect (the functions return false).
//
// Threads (see sound/threads.h): UI thread only (it owns the cache and the keeper and is the single
// producer of the player's queue).
class SoundSlots {
public:
    SoundSlots(SampleCache &cache, SampleKeeper &keeper, SlotPlayer &player);

    // Makes slots 0..last afresh (at most kSlotCount; every sound stops) and loads the file at
    // `path` into each at volume 80.
    void CreateBuffers(int last, const std::string &path);
    // Loads the file into slot i (ending the slot's sound); false when it cannot be loaded, and
    // then the slot keeps what it had.
    bool LoadSound(int i, const std::string &path);
    // Loads the file into slot i, sets the pan when it is not 50 and the volume when it is below
    // 100, and plays the slot once if it holds a sample. True when a play was sent. `flags` is the
    // play mode; 0 (once) is the only one, and any other value plays once too.
    bool PlayBuffer(int i, const std::string &path, int volume, int pan, int flags = 0);
    // PlayBuffer on slot 0, 1 or 2 with volume 85 (-9 dB) and pan 50 (centre).
    bool PlayVoice1(const std::string &path);
    bool PlayVoice2(const std::string &path);
    bool PlayVoice3(const std::string &path);
    // Volume 0..100 as attenuation: 0 is -6000, otherwise v * 60 - 6000.
    bool SetBufferVolume(int i, int volume);
    // Pan 0..100: 0 is -10000 (left only), 100 is 10000 (right only), otherwise p * 100 - 5000.
    bool SetBufferPan(int i, int pan);

    int size() const { return static_cast<int>(slots_.size()); }
    // Slot i, or null outside the slots.
    const SoundSlot *slot(int i) const;

    // Frees the samples the audio thread no longer plays (done by every call above too).
    void Collect();

private:
    bool Load(int i, const std::string &path);
    bool Valid(int i) const { return i >= 0 && i < size(); }

    SampleCache &cache_;
    SampleKeeper &keeper_;
    SlotPlayer &player_;
    std::vector<SoundSlot> slots_;
};

} // namespace sound
