#include "engine/session_follower.h"

#include <cmath>
#include <limits>
#include <thread>

#include "sound/sample.h"
#include "sound/stream_feed.h"

namespace engine {

namespace {
// Two readings of an unchanged timeline agree closer than this (Link counts micro-beats).
constexpr double kSameBeat = 1e-5;
} // namespace

double HostTimeFilter::Add(std::uint64_t frame, double micros)
{
    if (count_ > 0 && std::abs(micros - At(frame)) > kJumpMicros) {
        // A late block (the thread was held up) is left out; several in a row are a jump.
        if (++off_ < kJumpPoints)
            return At(frame);
        count_ = 0;
    }
    off_ = 0;
    if (count_ == 0) {
        base_ = {double(frame), micros};
        next_ = 0;
        slope_ = nominal_;
    }
    points_[std::size_t(next_)] = {double(frame) - base_.first, micros - base_.second};
    next_ = (next_ + 1) % kPoints;
    if (count_ < kPoints)
        ++count_;

    double sf = 0, st = 0;
    double lo = points_[0].first, hi = lo;
    for (int i = 0; i < count_; ++i) {
        sf += points_[std::size_t(i)].first;
        st += points_[std::size_t(i)].second;
        lo = std::min(lo, points_[std::size_t(i)].first);
        hi = std::max(hi, points_[std::size_t(i)].first);
    }
    const double mf = sf / count_, mt = st / count_;
    slope_ = nominal_;
    if (hi - lo >= 1e6 / nominal_) { // a second of frames: the line's own slope
        double sff = 0, sft = 0;
        for (int i = 0; i < count_; ++i) {
            const double df = points_[std::size_t(i)].first - mf;
            sff += df * df;
            sft += df * (points_[std::size_t(i)].second - mt);
        }
        slope_ = sft / sff;
    }
    intercept_ = mt - slope_ * mf;
    return At(frame);
}

void SessionFollower::SetSession(SharedSession *session, const sound::StreamFeed *feed)
{
    // Sequentially consistent, like Begin: either this sees a block using the old session, or
    // that block sees the new one.
    feed_.store(feed, std::memory_order_seq_cst);
    session_.store(session, std::memory_order_seq_cst);
    const std::uint64_t seen = inBlock_.load(std::memory_order_seq_cst);
    if (seen % 2 == 0)
        return;
    // Acquire: pairs with End's release; a block's time at most.
    while (inBlock_.load(std::memory_order_acquire) == seen)
        std::this_thread::yield();
}

bool SessionFollower::Begin(std::uint64_t blockStart)
{
    inBlock_.fetch_add(1, std::memory_order_seq_cst); // see SetSession
    SharedSession *session = session_.load(std::memory_order_seq_cst);
    activeFeed_ = feed_.load(std::memory_order_seq_cst);
    if (session != active_) {
        // A new session (or none): its clock is new to the filter, and a run already going takes
        // the session's beat from where it stands.
        filter_.Reset();
        adopt_ = true;
        aligning_ = false;
        offset_ = 0;
    }
    if (session != active_ && session) {
        double bpm = 0;
        session->TempoFromElsewhere(noticed_, bpm); // only those from now on count
    }
    active_ = session;
    blockStart_ = blockStart;
    hostStart_ = 0;
    if (!active_)
        return false;
    active_->Capture();
    tempo_ = active_->Tempo();
    const std::int64_t latency = activeFeed_ ? activeFeed_->BlockLatency() : 0;
    if (latency >= 0) {
        heard_ = double(active_->NowMicros()) + double(latency) * 1e6 / sound::kStreamRate;
        hostStart_ = filter_.Add(blockStart, heard_);
    }
    return true;
}

double SessionFollower::UnitsAt(double host, double quantum) const
{
    // Link counts in whole microseconds: the fraction is added at the session's tempo.
    const double whole = std::floor(host);
    return active_->BeatAt(std::int64_t(whole), quantum) + 1 + offset_ + (host - whole) * tempo_ / 60e6;
}

void SessionFollower::AlignAlone(double beat, std::int64_t at, double quantum)
{
    const double seen = active_->BeatAt(at, quantum);
    if (std::abs(beat - seen) <= kSameBeat)
        return; // the session has our beat already
    alignSeen_ = seen;
    offset_ = beat - seen;
    alignBeat_ = beat;
    alignAt_ = at;
    alignQuantum_ = quantum;
    aligning_ = true;
    active_->RequestAlignment(beat, at, quantum, alignSeen_);
}

void SessionFollower::EndAlignment()
{
    if (!aligning_)
        return;
    aligning_ = false;
    offset_ = 0;
    active_->RequestAlignment(std::numeric_limits<double>::quiet_NaN(), 0, alignQuantum_, 0);
}

std::int64_t NextBarRequest(const SharedSession &session, std::int64_t at, double quantum)
{
    const double beat = session.BeatAt(at, quantum);
    const double toBar = std::ceil(beat / quantum) * quantum - beat;
    // The rate over a long span: over a second, the millionths would leave it uncertain by a
    // millionth, which puts a slow session's bar seconds away microseconds off (past it, Link
    // takes the bar after).
    constexpr std::int64_t kSpan = 1'000'000'000;
    const double perMicro = (session.BeatAt(at + kSpan, quantum) - beat) / double(kSpan);
    // Both the beat at `at` and the session's beat at the time asked for are rounded to a
    // millionth: two millionths before the bar keep it this bar.
    const double lead = std::ceil(2e-6 / perMicro);
    return at + std::int64_t(std::floor(toBar / perMicro - lead));
}

void SessionFollower::Steer(BeatClock &clock, int beatsPerCycle, int nextBeat)
{
    if (!active_ || hostStart_ == 0) {
        clock.Hold(); // no beat before the block's time is known
        return;
    }
    if (startPending_ && filter_.Off()) {
        // A start after the stream stood still (it rests while stopped) or was held up: the line
        // from before gives a time long past, and the run's first beat or bar would be placed from
        // it. It starts anew from this block.
        filter_.Reset();
        hostStart_ = filter_.Add(blockStart_, heard_);
    }
    const double q = beatsPerCycle;
    const auto at = std::int64_t(std::llround(hostStart_));
    // The offset ends when the session moved (it has our beat now, or a peer's session is ours) or
    // the app side dropped our beat because peers came. Peers alone do not end it: Link may count
    // a peer before its session reaches this side, and our beat may still be on its way here.
    if (aligning_ &&
        (active_->AlignmentDropped() || std::abs(active_->BeatAt(alignAt_, alignQuantum_) - alignSeen_) > kSameBeat))
        EndAlignment();
    if (startPending_) {
        startPending_ = false;
        adopt_ = false;
        placedInRun_ = false;
        waiting_ = false;
        EndAlignment();
        double noticed = 0;
        active_->TempoFromElsewhere(noticed_, noticed); // a run counts those that come after its start
        const int peers = active_->Peers();
        const bool ownTempo = startTempo_ > 0 && startTempo_ != tempo_;
        if (ownTempo) {
            // The run's tempo from its start on; our beat goes with it in this commit (alone, an
            // alignment through the app side would stay hidden behind the commit for a while).
            active_->SetTempo(startTempo_, at);
            tempo_ = startTempo_;
        }
        firstUnit_ = 1;
        if (peers > 0 && active_->Playing()) {
            active_->RequestBeatAtStartPlaying(0, q); // in on the grid of the shared start
            barFirst_ = startOnBar_;
            waiting_ = startOnBar_;
        } else {
            active_->SetPlaying(true, at);
            if (peers > 0) {
                active_->RequestBeatAtTime(0, NextBarRequest(*active_, at, q), q); // the next bar
                waiting_ = true;
            } else if (ownTempo) {
                active_->RequestBeatAtTime(0, at + std::llround(60e6 / tempo_), q); // as without a session
            } else {
                AlignAlone(0, at + std::llround(60e6 / tempo_), q); // as without a session
            }
        }
    } else if (adopt_) {
        // A session came while running: alone, it takes our beat and count (the next beat keeps
        // its frame and number); with peers, we take theirs.
        adopt_ = false;
        placedInRun_ = true;
        if (active_->Peers() == 0) {
            const double toNext = double(clock.NextUnit()) - clock.UnitsNow();
            AlignAlone(double(nextBeat - 1) - toNext, at, q);
        }
    }
    // The session's beats per microsecond from its timeline (its tempo as shown may differ from
    // the rate its beats advance at on our clock by a clock drift correction).
    const double units = UnitsAt(hostStart_, q);
    const double perMicro = (UnitsAt(hostStart_ + 1e6, q) - units) / 1e6;
    if (barFirst_) {
        // Unit k is the session's beat k - 1: a bar where k - 1 is a multiple of the quantum.
        barFirst_ = false;
        firstUnit_ = std::int64_t(std::ceil((units - 1) / q - 1e-9) * q) + 1;
    }
    clock.Follow(units, perMicro * filter_.Slope(),
                 placedInRun_ ? std::numeric_limits<std::int64_t>::min() : firstUnit_);
}

int SessionFollower::BeatNumber(std::int64_t unit, int beatsPerCycle)
{
    const std::int64_t phase = ((unit - 1) % beatsPerCycle + beatsPerCycle) % beatsPerCycle;
    return int(phase) + 1;
}

void SessionFollower::Placed()
{
    placedInRun_ = true;
    waiting_ = false;
}

void SessionFollower::SetTempo(double bpm, std::uint64_t frame)
{
    if (!active_ || hostStart_ == 0)
        return;
    const double host = hostStart_ + (double(frame) - double(blockStart_)) * filter_.Slope();
    if (aligning_) {
        // This commit would hide the app side's alignment from us: it carries our beat itself.
        active_->RequestBeatAtTime(alignBeat_, alignAt_, alignQuantum_);
        EndAlignment();
    }
    active_->SetTempo(bpm, std::llround(host));
}

void SessionFollower::End()
{
    if (active_)
        active_->Commit();
    inBlock_.fetch_add(1, std::memory_order_release); // release: this block's use comes first
}

} // namespace engine
