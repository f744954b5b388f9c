// Records a PulseAudio source (the monitor of the sink the program plays into) to a 16-bit stereo
// WAV file at 44100 Hz and logs when each recorded sample was played at the sink.
//
// Usage: monitor_recorder --device SOURCE --wav OUT.wav --log OUT.log [--fragment-ms N] [--log-ms N]
//                         [--clock raw]
// --clock raw logs CLOCK_MONOTONIC_RAW (Ableton Link's host clock) wherever CLOCK_MONOTONIC is named.
//
// --fragment-ms is the record stream's fragment size (default 2). The stream asks the source for
// that latency, and a null sink follows the smallest latency any of its streams or its monitor's
// readers request, so this sets the sink's latency as well.
//
// Every --log-ms (default 2) the stream's timing is updated from the server and one line is
// logged:  FRAMES  MONOTONIC_NS  LATENCY_US  SINK_US  QUEUED  PLAYED_NS
// FRAMES are the frames read so far (the next frame to read has this index in the WAV file),
// MONOTONIC_NS is CLOCK_MONOTONIC, LATENCY_US the stream's latency from pa_stream_get_latency
// (signed: on a monitor it is the record buffer less the sink's own latency, since the monitor gets
// each sample when the sink renders it, before it is played), SINK_US the latency the sink reported.
// So frame FRAMES was played at the sink at MONOTONIC_NS - 1000 * LATENCY_US; a straight line
// through all lines gives the time every frame was played. Those latencies come through libpulse's
// interpolation, which a busy machine disturbs (the replies come late); the last two columns are
// the server's raw report instead: frame QUEUED - 1 (the last to enter the record queue when the
// server took its report) was played at PLAYED_NS (CLOCK_MONOTONIC).
//
// Ends on SIGINT or SIGTERM and completes the WAV header. Holes in the stream are written as
// silence, so frame indices stay exact; at the end one line on standard error tells how many frames
// were holes and how often the server's record buffer overflowed (data of the sink this recorder
// never got): "monitor_recorder: holes FRAMES in N places, overflows N".
#include <pulse/pulseaudio.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFrameBytes = 4; // 16-bit stereo

struct Recorder {
    pa_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::string device, wavPath, logPath;
    double fragmentMs = 2, logMs = 2;
    std::FILE *wav = nullptr, *log = nullptr;
    std::uint64_t frames = 0;
    std::uint64_t holeFrames = 0;
    int holes = 0, overflows = 0;
    int status = 0;
    bool quitting = false;
};

// CLOCK_MONOTONIC, or with --clock raw CLOCK_MONOTONIC_RAW (Ableton Link's host clock).
clockid_t gClock = CLOCK_MONOTONIC;

std::int64_t MonotonicNs()
{
    timespec t;
    clock_gettime(gClock, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void Put32(unsigned char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// A canonical 44-byte header for `frames` frames of 16-bit stereo.
void WriteWavHeader(std::FILE *f, std::uint64_t frames)
{
    unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16,  0,   0,   0,
                           1,   0,   2,   0,   0, 0, 0, 0, 0,   0,   0,   0,   4,   0,   16,  0,   'd', 'a', 't', 'a'};
    const std::uint64_t bytes = frames * kFrameBytes;
    const std::uint32_t data = bytes > 0xFFFFFFD0u ? 0xFFFFFFD0u : std::uint32_t(bytes);
    Put32(h + 4, 36 + data);
    Put32(h + 24, kRate);
    Put32(h + 28, kRate * kFrameBytes);
    Put32(h + 40, data);
    std::fseek(f, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, f);
    std::fseek(f, 0, SEEK_END);
}

void Fail(Recorder &r, const char *what)
{
    std::fprintf(stderr, "monitor_recorder: %s: %s\n", what, pa_strerror(pa_context_errno(r.context)));
    r.status = 1;
    pa_mainloop_quit(r.loop, 1);
}

void OnRead(pa_stream *s, std::size_t, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    const void *data;
    std::size_t bytes;
    while (pa_stream_readable_size(s) > 0) {
        if (pa_stream_peek(s, &data, &bytes) < 0)
            return Fail(r, "reading");
        if (bytes == 0)
            break;
        if (data) {
            std::fwrite(data, 1, bytes, r.wav);
        } else { // a hole: silence of that length
            r.holeFrames += bytes / kFrameBytes;
            ++r.holes;
            static const std::vector<char> zeros(65536, 0);
            for (std::size_t left = bytes; left > 0;) {
                const std::size_t n = left < zeros.size() ? left : zeros.size();
                std::fwrite(zeros.data(), 1, n, r.wav);
                left -= n;
            }
        }
        r.frames += bytes / kFrameBytes;
        pa_stream_drop(s);
    }
}

void OnTiming(pa_stream *s, int success, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    if (!success)
        return;
    pa_usec_t usec = 0;
    int negative = 0;
    const std::int64_t before = MonotonicNs();
    if (pa_stream_get_latency(s, &usec, &negative) < 0)
        return;
    const std::int64_t after = MonotonicNs();
    if (after - before > 200000)
        return; // preempted between the two readings: not a clean pair
    const pa_timing_info *info = pa_stream_get_timing_info(s);
    if (!info || info->write_index_corrupt)
        return;
    const long long latency = negative ? -(long long)usec : (long long)usec;
    // The raw report, free of this client's delays: when the server took it (its clock, which is
    // this machine's wall clock, turned into CLOCK_MONOTONIC), the frames that had entered the
    // record queue by then, and the latencies at that moment. The last of those frames was played
    // at that time, less the source's latency, plus the sink's.
    timespec wall;
    clock_gettime(CLOCK_REALTIME, &wall);
    const std::int64_t wallNs = std::int64_t(wall.tv_sec) * 1000000000 + wall.tv_nsec;
    const std::int64_t reportNs = std::int64_t(info->timestamp.tv_sec) * 1000000000 +
                                  std::int64_t(info->timestamp.tv_usec) * 1000 - wallNs + MonotonicNs();
    const std::int64_t playedNs = reportNs + (std::int64_t(info->sink_usec) - std::int64_t(info->source_usec)) * 1000;
    std::fprintf(r.log, "%llu %lld %lld %llu %lld %lld\n", (unsigned long long)r.frames,
                 (long long)((before + after) / 2), latency, (unsigned long long)info->sink_usec,
                 (long long)(info->write_index / kFrameBytes), (long long)playedNs);
}

// Every --log-ms: fresh timing from the server, logged when it arrives.
void OnTimer(pa_mainloop_api *api, pa_time_event *e, const struct timeval *, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    if (r.stream && pa_stream_get_state(r.stream) == PA_STREAM_READY) {
        if (pa_operation *o = pa_stream_update_timing_info(r.stream, OnTiming, &r))
            pa_operation_unref(o);
    }
    struct timeval next;
    pa_gettimeofday(&next);
    pa_timeval_add(&next, pa_usec_t(r.logMs * 1000));
    api->time_restart(e, &next);
}

void OnStreamState(pa_stream *s, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    if (pa_stream_get_state(s) == PA_STREAM_FAILED)
        Fail(r, "record stream");
}

void OnContextState(pa_context *c, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY: {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 2};
        r.stream = pa_stream_new(c, "monitor_recorder", &spec, nullptr);
        pa_stream_set_read_callback(r.stream, OnRead, &r);
        pa_stream_set_state_callback(r.stream, OnStreamState, &r);
        pa_stream_set_overflow_callback(
            r.stream, [](pa_stream *, void *self) { ++static_cast<Recorder *>(self)->overflows; }, &r);
        pa_buffer_attr attr;
        std::memset(&attr, 0xff, sizeof attr);
        attr.fragsize = std::uint32_t(pa_usec_to_bytes(pa_usec_t(r.fragmentMs * 1000), &spec));
        const auto flags =
            pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_record(r.stream, r.device.c_str(), &attr, flags) < 0)
            Fail(r, "connecting the record stream");
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        if (!r.quitting)
            Fail(r, "the server connection");
        break;
    default: break;
    }
}

