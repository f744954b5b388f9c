#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "sound/peak_limiter.h"
#include "sound/sample.h"

namespace sound {

// Mixes the voices of numbered slots into blocks of interleaved stereo float. Plain C++: no SDL,
// no Qt, no clock; tests drive it by rendering blocks directly.
//
// Each slot has one voice. Starting a slot again cuts its previous sound with a short fade
// (kCutFadeFrames) instead of a click; the slots sound independently. A start may be placed at
// any frame of the coming block, so that a beat sounds at its exact sample. The sum of all voices
// is scaled by the master gain (the volume of the whole mix, every change glided over
// kGainRampFrames so that it never clicks, also while a sound rings) and passes through a
// look-ahead peak limiter (PeakLimiter): whatever sounds together, no value leaves above -0.3 dBFS,
// while a sound that stays below that leaves bit for bit as mixed. The limiter delays the whole mix
// by kLookAheadFrames: a voice started at frame f of the mixer is heard kLookAheadFrames later
// (StreamFeed::HeardFrame counts this in).
//
// A voice keeps a plain pointer to its Sample and counts itself in Sample::mixerRefs until it no
// longer reads the sample; whoever frees samples waits for that count to reach 0 (SampleKeeper).
//
// Threads (see sound/threads.h): construct and destroy on the UI thread while no stream renders;
// everything else on the audio thread (or a test's thread that renders): nothing here locks,
// allocates, frees or blocks.
class Mixer {
public:
    static constexpr int kCutFadeFrames = 66;   // 1.5 ms at 44100 Hz
    static constexpr int kMaxScheduled = 64;    // starts and stops waiting for their frame
    static constexpr int kGainRampFrames = 256; // 5.8 ms at 44100 Hz
    static constexpr int kLookAheadFrames = PeakLimiter::kDelayFrames;

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
    // Forgets the starts scheduled for the slot at frame `frameOffset` of the next Render that
    // have not begun (releasing their samples); returns how many. The slot's sounding voice is
    // left alone.
    int CancelStarts(int slot, std::int64_t frameOffset);
    // Ends every voice and forgets every scheduled event at once (releasing their samples); the
    // limiter forgets what it holds, the master gain stands at its target and nothing is kept for
    // RenderAgainWithout.
    void Clear();
    // The next `frames` frames rendered are not heard (the device played on without them): every
    // start and stop due within them, or scheduled for them later, happens at the first frame after.
    void DeferStarts(std::int64_t frames);

    // The first frame (numbered as framesRendered) at or after `frame` where a voice began in a block
    // already rendered, among the last kStartsKept starts; kNoStart when none. STOP asks this of what
    // the output still holds unheard.
    static constexpr std::uint64_t kNoStart = ~std::uint64_t(0);
    static constexpr int kStartsKept = 64;
    std::uint64_t FirstStartFrom(std::uint64_t frame) const;
    // Renders again, into `out` (room for `capacity` frames), what was rendered from the start of
    // the block in which frame `start` lies, as if no voice had begun at or after `start`: voices
    // begun before ring on, nothing scheduled from `start` on begins. Returns the first frame
    // rendered again (the end is framesRendered, unchanged), or kNoStart when that block is no
    // longer kept (kBlocksKept blocks are) or does not fit; then nothing changed.
    static constexpr int kBlocksKept = 16;
    std::uint64_t RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity);

    // The gain of the whole mix (linear, 0..8), reached from the present one in a straight glide
    // over kGainRampFrames from the next frame rendered on.
    void SetMasterGain(float gain);
    float masterGain() const { return masterTarget_; }

    // Writes `frames` frames (2 × frames floats) of the mix to `out`.
    void Render(float *out, int frames);

    // Whether the slot's voice is sounding (its fading tail after a cut does not count).
    bool IsPlaying(int slot) const;
    // Frames rendered since construction: the stream's own clock.
    std::uint64_t framesRendered() const { return framesRendered_; }

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
    void ApplyMasterGain(float *out, int frames);
    static void Release(Voice &voice);

    std::vector<Channel> channels_;
    std::array<Event, kMaxScheduled> events_{}; // sorted by offset, in call order for equal ones
    int eventCount_ = 0;
    std::uint64_t framesRendered_ = 0;
    std::uint64_t deferredUntil_ = 0; // no event before this frame (DeferStarts)
    float masterGain_ = 1.0f;         // applied to the last frame rendered
    float masterTarget_ = 1.0f;       // where the glide ends
    float masterStep_ = 0.0f;         // change per frame while gliding
    int masterRampLeft_ = 0;          // frames of the glide left
    PeakLimiter limiter_;
    std::array<std::uint64_t, kStartsKept> starts_{}; // frames of the last starts, oldest overwritten
    std::uint64_t startCount_ = 0;

    // The whole state as a block began (its events scheduled), for rendering it again. Its voices
    // and events count themselves in their samples, as the mixer's own do.
    struct Kept {
        std::uint64_t frame = kNoStart; // framesRendered_ then; kNoStart: nothing kept here
        std::vector<Channel> channels;
        std::array<Event, kMaxScheduled> events{};
        int eventCount = 0;
        float masterGain = 1.0f, masterTarget = 1.0f, masterStep = 0.0f;
        int masterRampLeft = 0;
        PeakLimiter limiter;
    };
    void Keep();
    // Every voice and event lets go of its sample.
    static void ReleaseAll(std::vector<Channel> &channels, const std::array<Event, kMaxScheduled> &events,
                           int &eventCount);
    static void Forget(Kept &kept);
    static void Count(const Kept &kept);
    std::vector<Kept> kept_; // kBlocksKept, the oldest overwritten
    std::uint64_t keptCount_ = 0;
};

} // namespace sound
