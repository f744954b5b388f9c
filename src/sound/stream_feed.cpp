#include "sound/stream_feed.h"

#include <algorithm>
#include <chrono>
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
    inRender_.fetch_add(1, std::memory_order_seq_cst); // see SetSource
    AudioSource *source = source_.load(std::memory_order_seq_cst);
    if (source)
        source->Render(out, frames);
    else
        std::memset(out, 0, sizeof(float) * kStreamChannels * std::size_t(frames));
    // Release: the source's last use happens before SetSource, reading this, returns.
    inRender_.fetch_add(1, std::memory_order_release);

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
    rendered_ += std::uint64_t(frames);
    clock_.Write(HeardClock{rendered_, latency, now});
}

void StreamFeed::Restart()
{
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

std::int64_t StreamFeed::BlockLatency() const
{
    // Relaxed: written on this thread before Render (see SetLatency).
    const std::int64_t fromReport = heardAfter_.load(std::memory_order_relaxed);
    if (fromReport >= 0)
        return fromReport + Mixer::kLookAheadFrames;
    if (!reported_.load(std::memory_order_relaxed))
        return -1;
    return latency_.load(std::memory_order_relaxed) + Mixer::kLookAheadFrames;
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
    const double heard =
        double(c.rendered) - double(c.latency) - double(Mixer::kLookAheadFrames) + std::max(since, 0.0);
    lastHeard_ = std::clamp(heard, lastHeard_, std::max(lastHeard_, double(c.rendered)));
    return lastHeard_;
}

} // namespace sound
