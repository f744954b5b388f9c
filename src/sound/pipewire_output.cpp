#include "sound/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <sched.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "sound/sample.h"

namespace sound {

namespace {

constexpr std::uint32_t kFrameBytes = sizeof(float) * kStreamChannels;

std::int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now); // pw_time.now's clock, and the steady clock's
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// "0.3.65" at least 0.3.50: pw_stream_get_time_n with `buffered`.
bool RecentEnough(const std::string &version)
{
    int major = 0, minor = 0, micro = 0;
    if (std::sscanf(version.c_str(), "%d.%d.%d", &major, &minor, &micro) < 2)
        return false;
    return major > 0 || minor > 3 || (minor == 3 && micro >= 50);
}

} // namespace

// PipeWire's hooks live as long as the object they listen to; kept here so that the header needs
// none of PipeWire's.
struct PipeWireOutput::Listeners {
    spa_hook core{};
    spa_hook registry{};
    spa_hook stream{};
    bool coreHooked = false, registryHooked = false, streamHooked = false;

    static PipeWireOutput *Out(void *data) { return static_cast<PipeWireOutput *>(data); }

    static void CoreInfo(void *data, const pw_core_info *info)
    {
        if (info && info->version)
            Out(data)->version_ = info->version;
    }
    static void CoreDone(void *data, std::uint32_t id, int seq)
    {
        PipeWireOutput *out = Out(data);
        if (id == PW_ID_CORE && seq == out->syncSeq_) {
            out->synced_ = true;
            pw_thread_loop_signal(out->loop_, false);
        }
    }
    static void CoreError(void *data, std::uint32_t id, int, int res, const char *message)
    {
        PipeWireOutput *out = Out(data);
        if (id != PW_ID_CORE)
            return;
        // The connection broke (the daemon ended or was restarted), or the daemon refused us.
        out->failed_ = true;
        out->streamError_ = message ? message : spa_strerror(res);
        if (out->stream_)
            out->MarkLost();
        pw_thread_loop_signal(out->loop_, false);
    }
    static void Global(void *data, std::uint32_t, std::uint32_t, const char *type, std::uint32_t, const spa_dict *props)
    {
        if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || !props)
            return;
        const char *mediaClass = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
        if (mediaClass && std::strcmp(mediaClass, "Audio/Sink") == 0)
            ++Out(data)->sinks_;
    }
    static void StateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
    {
        PipeWireOutput *out = Out(data);
        const bool wasUp = out->state_ >= PW_STREAM_STATE_PAUSED;
        out->state_ = state;
        if (error)
            out->streamError_ = error;
        if (state == PW_STREAM_STATE_ERROR || (wasUp && state == PW_STREAM_STATE_UNCONNECTED))
            out->MarkLost();
        pw_thread_loop_signal(out->loop_, false);
    }
    static void Process(void *data) { Out(data)->Process(); }
    static void Rest(void *data, std::uint64_t) { Out(data)->RestIfAsked(); }

    static constexpr pw_core_events kCore = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.info = &CoreInfo;
        e.done = &CoreDone;
        e.error = &CoreError;
        return e;
    }();
    static constexpr pw_registry_events kRegistry = [] {
        pw_registry_events e{};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = &Global;
        return e;
    }();
    static constexpr pw_stream_events kStream = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = &StateChanged;
        e.process = &Process;
        return e;
    }();
};

PipeWireOutput::PipeWireOutput(StreamFeed &feed)
    : feed_(feed), listeners_(std::make_unique<Listeners>()), graph_(kStreamRate)
{
}

PipeWireOutput::~PipeWireOutput()
{
    Close();
}

void PipeWireOutput::SetLossNotifier(void (*notify)(void *), void *context)
{
    if (loop_)
        pw_thread_loop_lock(loop_);
    notify_ = notify;
    notifyContext_ = context;
    if (loop_)
        pw_thread_loop_unlock(loop_);
}

void PipeWireOutput::MarkLost()
{
    if (lost_.load(std::memory_order_relaxed))
        return; // said already; relaxed: only the loop's thread sets it while the stream runs
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    lostAtNs_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
    // Release: pairs with lost()'s acquire, and publishes the time with it.
    if (!lost_.exchange(true, std::memory_order_acq_rel) && notify_)
        notify_(notifyContext_);
}

