// Finds the beats in a recording of the metronome and reports how evenly they came.
//
// Usage: analyze_beats RECORDING [--bpm N[,N...]] [--bpm-range LOW:HIGH] [--skip SECONDS]
//                     [--pause SECONDS] [--accents BEATS:MARKED[,MARKED...]] [--raw-float] [--list] [--strict]
//
// RECORDING is a 16-bit WAV file, or with --raw-float raw interleaved stereo float at 44100 Hz (what
// SDL's disk audio driver writes).
//
// A beat is the first sample that is not silent after at least 20 ms of digital silence (the
// program's sounds start with a step at their first sample and the recording of a null sink is
// exactly 0 between them), or, where sounds overlap, the sample at which the signal jumps: its
// step from the previous sample is at least 1500 (of 32767) and three times the largest step of
// the 2 ms before. Every percussion sound of the Sounds folder starts with such a step and has none
// later on (at the program's level of -9 dB), so the onsets are found to the sample even over the
// tails of bass drum, snare or hand claps. Two beats closer than 50 ms are one. Where the sound
// breaks off from a clear level straight to digital silence (the stream ran dry and the server
// filled in silence), it is counted as a dropout, and the sound resuming after it is no beat; so
// is a sound fainter than that step after silence (a tail that broke off already faint).
//
// The tempo the beats should have:
//   --bpm N            one tempo: mean interval, spread, drift against N.
//   --bpm A,B,C        tempos played one after the other (the tempo changed while running): every
//                      interval must fit the tempo in play or the next one to 2 samples, or lie
//                      between the two (the intervals during which the tempo changed).
//   --bpm-range LO:HI  any tempo from LO to HI (a tempo slider dragged while running).
// An interval longer than 1.5 of the slowest tempo allowed at that point means lost beats, one
// shorter than half of the fastest a doubled beat; one that fits no tempo by more than 1 ms is
// irregular. --pause S takes intervals longer than S seconds for STOP and START (several runs in
// one recording): they count as pauses, not as lost beats.
//
// --accents 4:1,3 checks the accent sounds: with 4 beats to a cycle, counted from the first beat
// found, beats 1 and 3 must carry an extra sound: the energy a beat adds in its first 20 ms (its
// power less the power of the 20 ms before it, so that tails of earlier sounds do not count) must
// be larger on every marked beat than on any unmarked one.
//
// --list prints every beat: its frame, its interval and the energy it adds.
//
// With --bpm the report counts the intervals more than 1 sample from the ideal of their tempo
// (the beat frames are whole frames, so a correct run has none; the intervals of a tempo change
// aside). --strict fails on any of them, and on a drift of more than 1 sample with one tempo: a
// stream that ran dry and moved the later beats.
//
// Exit status: 0 all well, 1 bad usage or unreadable file, 2 beats lost or doubled (or fewer than
// three found), 3 more than a tenth of the intervals fit no tempo (the tempo played is not the one
// expected), 4 the accents are not on the marked beats, 5 (--strict) an interval or the drift more than 1 sample off.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string file;
    std::vector<double> bpms;
    double rangeLow = 0, rangeHigh = 0;
    double skip = 0;
    double pause = 0;
    int accentCycle = 0;
    std::vector<int> accentMarked;
    bool rawFloat = false;
    bool list = false;
    bool strict = false;
};

std::vector<double> Numbers(const char *text)
{
    std::vector<double> out;
    std::string s(text);
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t end = std::min(s.find(',', start), s.size());
        if (end > start)
            out.push_back(std::atof(s.substr(start, end - start).c_str()));
        start = end + 1;
    }
    return out;
}

