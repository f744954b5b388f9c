#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "sound/sample.h"

namespace sound {

// Mixes the voices of numbered slots into blocks of interleaved stereo float. Plain C++: no SDL,
// no Qt, no clock; tests drive it by rendering blocks directly.
//
// Each slot has one voice. Starting a slot again cuts its previous sound with a short fade
// (kCutFadeFrames) instead of a click; the slots sound independently. A start may be placed at
// any frame of the coming block, so that a beat sounds at its exact sample. The sum of all voices
// passes through a soft limiter: it is left untouched up to kLimiterKnee and bends smoothly
// below full scale above it, so that loud voices played together never clip.
//
// A voice keeps a plain pointer to its Sample and counts itself in Sample::mixerRefs until it no
// longer reads the sample; whoever frees samples waits for that count to reach 0 (SampleKeeper).
//
// Threads (see sound/threads.h): construct and destroy on the UI thread while no stream renders;
// everything else on the audio thread (or a test's thread that renders): nothing here locks,
// allocates, frees or blocks.
class Mixer {
public:
    static constexpr int kCutFadeFrames = 66; // 1.5 ms at 44100 Hz
    static constexpr int kMaxScheduled = 64;  // starts and stops waiting for their frame
    static constexpr float kLimiterKnee = 0.8f;

    explicit Mixer(int slotCount);
    ~Mixer();
    Mixer(const Mixer &) = delete;
    Mixer &operator=(const Mixer &) = delete;

    int slotCount() const { return static_cast<int>(channels_.size()); }

    // Plays `sample` on `slot` from its first frame, starting at frame `frameOffset` of the next
    // Render (an offset past that block carries over into the following ones; a negative one
    // counts as 0). The slot's sound until then is faded out from that frame on. Gains are linear
    // factors for the left and right channel. False, and nothing scheduled, for a slot outside
    // the mixer, a null sample or when kMaxScheduled events are already waiting.
    bool StartVoice(int slot, const Sample *sample, float gainLeft, float gainRight, int frameOffset = 0);
    // Fades out the slot's sound from frame `frameOffset` of the next Render on.
    bool StopVoice(int slot, int frameOffset = 0);
    // Fades out every slot from that frame on.
    bool StopAll(int frameOffset = 0);
    // Ends every voice and forgets every scheduled event at once (releasing their samples).
    void Clear();

    // Writes `frames` frames (2 × frames floats) of the mix to `out`.
    void Render(float *out, int frames);

    // Whether the slot's voice is sounding (its fading tail after a cut does not count).
    bool IsPlaying(int slot) const;
    // Frames rendered since construction: the stream's own clock.
    std::uint64_t framesRendered() const { return framesRendered_; }

    // The limiter's curve for one value (exposed for tests).
    static float Limit(float x);

private:
    struct Voice {
        const Sample *sample = nullptr;
        std::int64_t position = 0; // next frame of the sample to play
        float gainLeft = 0.0f;
        float gainRight = 0.0f;
        int fade = 0; // frames of fade-out left; 0 while not fading
    };
    struct Channel {
        Voice current;
        Voice tail; // the sound cut off by the last start, fading out
    };
    enum class EventKind : std::uint8_t { Start, Stop, StopAll };
    struct Event {
        EventKind kind = EventKind::Start;
        int slot = 0;
        const Sample *sample = nullptr;
        float gainLeft = 0.0f;
        float gainRight = 0.0f;
        std::int64_t offset = 0;
    };

    bool Schedule(const Event &event);
    void Apply(const Event &event);
    void Cut(Channel &channel);
    void MixSegment(float *out, int from, int to);
    static void Release(Voice &voice);

    std::vector<Channel> channels_;
    std::array<Event, kMaxScheduled> events_{}; // sorted by offset, in call order for equal ones
    int eventCount_ = 0;
    std::uint64_t framesRendered_ = 0;
};

} // namespace sound
