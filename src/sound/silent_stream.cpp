#include "sound/silent_stream.h"

#include <chrono>

#include "sound/sample.h"

namespace sound {

SilentStream::SilentStream(StreamFeed &feed, int blockFrames)
    : feed_(feed), block_(std::size_t(blockFrames) * kStreamChannels), blockFrames_(blockFrames)
{
}

void SilentStream::Start()
{
    if (running())
        return;
    stop_.store(false, std::memory_order_relaxed); // relaxed: the thread starts after this
    feed_.SetLatency(0);
    thread_ = std::thread(&SilentStream::Run, this);
}

void SilentStream::Stop()
{
    if (!running())
        return;
    stop_.store(true, std::memory_order_relaxed); // relaxed: join orders the rest
    thread_.join();
}

void SilentStream::Run()
{
    const auto block = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(double(blockFrames_) / kStreamRate));
    auto next = std::chrono::steady_clock::now();
    while (!stop_.load(std::memory_order_relaxed)) { // relaxed: seen within a block
        feed_.Render(block_.data(), blockFrames_);
        next += block;
        std::this_thread::sleep_until(next);
    }
}

} // namespace sound
