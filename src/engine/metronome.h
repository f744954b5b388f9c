#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/beat_clock.h"
#include "engine/beat_pattern.h"
#include "engine/beat_rules.h"
#include "engine/session_follower.h"
#include "sound/audio_source.h"
#include "sound/latest_value.h"
#include "sound/sample.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "sound/spsc_queue.h"

// The running metronome on the audio clock. The stream's callback renders the beats: it advances
// the pendulum's phase by the frames it renders, finds the exact frame of every passage through the
// centre and starts the beat's sounds at that frame. The UI thread publishes what decides a beat's
// sound and reads back the beats and the phase, to show them when they are heard.
namespace engine {

// The decoded sounds a beat may play. Null: the name cannot be loaded, and the slot sounds the
// sample it played last.
struct BeatSamples {
    const sound::Sample *click = nullptr;
    const sound::Sample *accent1 = nullptr;
    const sound::Sample *accent2 = nullptr;
    std::array<const sound::Sample *, kLamps> countPlain{};    // 1.wav .. 8.wav of the voice
    std::array<const sound::Sample *, kLamps> countAccented{}; // 1a.wav .. 8a.wav
};

// The practice tools beyond the plain beat, decided on the audio clock like the beats themselves.
struct Practice {
    int volume = 85;     // 0..100 for the whole mix: 0.6 dB a step, 85 = the slots' own level, 0 mutes
    int subdivision = 1; // clicks per beat, 1..4: the extra ones sound the normal beat 10 dB softer
    // Tempo trainer: from startBpm, every `everyCycles` cycles `stepBpm` more (or less), until goalBpm.
    bool trainerOn = false;
    int trainerStartBpm = 120; // 1..271
    int trainerEveryCycles = 4; // 1..16, muted cycles count
    int trainerStepBpm = 2;     // -10..-1 or 1..10
    int trainerGoalBpm = 140;   // 1..271
    std::uint64_t trainerRun = 0; // a new value restarts the trainer from startBpm at the next cycle
    // Gap training: `playCycles` sounding cycles, then `muteCycles` silent ones, repeating.
    bool gapOn = false;
    int gapPlayCycles = 2; // 1..8
    int gapMuteCycles = 2; // 1..8
};

// Everything that decides the beats, as one immutable snapshot. The samples it names are kept
// alive by the UI thread until the audio thread has moved on to a newer snapshot.
struct Settings {
    BeatRules rules;
    BeatPattern pattern;
    int beatsPerCycle = 4;
    double phaseRate = 0; // phase per millisecond
    double swingFactor = 30.5;
    BeatSamples samples;
    // What the slots 0..2 hold when a run starts (the click loaded at start-up).
    std::array<const sound::Sample *, 3> slotSamples{};
    float gain = 1.0f;          // every beat sound, both channels
    Practice practice;
    std::uint64_t sequence = 0; // set by Publish
};

// One beat, as the audio thread played it.
struct BeatEvent {
    int beat = 1;                 // its number in the cycle
    bool darkRed = false;         // the beat display turns dark red
    int measuredBpm = 0;          // the tempo measured from the interval before it
    std::uint64_t onsetFrame = 0; // stream frame at which its sound starts
    double bpm = 0;               // the tempo the trainer set from this beat on; 0: no step here
    bool muted = false;           // a beat of a silent cycle of the gap training
};

// Where the pendulum is, published after every block.
struct ClockState {
    bool running = false;
    std::uint64_t runStartFrame = 0; // stream frame of Phase 0
    std::uint64_t renderedFrame = 0; // stream frames rendered so far
    BeatClock clock;                 // copy of the beat clock after that block
    bool waitingForBar = false;      // a run with a shared session waits for the session's bar
};

// Threads (see sound/threads.h): as each function says, UI thread or audio thread.
class Metronome : public sound::AudioSource {
public:
    static constexpr std::size_t kEventCapacity = 256;

    // Plays through the slots' player (its queued commands are applied first in every block).
    explicit Metronome(sound::SlotPlayer &player);
    // Only while no stream renders through it: lets go of the samples it kept for its slots.
    ~Metronome() override;

    // UI thread: the settings from the next block on; returns their sequence number.
    std::uint64_t Publish(Settings settings);
    // UI thread: the sequence number of the settings the audio thread has taken.
    std::uint64_t Taken() const { return taken_.load(std::memory_order_acquire); }
    // UI thread: a new run from the next block on (Phase 0, beat 1), or the end of the run.
    void Start();
    void Stop();
    // UI thread: the next beat played, oldest first.
    bool PopBeat(BeatEvent &event) { return events_.Pop(event); }
    // UI thread: the pendulum after the last block rendered.
    const ClockState &Clock() { return clockState_.Read(); }
    // UI thread: beats from a shared session from the next block on (null: our own clock), placed
    // by the latency `feed` reports. When it returns, the previous session is no longer used.
    void SetSession(SharedSession *session, const sound::StreamFeed *feed) { follower_.SetSession(session, feed); }

    // Audio thread.
    void Render(float *out, int frames) override;
    void Restart() override;

private:
    void Beat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart);
    const sound::Sample *Pick(const Settings &s, Layer layer, int beat) const;
    void KeepAsLast(int slot, const sound::Sample *sample);

    sound::SlotPlayer &player_;
    sound::LatestValue<Settings> settings_;
    std::uint64_t published_ = 0;         // UI thread
    std::atomic<std::uint64_t> taken_{0}; // written by the audio thread
    std::atomic<std::uint64_t> startRequests_{0};
    std::atomic<bool> running_{false};
    sound::SpscQueue<BeatEvent, kEventCapacity> events_;
    sound::LatestValue<ClockState> clockState_;

    SessionFollower follower_;

    // Audio thread only.
    BeatClock clock_;
    std::uint64_t runsStarted_ = 0;
    std::uint64_t runStartFrame_ = 0;
    int currentBeat_ = 1;
    int measuredBpm_ = 0;
    std::array<const sound::Sample *, 3> lastPlayed_{}; // counted in Sample::mixerRefs
};

// Publishes settings from the UI thread and keeps the samples they name alive until the audio
// thread has moved on to newer settings; from then on the keeper holds them while voices still
// play them.
//
// Threads (see sound/threads.h): UI thread.
class SettingsPublisher {
public:
    SettingsPublisher(Metronome &metronome, sound::SampleKeeper &keeper) : metronome_(metronome), keeper_(keeper) {}

    // `samples` owns every sample `settings` points to.
    std::uint64_t Publish(const Settings &settings, std::vector<std::shared_ptr<const sound::Sample>> samples);
    // Lets go of the samples of settings the audio thread no longer reads.
    void Collect();
    std::size_t pending() const { return published_.size(); }

private:
    Metronome &metronome_;
    sound::SampleKeeper &keeper_;
    std::deque<std::pair<std::uint64_t, std::vector<std::shared_ptr<const sound::Sample>>>> published_;
};

} // namespace engine