bool PipeWireOutput::suspended() const
{
    // Relaxed: states shown, nothing exact is decided from them.
    if (!stream_ || inactive_.load(std::memory_order_relaxed) || resting_.load(std::memory_order_relaxed))
        return false;
    const std::int64_t last = lastCycleNs_.load(std::memory_order_relaxed);
    return last != 0 && MonotonicNs() - last > std::int64_t(kSuspendedAfterMs) * 1'000'000;
}

void PipeWireOutput::Process()
{
    // Looked at once the stream has run a while: PipeWire raises the data thread's priority
    // after the thread started, not before its first cycle.
    if (!rtChecked_ && ++cycles_ == kRtCheckCycle) {
        rtChecked_ = true;
        const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK; // PipeWire sets that flag too
        // Relaxed: a hint the UI thread prints once.
        rtRefused_.store(policy != SCHED_FIFO && policy != SCHED_RR, std::memory_order_relaxed);
    }
    pw_buffer *b = pw_stream_dequeue_buffer(stream_);
    if (!b)
        return;
    spa_data &d = b->buffer->datas[0];
    if (!d.data) {
        pw_stream_queue_buffer(stream_, b);
        return;
    }
    auto frames = std::uint32_t(d.maxsize / kFrameBytes);
    if (b->requested > 0 && b->requested < frames)
        frames = std::uint32_t(b->requested);

    pw_time t{};
    pw_stream_get_time_n(stream_, &t, sizeof t);
    // The graph's position counted from where the clock started: a driver the stream was moved to
    // (the sink went away) has a position of its own, which may even begin below zero (ticks near
    // 2^64, where a double no longer tells one frame from the next and every other cycle would
    // look like a skipped one). A position that moved back, or further on than the time passed
    // since the last cycle can explain, is such a move and no skipped cycle: the clock starts anew.
    const auto moved = std::int64_t(t.ticks - lastTicks_);
    const double passed =
        double(t.now - lastNowNs_) * double(t.rate.denom) / (1e9 * double(t.rate.num ? t.rate.num : 1));
    const bool otherDriver = moved < 0 || double(moved) > passed + kDriverSlackTicks;
    if (resetClock_.exchange(false, std::memory_order_relaxed) ||
        otherDriver) { // relaxed: a request, seen within a cycle
        graph_.Reset();
        ticksBase_ = t.ticks;
    }
    lastTicks_ = t.ticks;
    lastNowNs_ = t.now;
    GraphTime time;
    time.nowNs = t.now;
    time.calledNs = MonotonicNs();
    time.ticks = t.ticks - ticksBase_;
    time.delay = t.delay;
    time.queued = t.queued;
    time.buffered = t.buffered;
    time.rateNum = t.rate.num;
    time.rateDenom = t.rate.denom;
    // RT_PROCESS: the buffer filled here is played in this cycle, as the report says.
    const GraphClock::Block block = graph_.Next(time, 0, int(frames));
    if (block.skip > 0) {
        feed_.Skip(block.skip);
        skipped_.fetch_add(1, std::memory_order_relaxed); // relaxed: counts
        skippedFrames_.fetch_add(std::uint64_t(block.skip), std::memory_order_relaxed);
    }
    // Frames from now on (CLOCK_MONOTONIC, read here) until the block's first frame is heard. A
    // shared session's clock (CLOCK_MONOTONIC_RAW, which NTP does not slew) is read in the same
    // block and adds this to its own now, so the two clocks are tied together anew in every cycle.
    const double frameNs = 1e9 / kStreamRate;
    feed_.SetLatency(std::llround(double(block.heardAtNs - MonotonicNs()) / frameNs));
    feed_.Render(static_cast<float *>(d.data), int(frames));
    d.chunk->offset = 0;
    d.chunk->stride = int(kFrameBytes);
    d.chunk->size = frames * kFrameBytes;
    b->size = frames; // counted in pw_time.queued, in frames
    pw_stream_queue_buffer(stream_, b);
    lastCycleNs_.store(t.now, std::memory_order_relaxed); // relaxed: see suspended()

    // Resting: inactive once what was played last is silent; the loop's thread does it (not a call
    // for the data thread). Relaxed: requests, repeated every cycle until done.
    if (resting_.load(std::memory_order_relaxed) && !restAsked_.load(std::memory_order_relaxed) &&
        feed_.silentFrames() >= std::uint64_t(2 * frames)) {
        restAsked_.store(true, std::memory_order_relaxed);
        pw_loop_signal_event(pw_thread_loop_get_loop(loop_), restEvent_);
    }
}

