#include "engine/metronome.h"

#include <cmath>
#include <cstdint>

namespace engine {

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
    // The next stream renders on a new audio thread.
    settings_.ReleaseReader();
    clockState_.ReleaseWriter();
    events_.ReleaseProducer();
    player_.Restart();
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

void Metronome::Beat(const Settings &s, BeatClock::Beat b, std::uint64_t blockStart)
{
    if (follower_.Active()) {
        // The session's phase numbers the beat; its tempo is the one measured.
        currentBeat_ = SessionFollower::BeatNumber(b.unit, s.beatsPerCycle);
        b.intervalMs = 60000.0 / follower_.Tempo();
        follower_.Placed();
    }
    const BeatChoice choice = ChooseBeat(s.rules, s.pattern, currentBeat_);
    for (int k = 0; k < choice.count; ++k) {
        const SoundPlay &play = choice.plays[k];
        const sound::Sample *sample = Pick(s, play.layer, currentBeat_);
        if (sample)
            KeepAsLast(play.slot, sample);
        else
            sample = lastPlayed_[play.slot]; // a name that cannot be loaded sounds the slot's last sample
        if (sample)
            player_.mixer().StartVoice(play.slot, sample, s.gain, s.gain, b.offset);
    }
    // The measured tempo; an interval of 0 or a tempo beyond 16 bits leaves the last one.
    if (b.intervalMs > 0) {
        const double bpm = std::nearbyint(60000.0 / b.intervalMs);
        if (bpm >= -32768 && bpm <= 32767)
            measuredBpm_ = static_cast<int>(bpm);
    }
    events_.Push(BeatEvent{currentBeat_, choice.darkRed, measuredBpm_, blockStart + std::uint64_t(b.offset)});
    currentBeat_ = NextBeat(currentBeat_, s.beatsPerCycle);
}

void Metronome::Render(float *out, int frames)
{
    player_.ApplyCommands();
    const Settings &s = settings_.Read();
    const std::uint64_t blockStart = player_.mixer().framesRendered();
    const bool shared = follower_.Begin(blockStart);

    const std::uint64_t starts = startRequests_.load(std::memory_order_acquire); // see the run's settings
    const bool running = running_.load(std::memory_order_acquire);
    if (starts != runsStarted_) {
        runsStarted_ = starts;
        clock_.Start(s.phaseRate, s.swingFactor);
        runStartFrame_ = blockStart;
        currentBeat_ = 1;
        measuredBpm_ = 0;
        for (int slot = 0; slot < 3; ++slot)
            KeepAsLast(slot, s.slotSamples[slot]);
        if (shared)
            follower_.StartRun();
    }
    if (running) {
        if (shared)
            follower_.Steer(clock_, s.beatsPerCycle, currentBeat_);
        else if (clock_.Rate() != s.phaseRate)
            clock_.SetRate(s.phaseRate); // a new tempo goes on from the current phase
        clock_.Advance(frames, [&](BeatClock::Beat b) { Beat(s, b, blockStart); });
    }
    follower_.End();
    // Release: everything taken from these settings (counts of kept samples) is visible first.
    taken_.store(s.sequence, std::memory_order_release);

    player_.mixer().Render(out, frames);

    ClockState state;
    state.running = running;
    state.runStartFrame = runStartFrame_;
    state.renderedFrame = blockStart + std::uint64_t(frames);
    state.clock = clock_;
    state.waitingForBar = shared && running && follower_.Waiting();
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
