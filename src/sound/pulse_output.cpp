#include "sound/pulse_output.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <thread>

#include "sound/sample.h"

// Why 160 ms: a metronome needs no low latency (every change takes effect at the next beat, and
// the window draws the frame heard now from the latency the server reports), but it must not run
// dry. Measured on this two-core machine, 45 s of playing per length while other builds kept the
// load at 5-12, counting underruns:
//
//   target length            10 ms   20 ms   40 ms   80 ms   160 ms
//   without real-time        17      6       4       4, 8    0
//   with real-time (RR 1)    0       3       12      0       -
//
// With 80 ms, ten minutes at 120 with both cores kept busy still lost one click to a stall longer
// than the buffer; with 160 ms the same ten minutes ran without an underrun. Whatever the length,
// the grid survives an underrun: with no pre-buffering the server skips the frames it missed, so
// only a click that falls into that gap is lost.

namespace sound {

namespace {

constexpr std::size_t kFrameBytes = sizeof(float) * kStreamChannels;

std::uint32_t BytesOfMs(int ms)
{
    return std::uint32_t(kStreamRate * ms / 1000) * std::uint32_t(kFrameBytes);
}

// Real-time scheduling for the calling thread, within RLIMIT_RTPRIO (root may always); silently
// nothing where it is not allowed.
void RaisePriority()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0)
        return;
    int priority = std::min(10, sched_get_priority_max(SCHED_RR));
    if (limit.rlim_cur != RLIM_INFINITY)
        priority = std::min<int>(priority, int(limit.rlim_cur));
    if (priority <= 0 && geteuid() != 0)
        return;
    sched_param param{};
    param.sched_priority = std::max(priority, 1);
    pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param); // failure: stay as we are
}

} // namespace

int PulseOutput::bufferFrames() const
{
    return kStreamRate * kTargetMs / 1000;
}

void PulseOutput::SetLossNotifier(void (*notify)(void *), void *context)
{
    if (mainloop_)
        pa_threaded_mainloop_lock(mainloop_);
    notify_ = notify;
    notifyContext_ = context;
    if (mainloop_)
        pa_threaded_mainloop_unlock(mainloop_);
}

void PulseOutput::MarkLost()
{
    if (lost_.load(std::memory_order_relaxed))
        return; // said already; relaxed: only this thread sets it while the stream runs
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    lostAtNs_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
    // Release: pairs with lost()'s acquire, and publishes the time with it.
    if (!lost_.exchange(true, std::memory_order_acq_rel) && notify_)
        notify_(notifyContext_);
}

void PulseOutput::OnContextState(pa_context *context, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && out->stream_)
        out->MarkLost();
    pa_threaded_mainloop_signal(out->mainloop_, 0);
}

void PulseOutput::OnStreamState(pa_stream *stream, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        out->MarkLost();
    pa_threaded_mainloop_signal(out->mainloop_, 0);
}

void PulseOutput::OnWrite(pa_stream *, std::size_t bytes, void *self)
{
    static_cast<PulseOutput *>(self)->Fill(bytes);
}

void PulseOutput::OnUnderflow(pa_stream *, void *self)
{
    static_cast<PulseOutput *>(self)->underruns_.fetch_add(1, std::memory_order_relaxed); // relaxed: a count
}

void PulseOutput::OnSuspended(pa_stream *stream, void *self)
{
    // Also called when the stream was moved to another device: libpulse tells the new device's
    // state only with the move (a device chosen in the sound settings that another program holds,
    // or a move away from such a device), not through the suspended callback.
    // Relaxed: a state the UI thread shows, and decides nothing exact from.
    static_cast<PulseOutput *>(self)->suspended_.store(pa_stream_is_suspended(stream) == 1, std::memory_order_relaxed);
}

std::int64_t PulseOutput::HeardAfter() const
{
    // From the server's last timing report itself, not libpulse's interpolation (which eases into
    // the truth over seconds after the stream starts): the frame at the read index was heard
    // sink_usec after the report, the next frame written comes write - read frames after it.
    const pa_timing_info *info = pa_stream_get_timing_info(stream_);
    if (!info || info->read_index_corrupt || info->write_index_corrupt || info->timestamp.tv_sec == 0)
        return -1;
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall); // the report's clock
    const double nowUs = double(wall.tv_sec) * 1e6 + double(wall.tv_nsec) / 1e3;
    const double reportUs = double(info->timestamp.tv_sec) * 1e6 + double(info->timestamp.tv_usec);
    const double queued = double(info->write_index - info->read_index) / double(kFrameBytes);
    const double heardUs = reportUs + double(info->sink_usec) + queued * 1e6 / kStreamRate;
    return std::llround((heardUs - nowUs) * kStreamRate / 1e6);
}

