// Records the monitor of a PipeWire sink natively, each block placed at the sink's own frame: the
// graph's position (pw_time.ticks) of the cycle that carried it. A cycle the recorder missed is a
// hole of silence and a cycle it got twice is not written twice, so the frame numbers of the file
// are the sink's, whatever the recorder's own scheduling did (a parec through pipewire-pulse loses
// or repeats blocks then).
//
// Usage: pw_recorder --target SINK --wav OUT.wav [--log OUT.log] [--rate N] [--latency N] [--seconds N]
//                    [--clock raw]
// --rate is the graph's rate (default 48000; the sink's, so nothing is resampled), --latency the
// frames the recorder asks as the graph's cycle (default 256), --seconds the most it keeps (300).
// The log has one line per block: FRAME NOW_NS FRAMES, the block's first frame in the file, the
// start of its cycle (CLOCK_MONOTONIC; with --clock raw on CLOCK_MONOTONIC_RAW, Ableton Link's host clock:
// both clocks are read together in every cycle and the cycle's start moved by their difference, as NTP slews
// only the first) and its length; the frames between two blocks are a hole. A null sink's monitor
// passes each block one cycle after the sink played it, while reporting no delay: an analysis takes that cycle off, as
// it knows the sink. Ends on SIGINT or SIGTERM, then writes the file (16-bit stereo) and one line on standard error:
// "pw_recorder: FRAMES frames, holes FRAMES in N places". When the stream is moved to another sink
// (the one recorded went away), the file goes on at its end: frames stay in one sink's numbering
// only between such moves, and each block keeps the time of its own cycle.
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Recorder {
    pw_main_loop *loop = nullptr;
    pw_stream *stream = nullptr;
    std::vector<std::int16_t> frames; // reserved before the stream starts: the data thread only writes
    struct Line {
        std::uint64_t at;
        std::int64_t now;
        std::uint64_t frames;
    };
    std::vector<Line> log;
    std::size_t logCount = 0;
    std::uint64_t written = 0; // frames in the file
    bool raw = false;          // the log on CLOCK_MONOTONIC_RAW
    int rate = 48000;
    bool started = false;
    std::uint64_t firstTicks = 0, lastTicks = 0;
    std::uint64_t holeFrames = 0, holes = 0;
};

