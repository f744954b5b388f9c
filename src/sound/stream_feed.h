#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "sound/audio_source.h"
#include "sound/latest_value.h"
#include "sound/sample.h"

namespace sound {

// Where the stream stood when the audio thread last rendered.
struct HeardClock {
    std::uint64_t rendered = 0; // frames given to the stream so far (the mixer's numbering)
    std::int64_t latency = 0;   // of those, how many were not heard yet at atNs (< 0: the stream ran dry)
    std::int64_t atNs = 0;      // steady clock (CLOCK_MONOTONIC), 0 before the first block
};

// What every output stream renders: the source put behind it, the count of frames rendered (the
// same frame numbers as the mixer's, since every frame of the mixer is rendered through here) and,
// with each block, when the frames are heard, from the latency the output reports.
//
// It keeps the last second of what it rendered: when a stream is lost with frames the server had
// not played yet (the server dropped it, or went away), the next stream plays those first, so that
// no beat is skipped and the sound only pauses for as long as the loss lasted (Lost).
//
// At STOP it takes back what the output holds unheard (TakeBack): a sound that begins after the
// frame heard when STOP was pressed is not heard, where the output can still replace it.
//
// Threads (see sound/threads.h): SetSource, HeardFrame, Lost, Restart and Handover on the UI
// thread (Lost, Restart and Handover only while no stream renders, Restart also on the sound
// output's connecting thread); SetLatency, Skip, Render and BlockLatency on the audio thread; TakeBack
// and CopyGiven where the audio thread renders, or on the UI thread while the output keeps the
// audio thread out (its lock); SetLatency also on the UI or connecting thread while no stream
// renders; silentFrames and DropUnheard on any thread.
class StreamFeed : public AudioSource {
public:
    explicit StreamFeed(AudioSource *source = nullptr)
        : source_(source), kept_(std::size_t(kKeptFrames) * kStreamChannels),
          again_(std::size_t(kKeptFrames) * kStreamChannels), skipped_(std::size_t(kSkipBlockFrames) * kStreamChannels)
    {
    }

    // Puts another source behind the stream (null plays silence). When it returns, Render no
    // longer uses the previous source, which may then be destroyed.
    void SetSource(AudioSource *source);
    // How many frames already rendered are not heard yet as the next block begins. Relaxed: one
    // writer at a time, and a stream starting after the UI thread wrote it is ordered by its start.
    // `reported`: the output's own report, not a stand-in while it has reported nothing yet.
    void SetLatency(std::int64_t frames, bool reported = true)
    {
        latency_.store(frames, std::memory_order_relaxed);
        reported_.store(reported, std::memory_order_relaxed);
    }
    // Audio thread, before Render: the same from the server's own timing report, where the output
    // has one (-1: none); it places the blocks on a shared session's clock.
    void SetHeardAfter(std::int64_t frames) { heardAfter_.store(frames, std::memory_order_relaxed); }
    // Inside Render (the source's block): how many frames after the mixer's first frame of the
    // block starts being heard (the output's latency and the limiter's look-ahead), or -1 while the
    // output has reported no latency.
    std::int64_t BlockLatency() const;

    void Render(float *out, int frames) override;
    // Audio thread, before Render: the device played `frames` frames without this stream (a cycle
    // of the sound server's graph passed without its data). The source renders them unheard, so
    // that the next block is the one due at the device's frame and every later beat stays on its
    // frame; a sound due within them begins with the next block (AudioSource::Skipping). Not while
    // frames of a lost stream are played again.
    void Skip(std::int64_t frames);
    // After Lost, as Handover: the source goes on where it was, behind what the lost stream left.
    void Restart() override;
    // The count of frames rendered goes on, so HeardFrame stays in step across the gap.
    void Handover() override;
    // The stream was lost at `atNs` (steady clock): what it had been given but not played by then
    // goes first to the next stream, and the frame heard stays where it was until that stream
    // plays. Nothing is kept when more than kKeptFrames were lost.
    void Lost(std::int64_t atNs);
    static constexpr int kKeptFrames = kStreamRate;
    // Any thread: what a lost stream left is not played after all (it was meant for a run that
    // was stopped or started again meanwhile).
    void DropUnheard() { dropUnheard_.store(true, std::memory_order_relaxed); } // relaxed: see Render

    // STOP, pressed while `heardFrame` was heard (HeardFrame), after the source was told to start
    // nothing new: when a sound begins after that frame within the last `replaceable` frames
    // given to the stream, the source renders those frames again without it and every later one
    // (the sounds begun before ring on), and this returns how many frames at the end of what was
    // given the output is to write again (CopyGiven). 0: nothing to take back (or the source
    // cannot); what was given plays.
    int TakeBack(double heardFrame, std::int64_t replaceable);
    // `frames` frames of what was given, from `fromEnd` frames before its end on.
    void CopyGiven(int fromEnd, float *out, int frames);

    // The frame heard now, in the numbering of the mixer's frames (the frame a voice is started at,
    // a beat's onset frame): the frames rendered less the output's latency and the mixer's
    // constant look-ahead (Mixer::kLookAheadFrames). Never less than it was at the last call,
    // never more than what has been rendered.
    double HeardFrame();
    // How many frames at the end of what was rendered are silent. Relaxed: a hint.
    std::uint64_t silentFrames() const { return silent_.load(std::memory_order_relaxed); }

private:
    // Copies `frames` frames from `block` into the kept frames at frame number `from` (`keep`), or
    // back from there into `block`.
    void CopyKept(std::uint64_t from, float *block, int frames, bool keep);

    std::atomic<AudioSource *> source_;
    // Odd while Render runs: SetSource waits for it to leave before the old source goes.
    std::atomic<std::uint64_t> inRender_{0};
    std::atomic<std::int64_t> latency_{0};
    std::atomic<bool> reported_{false};
    std::atomic<std::int64_t> heardAfter_{-1};
    std::atomic<std::uint64_t> silent_{0};
    std::atomic<bool> dropUnheard_{false};
    // Audio thread; the UI thread in Lost, while no stream renders.
    std::uint64_t rendered_ = 0; // frames the source rendered
    std::uint64_t given_ = 0;    // of those, the end of what the stream was given (less after Lost)
    std::vector<float> kept_;    // the last kKeptFrames rendered, by frame number modulo kKeptFrames
    std::vector<float> again_;   // what TakeBack has the source render again
    static constexpr int kSkipBlockFrames = 1024;
    std::vector<float> skipped_;       // audio thread: where Skip has the source render
    std::int64_t replayedInBlock_ = 0; // audio thread: kept frames before the source's in this block
    LatestValue<HeardClock> clock_;
    double lastHeard_ = 0;      // UI thread
    double heardAtLoss_ = 0;    // UI thread: where the frame heard stays after Lost,
    std::int64_t lostAtNs_ = 0; // until a block rendered after this time (0: none lost)
};

} // namespace sound
