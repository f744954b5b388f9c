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
#include "engine/song_plan.h"
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
//
// The practice tools are decided here too, on the same clock: subdivision clicks on the frames
// dividing each beat interval, the trainer's tempo steps at cycle boundaries, the gap training's
// silent cycles, and the volume of the whole mix. A spoken number is started ahead of its beat
// by its sample's swell (Sample::swellFrames), so that the voice swells on the beat's frame; the
// next beat's frame is known from the clock, and when the tempo changes before that voice has
// begun it is scheduled again. Percussion always starts on the frame.
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
// Values out of range are clamped by the audio thread.
struct Practice {
    // The whole mix, 0..100 on the slots' own scale: a gain of (volume - 85) * 0.6 dB on top of
    // every sound's own level, so 85 is the plain level, 100 the files' full level and 0 silence.
    // A change glides over a few milliseconds, also while a sound rings.
    int volume = 85;
    // Clicks per beat, 1..4: the extra ones sound the normal beat's sample ("Sound:") 10 dB below
    // it in a slot of their own (kSubdivisionSlot), in counting mode too; no BeatEvent for them.
    int subdivision = 1;
    // Tempo trainer: a run starts at trainerStartBpm; every trainerEveryCycles cycles (muted gap
    // cycles count) the tempo changes by trainerStepBpm until it reaches trainerGoalBpm, then stays.
    // A change is taken at a cycle boundary: the interval after the first beat of the cycle is the
    // first at the new tempo; the beat reports it in BeatEvent::bpm. While trainerOn the audio
    // thread ignores Settings::phaseRate; when it goes off, the audio thread takes phaseRate (so
    // publish the tempo to play on together with trainerOn = false).
    bool trainerOn = false;
    int trainerStartBpm = 120;    // 1..271
    int trainerEveryCycles = 4;   // 1..16
    int trainerStepBpm = 2;       // -10..-1 or 1..10
    int trainerGoalBpm = 140;     // 1..271
    std::uint64_t trainerRun = 0; // another value (or trainerOn turning on while running) starts the
                                  // trainer again from trainerStartBpm at the next cycle boundary;
                                  // START always starts it from there at once
    // Gap training: gapPlayCycles sounding cycles, then gapMuteCycles silent ones, repeating from
    // the run's first cycle, or, switched on while running, from the next cycle's first beat (the
    // bar under way plays on). Beats and their events go on (BeatEvent::muted); only the sound stops.
    // In a song the cycles are the song's bars after its count-in, whatever their meters.
    bool gapOn = false;
    int gapPlayCycles = 2; // 1..8
    int gapMuteCycles = 2; // 1..8
    // Bars counted in before a plain START (0..2): the window's beats at its tempo, X on the first,
    // x on the others (or the voice's numbers); trainer and gap training begin after them. A song
    // has its count-in in its SongPlan.
    int countInBars = 0;
};

// The slot of the subdivision clicks (slots 0..2 are the beat's), and their level below the beat.
inline constexpr int kSubdivisionSlot = 3;
inline constexpr float kSubdivisionGain = 0.31622777f; // -10 dB
// A spoken number starts at most this long before its beat, however late its voice swells, and
// at most two thirds of a beat interval before it, so that the word before it keeps its vowel
// (both play through one slot, and a start cuts the slot's previous sound).
inline constexpr std::int64_t kMaxPreRollFrames = 15435; // 350 ms
// How far ahead of its beat a spoken number whose voice swells `swellFrames` in is started, with
// beats `framesPerBeat` apart.
std::int64_t PreRollFrames(std::int64_t swellFrames, double framesPerBeat);

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
    float gain = 1.0f; // every beat sound, both channels
    Practice practice;
    // A song to play from the next START (null: none). While a run plays it, the song decides
    // tempo, beats, pattern and volume (phaseRate, beatsPerCycle and pattern are not read, nor the
    // trainer); settings naming another song or none leave it, and the run goes on at phaseRate.
    // With a shared session the song leads it: each click's rate goes to the session as its tempo
    // at the click, the run's first bar is a session bar (quantum: the first section's beats), and
    // the session's beats place the clicks; a session tempo it did not send (a peer's) leaves it.
    // Kept alive by the UI thread as long as these settings may be read.
    const SongPlan *song = nullptr;
    std::uint64_t sequence = 0; // set by Publish
};

// One beat, as the audio thread played it (subdivision clicks have none).
struct BeatEvent {
    int beat = 1;                 // its number in the cycle
    bool darkRed = false;         // the beat display turns dark red
    int measuredBpm = 0;          // the tempo measured from the interval before it
    std::uint64_t onsetFrame = 0; // mixer frame of the beat (compare with SoundOutput::HeardFrame)
    double bpm = 0;               // the tempo the trainer plays from this beat on (set at a run's first
                                  // beat and at every trainer step); 0: no change here
    bool muted = false;           // a beat of a silent cycle of the gap training: show it, it is not heard
    // A song's beat (or a plain START's count-in): its section in the SongPlan (-1: not a song's),
    // its bar there (from 1), the section's beats a bar and the rate of clicks from this beat to
    // the next (clicks a minute, to show as the tempo).
    int songSection = -1;
    int songBar = 0;
    int beatsPerBar = 0;
    double clickRate = 0;
    bool countIn = false;  // a beat of a plain START's count-in
    bool songEnd = false;  // no beat: the song ended at onsetFrame (stop as after STOP)
    bool songLeft = false; // the song was left before this beat: a peer set the session's tempo,
                           // clickRate (the beat is the window's, at that tempo)
};