void PipeWireOutput::RestIfAsked()
{
    // Relaxed: the thread loop's own lock orders this against Play.
    if (resting_.load(std::memory_order_relaxed) && stream_ && !inactive_.load(std::memory_order_relaxed)) {
        pw_stream_set_active(stream_, false);
        inactive_.store(true, std::memory_order_relaxed);
    }
    restAsked_.store(false, std::memory_order_relaxed);
}

void PipeWireOutput::Play(bool playing)
{
    resting_.store(!playing, std::memory_order_relaxed); // relaxed: see Process
    if (!playing || !loop_)
        return;
    pw_thread_loop_lock(loop_);
    if (stream_ && inactive_.load(std::memory_order_relaxed)) {
        // Its ticks went on while inactive: no skip for that. Relaxed: the activation orders it.
        resetClock_.store(true, std::memory_order_relaxed);
        lastCycleNs_.store(MonotonicNs(), std::memory_order_relaxed);
        pw_stream_set_active(stream_, true);
        inactive_.store(false, std::memory_order_relaxed);
    }
    pw_thread_loop_unlock(loop_);
}

template <class Done> bool PipeWireOutput::WaitFor(Done done, const std::atomic<bool> &cancel, bool &slow)
{
    // Under the loop's lock. A frozen daemon never answers: look at `cancel` every 10 ms.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSlowAfterMs);
    slow = false;
    while (!done()) {
        if (cancel.load(std::memory_order_relaxed)) // relaxed: a request, acted on when seen
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            slow = true;
            return false;
        }
        timespec until{};
        pw_thread_loop_get_time(loop_, &until, 10'000'000);
        pw_thread_loop_timed_wait_full(loop_, &until);
    }
    return true;
}

PipeWireOutput::Step PipeWireOutput::Connect(std::string &error, const std::atomic<bool> &cancel)
{
    static std::once_flag init;
    std::call_once(init, [] { pw_init(nullptr, nullptr); });
    Close();
    lost_.store(false, std::memory_order_relaxed); // relaxed: no stream runs
    synced_ = failed_ = false;
    sinks_ = 0;
    version_.clear();
    streamError_.clear();
    loop_ = pw_thread_loop_new("metronom-pw", nullptr);
    if (!loop_ || pw_thread_loop_start(loop_) < 0) {
        error = "PipeWire: no thread loop";
        Close();
        return Step::Refused;
    }
    pw_thread_loop_lock(loop_);
    auto fail = [&](const std::string &why, Step step) {
        error = "PipeWire: " + why;
        pw_thread_loop_unlock(loop_);
        Close();
        return step;
    };
    // client-rt.conf, as PipeWire's own audio clients take it: its module asks RTKit (or the
    // system, within RLIMIT_RTPRIO) for real-time scheduling of the data thread.
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                              pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (!context_)
        return fail("no context", Step::Refused);
    // PIPEWIRE_REMOTE or the user's pipewire-0; the library starts no daemon of its own.
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_)
        return fail(std::string("no daemon: ") + std::strerror(errno), Step::Refused);
    pw_core_add_listener(core_, &listeners_->core, &Listeners::kCore, this);
    listeners_->coreHooked = true;
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(registry_, &listeners_->registry, &Listeners::kRegistry, this);
    listeners_->registryHooked = true;
    syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
    bool slow = false;
    const bool waited = WaitFor([&] { return synced_ || failed_; }, cancel, slow);
    spa_hook_remove(&listeners_->registry);
    listeners_->registryHooked = false;
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry_));
    registry_ = nullptr;
    if (!waited)
        return fail(slow ? "the daemon does not answer" : "cancelled", slow ? Step::Slow : Step::Cancelled);
    if (failed_)
        return fail("no daemon: " + streamError_, Step::Refused);
    if (!RecentEnough(version_))
        return fail("version " + version_ + " is older than 0.3.50", Step::Refused);
    if (sinks_ == 0)
        return fail("no Audio/Sink (PipeWire does not play the sound here)", Step::Refused);
    pw_thread_loop_unlock(loop_);
    return Step::Ready;
}

