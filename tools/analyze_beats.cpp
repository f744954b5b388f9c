// Finds the beats in a recording of the metronome and reports how evenly they came.
//
// Usage: analyze_beats RECORDING [--bpm N] [--skip SECONDS] [--raw-float]
//
// RECORDING is a 16-bit WAV file, or with --raw-float raw interleaved stereo float at 44100 Hz (what
// SDL's disk audio driver writes).
//
// A beat is the first sample that is not silent after at least 20 ms of digital silence (the
// program's sounds start at full level at their first sample and the recording of a null sink is
// exactly 0 between them), or, where sounds overlap, a jump of the level by a factor of four within
// 2 ms. Prints one line per figure and exits with 2 when beats were lost or doubled against --bpm.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string file;
    double bpm = 0;
    double skip = 0;
    bool rawFloat = false;
};

bool Parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bpm") && i + 1 < argc)
            o.bpm = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--skip") && i + 1 < argc)
            o.skip = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--raw-float"))
            o.rawFloat = true;
        else if (argv[i][0] != '-' && o.file.empty())
            o.file = argv[i];
        else
            return false;
    }
    return !o.file.empty();
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: analyze_beats RECORDING [--bpm N] [--skip SECONDS] [--raw-float]\n");
        return 1;
    }
    // The level of every frame, as 16-bit magnitudes.
    std::vector<int> level;
    double rate = 44100;
    if (o.rawFloat) {
        SDL_RWops *file = SDL_RWFromFile(o.file.c_str(), "rb");
        if (!file) {
            std::fprintf(stderr, "cannot read %s: %s\n", o.file.c_str(), SDL_GetError());
            return 1;
        }
        float frame[2];
        while (SDL_RWread(file, frame, sizeof frame, 1) == 1)
            level.push_back(int(std::min(1.0f, std::max(std::abs(frame[0]), std::abs(frame[1]))) * 32767));
        SDL_RWclose(file);
    } else {
        SDL_AudioSpec spec;
        Uint8 *buffer = nullptr;
        Uint32 length = 0;
        if (!SDL_LoadWAV(o.file.c_str(), &spec, &buffer, &length) || spec.format != AUDIO_S16LSB) {
            std::fprintf(stderr, "cannot read %s as 16-bit WAV: %s\n", o.file.c_str(), SDL_GetError());
            return 1;
        }
        const int channels = spec.channels;
        rate = spec.freq;
        const auto *pcm = reinterpret_cast<const Sint16 *>(buffer);
        const std::size_t count = length / 2 / channels;
        level.resize(count);
        for (std::size_t f = 0; f < count; ++f) {
            int m = 0;
            for (int c = 0; c < channels; ++c)
                m = std::max(m, std::abs(int(pcm[f * channels + c])));
            level[f] = m;
        }
        SDL_FreeWAV(buffer);
    }
    const std::size_t frames = level.size();

    const std::size_t quiet = std::size_t(rate * 0.020), jump = std::size_t(rate * 0.002);
    const std::size_t refractory = std::size_t(rate * 0.050);
    std::vector<std::size_t> onsets;
    std::size_t silentRun = quiet;
    for (std::size_t f = std::size_t(o.skip * rate); f < frames; ++f) {
        const bool afterSilence = level[f] > 0 && silentRun >= quiet;
        const bool risesSharply = f >= jump && level[f] > 2000 && level[f] > 4 * level[f - jump] + 200;
        silentRun = level[f] == 0 ? silentRun + 1 : 0;
        if ((afterSilence || risesSharply) && (onsets.empty() || f - onsets.back() >= refractory))
            onsets.push_back(f);
    }
    std::printf("beats found            %zu\n", onsets.size());
    if (onsets.size() < 3)
        return 2;

    std::vector<double> intervals;
    for (std::size_t i = 1; i < onsets.size(); ++i)
        intervals.push_back(double(onsets[i] - onsets[i - 1]));
    const double mean = std::accumulate(intervals.begin(), intervals.end(), 0.0) / intervals.size();
    double var = 0, worst = 0;
    for (double d : intervals) {
        var += (d - mean) * (d - mean);
        worst = std::max(worst, std::abs(d - mean));
    }
    const double sd = std::sqrt(var / intervals.size());
    std::printf("mean interval          %.3f samples = %.4f ms = %.3f bpm\n", mean, mean / rate * 1000, 60 * rate / mean);
    std::printf("spread (std dev)       %.3f samples = %.4f ms\n", sd, sd / rate * 1000);
    std::printf("worst deviation        %.1f samples = %.3f ms\n", worst, worst / rate * 1000);

    int lost = 0, doubled = 0;
    if (o.bpm > 0) {
        const double ideal = 60.0 * rate / o.bpm;
        // Drift: where the last beat is against where evenly spaced ideal beats put it.
        const double expectedLast = onsets.front() + ideal * double(onsets.size() - 1);
        std::printf("ideal interval         %.3f samples (%.4f ms)\n", ideal, ideal / rate * 1000);
        std::printf("mean against ideal     %+.4f samples per beat (%+.1f ppm)\n", mean - ideal, (mean / ideal - 1) * 1e6);
        std::printf("drift over the run     %+.1f samples = %+.3f ms over %.1f s\n", double(onsets.back()) - expectedLast,
                    (double(onsets.back()) - expectedLast) / rate * 1000, double(onsets.back() - onsets.front()) / rate);
        for (double d : intervals) {
            const double beats = d / ideal;
            if (beats > 1.5)
                lost += int(std::lround(beats)) - 1;
            else if (beats < 0.5)
                ++doubled;
        }
        std::printf("lost beats             %d\n", lost);
        std::printf("doubled beats          %d\n", doubled);
    }
    return lost || doubled ? 2 : 0;
}