bool Parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--bpm") && hasValue) {
            for (double b : Numbers(argv[++i]))
                o.bpms.push_back(b);
        } else if (!std::strcmp(argv[i], "--bpm-range") && hasValue) {
            if (std::sscanf(argv[++i], "%lf:%lf", &o.rangeLow, &o.rangeHigh) != 2 || o.rangeLow <= 0 ||
                o.rangeHigh < o.rangeLow)
                return false;
        } else if (!std::strcmp(argv[i], "--skip") && hasValue) {
            o.skip = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--pause") && hasValue) {
            o.pause = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--accents") && hasValue) {
            const char *text = argv[++i];
            const char *colon = std::strchr(text, ':');
            if (!colon)
                return false;
            o.accentCycle = std::atoi(text);
            for (double m : Numbers(colon + 1))
                o.accentMarked.push_back(int(m));
            if (o.accentCycle < 1 || o.accentMarked.empty())
                return false;
        } else if (!std::strcmp(argv[i], "--raw-float")) {
            o.rawFloat = true;
        } else if (!std::strcmp(argv[i], "--list")) {
            o.list = true;
        } else if (!std::strcmp(argv[i], "--strict")) {
            o.strict = true;
        } else if (argv[i][0] != '-' && o.file.empty()) {
            o.file = argv[i];
        } else {
            return false;
        }
    }
    for (double b : o.bpms)
        if (b <= 0)
            return false;
    return !o.file.empty() && !(o.bpms.size() && o.rangeLow > 0);
}

// The recording as 16-bit stereo frames.
struct Recording {
    double rate = 44100;
    std::vector<std::int16_t> left, right;
    std::size_t frames() const { return left.size(); }
};