void Process(void *data)
{
    auto *r = static_cast<Recorder *>(data);
    pw_buffer *b = pw_stream_dequeue_buffer(r->stream);
    if (!b)
        return;
    const spa_data &d = b->buffer->datas[0];
    pw_time t{};
    pw_stream_get_time_n(r->stream, &t, sizeof t);
    if (d.data && d.chunk) {
        const auto *in = reinterpret_cast<const float *>(static_cast<const std::uint8_t *>(d.data) + d.chunk->offset);
        const std::uint64_t n = d.chunk->size / (2 * sizeof(float));
        if (!r->started) {
            r->started = true;
            r->firstTicks = t.ticks;
        } else if (t.ticks < r->lastTicks || t.ticks - r->lastTicks > std::uint64_t(r->rate) * 10) {
            // Another driver (the sink went away and the stream was moved): its position is its own.
            // The file goes on at its end, each block still timed by its own cycle.
            r->firstTicks = t.ticks - r->written;
        }
        r->lastTicks = t.ticks;
        const std::uint64_t at = t.ticks - r->firstTicks;
        const std::uint64_t capacity = r->frames.size() / 2;
        if (at > r->written) { // a cycle this recorder missed: silence, the frames stay the sink's
            r->holeFrames += at - r->written;
            ++r->holes;
            r->written = std::min(at, capacity);
        }
        std::int64_t now = t.now;
        if (r->raw) {
            // The two clocks read as close together as can be: the raw one between two monotonic reads.
            timespec m0{}, rw{}, m1{};
            clock_gettime(CLOCK_MONOTONIC, &m0);
            clock_gettime(CLOCK_MONOTONIC_RAW, &rw);
            clock_gettime(CLOCK_MONOTONIC, &m1);
            auto ns = [](const timespec &x) { return std::int64_t(x.tv_sec) * 1'000'000'000 + x.tv_nsec; };
            now += ns(rw) - (ns(m0) + ns(m1)) / 2;
        }
        if (r->logCount < r->log.size())
            r->log[r->logCount++] = {at, now, n};
        for (std::uint64_t i = r->written - std::min(r->written, at); i < n && at + i < capacity; ++i) {
            for (int c = 0; c < 2; ++c) {
                const float v = std::clamp(in[2 * i + std::uint64_t(c)], -1.0f, 1.0f);
                r->frames[2 * (at + i) + std::uint64_t(c)] = std::int16_t(v * 32767.0f);
            }
            r->written = at + i + 1;
        }
    }
    pw_stream_queue_buffer(r->stream, b);
}

void Quit(void *data, int)
{
    pw_main_loop_quit(static_cast<Recorder *>(data)->loop);
}

bool WriteWav(const std::string &path, const std::vector<std::int16_t> &frames, std::uint64_t count, int rate)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const auto bytes = std::uint32_t(count * 4);
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(std::uint32_t(rate));
    u32(std::uint32_t(rate) * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    std::fwrite(frames.data(), 4, count, f);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string target, wav, logPath;
    int rate = 48000, latency = 256, seconds = 300;
    bool raw = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--target")
            target = argv[i + 1];
        else if (a == "--wav")
            wav = argv[i + 1];
        else if (a == "--log")
            logPath = argv[i + 1];
        else if (a == "--rate")
            rate = std::atoi(argv[i + 1]);
        else if (a == "--latency")
            latency = std::atoi(argv[i + 1]);
        else if (a == "--seconds")
            seconds = std::atoi(argv[i + 1]);
        else if (a == "--clock")
            raw = std::string(argv[i + 1]) == "raw";
    }
    if (target.empty() || wav.empty()) {
        std::fprintf(stderr, "usage: pw_recorder --target SINK --wav OUT.wav [--log OUT.log] [--rate N] "
                             "[--latency N] [--seconds N] [--clock raw]\n");
        return 2;
    }
    pw_init(&argc, &argv);
    Recorder r;
    r.raw = raw;
    r.rate = rate;
    r.frames.assign(std::size_t(rate) * std::size_t(seconds) * 2, 0);
    r.log.resize(std::size_t(rate) * std::size_t(seconds) / 32);
    r.loop = pw_main_loop_new(nullptr);
    pw_loop_add_signal(pw_main_loop_get_loop(r.loop), SIGINT, Quit, &r);
    pw_loop_add_signal(pw_main_loop_get_loop(r.loop), SIGTERM, Quit, &r);
    char lat[32];
    std::snprintf(lat, sizeof lat, "%d/%d", latency, rate);
    pw_properties *props = pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", PW_KEY_MEDIA_TYPE, "Audio",
                                             PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Production",
                                             PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_TARGET_OBJECT, target.c_str(),
                                             PW_KEY_NODE_LATENCY, lat, PW_KEY_NODE_NAME, "pw_recorder", nullptr);
    static pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = &Process;
    r.stream = pw_stream_new_simple(pw_main_loop_get_loop(r.loop), "pw_recorder", props, &events, &r);
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = std::uint32_t(rate);
    format.channels = 2;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    std::uint8_t pod[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, pod, sizeof pod);
    const spa_pod *params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    if (pw_stream_connect(
            r.stream, PW_DIRECTION_INPUT, PW_ID_ANY,
            pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS),
            params, 1) < 0) {
        std::fprintf(stderr, "pw_recorder: cannot connect\n");
        return 1;
    }
    pw_main_loop_run(r.loop);
    pw_stream_destroy(r.stream);
    pw_main_loop_destroy(r.loop);
    if (!WriteWav(wav, r.frames, r.written, rate)) {
        std::fprintf(stderr, "pw_recorder: cannot write %s\n", wav.c_str());
        return 1;
    }
    if (!logPath.empty()) {
        if (std::FILE *f = std::fopen(logPath.c_str(), "w")) {
            for (std::size_t i = 0; i < r.logCount; ++i)
                std::fprintf(f, "%llu %lld %llu\n", (unsigned long long)r.log[i].at, (long long)r.log[i].now,
                             (unsigned long long)r.log[i].frames);
            std::fclose(f);
        }
    }
    std::fprintf(stderr, "pw_recorder: %llu frames, holes %llu in %llu places\n", (unsigned long long)r.written,
                 (unsigned long long)r.holeFrames, (unsigned long long)r.holes);
    pw_deinit();
    return 0;
}
