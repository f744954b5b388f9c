#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace engine {

// A fixed-capacity queue for exactly one producer thread and one consumer thread. Neither side
// blocks, locks or allocates: Push fails when the queue is full, Pop when it is empty.
template <class T, std::size_t Capacity> class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    // Producer thread only.
    bool Push(const T &item)
    {
        const std::size_t head = head_.load(std::memory_order_relaxed); // only the producer writes head
        const std::size_t tail = tail_.load(std::memory_order_acquire);  // see the consumer's reads finished
        if (head - tail == Capacity)
            return false;
        items_[head & (Capacity - 1)] = item;
        head_.store(head + 1, std::memory_order_release); // publish the item before the new head
        return true;
    }

    // Consumer thread only.
    std::optional<T> Pop()
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed); // only the consumer writes tail
        const std::size_t head = head_.load(std::memory_order_acquire);  // see the item the producer wrote
        if (tail == head)
            return std::nullopt;
        T item = items_[tail & (Capacity - 1)];
        tail_.store(tail + 1, std::memory_order_release); // hand the cell back after reading it
        return item;
    }

private:
    std::array<T, Capacity> items_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

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
