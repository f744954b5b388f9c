#include "sound/sample_keeper.h"

#include <algorithm>

namespace sound {

const Sample *SampleKeeper::Hold(std::shared_ptr<const Sample> sample, std::uint64_t sequence)
{
    const Sample *raw = sample.get();
    if (!raw)
        return nullptr;
    Entry &entry = held_[raw];
    if (!entry.sample)
        entry.sample = std::move(sample);
    entry.lastSequence = std::max(entry.lastSequence, sequence);
    return raw;
}

std::size_t SampleKeeper::Collect(std::uint64_t acknowledged)
{
    std::size_t freed = 0;
    for (auto it = held_.begin(); it != held_.end();) {
        const Entry &e = it->second;
        // The caller read `acknowledged` with acquire, so every voice started for those commands
        // is counted in mixerRefs by now. Acquire: pairs with the mixer's release when a voice
        // lets go, so the audio thread's last reads of the data come before the free below.
        const bool unused = e.sample.use_count() == 1 && e.lastSequence <= acknowledged &&
                            e.sample->mixerRefs.load(std::memory_order_acquire) == 0;
        if (unused) {
            it = held_.erase(it);
            ++freed;
        } else {
            ++it;
        }
    }
    return freed;
}

} // namespace sound