std::int16_t ToPcm(float v)
{
    return std::int16_t(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

bool Read(const Options &o, Recording &r)
{
    if (o.rawFloat) {
        SDL_RWops *file = SDL_RWFromFile(o.file.c_str(), "rb");
        if (!file) {
            std::fprintf(stderr, "cannot read %s: %s\n", o.file.c_str(), SDL_GetError());
            return false;
        }
        std::vector<float> block(2 * 4096);
        std::size_t got;
        while ((got = SDL_RWread(file, block.data(), 2 * sizeof(float), 4096)) > 0) {
            for (std::size_t f = 0; f < got; ++f) {
                r.left.push_back(ToPcm(block[2 * f]));
                r.right.push_back(ToPcm(block[2 * f + 1]));
            }
        }
        SDL_RWclose(file);
        return true;
    }
    SDL_AudioSpec spec;
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(o.file.c_str(), &spec, &buffer, &length) || spec.format != AUDIO_S16LSB) {
        std::fprintf(stderr, "cannot read %s as 16-bit WAV: %s\n", o.file.c_str(), SDL_GetError());
        if (buffer)
            SDL_FreeWAV(buffer);
        return false;
    }
    const int channels = spec.channels;
    r.rate = spec.freq;
    const auto *pcm = reinterpret_cast<const Sint16 *>(buffer);
    const std::size_t count = length / 2 / channels;
    r.left.resize(count);
    r.right.resize(count);
    for (std::size_t f = 0; f < count; ++f) {
        r.left[f] = pcm[f * channels];
        r.right[f] = pcm[f * channels + (channels > 1 ? 1 : 0)];
    }
    SDL_FreeWAV(buffer);
    return true;
}

std::vector<std::size_t> FindOnsets(const Recording &r, double skip, int &dropouts)
{
    const std::size_t frames = r.frames();
    const std::size_t quiet = std::size_t(r.rate * 0.020), before = std::size_t(r.rate * 0.002);
    const std::size_t refractory = std::size_t(r.rate * 0.050);
    const int minStep = 1500;
    auto level = [&](std::size_t f) { return std::max(std::abs(int(r.left[f])), std::abs(int(r.right[f]))); };
    auto step = [&](std::size_t f) {
        return f == 0 ? level(0)
                      : std::max(std::abs(int(r.left[f]) - r.left[f - 1]), std::abs(int(r.right[f]) - r.right[f - 1]));
    };
    // A sound breaking off from a clear level straight to a run of digital silence is a dropout:
    // the stream ran dry and the server played silence until the next block came. The sounds
    // themselves end quietly (their last samples are below 200 at the program's level), and a
    // waveform passes through 0 for a sample or two only.
    const int dropLevel = 200;
    const std::size_t dropRun = 16;
    std::vector<std::size_t> onsets;
    std::size_t silentRun = quiet;
    bool afterDrop = false;
    dropouts = 0;
    for (std::size_t f = std::size_t(skip * r.rate); f < frames; ++f) {
        const int l = level(f);
        if (l == 0) {
            if (silentRun == 0)
                afterDrop = f > 0 && level(f - 1) >= dropLevel;
            ++silentRun;
            continue;
        }
        bool onset = false;
        if (afterDrop && silentRun >= dropRun) {
            ++dropouts; // the sound goes on where it broke off: no new beat
        } else if (silentRun >= quiet) {
            // Every sound starts with a step of minStep or more; a faint sound after silence is
            // the tail of one resuming where it had become too quiet to tell the break.
            onset = l >= minStep;
            dropouts += onset ? 0 : 1;
        } else if (f > before) {
            const int s = step(f);
            if (s >= minStep) {
                int largest = 0;
                for (std::size_t g = f - before; g < f; ++g)
                    largest = std::max(largest, step(g));
                onset = s > 3 * largest;
            }
        }
        silentRun = 0;
        afterDrop = false;
        if (onset && (onsets.empty() || f - onsets.back() >= refractory))
            onsets.push_back(f);
    }
    return onsets;
}

// The energy a beat adds in its first 20 ms, in dB of full scale (-99 for none).
double AddedEnergy(const Recording &r, std::size_t onset)
{
    const std::size_t span = std::size_t(r.rate * 0.020);
    auto power = [&](std::size_t from, std::size_t to) {
        to = std::min(to, r.frames());
        if (to <= from)
            return 0.0;
        double sum = 0;
        for (std::size_t f = from; f < to; ++f) {
            const double a = r.left[f] / 32768.0, b = r.right[f] / 32768.0;
            sum += (a * a + b * b) / 2;
        }
        return sum / double(to - from);
    };
    const double added = power(onset, onset + span) - (onset >= span ? power(onset - span, onset) : 0.0);
    return added > 1e-10 ? 10 * std::log10(added) : -99.0;
}

struct Stats {
    std::vector<double> values;
    double Mean() const
    {
        return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    }
    double Sd() const
    {
        const double m = Mean();
        double v = 0;
        for (double d : values)
            v += (d - m) * (d - m);
        return values.empty() ? 0 : std::sqrt(v / values.size());
    }
    double Worst(double around) const
    {
        double w = 0;
        for (double d : values)
            w = std::max(w, std::abs(d - around));
        return w;
    }
};

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(
            stderr,
            "usage: analyze_beats RECORDING [--bpm N[,N...]] [--bpm-range LOW:HIGH] [--skip SECONDS]\n"
            "       [--pause SECONDS] [--accents BEATS:MARKED[,MARKED...]] [--raw-float] [--list] [--strict]\n");
        return 1;
    }
    Recording rec;
    if (!Read(o, rec))
        return 1;
    const double rate = rec.rate;
    int dropouts = 0;
    const std::vector<std::size_t> onsets = FindOnsets(rec, o.skip, dropouts);
    std::printf("beats found            %zu\n", onsets.size());
    std::printf("dropouts               %d (the sound broke off to silence: the stream ran dry)\n", dropouts);
    if (onsets.size() < 3)
        return 2;

    // Intervals within runs; a long gap is a pause between two runs when --pause asks for it.
    std::vector<double> intervals;
    std::vector<bool> isPause;
    int pauses = 0;
    for (std::size_t i = 1; i < onsets.size(); ++i) {
        const double d = double(onsets[i] - onsets[i - 1]);
        const bool pause = o.pause > 0 && d > o.pause * rate;
        isPause.push_back(pause);
        pauses += pause;
        if (!pause)
            intervals.push_back(d);
    }
    if (o.pause > 0)
        std::printf("runs found             %d\n", pauses + 1);
    if (intervals.empty())
        return 2;

    Stats all{intervals};
    const double mean = all.Mean();
    std::printf("mean interval          %.3f samples = %.4f ms = %.3f bpm\n", mean, mean / rate * 1000,
                60 * rate / mean);
    std::printf("spread (std dev)       %.3f samples = %.4f ms\n", all.Sd(), all.Sd() / rate * 1000);
    std::printf("worst deviation        %.1f samples = %.3f ms\n", all.Worst(mean), all.Worst(mean) / rate * 1000);

    // Each interval against the tempos allowed where it falls.
    auto ideal = [&](double bpm) { return 60.0 * rate / bpm; };
    int lost = 0, doubled = 0, irregular = 0, changes = 0;
    int offIdeal = 0;    // intervals on a tempo (or fitting none) more than 1 sample from its ideal
    double worstOff = 0; // the largest of those deviations, in samples
    const double tolerance = rate * 0.001;
    // With several tempos an interval is on one of them when it is within 2 samples (the beat
    // frames are whole frames); anything else between them belongs to a change.
    const double onTempo = o.bpms.size() > 1 ? 2.0 : tolerance;
    std::vector<Stats> perTempo(o.bpms.size());
    Stats inRange;
    std::size_t current = 0; // the tempo in play, of o.bpms
    std::vector<double> listInterval(onsets.size(), 0);
    std::vector<const char *> listNote(onsets.size(), "");
    const bool checked = !o.bpms.empty() || o.rangeLow > 0;
    for (std::size_t i = 1, k = 0; checked && i < onsets.size(); ++i) {
        if (isPause[i - 1]) {
            listNote[i] = "after a pause";
            continue;
        }
        const double d = intervals[k++];
        listInterval[i] = d;
        double shortest, longest; // the ideal intervals allowed here
        if (o.rangeLow > 0) {
            shortest = ideal(o.rangeHigh);
            longest = ideal(o.rangeLow);
        } else {
            const double now = ideal(o.bpms[current]);
            const double next = current + 1 < o.bpms.size() ? ideal(o.bpms[current + 1]) : now;
            shortest = std::min(now, next);
            longest = std::max(now, next);
        }
        auto offBy = [&](double want) {
            if (std::abs(d - want) > 1.0) {
                ++offIdeal;
                worstOff = std::max(worstOff, std::abs(d - want));
                if (!*listNote[i])
                    listNote[i] = "off the ideal";
            }
        };
        if (d >= shortest - tolerance && d <= longest + tolerance) {
            if (o.rangeLow > 0) {
                inRange.values.push_back(d);
            } else if (std::abs(d - ideal(o.bpms[current])) <= onTempo) {
                perTempo[current].values.push_back(d);
                offBy(ideal(o.bpms[current]));
            } else if (current + 1 < o.bpms.size() && std::abs(d - ideal(o.bpms[current + 1])) <= onTempo) {
                perTempo[++current].values.push_back(d);
                offBy(ideal(o.bpms[current]));
            } else {
                // Between two tempos: the tempo changed during this interval (or over several,
                // when the steps came one after the other); the next tempo is in play once an
                // interval fits it.
                ++changes;
                listNote[i] = "tempo change";
            }
        } else if (d > 1.5 * longest) {
            const int missing = std::max(1, int(std::lround(d / longest)) - 1);
            lost += missing;
            listNote[i] = "lost beats";
        } else if (d < 0.5 * shortest) {
            ++doubled;
            listNote[i] = "doubled";
        } else {
            ++irregular;
            listNote[i] = "irregular";
            if (!o.bpms.empty())
                offBy(ideal(o.bpms[current]));
        }
    }

    double drift = 0;
    if (o.bpms.size() == 1) {
        const double want = ideal(o.bpms[0]);
        std::printf("ideal interval         %.3f samples (%.4f ms)\n", want, want / rate * 1000);
        std::printf("mean against ideal     %+.4f samples per beat (%+.1f ppm)\n", mean - want,
                    (mean / want - 1) * 1e6);
        // Drift: where the last beat of each run is against where evenly spaced ideal beats put it,
        // the beats lost on the way counted in (each interval against its whole number of ideal
        // intervals), so that it is the time by which the later beats were heard late.
        double span = 0, off = 0;
        for (std::size_t i = 1; i <= onsets.size(); ++i) {
            if (i == onsets.size() || isPause[i - 1]) {
                if (std::abs(off) >= std::abs(drift))
                    drift = off;
                off = 0;
                continue;
            }
            const double d = double(onsets[i] - onsets[i - 1]);
            off += d - want * std::max(1.0, std::round(d / want));
            span += d;
        }
        std::printf("drift over the run     %+.1f samples = %+.3f ms over %.1f s\n", drift, drift / rate * 1000,
                    span / rate);
    } else if (o.bpms.size() > 1) {
        for (std::size_t t = 0; t < o.bpms.size(); ++t) {
            const Stats &s = perTempo[t];
            const double want = ideal(o.bpms[t]);
            std::printf(
                "at %-7g bpm          %zu intervals, mean %.3f samples (ideal %.3f), spread %.3f, worst %.1f samples\n",
                o.bpms[t], s.values.size(), s.Mean(), want, s.Sd(), s.Worst(want));
        }
        std::printf("tempo changes          %d intervals between two tempos\n", changes);
    } else if (o.rangeLow > 0) {
        std::printf("tempos allowed         %g to %g bpm (%.3f to %.3f samples), %zu intervals within\n", o.rangeLow,
                    o.rangeHigh, ideal(o.rangeHigh), ideal(o.rangeLow), inRange.values.size());
    }

    // The energy each beat adds: the accents stand out.
    std::vector<double> energy(onsets.size());
    for (std::size_t i = 0; i < onsets.size(); ++i)
        energy[i] = AddedEnergy(rec, onsets[i]);
    const double quietest = *std::min_element(energy.begin(), energy.end());
    const auto loud = std::count_if(energy.begin(), energy.end(), [&](double e) { return e > quietest + 6; });
    std::printf("louder beats           %td of %zu beats add 6 dB more than the quietest (%.1f dB)\n", loud,
                onsets.size(), quietest);

    bool accentsRight = true;
    if (o.accentCycle > 0) {
        auto marked = [&](int position) {
            return std::find(o.accentMarked.begin(), o.accentMarked.end(), position) != o.accentMarked.end();
        };
        double quietestMarked = 1e9, loudestPlain = -1e9;
        std::printf("energy by beat         ");
        for (int p = 1; p <= o.accentCycle; ++p) {
            Stats s;
            for (std::size_t i = std::size_t(p - 1); i < onsets.size(); i += std::size_t(o.accentCycle)) {
                s.values.push_back(energy[i]);
                if (marked(p))
                    quietestMarked = std::min(quietestMarked, energy[i]);
                else
                    loudestPlain = std::max(loudestPlain, energy[i]);
            }
            std::printf("%s%d%s %.1f dB", p > 1 ? ", " : "", p, marked(p) ? "*" : "", s.Mean());
        }
        std::printf("  (* marked)\n");
        accentsRight = quietestMarked > loudestPlain;
        std::printf("accents                %s: the quietest marked beat is %.1f dB above the loudest unmarked one\n",
                    accentsRight ? "on the marked beats" : "NOT on the marked beats", quietestMarked - loudestPlain);
    }

    if (o.list) {
        for (std::size_t i = 0; i < onsets.size(); ++i)
            std::printf("beat %5zu  frame %10zu  interval %9.0f  adds %6.1f dB  %s\n", i + 1, onsets[i],
                        listInterval[i], energy[i], listNote[i]);
    }

    if (checked) {
        std::printf("irregular intervals    %d (fit no tempo by more than 1 ms)\n", irregular);
        std::printf("lost beats             %d\n", lost);
        std::printf("doubled beats          %d\n", doubled);
    }
    if (!o.bpms.empty())
        std::printf("off the ideal          %d intervals more than 1 sample from the ideal (largest %.1f samples)\n",
                    offIdeal, worstOff);
    if (lost || doubled)
        return 2;
    if (irregular * 10 > int(intervals.size()))
        return 3;
    if (o.strict && !o.bpms.empty() && (offIdeal > 0 || std::abs(drift) > 1.0)) {
        std::printf("STRICT: %s\n", offIdeal ? "intervals more than 1 sample off the ideal" : "drift over 1 sample");
        return 5;
    }
    return accentsRight ? 0 : 4;
}
