#include "sound/stream_feed.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "sound/mixer.h"
#include "sound/sample.h"

namespace sound {

namespace {

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void StreamFeed::SetSource(AudioSource *source)
{
    // Sequentially consistent, like the loads in Render: either this sees Render running, or
    // Render sees the new source.
    source_.store(source, std::memory_order_seq_cst);
    const std::uint64_t seen = inRender_.load(std::memory_order_seq_cst);
    if (seen % 2 == 0)
        return;
    // Acquire: pairs with Render's release when it leaves; a block's time at most.
    while (inRender_.load(std::memory_order_acquire) == seen)
        std::this_thread::yield();
}

void StreamFeed::Render(float *out, int frames)
{
    const std::int64_t now = NowNs();
    // Relaxed: a request on its own, nothing else is read with it.
    if (dropUnheard_.exchange(false, std::memory_order_relaxed))
        given_ = rendered_;
    // What a lost stream was given and did not play comes first.
    const int replayed = int(std::min<std::uint64_t>(rendered_ - given_, std::uint64_t(frames)));
    CopyKept(given_, out, replayed, false);
    replayedInBlock_ = replayed;
    float *fresh = out + kStreamChannels * replayed;
    const int freshFrames = frames - replayed;
    if (freshFrames > 0) {
        inRender_.fetch_add(1, std::memory_order_seq_cst); // see SetSource
        AudioSource *source = source_.load(std::memory_order_seq_cst);
        if (source)
            source->Render(fresh, freshFrames);
        else
            std::memset(fresh, 0, sizeof(float) * kStreamChannels * std::size_t(freshFrames));
        // Release: the source's last use happens before SetSource, reading this, returns.
        inRender_.fetch_add(1, std::memory_order_release);
        CopyKept(rendered_, fresh, freshFrames, true);
        rendered_ += std::uint64_t(freshFrames);
    }
    given_ += std::uint64_t(frames);

    // The silence at the end of the block, added to the silence before it when the block is silent.
    const float *end = out + kStreamChannels * frames;
    const float *last = end;
    while (last != out && last[-1] == 0.0f)
        --last;
    const auto quiet = std::uint64_t((end - last) / kStreamChannels);
    // Relaxed: hints for the UI thread, which decides nothing exact from them.
    silent_.store(last == out ? silent_.load(std::memory_order_relaxed) + quiet : quiet, std::memory_order_relaxed);

    // These frames come after the ones the output still holds.
    const std::int64_t latency = latency_.load(std::memory_order_relaxed) + frames;
    clock_.Write(HeardClock{given_, latency, now});
}

void StreamFeed::Skip(std::int64_t frames)
{
    if (frames <= 0 || given_ != rendered_)
        return;
    inRender_.fetch_add(1, std::memory_order_seq_cst); // the source is used as in Render
    AudioSource *source = source_.load(std::memory_order_seq_cst);
    if (source)
        source->Skipping(frames);
    for (std::int64_t done = 0; done < frames;) {
        const int n = int(std::min<std::int64_t>(frames - done, kSkipBlockFrames));
        if (source)
            source->Render(skipped_.data(), n);
        else
            std::memset(skipped_.data(), 0, sizeof(float) * kStreamChannels * std::size_t(n));
        CopyKept(rendered_, skipped_.data(), n, true);
        rendered_ += std::uint64_t(n);
        done += n;
    }
    inRender_.fetch_add(1, std::memory_order_release); // see Render
    given_ = rendered_;
}

int StreamFeed::TakeBack(double heardFrame, std::int64_t replaceable)
{
    replaceable = std::min<std::int64_t>({replaceable, std::int64_t(given_), kKeptFrames});
    if (given_ != rendered_ || replaceable <= 0)
        return 0;
    // A sound begun at mixer frame f leaves the limiter at frame f + kLookAheadFrames of the stream,
    // which must lie in what can still be replaced.
    const std::uint64_t earliest = given_ - std::uint64_t(replaceable);
    const std::uint64_t from = std::max(std::uint64_t(std::max(heardFrame, 0.0)) + 1,
                                        earliest - std::min<std::uint64_t>(earliest, Mixer::kLookAheadFrames));
    inRender_.fetch_add(1, std::memory_order_seq_cst); // the source is used as in Render
    AudioSource *source = source_.load(std::memory_order_seq_cst);
    const std::uint64_t start = source ? source->FirstStartFrom(from) : AudioSource::kNoStart;
    const std::uint64_t again = start == AudioSource::kNoStart
                                    ? AudioSource::kNoStart
                                    : source->RenderAgainWithout(start, again_.data(), kKeptFrames);
    inRender_.fetch_add(1, std::memory_order_release);
    if (again == AudioSource::kNoStart)
        return 0;
    // The frames before the sound come out as before; from the first that can be replaced on.
    const std::uint64_t write = std::max(again, earliest);
    CopyKept(write, again_.data() + kStreamChannels * (write - again), int(given_ - write), true);
    const float *end = again_.data() + kStreamChannels * (given_ - again), *last = end;
    while (last != again_.data() && last[-1] == 0.0f)
        --last;
    silent_.store(std::uint64_t(end - last) / kStreamChannels, std::memory_order_relaxed); // relaxed: see Render
    return int(given_ - write);
}

void StreamFeed::CopyGiven(int fromEnd, float *out, int frames)
{
    CopyKept(given_ - std::uint64_t(fromEnd), out, frames, false);
}

void StreamFeed::CopyKept(std::uint64_t from, float *block, int frames, bool keep)
{
    // In at most two pieces: the kept frames wrap around at kKeptFrames.
    while (frames > 0) {
        const auto at = std::size_t(from % kKeptFrames);
        const int piece = std::min(frames, int(kKeptFrames - at));
        float *kept = kept_.data() + kStreamChannels * at;
        const std::size_t bytes = sizeof(float) * kStreamChannels * std::size_t(piece);
        if (keep)
            std::memcpy(kept, block, bytes);
        else
            std::memcpy(block, kept, bytes);
        block += kStreamChannels * piece;
        from += std::uint64_t(piece);
        frames -= piece;
    }
}

void StreamFeed::Restart()
{
    if (dropUnheard_.exchange(false, std::memory_order_relaxed)) // relaxed: see Render
        given_ = rendered_;
    if (given_ < rendered_)
        return Handover();  // the next stream plays on from where the lost one was heard
    clock_.ReleaseWriter(); // the next stream renders on a new audio thread
    if (AudioSource *source = source_.load(std::memory_order_relaxed))
        source->Restart();
}

void StreamFeed::Handover()
{
    clock_.ReleaseWriter();
    if (AudioSource *source = source_.load(std::memory_order_relaxed))
        source->Handover();
}

void StreamFeed::Lost(std::int64_t atNs)
{
    const HeardClock &c = clock_.Read();
    if (c.atNs == 0)
        return;
    // The output's frame heard when the stream was lost: between what it had played at its last
    // report and what it had been given.
    const double since = double(std::max<std::int64_t>(atNs - c.atNs, 0)) * 1e-9 * kStreamRate;
    const double heard = std::clamp(double(c.rendered) - double(c.latency) + since, 0.0, double(c.rendered));
    const auto unheard = std::uint64_t(double(c.rendered) - std::floor(heard));
    if (unheard == 0 || c.rendered != given_ || rendered_ - given_ + unheard > std::uint64_t(kKeptFrames))
        return;
    given_ -= unheard;
    heardAtLoss_ = std::floor(heard) - double(Mixer::kLookAheadFrames);
    lostAtNs_ = std::max(atNs, c.atNs);
}

std::int64_t StreamFeed::BlockLatency() const
{
    // Relaxed: written on this thread before Render (see SetLatency).
    const std::int64_t fromReport = heardAfter_.load(std::memory_order_relaxed);
    // The source's frames come after the kept ones replayed before them in this block.
    if (fromReport >= 0)
        return fromReport + replayedInBlock_ + Mixer::kLookAheadFrames;
    if (!reported_.load(std::memory_order_relaxed))
        return -1;
    return latency_.load(std::memory_order_relaxed) + replayedInBlock_ + Mixer::kLookAheadFrames;
}

double StreamFeed::HeardFrame()
{
    const HeardClock &c = clock_.Read();
    if (c.atNs == 0)
        return 0;
    const double since = double(NowNs() - c.atNs) * 1e-9 * kStreamRate;
    // The mixer's limiter holds every frame back kLookAheadFrames: a voice started at mixer frame f
    // leaves the render at f + kLookAheadFrames, so the output's frame is that much after the
    // mixer's frame being heard.
    double heard = double(c.rendered) - double(c.latency) - double(Mixer::kLookAheadFrames) + std::max(since, 0.0);
    if (lostAtNs_ != 0) {
        if (c.atNs <= lostAtNs_)
            heard = std::min(heard, heardAtLoss_); // nothing plays until the next stream does
        else
            lostAtNs_ = 0;
    }
    lastHeard_ = std::clamp(heard, lastHeard_, std::max(lastHeard_, double(c.rendered)));
    return lastHeard_;
}

} // namespace sound