bool PipeWireOutput::StartStream(bool playing, std::string &error, const std::atomic<bool> &cancel)
{
    resting_.store(!playing, std::memory_order_relaxed); // relaxed: no stream runs yet
    inactive_.store(!playing, std::memory_order_relaxed);
    restAsked_.store(false, std::memory_order_relaxed);
    resetClock_.store(true, std::memory_order_relaxed);
    lastCycleNs_.store(MonotonicNs(), std::memory_order_relaxed);
    rtChecked_ = false; // audio thread state, set while no stream runs: the stream's start orders it
    cycles_ = 0;
    // The block's latency comes from each cycle's report; nothing from an earlier output's.
    feed_.SetLatency(0, false);
    feed_.SetHeardAfter(-1);
    pw_thread_loop_lock(loop_);
    auto fail = [&](const std::string &why) {
        error = "PipeWire: " + why;
        pw_thread_loop_unlock(loop_);
        Close();
        return false;
    };
    restEvent_ = pw_loop_add_event(pw_thread_loop_get_loop(loop_), &Listeners::Rest, this);
    char latency[32];
    std::snprintf(latency, sizeof latency, "%d/%d", kLatencyFrames, kLatencyRate);
    pw_properties *props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                                             PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_NAME, "Metronom", PW_KEY_NODE_NAME,
                                             "Metronom", PW_KEY_NODE_LATENCY, latency, nullptr);
    stream_ = pw_stream_new(core_, "Metronom", props); // takes props
    if (!stream_)
        return fail("no stream");
    state_ = PW_STREAM_STATE_UNCONNECTED;
    pw_stream_add_listener(stream_, &listeners_->stream, &Listeners::kStream, this);
    listeners_->streamHooked = true;
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = kStreamRate;
    format.channels = kStreamChannels;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t pod[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, pod, sizeof pod);
    const spa_pod *params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                       PW_STREAM_FLAG_RT_PROCESS | (playing ? 0 : PW_STREAM_FLAG_INACTIVE));
    if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0)
        return fail("stream refused");
    bool slow = false;
    const bool waited = WaitFor(
        [&] { return state_ == PW_STREAM_STATE_ERROR || state_ >= PW_STREAM_STATE_PAUSED || failed_; }, cancel, slow);
    if (!waited)
        return fail(slow ? "the daemon does not answer" : "cancelled");
    if (state_ == PW_STREAM_STATE_ERROR || failed_)
        return fail("stream refused: " + streamError_);
    pw_thread_loop_unlock(loop_);
    return true;
}

void PipeWireOutput::Close()
{
    if (!loop_)
        return;
    pw_thread_loop_lock(loop_);
    if (stream_) {
        if (listeners_->streamHooked)
            spa_hook_remove(&listeners_->stream);
        listeners_->streamHooked = false;
        pw_stream_destroy(stream_); // waits for the data thread to leave the stream
        stream_ = nullptr;
    }
    if (restEvent_) {
        pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), restEvent_);
        restEvent_ = nullptr;
    }
    if (registry_) {
        if (listeners_->registryHooked)
            spa_hook_remove(&listeners_->registry);
        listeners_->registryHooked = false;
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry_));
        registry_ = nullptr;
    }
    if (core_) {
        if (listeners_->coreHooked)
            spa_hook_remove(&listeners_->core);
        listeners_->coreHooked = false;
        pw_core_disconnect(core_);
        core_ = nullptr;
    }
    pw_thread_loop_unlock(loop_);
    pw_thread_loop_stop(loop_);
    if (context_) {
        pw_context_destroy(context_);
        context_ = nullptr;
    }
    pw_thread_loop_destroy(loop_);
    loop_ = nullptr;
}

} // namespace sound
