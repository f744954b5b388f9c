#pragma once
#include <array>
#include <atomic>

#include "sound/threads.h"

namespace sound {

// The latest value of something one thread writes and another reads, without locks: three cells,
// one for the writer, one ready, one for the reader; values in between may be skipped. Debug builds
// check that the writer and the reader each stay on one thread (see OneThread).
template <class T> class LatestValue {
public:
    // The writer's thread only.
    void Write(const T &value)
    {
        writer_.Check();
        cells_[writeIndex_] = value;
        // Swap our cell with the ready one and mark it fresh; acq_rel publishes the cell we wrote
        // and takes over the one the reader released.
        const int old = ready_.exchange(writeIndex_ | kFresh, std::memory_order_acq_rel);
        writeIndex_ = old & kIndexMask;
    }

    // The reader's thread only: the newest value written, or the last one read when none is new.
    const T &Read()
    {
        reader_.Check();
        if (ready_.load(std::memory_order_relaxed) & kFresh) { // a hint only; the exchange decides
            // acq_rel: acquire the writer's cell, release the one we are done reading.
            const int old = ready_.exchange(readIndex_, std::memory_order_acq_rel);
            readIndex_ = old & kIndexMask;
        }
        return cells_[readIndex_];
    }

    // While the writer or reader is idle: another thread may take its place.
    void ReleaseWriter() { writer_.Release(); }
    void ReleaseReader() { reader_.Release(); }

private:
    static constexpr int kFresh = 4;
    static constexpr int kIndexMask = 3;
    std::array<T, 3> cells_{};
    int writeIndex_ = 0;
    int readIndex_ = 1;
    std::atomic<int> ready_{2};
    OneThread writer_;
    OneThread reader_;
};

} // namespace sound
