#include "sound/slot_player.h"

namespace sound {

SlotPlayer::SlotPlayer(int slotCount) : mixer_(slotCount) {}

std::uint64_t SlotPlayer::Post(SlotCommand command)
{
    command.sequence = nextSequence_;
    if (!queue_.Push(command))
        return 0;
    return nextSequence_++;
}

std::uint64_t SlotPlayer::Acknowledged() const
{
    // Acquire: pairs with the release in ApplyCommands, so the voices those commands started are
    // already counted in their samples' mixerRefs when the UI thread looks.
    return acknowledged_.load(std::memory_order_acquire);
}

void SlotPlayer::Take(const SlotCommand &c)
{
    switch (c.kind) {
    case SlotCommand::Kind::Play: mixer_.StartVoice(c.slot, c.sample, c.gainLeft, c.gainRight, 0); break;
    case SlotCommand::Kind::Stop: mixer_.StopVoice(c.slot, 0); break;
    case SlotCommand::Kind::StopAll: mixer_.StopAll(0); break;
    }
}

void SlotPlayer::ApplyCommands()
{
    SlotCommand c;
    std::uint64_t last = 0;
    while (queue_.Pop(c)) {
        Take(c);
        last = c.sequence;
    }
    if (last != 0) {
        // Release: the mixer has counted its new voices before the UI thread learns that these
        // commands are taken (and may let go of their samples).
        acknowledged_.store(last, std::memory_order_release);
    }
}

void SlotPlayer::Render(float *out, int frames)
{
    ApplyCommands();
    mixer_.Render(out, frames);
}

void SlotPlayer::Restart()
{
    // No stream runs, so this thread may stand in for the consumer: the plays asked for while
    // there was no sound are dropped, and so is what still sounded when the old stream ended.
    SlotCommand c;
    std::uint64_t last = 0;
    queue_.ReleaseConsumer();
    while (queue_.Pop(c))
        last = c.sequence;
    queue_.ReleaseConsumer(); // the next stream's audio thread takes over
    mixer_.Clear();
    if (last != 0)
        acknowledged_.store(last, std::memory_order_release); // Release: as in ApplyCommands.
}

void SlotPlayer::Handover()
{
    queue_.ReleaseConsumer(); // the next stream's audio thread takes over
}

} // namespace sound