void OnSignal(pa_mainloop_api *, pa_signal_event *, int, void *userdata)
{
    auto &r = *static_cast<Recorder *>(userdata);
    r.quitting = true;
    pa_mainloop_quit(r.loop, 0);
}

} // namespace

int main(int argc, char **argv)
{
    Recorder r;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--device")
            r.device = argv[i + 1];
        else if (opt == "--wav")
            r.wavPath = argv[i + 1];
        else if (opt == "--log")
            r.logPath = argv[i + 1];
        else if (opt == "--fragment-ms")
            r.fragmentMs = std::atof(argv[i + 1]);
        else if (opt == "--log-ms")
            r.logMs = std::atof(argv[i + 1]);
        else if (opt == "--clock" && std::string(argv[i + 1]) == "raw")
            gClock = CLOCK_MONOTONIC_RAW;
        else
            r.device.clear(), i = argc;
    }
    if (r.device.empty() || r.wavPath.empty() || r.logPath.empty() || r.fragmentMs <= 0 || r.logMs <= 0 ||
        argc % 2 == 0) {
        std::fprintf(
            stderr,
            "usage: monitor_recorder --device SOURCE --wav OUT.wav --log OUT.log [--fragment-ms N] [--log-ms N]\n");
        return 1;
    }
    r.wav = std::fopen(r.wavPath.c_str(), "wb");
    r.log = std::fopen(r.logPath.c_str(), "w");
    if (!r.wav || !r.log) {
        std::fprintf(stderr, "monitor_recorder: cannot write %s or %s: %s\n", r.wavPath.c_str(), r.logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    WriteWavHeader(r.wav, 0);

    r.loop = pa_mainloop_new();
    pa_mainloop_api *api = pa_mainloop_get_api(r.loop);
    pa_signal_init(api);
    pa_signal_new(SIGINT, OnSignal, &r);
    pa_signal_new(SIGTERM, OnSignal, &r);
    r.context = pa_context_new(api, "monitor_recorder");
    pa_context_set_state_callback(r.context, OnContextState, &r);
    if (pa_context_connect(r.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        Fail(r, "connecting to the server");
        return 1;
    }
    struct timeval first;
    pa_gettimeofday(&first);
    pa_time_event *timer = api->time_new(api, &first, OnTimer, &r);

    int result = 0;
    pa_mainloop_run(r.loop, &result);
    r.quitting = true;
    api->time_free(timer);
    if (r.stream) {
        pa_stream_disconnect(r.stream);
        pa_stream_unref(r.stream);
    }
    pa_context_disconnect(r.context);
    pa_context_unref(r.context);
    pa_signal_done();
    pa_mainloop_free(r.loop);
    WriteWavHeader(r.wav, r.frames);
    std::fclose(r.wav);
    std::fclose(r.log);
    std::fprintf(stderr, "monitor_recorder: holes %llu frames in %d places, overflows %d\n",
                 (unsigned long long)r.holeFrames, r.holes, r.overflows);
    return r.status;
}
