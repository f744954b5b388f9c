#include "engine/metronome.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "sound/levels.h"
#include "tempo/tempo_model.h"

namespace engine {

namespace {
// A session's tempo this close to the one the song sent is the song's: Link passes tempi on in
// whole microseconds a beat, 0.01 bpm at most at its 999.
constexpr double kSameTempo = 0.01;
} // namespace

Metronome::Metronome(sound::SlotPlayer &player) : player_(player) {}

Metronome::~Metronome()
{
    for (int slot = 0; slot < 3; ++slot)
        KeepAsLast(slot, nullptr);
}

std::uint64_t Metronome::Publish(Settings settings)
{
    settings.sequence = ++published_;
    settings_.Write(settings);
    return settings.sequence;
}

void Metronome::Start()
{
    // Release: the settings published before the start are there when the new run is seen.
    startRequests_.fetch_add(1, std::memory_order_release);
    running_.store(true, std::memory_order_release);
}

void Metronome::Stop()
{
    running_.store(false, std::memory_order_release); // release: pairs with the callback's acquire
}

void Metronome::Restart()
{
    Handover();
    player_.Restart();
    preRollBeat_ = 0; // whatever was scheduled ahead is gone with the old stream
}

void Metronome::Handover()
{
    // The next stream renders on a new audio thread.
    settings_.ReleaseReader();
    clockState_.ReleaseWriter();
    events_.ReleaseProducer();
    player_.Handover();
}

void Metronome::KeepAsLast(int slot, const sound::Sample *sample)
{
    const sound::Sample *old = lastPlayed_[slot];
    if (old == sample)
        return;
    // Counted like a mixer voice, so the UI thread keeps the sample while a later beat may replay it.
    // Relaxed: the count is published by the release store of `taken_` or by the mixer's own.
    if (sample)
        sample->mixerRefs.fetch_add(1, std::memory_order_relaxed);
    if (old)
        old->mixerRefs.fetch_sub(1, std::memory_order_release); // release: our reads of it come first
    lastPlayed_[slot] = sample;
}

const sound::Sample *Metronome::Pick(const Settings &s, Layer layer, int beat) const
{
    const int i = beat - 1;
    switch (layer) {
    case Layer::Click: return s.samples.click;
    case Layer::Accent1: return s.samples.accent1;
    case Layer::Accent2: return s.samples.accent2;
    case Layer::CountPlain: return i >= 0 && i < kLamps ? s.samples.countPlain[i] : nullptr;
    case Layer::CountAccented: return i >= 0 && i < kLamps ? s.samples.countAccented[i] : nullptr;
    }
    return nullptr;
}

bool Metronome::MutedCycle(const Practice &p, std::uint64_t cycle) const
{
    if (!p.gapOn)
        return false;
    if (cycle < gapFirstCycle_)
        return false; // switched on while running: the bar under way plays to its end
    const auto play = std::uint64_t(std::clamp(p.gapPlayCycles, 1, 8));
    const auto mute = std::uint64_t(std::clamp(p.gapMuteCycles, 1, 8));
    return (cycle - gapFirstCycle_) % (play + mute) >= play;
}

int Metronome::TrainerStep(const Practice &p) const
{
    const int goal = std::clamp(p.trainerGoalBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    const int step = std::clamp(p.trainerStepBpm, -10, 10);
    if (step > 0 && trainerBpm_ < goal)
        return std::min(trainerBpm_ + step, goal);
    if (step < 0 && trainerBpm_ > goal)
        return std::max(trainerBpm_ + step, goal);
    return trainerBpm_; // at the goal (or past it from the start): it stays
}

namespace {

// The sounds of a song's click: X as a lit upper lamp (accent 1 on top of the beat, whatever the
// accent switch says), x the beat alone; a voice speaks the accented or the plain number.
BeatChoice ChooseClick(const Settings &s, song::Click click, int beat)
{
    BeatRules rules = s.rules;
    rules.accentOn = true;
    BeatPattern pattern;
    if (beat >= 1 && beat <= kPatternSize)
        pattern.Accent1[std::size_t(beat - 1)] = click == song::Click::Accent;
    return ChooseBeat(rules, pattern, beat);
}

} // namespace

void Metronome::PlayClick(const Settings &s, song::Click click, int beat, float volume, int offset)
{
    if (click == song::Click::Silent)
        return;
    const bool preRolled = preRollBeat_ == beatsPlayed_;
    const BeatChoice choice = ChooseClick(s, click, beat);
    const float gain = s.gain * volume;
    for (int k = 0; k < choice.count; ++k) {
        const SoundPlay &play = choice.plays[k];
        const bool spoken = play.layer == Layer::CountPlain || play.layer == Layer::CountAccented;
        if (spoken && preRolled)
            continue;
        const sound::Sample *sample = Pick(s, play.layer, beat);
        if (sample)
            KeepAsLast(play.slot, sample);
        else
            sample = lastPlayed_[play.slot];
        if (!sample)
            continue;
        const std::int64_t lead = spoken ? PreRollFrames(sample->swellFrames, clock_.FramesPerBeat()) : 0;
        player_.mixer().StartVoice(play.slot, sample, gain, gain, int(std::max<std::int64_t>(offset - lead, 0)));
    }
}

bool Metronome::NextSongClick(song::Click &click, int &beat) const
{
    if (countInLeft_ > 0) {
        beat = currentBeat_;
        click = beat == 1 ? song::Click::Accent : song::Click::Normal;
        return true;
    }
    if (!song_ || songEnded_ || songSection_ >= song_->sections().size())
        return false;
    const SongSection &sec = song_->sections()[songSection_];
    beat = int(songClick_ % sec.beats) + 1;
    click = sec.pattern[std::size_t(beat - 1)];
    return true;
}

bool Metronome::SongClickMuted(const Practice &p, std::size_t section, std::int64_t click) const
{
    const SongSection &sec = song_->sections()[section];
    if (sec.countIn)
        return false;
    // A bar's first click begins the next of the song's bars; the others are in the one under way.
    return MutedCycle(p, click % sec.beats == 0 ? songBars_ : cycle_);
}

bool Metronome::SongBeat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart)
{
    BeatEvent event;
    event.onsetFrame = blockStart + std::uint64_t(b.offset);
    const auto &sections = song_->sections();
    if (songEnded_ || songSection_ >= sections.size()) {
        // The passage after the last click is the song's end: the pendulum stands, nothing sounds.
        songEnded_ = true;
        clock_.Hold();
        CancelPreRoll(blockStart, true);
        event.songEnd = true;
        event.measuredBpm = measuredBpm_;
        events_.Push(event);
        return true;
    }
    if (follower_.Active()) {
        // A tempo in the session that the song did not give it is a peer's: the song is left as by
        // a tempo set by hand, and this beat is the window's, at the peer's tempo. One noticed on
        // Link's side may have been replaced since by the song's own (see TempoFromElsewhere): the
        // session gets it back.
        double peer = 0;
        const bool noticed = follower_.TempoFromElsewhere(peer);
        if (noticed || (songSent_ > 0 && std::abs(follower_.Tempo() - songSent_) > kSameTempo)) {
            if (noticed)
                follower_.SetTempo(peer, event.onsetFrame);
            else
                peer = follower_.Tempo();
            song_ = nullptr;
            songLeft_ = true;
            songLeftBpm_ = peer;
            return false;
        }
        b.intervalMs = 60000.0 / follower_.Tempo(); // the session's beats placed this one
        follower_.Placed();
    }
    const SongSection &sec = sections[songSection_];
    currentBeat_ = int(songClick_ % sec.beats) + 1;
    const song::Click click = sec.pattern[std::size_t(currentBeat_ - 1)];
    const bool gap = SongClickMuted(s.practice, songSection_, songClick_);
    if (!sec.countIn && songClick_ % sec.beats == 0)
        cycle_ = songBars_++; // the gap training counts the song's bars
    ++beatsPlayed_;
    if (gap) {
        // A silent bar of the gap training: what rings is cut, as in the window's own beats.
        if (preRollBeat_ == beatsPlayed_)
            CancelPreRoll(blockStart, false);
        if (!lastMuted_ || preRollBeat_ == beatsPlayed_)
            for (int slot = 0; slot <= kSubdivisionSlot; ++slot)
                player_.mixer().StopVoice(slot, b.offset);
    } else {
        PlayClick(s, click, currentBeat_, sec.volume, b.offset);
    }
    if (preRollBeat_ == beatsPlayed_)
        preRollBeat_ = 0;
    lastMuted_ = gap || click == song::Click::Silent;
    songVolume_ = sec.volume;
    if (b.intervalMs > 0)
        measuredBpm_ = int(std::nearbyint(std::min(60000.0 / b.intervalMs, 32767.0)));
    event.beat = currentBeat_;
    event.darkRed = click == song::Click::Accent;
    event.measuredBpm = measuredBpm_;
    event.muted = lastMuted_;
    event.songSection = int(songSection_);
    event.songBar = int(songClick_ / sec.beats) + 1;
    event.beatsPerBar = sec.beats;

    // The next click's time from the map (or the song's end), as a frame of this run: the clock
    // swings there from this beat's exact crossing.
    const double now = song_->ClickTime(songSection_, songClick_);
    if (++songClick_ >= sec.clicks) {
        ++songSection_;
        songClick_ = 0;
    }
    const double next = songSection_ < sections.size() ? song_->ClickTime(songSection_, songClick_) : song_->EndTime();
    event.clickRate = 60.0 / (next - now);
    const double rate = clock_.SampleRate();
    if (follower_.Active()) {
        // The session's tempo from this beat on: its next beat comes one click later, as the map's.
        const double bpm = std::clamp(event.clickRate, SharedSession::kMinTempo, SharedSession::kMaxTempo);
        // Sent when it changes (not for the rounding of the map's times in a constant section):
        // the session may hold it a hair off, as Link keeps tempi.
        if (std::abs(bpm - songSent_) > 1e-9 * bpm)
            follower_.SetTempo(bpm, event.onsetFrame);
        songSent_ = bpm;
        // Until the next block follows the session again.
        clock_.SetNextBeatAt(double(event.onsetFrame - runStartFrame_) + 60.0 / bpm * rate);
        // Where the session put the song against the map's frames: Link switched off, it goes on
        // from there.
        songShift_ =
            double(event.onsetFrame - runStartFrame_) - (double(SongPlan::FrameOf(song_->Lead(), rate)) + now * rate);
    } else {
        clock_.SetNextBeatAt(double(SongPlan::FrameOf(song_->Lead(), rate)) + next * rate + songShift_);
    }
    currentBeat_ = NextBeat(currentBeat_, sec.beats); // where the window's beats go on if the song is left
    events_.Push(event);
    return true;
}

void Metronome::Beat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart)
{
    if (song_ && SongBeat(s, b, blockStart))
        return;
    if (countInLeft_ > 0) {
        // A plain START's count-in: the window's beats, X on the first of each bar (with a session,
        // whole bars from its bar: the run proper begins on a session bar too).
        if (follower_.Active()) {
            currentBeat_ = SessionFollower::BeatNumber(b.unit, s.beatsPerCycle);
            b.intervalMs = 60000.0 / follower_.Tempo();
            follower_.Placed();
        }
        ++beatsPlayed_;
        PlayClick(s, currentBeat_ == 1 ? song::Click::Accent : song::Click::Normal, currentBeat_, 1.0f, b.offset);
        if (preRollBeat_ == beatsPlayed_)
            preRollBeat_ = 0;
        lastMuted_ = false;
        if (b.intervalMs > 0)
            measuredBpm_ = int(std::nearbyint(std::min(60000.0 / b.intervalMs, 32767.0)));
        BeatEvent event;
        event.beat = currentBeat_;
        event.darkRed = currentBeat_ == 1;
        event.measuredBpm = measuredBpm_;
        event.onsetFrame = blockStart + std::uint64_t(b.offset);
        event.countIn = true;
        event.beatsPerBar = s.beatsPerCycle;
        events_.Push(event);
        currentBeat_ = NextBeat(currentBeat_, s.beatsPerCycle);
        if (--countInLeft_ == 0) {
            // The run proper begins: its first beat is beat 1 of its first cycle.
            currentBeat_ = 1;
            beatsPlayed_ = 0;
        }
        return;
    }
    if (follower_.Active()) {
        // The session's phase numbers the beat; its tempo is the one measured.
        currentBeat_ = SessionFollower::BeatNumber(b.unit, s.beatsPerCycle);
        b.intervalMs = 60000.0 / follower_.Tempo();
        follower_.Placed();
    }
    const Practice &p = s.practice;
    BeatEvent event;
    const bool cycleStarts = currentBeat_ == 1 && beatsPlayed_ > 0;
    if (cycleStarts)
        ++cycle_;
    ++beatsPlayed_;
    if (p.trainerOn && beatsPlayed_ == 1)
        event.bpm = trainerBpm_; // the run started at the trainer's start tempo
    if (p.trainerOn && cycleStarts) {
        // A tempo the session got from elsewhere (a peer) since the last step: the trainer goes on
        // from it, rather than taking the session back to its own tempo.
        if (follower_.Active() && !trainerRestart_ && double(trainerBpm_) != follower_.Tempo())
            trainerBpm_ = int(std::lround(follower_.Tempo()));
        int bpm = trainerBpm_;
        if (trainerRestart_) {
            bpm = std::clamp(p.trainerStartBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
            trainerRestart_ = false;
            cyclesAtTempo_ = 0;
        } else if (++cyclesAtTempo_ >= std::clamp(p.trainerEveryCycles, 1, 16)) {
            bpm = TrainerStep(p);
            cyclesAtTempo_ = 0;
        }
        const double rate = tempo::PhaseRateForBpm(bpm, s.swingFactor);
        if (follower_.Active()) {
            if (double(bpm) != follower_.Tempo())
                event.bpm = bpm; // sent to the session below; our next blocks follow it
        } else if (rate != clock_.Rate()) {
            // From this beat's exact crossing on: the interval after it is the first at the new tempo.
            clockBefore_ = clock_;
            rateChangeFrame_ = blockStart + std::uint64_t(b.offset);
            clock_.SetRateFromLastBeat(rate);
            event.bpm = bpm;
        }
        trainerBpm_ = bpm;
    }
    // With a session the trainer's tempo is the session's, from this beat on.
    if (follower_.Active() && event.bpm > 0 && double(event.bpm) != follower_.Tempo())
        follower_.SetTempo(event.bpm, blockStart + std::uint64_t(b.offset));

    const bool muted = MutedCycle(p, cycle_);
    const bool preRolled = preRollBeat_ == beatsPlayed_;
    const BeatChoice choice = ChooseBeat(s.rules, s.pattern, currentBeat_);
    sound::Mixer &mixer = player_.mixer();
    if (muted) {
        if (preRolled)
            CancelPreRoll(blockStart, false);
        if (!lastMuted_ || preRolled) {
            // Silent from this frame on: what still rings (the last beat, its subdivisions, a voice
            // already begun) is cut with the mixer's short fade.
            for (int slot = 0; slot <= kSubdivisionSlot; ++slot)
                mixer.StopVoice(slot, b.offset);
        }
    } else {
        for (int k = 0; k < choice.count; ++k) {
            const SoundPlay &play = choice.plays[k];
            const bool spoken = play.layer == Layer::CountPlain || play.layer == Layer::CountAccented;
            if (spoken && preRolled)
                continue; // begun ahead of the beat, so that its voice swells here
            const sound::Sample *sample = Pick(s, play.layer, currentBeat_);
            if (sample)
                KeepAsLast(play.slot, sample);
            else
                sample = lastPlayed_[play.slot]; // a name that cannot be loaded sounds the slot's last sample
            if (!sample)
                continue;
            // A spoken number not begun ahead (the tempo rose meanwhile): as early as this block allows.
            const std::int64_t lead = spoken ? PreRollFrames(sample->swellFrames, clock_.FramesPerBeat()) : 0;
            mixer.StartVoice(play.slot, sample, s.gain, s.gain, int(std::max<std::int64_t>(b.offset - lead, 0)));
        }
    }
    if (preRolled)
        preRollBeat_ = 0;
    lastMuted_ = muted;

    // The measured tempo; an interval of 0 or a tempo beyond 16 bits leaves the last one.
    if (b.intervalMs > 0) {
        const double bpm = std::nearbyint(60000.0 / b.intervalMs);
        if (bpm >= -32768 && bpm <= 32767)
            measuredBpm_ = static_cast<int>(bpm);
    }
    event.beat = currentBeat_;
    event.darkRed = choice.darkRed;
    event.measuredBpm = measuredBpm_;
    event.onsetFrame = blockStart + std::uint64_t(b.offset);
    event.muted = muted;
    event.songLeft = songLeft_;
    if (songLeft_)
        event.clickRate = songLeftBpm_;
    songLeft_ = false;
    events_.Push(event);
    currentBeat_ = NextBeat(currentBeat_, s.beatsPerCycle);
}

void Metronome::Subdivide(const Settings &s, BeatClock::Beat b)
{
    if (lastMuted_ || !s.rules.clickNamed)
        return; // the beat before it is silent, or no sound is chosen for the beat
    // The normal beat's sound; one that cannot be loaded sounds what slot 0 played last.
    const sound::Sample *sample = s.samples.click ? s.samples.click : lastPlayed_[0];
    if (!sample)
        return;
    const float gain = s.gain * kSubdivisionGain * (song_ ? songVolume_ : 1.0f);
    player_.mixer().StartVoice(kSubdivisionSlot, sample, gain, gain, b.offset);
}

std::int64_t PreRollFrames(std::int64_t swellFrames, double framesPerBeat)
{
    const std::int64_t room = framesPerBeat > 0 ? std::int64_t(framesPerBeat * 2.0 / 3.0) : kMaxPreRollFrames;
    return std::max<std::int64_t>(std::min({swellFrames, kMaxPreRollFrames, room}), 0);
}

void Metronome::PreRoll(const Settings &s, std::uint64_t blockStart, int frames)
{
    const std::uint64_t next = beatsPlayed_ + 1;
    if (!s.rules.counting || preRollBeat_ == next)
        return;
    const std::int64_t at = clock_.NextBeatFrame();
    if (at == std::numeric_limits<std::int64_t>::max())
        return;
    song::Click click = song::Click::Normal;
    int beat = currentBeat_;
    const bool songClick = NextSongClick(click, beat);
    if (songClick && click == song::Click::Silent)
        return;
    if (songClick && countInLeft_ == 0 && SongClickMuted(s.practice, songSection_, songClick_))
        return;
    const std::uint64_t cycle = cycle_ + (currentBeat_ == 1 && beatsPlayed_ > 0 ? 1 : 0);
    if (!songClick && MutedCycle(s.practice, cycle))
        return;
    const BeatChoice choice = songClick ? ChooseClick(s, click, beat) : ChooseBeat(s.rules, s.pattern, currentBeat_);
    for (int k = 0; k < choice.count; ++k) {
        const SoundPlay &play = choice.plays[k];
        if (play.layer != Layer::CountPlain && play.layer != Layer::CountAccented)
            continue;
        const sound::Sample *named = Pick(s, play.layer, beat);
        const sound::Sample *sample = named ? named : lastPlayed_[play.slot];
        if (!sample)
            return;
        const std::int64_t lead = PreRollFrames(sample->swellFrames, clock_.FramesPerBeat());
        const std::int64_t start = std::int64_t(runStartFrame_) + at - lead;
        if (lead <= 0 || start >= std::int64_t(blockStart) + frames)
            return; // the beat itself starts it, in its own block or one before it
        if (named)
            KeepAsLast(play.slot, named);
        const std::int64_t offset = std::max<std::int64_t>(start - std::int64_t(blockStart), 0);
        const float gain =
            s.gain * (song_ && songClick && countInLeft_ == 0 ? song_->sections()[songSection_].volume : 1.0f);
        if (!player_.mixer().StartVoice(play.slot, sample, gain, gain, int(offset)))
            return;
        preRollBeat_ = next;
        preRollSlot_ = play.slot;
        preRollStart_ = blockStart + std::uint64_t(offset);
        return;
    }
}

std::uint64_t Metronome::RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity)
{
    const std::uint64_t first = player_.mixer().RenderAgainWithout(start, out, capacity);
    if (first != kNoStart && preRollBeat_ != 0 && preRollStart_ >= start)
        preRollBeat_ = 0; // that voice did not begin after all
    return first;
}

