#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "sound/sample.h"

namespace sound {

// Keeps every Sample that has been handed to the audio thread alive until the audio thread no
// longer uses it, so that samples are freed on the UI thread only, never in the audio callback.
//
// A sample may be freed once three things hold: nothing else on the UI side owns it (the keeper
// holds the last shared_ptr), the audio thread has acknowledged every command that named it (its
// sequence number is at most the acknowledged one), and no mixer voice holds it
// (Sample::mixerRefs is 0).
//
// Whoever hands samples to the audio thread in some other way (the beat engine's published
// snapshots) holds them here too, with sequence 0, and keeps its own shared_ptr until the audio
// thread has acknowledged that snapshot; from then on only mixer voices can still hold the sample,
// and the keeper waits for them.
//
// Threads (see sound/threads.h): UI thread only. Destroy it after every mixer that may play its
// samples.
class SampleKeeper {
public:
    // Keeps `sample` until Collect finds it unused; `sequence` is the number of the command that
    // hands it over (0 when none). Returns the plain pointer to give to the audio thread.
    const Sample *Hold(std::shared_ptr<const Sample> sample, std::uint64_t sequence = 0);

    // Frees the samples that nobody uses any more, given the sequence number of the last command
    // the audio thread has acknowledged. Returns how many were freed.
    std::size_t Collect(std::uint64_t acknowledged);

    std::size_t size() const { return held_.size(); }

private:
    struct Entry {
        std::shared_ptr<const Sample> sample;
        std::uint64_t lastSequence = 0;
    };
    std::unordered_map<const Sample *, Entry> held_;
};

} // namespace sound
