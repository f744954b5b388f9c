#pragma once
#include <atomic>
#include <cstdint>

#include "sound/audio_source.h"
#include "sound/mixer.h"
#include "sound/spsc_queue.h"

namespace sound {

// What the UI thread asks of the slots' voices.
struct SlotCommand {
    enum class Kind : std::uint8_t { Play, Stop, StopAll };
    Kind kind = Kind::Play;
    int slot = 0;
    const Sample *sample = nullptr; // Play: kept alive by a SampleKeeper
    float gainLeft = 0.0f;
    float gainRight = 0.0f;
    std::uint64_t sequence = 0; // set by Post
};

// The audio side of the sample slots: takes the UI thread's commands from a lock-free queue at the
// start of every block and plays them on its Mixer from the block's first frame.
//
// Threads (see sound/threads.h): Post, Acknowledged, Restart and Handover on the UI thread (the
// last two only while no stream renders); ApplyCommands, Render and mixer() on the audio thread (or on a test's
// thread that plays its part).
class SlotPlayer : public AudioSource {
public:
    static constexpr std::size_t kQueueCapacity = 256;

    explicit SlotPlayer(int slotCount);

    // Queues a command and returns its sequence number (1, 2, 3, ...), or 0 when the queue is full
    // (no stream has taken commands for a while) and the command is dropped.
    std::uint64_t Post(SlotCommand command);
    // The sequence number of the last command the audio thread has taken.
    std::uint64_t Acknowledged() const;
    void Restart() override;
    // The queued commands stay for the next stream's first block.
    void Handover() override;

    // Applies the queued commands to the mixer, then acknowledges them.
    void ApplyCommands();
    // ApplyCommands, then one block of the mix.
    void Render(float *out, int frames) override;
    Mixer &mixer() { return mixer_; }
    void Skipping(std::int64_t frames) override { mixer_.DeferStarts(frames); }
    std::uint64_t FirstStartFrom(std::uint64_t frame) const override { return mixer_.FirstStartFrom(frame); }
    std::uint64_t RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity) override
    {
        return mixer_.RenderAgainWithout(start, out, capacity);
    }

private:
    void Take(const SlotCommand &command);

    SpscQueue<SlotCommand, kQueueCapacity> queue_;
    Mixer mixer_;
    std::uint64_t nextSequence_ = 1;             // UI thread
    std::atomic<std::uint64_t> acknowledged_{0}; // written by the consumer, read by the UI thread
};

} // namespace sound
