#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

#include "sound/threads.h"

namespace sound {

// A fixed-capacity, lock-free queue for exactly one producer thread and one consumer thread. It
// never allocates after construction, so the audio thread may use either end. Debug builds check
// that each end stays on one thread (see OneThread).
template <class T, std::size_t Capacity> class SpscQueue {
    static_assert(std::is_trivially_copyable_v<T>, "items are copied by value between threads");
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity is a power of two");

public:
    // Producer thread only. False (and nothing queued) when the queue is full.
    bool Push(const T &item)
    {
        producer_.Check();
        // Only the producer writes tail_, so its own last value can be read without ordering.
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        // Acquire: the consumer's release of head_ guarantees it has finished reading that cell.
        if (tail - head_.load(std::memory_order_acquire) == Capacity)
            return false;
        cells_[tail & (Capacity - 1)] = item;
        // Release: the item written above becomes visible before the consumer sees the new tail.
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only. False when the queue is empty.
    bool Pop(T &item)
    {
        consumer_.Check();
        // Only the consumer writes head_, so its own last value can be read without ordering.
        const std::size_t head = head_.load(std::memory_order_relaxed);
        // Acquire: pairs with the producer's release of tail_, so the cell's contents are complete.
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        item = cells_[head & (Capacity - 1)];
        // Release: the cell has been read before the producer may overwrite it.
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Any thread; only a hint while the other side is working.
    bool Empty() const
    {
        // Acquire on both: a snapshot, ordered like Pop's own reads.
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

    static constexpr std::size_t capacity() { return Capacity; }

    // While neither end is in use: another thread may take over the producer or consumer end (a
    // stream opened anew renders on a new audio thread).
    void ReleaseProducer() { producer_.Release(); }
    void ReleaseConsumer() { consumer_.Release(); }

private:
    // On separate cache lines, so that the two threads do not invalidate each other's counter.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::array<T, Capacity> cells_{};
    OneThread producer_;
    OneThread consumer_;
};

} // namespace sound
