#pragma once
#include <cstdint>

namespace sound {

// What the output stream plays: the stream's callback asks it for every block. The sample slots'
// player is the default; the beat engine takes its place with SoundOutput::SetSource.
class AudioSource {
public:
    virtual ~AudioSource() = default;

    // Audio thread (and its rules, see sound/threads.h): writes `frames` frames of interleaved
    // stereo float at 44100 Hz to `out`.
    virtual void Render(float *out, int frames) = 0;

    // UI thread or the sound output's connecting thread, one at a time and only while no stream
    // calls Render (before a stream starts, after one was closed or lost): forgets what was
    // scheduled for the old stream, so that it does not burst out all at once when the next
    // stream starts.
    virtual void Restart() {}

    // The same threads and moment as Restart, when the next stream goes on where the last one
    // stopped (an output closed while it rested, opened again to play): nothing is forgotten, a
    // play asked for meanwhile sounds in the first block; only the audio thread is a new one.
    virtual void Handover() {}

    // Audio thread, before the next Render: the next `frames` frames rendered are not heard (the
    // device played silence in their place); a sound due within them begins at the first frame
    // after instead.
    virtual void Skipping(std::int64_t /*frames*/) {}

    // Audio thread, between blocks: the first frame at or after `frame` (numbered as the frames
    // rendered) where a sound began in a block already rendered; kNoStart when none is known.
    static constexpr std::uint64_t kNoStart = ~std::uint64_t(0);
    virtual std::uint64_t FirstStartFrom(std::uint64_t /*frame*/) const { return kNoStart; }
    // Audio thread, between blocks: renders again, into `out` (room for `capacity` frames), what
    // was rendered from some frame at or before `start` on, as if no sound had begun at or after
    // `start` (the sounds begun before ring on) and goes on so. Returns that first frame (the last
    // is the last rendered), or kNoStart when it cannot; then nothing changed.
    virtual std::uint64_t RenderAgainWithout(std::uint64_t /*start*/, float * /*out*/, std::int64_t /*capacity*/)
    {
        return kNoStart;
    }
};

} // namespace sound