std::int64_t PulseOutput::Replaceable() const
{
    const pa_timing_info *info = pa_stream_get_timing_info(stream_);
    if (!info || info->read_index_corrupt || info->write_index_corrupt || info->timestamp.tv_sec == 0)
        return 0;
    const std::int64_t margin = kStreamRate * kTakeBackMarginMs / 1000;
    if (!reportsInCycles_) {
        // PulseAudio: all that is not heard yet; its device is rewound for what it holds.
        std::int64_t unheard = HeardAfter();
        pa_usec_t usec = 0;
        int negative = 0;
        if (unheard < 0 && pa_stream_get_latency(stream_, &usec, &negative) == 0 && !negative)
            unheard = std::int64_t(usec * kStreamRate / 1000000);
        return unheard > margin ? unheard - margin : 0;
    }
    // PipeWire: what its processing has not read yet, less what it read since the report.
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall); // the report's clock
    const double sinceUs = double(wall.tv_sec - info->timestamp.tv_sec) * 1e6 + double(wall.tv_nsec) / 1e3 -
                           double(info->timestamp.tv_usec);
    const double queued = double(info->write_index - info->read_index) / double(kFrameBytes);
    const auto unread = std::int64_t(queued - std::max(sinceUs, 0.0) * kStreamRate / 1e6);
    return unread > margin ? unread - margin : 0;
}

void PulseOutput::TakeBack(double heardFrame)
{
    if (!mainloop_)
        return;
    pa_threaded_mainloop_lock(mainloop_); // no block is rendered while it is held
    // Relaxed: Fill writes it under the same lock.
    const int frames =
        stream_ && !corked_.load(std::memory_order_relaxed) ? feed_.TakeBack(heardFrame, Replaceable()) : 0;
    // The frames written last end at the write index; libpulse counts every write into it.
    const pa_timing_info *info = frames > 0 ? pa_stream_get_timing_info(stream_) : nullptr;
    const std::int64_t end = info ? info->write_index : 0;
    for (int written = 0; info && written < frames;) {
        void *data = nullptr;
        std::size_t n = std::size_t(frames - written) * kFrameBytes;
        if (pa_stream_begin_write(stream_, &data, &n) < 0 || !data)
            break;
        n -= n % kFrameBytes;
        if (n == 0) {
            pa_stream_cancel_write(stream_);
            break;
        }
        feed_.CopyGiven(frames - written, static_cast<float *>(data), int(n / kFrameBytes));
        const std::int64_t at = end - std::int64_t(frames - written) * std::int64_t(kFrameBytes);
        if (pa_stream_write(stream_, data, n, nullptr, at, PA_SEEK_ABSOLUTE) < 0)
            break;
        written += int(n / kFrameBytes);
    }
    pa_threaded_mainloop_unlock(mainloop_);
}