void Metronome::CancelPreRoll(std::uint64_t blockStart, bool evenIfSounding)
{
    if (preRollBeat_ == 0)
        return;
    if (preRollStart_ >= blockStart) {
        // Not begun yet: it goes, and is scheduled again for the beat's new frame.
        player_.mixer().CancelStarts(preRollSlot_, std::int64_t(preRollStart_ - blockStart));
        preRollBeat_ = 0;
    } else if (evenIfSounding) {
        // Begun, but its beat will not come (STOP, a new run): the word is cut short.
        player_.mixer().StopVoice(preRollSlot_, 0);
        preRollBeat_ = 0;
    }
}

void Metronome::Render(float *out, int frames)
{
    player_.ApplyCommands();
    const Settings &s = settings_.Read();
    const Practice &p = s.practice;
    sound::Mixer &mixer = player_.mixer();
    const std::uint64_t blockStart = mixer.framesRendered();
    const bool shared = follower_.Begin(blockStart);

    if (p.volume != volume_) {
        volume_ = p.volume;
        mixer.SetMasterGain(static_cast<float>(sound::VolumeGain(volume_)));
    }
    // The trainer switched on, or asked to start again: from its start tempo at the next cycle.
    if (p.trainerOn && (!trainerWasOn_ || p.trainerRun != trainerRun_))
        trainerRestart_ = true;
    trainerWasOn_ = p.trainerOn;
    trainerRun_ = p.trainerRun;

    const std::uint64_t starts = startRequests_.load(std::memory_order_acquire); // see the run's settings
    const bool running = running_.load(std::memory_order_acquire);
    if (starts != runsStarted_) {
        runsStarted_ = starts;
        CancelPreRoll(blockStart, true);
        double rate = s.phaseRate;
        // A song plays on its own clock, or leads a shared session.
        song_ = s.song;
        songSection_ = 0;
        songSent_ = 0;
        songLeft_ = false;
        songClick_ = 0;
        songEnded_ = false;
        songVolume_ = 1.0f;
        songBars_ = 0;
        countInLeft_ = 0;
        if (p.trainerOn && !song_) {
            trainerBpm_ = std::clamp(p.trainerStartBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
            trainerRestart_ = false;
            cyclesAtTempo_ = 0;
            rate = tempo::PhaseRateForBpm(trainerBpm_, s.swingFactor);
        }
        clock_.SetSubdivision(p.subdivision);
        clock_.Start(rate, s.swingFactor);
        songShift_ = 0;
        if (song_) // the bar a session gets, also when Link comes on while the song plays
            songQuantum_ = song_->sections().front().beats;
        if (song_ && shared) {
            songSent_ = std::clamp(60.0 / song_->Lead(), SharedSession::kMinTempo, SharedSession::kMaxTempo);
        } else if (song_) {
            clock_.SetNextBeatAt(double(SongPlan::FrameOf(song_->Lead(), clock_.SampleRate())));
        } else {
            countInLeft_ = std::clamp(p.countInBars, 0, kMaxCountInBars) * std::clamp(s.beatsPerCycle, 1, kLamps);
        }
        runStartFrame_ = blockStart;
        clockBefore_ = clock_;
        rateChangeFrame_ = blockStart;
        currentBeat_ = 1;
        measuredBpm_ = 0;
        beatsPlayed_ = 0;
        cycle_ = 0;
        lastMuted_ = false;
        gapWasOn_ = false;
        for (int slot = 0; slot < 3; ++slot)
            KeepAsLast(slot, s.slotSamples[slot]);
        if (shared)
            follower_.StartRun(song_ ? songSent_ : 0, song_ || countInLeft_ > 0);
    }
    // Settings without the song (a tempo or beats set by hand, STOP): it is not read again, and the
    // run plays on at phaseRate.
    if (song_ && s.song != song_)
        song_ = nullptr;
    if (running) {
        // Gap training begins with its sounding cycles: at START from the first cycle, switched on
        // while running from the next cycle's first beat (not mid-bar).
        if (p.gapOn && !gapWasOn_)
            gapFirstCycle_ = beatsPlayed_ == 0 || (song_ && songBars_ == 0) ? cycle_ : cycle_ + 1;
        gapWasOn_ = p.gapOn;
        // The session's beat while one is set; else the window's tempo, unless the trainer sets it
        // (a trainer's tempo is never taken back to a phase rate published before its step).
        if (shared && songEnded_) {
            // The song is over: the pendulum stands until STOP.
        } else if (shared) {
            follower_.Steer(clock_, song_ ? songQuantum_ : s.beatsPerCycle, currentBeat_);
        } else if (!p.trainerOn && !song_ && !songEnded_ && clock_.Rate() != s.phaseRate) {
            clockBefore_ = clock_;
            rateChangeFrame_ = blockStart;
            clock_.SetRate(s.phaseRate); // a new tempo goes on from the current phase
            CancelPreRoll(blockStart, false);
        }
        clock_.SetSubdivision(p.subdivision);
        clock_.Advance(frames, [&](BeatClock::Beat b) {
            if (b.sub == 0)
                Beat(s, b, blockStart);
            else
                Subdivide(s, b);
        });
        PreRoll(s, blockStart, frames);
    } else {
        CancelPreRoll(blockStart, true); // STOP: the next beat's voice is not heard
    }
    follower_.End();
    // Release: everything taken from these settings (counts of kept samples) is visible first.
    taken_.store(s.sequence, std::memory_order_release);

    mixer.Render(out, frames);

    ClockState state;
    state.running = running;
    state.runStartFrame = runStartFrame_;
    state.renderedFrame = blockStart + std::uint64_t(frames);
    state.clock = clock_;
    state.waitingForBar = shared && running && follower_.Waiting();
    state.before = clockBefore_;
    state.rateChangeFrame = rateChangeFrame_;
    clockState_.Write(state);
}

std::uint64_t SettingsPublisher::Publish(const Settings &settings,
                                         std::vector<std::shared_ptr<const sound::Sample>> samples)
{
    for (const auto &sample : samples)
        if (sample)
            keeper_.Hold(sample);
    const std::uint64_t sequence = metronome_.Publish(settings);
    published_.emplace_back(sequence, std::move(samples));
    Collect();
    return sequence;
}

void SettingsPublisher::Collect()
{
    // Settings older than the ones taken are never read again; the newest ones always stay.
    const std::uint64_t taken = metronome_.Taken();
    while (published_.size() > 1 && published_.front().first < taken)
        published_.pop_front();
}

} // namespace engine
