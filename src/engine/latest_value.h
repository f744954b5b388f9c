#pragma once
#include <array>
#include <atomic>

namespace engine {

// The latest value of something one thread writes and another reads, without locks: three cells,
// one for the writer, one ready, one for the reader; values in between may be skipped.
template <class T> class LatestValue {
public:
    // Writer thread only.
    void Write(const T &value)
    {
        cells_[writeIndex_] = value;
        // Swap our cell with the ready one and mark it fresh; acq_rel publishes the cell we wrote
        // and takes over the one the reader released.
        const int old = ready_.exchange(writeIndex_ | kFresh, std::memory_order_acq_rel);
        writeIndex_ = old & kIndexMask;
    }

    // Reader thread only: the newest value written, or the last one read when none is new.
    const T &Read()
    {
        if (ready_.load(std::memory_order_relaxed) & kFresh) { // a hint only; the exchange decides
            // acq_rel: acquire the writer's cell, release the one we are done reading.
            const int old = ready_.exchange(readIndex_, std::memory_order_acq_rel);
            readIndex_ = old & kIndexMask;
        }
        return cells_[readIndex_];
    }

private:
    static constexpr int kFresh = 4;
    static constexpr int kIndexMask = 3;
    std::array<T, 3> cells_{};
    int writeIndex_ = 0;
    int readIndex_ = 1;
    std::atomic<int> ready_{2};
};

} // namespace engine