void PulseOutput::Fill(std::size_t bytes)
{
    if (!prioritySet_) {
        prioritySet_ = true;
        RaisePriority();
    }
    while (bytes >= kFrameBytes) {
        void *data = nullptr;
        std::size_t n = bytes;
        // The server's own memory: nothing is allocated for the block.
        if (pa_stream_begin_write(stream_, &data, &n) < 0 || !data)
            return;
        n -= n % kFrameBytes;
        if (n == 0) {
            pa_stream_cancel_write(stream_);
            return;
        }
        pa_usec_t usec = 0;
        int negative = 0;
        std::int64_t latency = bufferFrames(); // until the server has reported its timing
        bool reported = pa_stream_get_latency(stream_, &usec, &negative) == 0;
        if (reported)
            latency = std::int64_t(usec * kStreamRate / 1000000) * (negative ? -1 : 1);
        // The frame heard (the pendulum) from the server's own report where it has one taken while
        // the stream played: after the stream is moved to another device, libpulse's interpolation
        // takes about ten seconds to ease into the new device's timing, the pendulum up to 37 ms
        // behind its click meanwhile. Not from PipeWire's, which moves the read position once per
        // processing cycle (up to 46 ms) but stamps the report when it answers: there libpulse's
        // interpolation wanders less.
        const std::int64_t heardAfter = HeardAfter();
        const pa_timing_info *info = pa_stream_get_timing_info(stream_);
        if (heardAfter >= 0 && info && info->playing && !reportsInCycles_) {
            latency = heardAfter;
            reported = true;
        }
        feed_.SetLatency(latency, reported);
        feed_.SetHeardAfter(heardAfter);
        feed_.Render(static_cast<float *>(data), int(n / kFrameBytes));
        if (pa_stream_write(stream_, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= n;
    }
    // Resting: cork once all the server holds is silence. Relaxed: states of this thread and the
    // UI thread's request, which is repeated with every block until it is done.
    if (resting_.load(std::memory_order_relaxed) && !corked_.load(std::memory_order_relaxed) &&
        feed_.silentFrames() >= std::uint64_t(bufferFrames() * 2)) {
        if (pa_operation *o = pa_stream_cork(stream_, 1, nullptr, nullptr))
            pa_operation_unref(o);
        corked_.store(true, std::memory_order_relaxed);
    }
}

bool PulseOutput::Open(bool playing, std::string &error)
{
    const std::atomic<bool> never{false};
    return Connect(error, never) == Step::Ready && StartStream(playing, error, never);
}

template <class Done> bool PulseOutput::WaitFor(Done done, const std::atomic<bool> &cancel)
{
    // A frozen server never answers and pa_threaded_mainloop_wait has no deadline: look every
    // 10 ms instead, so that a cancel is seen at once. Relaxed: a request, acted on when seen.
    while (!done()) {
        if (cancel.load(std::memory_order_relaxed))
            return false;
        pa_threaded_mainloop_unlock(mainloop_);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pa_threaded_mainloop_lock(mainloop_);
    }
    return true;
}

template <class Done> bool PulseOutput::Await(pa_operation *o, Done done, const std::atomic<bool> &cancel)
{
    const bool waited = o && WaitFor(done, cancel);
    if (o) {
        if (!waited)
            pa_operation_cancel(o); // no call any more: what it would fill goes out of scope
        pa_operation_unref(o);
    }
    return waited;
}

PulseOutput::Step PulseOutput::Connect(std::string &error, const std::atomic<bool> &cancel)
{
    Close();
    lost_.store(false, std::memory_order_relaxed); // relaxed: no stream runs
    prioritySet_ = false;
    mainloop_ = pa_threaded_mainloop_new();
    if (!mainloop_ || pa_threaded_mainloop_start(mainloop_) < 0) {
        error = "PulseAudio: no main loop";
        Close();
        return Step::Refused;
    }
    pa_threaded_mainloop_lock(mainloop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "Metronom");
    if (!context_) {
        error = "PulseAudio: no context";
        pa_threaded_mainloop_unlock(mainloop_);
        Close();
        return Step::Refused;
    }
    pa_context_set_state_callback(context_, &PulseOutput::OnContextState, this);
    // No server of our own started on a machine that has none: SDL's outputs serve it instead.
    bool good = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    const bool waited = good && WaitFor(
                                    [&] {
                                        const pa_context_state_t s = pa_context_get_state(context_);
                                        good = PA_CONTEXT_IS_GOOD(s);
                                        return !good || s == PA_CONTEXT_READY;
                                    },
                                    cancel);
    if (good && waited) {
        pa_threaded_mainloop_unlock(mainloop_);
        return Step::Ready;
    }
    const int code = pa_context_errno(context_);
    error = std::string("PulseAudio: no server: ") + (waited || !good ? pa_strerror(code) : "cancelled");
    pa_threaded_mainloop_unlock(mainloop_);
    Close();
    // A server that took too long to answer is slow or frozen, not absent.
    return !waited && good ? Step::Cancelled : code == PA_ERR_TIMEOUT ? Step::Slow : Step::Refused;
}

bool PulseOutput::HasDevice(const std::atomic<bool> &cancel)
{
    struct Answer {
        pa_threaded_mainloop *loop;
        bool done = false, found = false;
    } answer{mainloop_};
    pa_threaded_mainloop_lock(mainloop_);
    pa_operation *o = pa_context_get_sink_info_by_name(
        context_, "@DEFAULT_SINK@",
        [](pa_context *, const pa_sink_info *info, int eol, void *data) {
            auto *a = static_cast<Answer *>(data);
            a->found = a->found || info;
            a->done = eol != 0; // the end of the answer, or an error (no such sink)
            pa_threaded_mainloop_signal(a->loop, 0);
        },
        &answer);
    const bool waited = Await(
        o, [&] { return answer.done; }, cancel);
    pa_threaded_mainloop_unlock(mainloop_);
    return waited && answer.found;
}

bool PulseOutput::ReportsInCycles(const std::atomic<bool> &cancel)
{
    struct Answer {
        pa_threaded_mainloop *loop;
        bool done = false, cycles = false;
    } answer{mainloop_};
    pa_operation *o = pa_context_get_server_info(
        context_,
        [](pa_context *, const pa_server_info *info, void *data) {
            auto *a = static_cast<Answer *>(data);
            // "PulseAudio (on PipeWire 0.3.65)"
            a->cycles = info && info->server_name && std::strstr(info->server_name, "PipeWire");
            a->done = true;
            pa_threaded_mainloop_signal(a->loop, 0);
        },
        &answer);
    const bool waited = Await(
        o, [&] { return answer.done; }, cancel);
    return waited && answer.cycles;
}

bool PulseOutput::StartStream(bool playing, std::string &error, const std::atomic<bool> &cancel)
{
    resting_.store(!playing, std::memory_order_relaxed); // relaxed: no stream runs yet
    corked_.store(!playing, std::memory_order_relaxed);
    pa_threaded_mainloop_lock(mainloop_);
    // Audio thread state, set while no stream runs: the stream's start orders it.
    reportsInCycles_ = ReportsInCycles(cancel);
    auto fail = [&](const char *what) {
        error = std::string("PulseAudio: ") + what + ": " + pa_strerror(pa_context_errno(context_));
        pa_threaded_mainloop_unlock(mainloop_);
        Close();
        return false;
    };
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kStreamRate, kStreamChannels};
    stream_ = pa_stream_new(context_, "Metronom", &format, nullptr);
    if (!stream_)
        return fail("no stream");
    pa_stream_set_state_callback(stream_, &PulseOutput::OnStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseOutput::OnWrite, this);
    pa_stream_set_underflow_callback(stream_, &PulseOutput::OnUnderflow, this);
    pa_stream_set_suspended_callback(stream_, &PulseOutput::OnSuspended, this);
    pa_stream_set_moved_callback(stream_, &PulseOutput::OnSuspended, this);
    pa_buffer_attr attr{};
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = BytesOfMs(kTargetMs);
    attr.prebuf = 0; // never wait for data: after an underrun the stream stays on the sink's clock
    attr.minreq = BytesOfMs(kRequestMs);
    attr.fragsize = std::uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                         (playing ? 0 : PA_STREAM_START_CORKED));
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return fail("stream refused");
    bool good = true;
    const bool waited = WaitFor(
        [&] {
            const pa_stream_state_t s = pa_stream_get_state(stream_);
            good = PA_STREAM_IS_GOOD(s);
            return !good || s == PA_STREAM_READY;
        },
        cancel);
    if (!waited || !good)
        return fail(waited ? "stream refused" : "cancelled");
    // Relaxed: as in OnSuspended, which tells of every change from now on.
    suspended_.store(pa_stream_is_suspended(stream_) == 1, std::memory_order_relaxed);
    pa_threaded_mainloop_unlock(mainloop_);
    return true;
}

void PulseOutput::Play(bool playing)
{
    resting_.store(!playing, std::memory_order_relaxed); // relaxed: see Fill
    if (!playing || !mainloop_)
        return;
    pa_threaded_mainloop_lock(mainloop_); // pa's own lock, held only while the request is sent
    if (stream_ && corked_.load(std::memory_order_relaxed)) {
        if (pa_operation *o = pa_stream_cork(stream_, 0, nullptr, nullptr))
            pa_operation_unref(o);
        corked_.store(false, std::memory_order_relaxed);
    }
    pa_threaded_mainloop_unlock(mainloop_);
}

void PulseOutput::Close()
{
    if (!mainloop_)
        return;
    pa_threaded_mainloop_lock(mainloop_);
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_set_suspended_callback(stream_, nullptr, nullptr);
        pa_stream_set_moved_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        suspended_.store(false, std::memory_order_relaxed); // relaxed: as in OnSuspended
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(mainloop_);
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
}

} // namespace sound
