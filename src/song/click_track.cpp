#include "song/click_track.h"

#include <SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sound/mixer.h"
#include "sound/sample.h"
#include "sound/slot_player.h"

namespace song {

namespace {

constexpr int kBlock = 4096;

// The frames a voice speaking the first click begins before it (0 for clicks).
std::int64_t FirstVoiceLead(const engine::Settings &s, const engine::SongPlan &plan, double rate)
{
    if (!s.rules.counting)
        return 0;
    const engine::SongSection &first = plan.sections().front();
    const Click click = first.pattern[0];
    const sound::Sample *voice = click == Click::Accent   ? s.samples.countAccented[0]
                                 : click == Click::Normal ? s.samples.countPlain[0]
                                                          : nullptr;
    if (!voice)
        return 0;
    return engine::PreRollFrames(voice->swellFrames, first.ClickTime(1) * rate);
}

// The format a file name's extension asks for; 0 for none known.
int FormatFor(const std::string &path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 0;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "wav")
        return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    if (ext == "flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (ext == "aif" || ext == "aiff")
        return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
    return 0;
}

} // namespace

bool RenderClickTrack(const engine::Settings &settings, const engine::SongPlan &plan,
                      const std::function<bool(const float *, int)> &sink)
{
    sound::SlotPlayer player(11);
    engine::Metronome metronome(player);
    engine::Settings s = settings;
    s.song = &plan;
    metronome.Publish(s);
    metronome.Start();
    const double rate = sound::kStreamRate;
    const std::int64_t firstClick = engine::SongPlan::FrameOf(plan.Lead(), rate);
    const std::int64_t begin = firstClick - std::min(FirstVoiceLead(s, plan, rate), firstClick);
    const std::int64_t end = firstClick + engine::SongPlan::FrameOf(plan.EndTime(), rate);
    // The mix is heard the limiter's look-ahead after the mixer's frame.
    const std::int64_t from = begin + sound::Mixer::kLookAheadFrames, to = end + sound::Mixer::kLookAheadFrames;
    std::vector<float> block(2 * kBlock);
    engine::BeatEvent event;
    for (std::int64_t at = 0; at < to;) {
        const int n = int(std::min<std::int64_t>(kBlock, to - at));
        metronome.Render(block.data(), n);
        while (metronome.PopBeat(event)) {}
        const std::int64_t skip = std::clamp<std::int64_t>(from - at, 0, n);
        if (skip < n && !sink(block.data() + 2 * skip, int(n - skip)))
            return false;
        at += n;
    }
    return true;
}

std::string WriteClickTrack(const std::string &outPath, int rate, const engine::Settings &settings,
                            const engine::SongPlan &plan, const std::atomic<bool> *cancel)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = FormatFor(outPath);
    if (info.format == 0)
        return outPath + ": unbekannte Endung (.wav, .flac, .aiff)";
    if (rate < 8000 || rate > 192000 || !sf_format_check(&info))
        return outPath + ": Rate " + std::to_string(rate) + " nicht möglich (8000 bis 192000)";

    // A new file beside the target: renamed over it only when complete.
    std::string temp = outPath + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return outPath + ": " + std::strerror(errno);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    SNDFILE *file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        const std::string why = sf_strerror(nullptr);
        ::close(fd);
        ::unlink(temp.c_str());
        return outPath + ": " + why;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    std::string error;
    auto write = [&](const float *frames, int n) {
        // Relaxed: the flag carries no data; the thread setting it waits for this one to end.
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            error = outPath + ": abgebrochen";
            return false;
        }
        if (sf_writef_float(file, frames, n) != n) {
            error = outPath + ": " + sf_strerror(file);
            return false;
        }
        return true;
    };
    if (rate == sound::kStreamRate) {
        RenderClickTrack(settings, plan, write);
    } else {
        // SDL's converter, fed block by block.
        SDL_AudioStream *stream = SDL_NewAudioStream(AUDIO_F32SYS, 2, sound::kStreamRate, AUDIO_F32SYS, 2, rate);
        if (!stream) {
            error = outPath + ": " + SDL_GetError();
        } else {
            std::vector<float> converted(2 * 8192);
            auto drain = [&] {
                while (error.empty()) {
                    const int bytes =
                        SDL_AudioStreamGet(stream, converted.data(), int(converted.size() * sizeof(float)));
                    if (bytes <= 0)
                        break;
                    write(converted.data(), bytes / int(2 * sizeof(float)));
                }
                return error.empty();
            };
            RenderClickTrack(settings, plan, [&](const float *frames, int n) {
                SDL_AudioStreamPut(stream, frames, n * int(2 * sizeof(float)));
                return drain();
            });
            SDL_AudioStreamFlush(stream);
            drain();
            SDL_FreeAudioStream(stream);
        }
    }
    if (sf_close(file) != 0 && error.empty())
        error = outPath + ": " + sf_strerror(nullptr);
    if (error.empty() && ::rename(temp.c_str(), outPath.c_str()) != 0)
        error = outPath + ": " + std::strerror(errno);
    if (!error.empty())
        ::unlink(temp.c_str());
    return error;
}

} // namespace song