// Where the pendulum is, published after every block.
struct ClockState {
    bool running = false;
    std::uint64_t runStartFrame = 0; // stream frame of Phase 0
    std::uint64_t renderedFrame = 0; // stream frames rendered so far
    BeatClock clock;                 // copy of the beat clock after that block
    bool waitingForBar = false;      // a run with a shared session waits for the session's bar
    // The clock as it was before its last change of tempo, which took effect at stream frame
    // rateChangeFrame (a trainer step, a tempo set by hand): frames heard before it swing by it.
    BeatClock before;
    std::uint64_t rateChangeFrame = 0;

    // The swing position (-1..1) at a stream frame of this run, as heard (see SoundOutput::HeardFrame).
    double SwingAt(double frame) const
    {
        const auto f = static_cast<std::int64_t>(frame - double(runStartFrame));
        return frame < double(rateChangeFrame) ? before.SwingAt(f) : clock.SwingAt(f);
    }
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
    // While no stream renders, on the threads AudioSource names.
    void Restart() override;
    void Handover() override;
    // Audio thread, between blocks (or under the output's lock that keeps it out): the mixer's.
    std::uint64_t FirstStartFrom(std::uint64_t frame) const override { return player_.mixer().FirstStartFrom(frame); }
    std::uint64_t RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity) override;
    // Audio thread: a beat due in skipped frames sounds at the first frame after them.
    void Skipping(std::int64_t frames) override { player_.Skipping(frames); }

private:
    void Beat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart);
    void Subdivide(const Settings &s, BeatClock::Beat b);
    void PreRoll(const Settings &s, std::uint64_t blockStart, int frames);
    void CancelPreRoll(std::uint64_t blockStart, bool evenIfSounding);
    bool MutedCycle(const Practice &p, std::uint64_t cycle) const;
    int TrainerStep(const Practice &p) const;
    const sound::Sample *Pick(const Settings &s, Layer layer, int beat) const;
    void KeepAsLast(int slot, const sound::Sample *sample);
    // A song's beat, or the song's end; false when the beat is not the song's (played as usual).
    bool SongBeat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart);
    // The sounds of a beat of a song's section or of a count-in: X, x or . at `beat` (1-based).
    void PlayClick(const Settings &s, song::Click click, int beat, float volume, int offset);
    // The next song beat's click, for the voice started ahead of it.
    bool NextSongClick(song::Click &click, int &beat) const;
    // Whether the gap training silences the song's click `click` of its section `section`.
    bool SongClickMuted(const Practice &p, std::size_t section, std::int64_t click) const;

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
    BeatClock clockBefore_;                             // before the last change of tempo
    std::uint64_t rateChangeFrame_ = 0;                 // where that change took effect
    int volume_ = 85;
    std::uint64_t beatsPlayed_ = 0;   // in this run
    std::uint64_t cycle_ = 0;         // of the last beat, from the run's first (0)
    bool lastMuted_ = false;          // the last beat was in a silent cycle
    bool gapWasOn_ = false;           // gap training as the last block saw it
    std::uint64_t gapFirstCycle_ = 0; // the gap training's first sounding cycle in this run
    bool trainerWasOn_ = false;
    std::uint64_t trainerRun_ = 0;
    bool trainerRestart_ = false; // from the start tempo at the next cycle boundary
    int trainerBpm_ = 0;
    int cyclesAtTempo_ = 0;
    // The song played (null: none), the next click (section, click in it) and the frames of the
    // run's start before the song's first click.
    const SongPlan *song_ = nullptr;
    std::size_t songSection_ = 0;
    std::int64_t songClick_ = 0;
    bool songEnded_ = false;     // the song ended in this run: the pendulum stands until STOP
    float songVolume_ = 1.0f;    // of the last song beat (its subdivisions play at it too)
    std::uint64_t songBars_ = 0; // the song's bars begun in this run (after its count-in)
    int countInLeft_ = 0;        // beats of a plain START's count-in still to come
    // With a shared session: the song's bar length there, and the tempo it last gave the session.
    int songQuantum_ = 4;
    double songSent_ = 0;
    double songShift_ = 0;  // frames the session moved the song's clicks from the map's
    bool songLeft_ = false; // for a peer's tempo, songLeftBpm_, reported with the next beat's event
    double songLeftBpm_ = 0;
    // The spoken number started ahead of its beat: the beat's number in the run (0: none), its
    // slot and the mixer frame its voice starts at.
    std::uint64_t preRollBeat_ = 0;
    int preRollSlot_ = 0;
    std::uint64_t preRollStart_ = 0;
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
