// soundgen — synthesizes the percussion samples of the metronome's Sounds folder.
//
//   g++ -std=c++17 -O2 -o soundgen tools/soundgen.cpp
//   ./soundgen OUTPUT_DIR
//
// Writes one WAV file per sound (RIFF PCM, 44100 Hz, 16 bit, stereo) into
// OUTPUT_DIR. Every noise source is seeded with a fixed value, so two runs give
// the same files byte for byte.
//
// Every sound starts with its attack on the very first sample and reaches its
// peak within the first milliseconds: the program plays a file exactly on the
// beat, so any silence or slow rise at the start would make every beat late.
//
// Every sound is equally loud: each is scaled so that its first 100 ms have the
// same K-weighted RMS (ITU-R BS.1770's K-weighting, see sound_level.h), and no
// sample may come above -1 dBFS at that level. The bass drum's beater carries
// its accent to small speakers, which lose everything below about 200 Hz:
// within 200 Hz–8 kHz its first 100 ms are at least 6 dB above the click's.
//
// The program checks all this for each file it writes and fails if a sound
// breaks it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sound_level.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// The loudness of every file (K-weighted RMS of the first 100 ms, dBFS) and the
// highest sample it may reach at that loudness.
constexpr double kLoudnessDb = -20.0;
constexpr double kMaxPeakDb = -1.0;

// How far the bass drum (the default accent) must lie above the click (the
// default beat) within 200 Hz–8 kHz.
constexpr double kMinAccentBandDb = 6.0;

// An attack must be there from the first sample (not below -40 dB of the peak,
// and a step of at least -16 dBFS, which the beat analysis of the measurements
// finds to the sample over the tails of earlier beats at the program's -9 dB)
// and the peak must come within this time.
constexpr double kMinFirstSampleDb = -40.0;
constexpr double kMinFirstSampleDbfs = -16.0;
constexpr double kMaxPeakTime = 0.005;

using Buffer = std::vector<double>;

int samplesFor(double seconds)
{
    return static_cast<int>(std::lround(seconds * kRate));
}

double timeOf(int sample)
{
    return static_cast<double>(sample) / kRate;
}

double decay(double t, double tau)
{
    return std::exp(-t / tau);
}

// The moment of contact: one sample, which sets the onset to the sample.
double contact(int sample)
{
    return sample == 0 ? 1.0 : 0.0;
}

// SplitMix64: small, fast, and the same on every platform (unlike the
// distributions of <random>).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform in [-1, 1).
    double noise() { return 2.0 * uniform() - 1.0; }

private:
    std::uint64_t state_;
};

// White noise whose first sample is a full-scale step: the moment of contact.
// Filtered noise otherwise starts near zero while the filter fills up.
class StrikeNoise {
public:
    explicit StrikeNoise(std::uint64_t seed) : rng_(seed) {}
    double operator()()
    {
        if (first_) {
            first_ = false;
            return 1.0;
        }
        return rng_.noise();
    }

private:
    Rng rng_;
    bool first_ = true;
};

// Second-order filter after the well-known "Audio EQ Cookbook" formulas.
class Biquad {
public:
    static Biquad lowpass(double freq, double q)
    {
        const Coeffs c(freq, q);
        return Biquad((1 - c.cosw) / 2, 1 - c.cosw, (1 - c.cosw) / 2, c);
    }
    static Biquad highpass(double freq, double q)
    {
        const Coeffs c(freq, q);
        return Biquad((1 + c.cosw) / 2, -(1 + c.cosw), (1 + c.cosw) / 2, c);
    }
    // Band-pass with 0 dB gain at the centre frequency.
    static Biquad bandpass(double freq, double q)
    {
        const Coeffs c(freq, q);
        return Biquad(c.alpha, 0.0, -c.alpha, c);
    }

    double operator()(double x)
    {
        const double y = b0_ * x + z1_;
        z1_ = b1_ * x - a1_ * y + z2_;
        z2_ = b2_ * x - a2_ * y;
        return y;
    }

private:
    struct Coeffs {
        Coeffs(double freq, double q)
        {
            const double w = kTwoPi * freq / kRate;
            cosw = std::cos(w);
            alpha = std::sin(w) / (2.0 * q);
        }
        double cosw;
        double alpha;
    };

    Biquad(double b0, double b1, double b2, const Coeffs &c)
    {
        const double a0 = 1.0 + c.alpha;
        b0_ = b0 / a0;
        b1_ = b1 / a0;
        b2_ = b2 / a0;
        a1_ = -2.0 * c.cosw / a0;
        a2_ = (1.0 - c.alpha) / a0;
    }

    double b0_, b1_, b2_, a1_, a2_;
    double z1_ = 0.0;
    double z2_ = 0.0;
};

// One vibrating mode of a struck body: a unit impulse makes it ring as a sine
// of amplitude `gain` at `freq`, dying away with time constant `tau` seconds.
class Mode {
public:
    Mode(double freq, double tau, double gain)
    {
        const double w = kTwoPi * freq / kRate;
        const double r = std::exp(-1.0 / (tau * kRate));
        a1_ = 2.0 * r * std::cos(w);
        a2_ = -r * r;
        g_ = gain * std::sin(w);
    }

    double operator()(double x)
    {
        const double y = a1_ * y1_ + a2_ * y2_ + g_ * x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double a1_, a2_, g_;
    double y1_ = 0.0;
    double y2_ = 0.0;
};

double modes(std::vector<Mode> &bank, double x)
{
    double sum = 0.0;
    for (Mode &m : bank)
        sum += m(x);
    return sum;
}

// Square wave oscillator, the raw material of the metallic sounds. The steps
// are smoothed with PolyBLEP so the high partials do not fold back as
// inharmonic aliasing.
class Square {
public:
    Square(double freq, double phase) : step_(freq / kRate), phase_(phase) {}
    double operator()()
    {
        double v = phase_ < 0.5 ? 1.0 : -1.0;
        v += blep(phase_);
        double half = phase_ + 0.5;
        if (half >= 1.0)
            half -= 1.0;
        v -= blep(half);
        phase_ += step_;
        if (phase_ >= 1.0)
            phase_ -= 1.0;
        return v;
    }

private:
    double blep(double p) const
    {
        if (p < step_) {
            const double x = p / step_;
            return x + x - x * x - 1.0;
        }
        if (p > 1.0 - step_) {
            const double x = (p - 1.0) / step_;
            return x * x + x + x + 1.0;
        }
        return 0.0;
    }

    double step_;
    double phase_;
};

// Sine oscillator with a frequency that may change every sample; starts at
// its crest (cosine phase) so a drum hits at full strength from sample one.
class Sweep {
public:
    double operator()(double freq)
    {
        const double v = std::cos(phase_);
        phase_ += kTwoPi * freq / kRate;
        if (phase_ > kTwoPi)
            phase_ -= kTwoPi;
        return v;
    }

private:
    double phase_ = 0.0;
};

// Bank of square waves at inharmonic frequencies (metal plates and bells).
class Metal {
public:
    Metal(const std::vector<double> &freqs, std::uint64_t seed)
    {
        Rng rng(seed);
        for (double f : freqs)
            oscs_.emplace_back(f, rng.uniform());
    }
    double operator()()
    {
        double sum = 0.0;
        for (Square &s : oscs_)
            sum += s();
        return sum / static_cast<double>(oscs_.size());
    }

private:
    std::vector<Square> oscs_;
};

// ---------------------------------------------------------------------------
// The sounds. Each returns the mono signal at any level; finish() does the
// level, the fade-out and the checks.

// The click of a mechanical metronome: a hard, bright knock of a small piece
// of hard wood, over in a few milliseconds, and the crisp metallic tick of the
// escapement above it. The tick lies mostly above 8 kHz, so the click is as
// loud as the other sounds while leaving the middle of the band to the accents.
Buffer klack()
{
    Buffer out(samplesFor(0.060));
    std::vector<Mode> wood = {
        {1240, 0.0060, 0.40}, {2110, 0.0090, 1.00}, {3320, 0.0065, 0.70}, {4580, 0.0045, 0.45}, {6900, 0.0025, 0.30},
    };
    Rng rng(0x4B6C61636BULL);
    Biquad tickLow = Biquad::highpass(9000, 0.7);
    Biquad tickHigh = Biquad::highpass(9000, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        const double rub = 0.08 * rng.noise() * decay(t, 0.0006);
        const double tick = tickHigh(tickLow(rng.noise())) * decay(t, 0.008);
        out[i] = modes(wood, impulse + rub) + 3.0 * tick;
    }
    return out;
}

// Kick drum: a sine swept down from about 150 Hz to 44 Hz, and the felt beater
// on the batter head: the head's upper modes knock at 250-900 Hz for a few tens
// of milliseconds, with a short slap above them. That knock is what small
// speakers play of a bass drum, so it carries most of the first 100 ms.
Buffer bassdrum()
{
    Buffer out(samplesFor(0.50));
    Sweep body;
    StrikeNoise noise(0xBA55ULL);
    std::vector<Mode> head = {
        {262, 0.030, 1.00},
        {395, 0.024, 0.80},
        {570, 0.016, 0.60},
        {810, 0.010, 0.40},
    };
    Biquad slapFilter = Biquad::bandpass(2000, 0.8);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double freq = 44.0 + 106.0 * decay(t, 0.025);
        const double tone = body(freq) * (0.75 * decay(t, 0.20) + 0.25 * decay(t, 0.05));
        const double n = noise();
        const double knock = modes(head, contact(i) + 0.3 * n * decay(t, 0.002));
        const double slap = slapFilter(n) * decay(t, 0.0015);
        // The beater's hit makes the first milliseconds the loudest.
        const double strike = 1.0 + decay(t, 0.004);
        out[i] = std::tanh(1.6 * strike * (0.35 * tone + knock + 0.6 * slap)) / std::tanh(1.6);
    }
    return out;
}

// Tom: like the kick but higher and rounder, with a second, inharmonic skin mode.
Buffer tom()
{
    Buffer out(samplesFor(0.45));
    Sweep low;
    Sweep high;
    StrikeNoise noise(0x70A1ULL);
    Biquad stickFilter = Biquad::bandpass(2500, 0.8);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double f = 105.0 + 55.0 * decay(t, 0.06);
        const double tone = low(f) * decay(t, 0.16) + 0.3 * high(f * 1.59) * decay(t, 0.07);
        const double stick = stickFilter(noise()) * decay(t, 0.004);
        out[i] = std::tanh(1.3 * (tone + 0.5 * stick)) / std::tanh(1.3);
    }
    return out;
}

// Snare drum: two skin modes for the body plus the rattle of the snare wires
// (band-limited noise), which lasts longer than the body.
Buffer snare()
{
    Buffer out(samplesFor(0.30));
    Sweep skin1;
    Sweep skin2;
    StrikeNoise noise(0x5A4EULL);
    Biquad wiresLow = Biquad::highpass(1200, 0.7);
    Biquad wiresTop = Biquad::lowpass(9500, 0.7);
    Biquad sizzle = Biquad::highpass(5500, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double body = skin1(185.0 + 45.0 * decay(t, 0.012)) * decay(t, 0.045) +
                            0.45 * skin2(335.0 + 60.0 * decay(t, 0.010)) * decay(t, 0.028);
        const double n = noise();
        const double wires = wiresTop(wiresLow(n)) * decay(t, 0.085);
        const double top = sizzle(n) * decay(t, 0.040);
        out[i] = 0.8 * body + 0.95 * wires + 0.45 * top;
    }
    return out;
}

// Closed hi-hat: six detuned square waves (the classic metallic cluster) and
// noise, filtered to the top octaves, with a short decay.
Buffer hiHat()
{
    Buffer out(samplesFor(0.16));
    Metal metal({205.3, 304.4, 369.6, 522.7, 540.0, 800.0}, 0x4A77ULL);
    StrikeNoise noise(0x4A78ULL);
    Biquad band = Biquad::bandpass(10000, 0.9);
    Biquad floor = Biquad::highpass(7000, 0.7);
    Biquad air = Biquad::highpass(8000, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double n = noise();
        const double metallic = floor(band(0.65 * metal() * 2.0 + 0.35 * n));
        const double env = 0.8 * decay(t, 0.022) + 0.2 * decay(t, 0.004);
        out[i] = (metallic + 0.35 * air(n)) * env + 0.12 * contact(i);
    }
    return out;
}

// Crash cymbal: bright metallic noise with a sharp attack and a long wash in
// the upper mid range that outlasts the very top.
Buffer crash()
{
    Buffer out(samplesFor(1.50));
    Metal metal({245.0, 368.0, 457.0, 621.0, 788.0, 1043.0, 1261.0, 1577.0}, 0xC4A5ULL);
    StrikeNoise noise(0xC4A6ULL);
    Biquad top = Biquad::highpass(7000, 0.7);
    Biquad mid = Biquad::bandpass(4200, 0.8);
    Biquad low = Biquad::bandpass(1800, 1.2);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double x = 0.55 * noise() + 0.45 * 2.0 * metal();
        const double strike = 1.0 + 2.2 * decay(t, 0.004);
        const double wash = top(x) * decay(t, 0.30) + 0.9 * mid(x) * decay(t, 0.50) + 0.35 * low(x) * decay(t, 0.22);
        out[i] = wash * strike;
    }
    return out;
}

// Hand claps: several hands hitting within a few milliseconds give a quick
// burst of noise bursts, followed by a short room tail.
Buffer handClaps()
{
    Buffer out(samplesFor(0.28));
    StrikeNoise noise(0xC1A9ULL);
    Biquad body = Biquad::bandpass(1150, 1.4);
    Biquad bright = Biquad::bandpass(2600, 1.0);
    Biquad edge = Biquad::highpass(3000, 0.7);
    struct Burst {
        double start;
        double level;
    };
    const Burst bursts[] = {{0.0, 1.0}, {0.0095, 0.55}, {0.0205, 0.50}, {0.0310, 0.55}};
    const double tailStart = bursts[3].start;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        double env = 0.0;
        for (const Burst &b : bursts)
            if (t >= b.start)
                env += b.level * decay(t - b.start, 0.0030);
        if (t >= tailStart)
            env += 0.22 * decay(t - tailStart, 0.060);
        const double x = noise() * env;
        out[i] = 1.6 * body(x) + 0.9 * bright(x) + 0.25 * edge(x);
    }
    return out;
}

// Drumsticks clicked together: very short, bright and dry.
Buffer sticks()
{
    Buffer out(samplesFor(0.080));
    std::vector<Mode> stick = {
        {1850, 0.0050, 0.35}, {2950, 0.0110, 1.00}, {3780, 0.0080, 0.75}, {5230, 0.0055, 0.55}, {7640, 0.0035, 0.35},
    };
    Rng rng(0x571CULL);
    Biquad tickFilter = Biquad::highpass(4000, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        const double tick = tickFilter(rng.noise()) * decay(t, 0.0008);
        out[i] = modes(stick, impulse + 0.05 * rng.noise() * decay(t, 0.0004)) + 0.45 * tick;
    }
    return out;
}

// Rimshot (cross stick): the crack of the stick on the rim over a short
// knock of the drum.
Buffer rimshot()
{
    Buffer out(samplesFor(0.14));
    std::vector<Mode> rim = {
        {455, 0.020, 0.55}, {1210, 0.012, 0.50}, {1680, 0.016, 1.00}, {2870, 0.008, 0.55}, {4310, 0.005, 0.35},
    };
    StrikeNoise noise(0x41A5ULL);
    Biquad crackFilter = Biquad::bandpass(3200, 0.9);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        const double crack = crackFilter(noise()) * decay(t, 0.004);
        out[i] = modes(rim, impulse) + 0.8 * crack;
    }
    return out;
}

// Claves: two rosewood sticks, an almost pure, high and short tone.
Buffer claves()
{
    Buffer out(samplesFor(0.22));
    std::vector<Mode> wood = {
        {2480, 0.045, 1.00},
        {6870, 0.006, 0.18},
        {9350, 0.003, 0.08},
    };
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double impulse = (i == 0) ? 1.0 : 0.0;
        out[i] = modes(wood, impulse) + 0.35 * contact(i);
    }
    return out;
}

// Wood block: a hollow, pitched "tock".
Buffer holzblock()
{
    Buffer out(samplesFor(0.20));
    std::vector<Mode> wood = {
        {960, 0.040, 1.00}, {1520, 0.014, 0.30}, {2390, 0.018, 0.45}, {3850, 0.007, 0.25}, {5600, 0.003, 0.15},
    };
    Rng rng(0x401BULL);
    Biquad tickFilter = Biquad::highpass(2500, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        const double tick = tickFilter(rng.noise()) * decay(t, 0.0008);
        out[i] = modes(wood, impulse) + 0.25 * tick + 0.4 * contact(i);
    }
    return out;
}

// Cowbell: two square waves a little more than a fifth apart, band-passed,
// with the characteristic fast-then-slow decay.
Buffer cowbell()
{
    Buffer out(samplesFor(0.36));
    Square a(562.0, 0.25);
    Square b(845.0, 0.25);
    Biquad band = Biquad::bandpass(2640, 0.9);
    Biquad body = Biquad::bandpass(800, 1.0);
    std::vector<Mode> ring = {{562, 0.12, 0.5}, {845, 0.10, 0.6}, {1700, 0.05, 0.3}};
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double sq = 0.5 * (a() + b());
        const double env = 0.65 * decay(t, 0.010) + 0.35 * decay(t, 0.110);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        out[i] = (1.3 * band(sq) + 0.8 * body(sq)) * env + 0.15 * modes(ring, impulse) + 0.3 * contact(i);
    }
    return out;
}

// Triangle: a thin steel rod ringing with many inharmonic partials; close
// pairs of partials beat slowly, which gives the shimmer.
Buffer triangel()
{
    Buffer out(samplesFor(1.40));
    struct Partial {
        double freq;
        double level;
        double tau;
    };
    const Partial partials[] = {
        {1296, 0.45, 0.90}, {1302, 0.30, 0.85}, {3571, 0.75, 0.80}, {3583, 0.40, 0.70},  {5267, 0.50, 0.62},
        {7008, 0.55, 0.50}, {8431, 0.32, 0.42}, {9874, 0.26, 0.34}, {11428, 0.18, 0.26}, {13017, 0.10, 0.18},
    };
    Rng rng(0x7417ULL);
    std::vector<double> phases;
    for (std::size_t k = 0; k < std::size(partials); ++k)
        phases.push_back(kTwoPi * rng.uniform());
    StrikeNoise noise(0x7418ULL);
    Biquad beater = Biquad::highpass(5000, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        double ring = 0.0;
        for (std::size_t k = 0; k < std::size(partials); ++k) {
            const Partial &p = partials[k];
            ring += p.level * decay(t, p.tau) * std::sin(kTwoPi * p.freq * t + phases[k]);
        }
        // The beater makes the first milliseconds louder and brighter.
        const double strike = 1.0 + 1.4 * decay(t, 0.003);
        out[i] = ring * strike + 0.8 * beater(noise()) * decay(t, 0.0015) + 0.4 * contact(i);
    }
    return out;
}

// Tambourine: one hit on the frame shakes the jingles, which keep colliding
// for a moment. Each collision rings a few small, heavily damped metal discs,
// so many of them together give the bright rattle.
Buffer tamburin()
{
    Buffer out(samplesFor(0.40));
    Rng rng(0x7A4BULL);
    std::vector<Mode> jingles;
    for (int k = 0; k < 14; ++k) {
        const double freq = 4200.0 * std::pow(2.0, 1.6 * rng.uniform());
        jingles.emplace_back(freq, 0.004 + 0.006 * rng.uniform(), 0.5 + 0.5 * rng.uniform());
    }
    StrikeNoise noise(0x7A4CULL);
    Biquad sizzle = Biquad::highpass(6500, 0.7);
    Sweep frame;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        double hits = (i == 0) ? 1.0 : 0.0;
        if (rng.uniform() < 0.25 * decay(t, 0.09))
            hits += 0.35 * rng.noise() * decay(t, 0.10);
        const double shimmer = sizzle(noise()) * (0.5 * decay(t, 0.003) + 0.12 * decay(t, 0.05));
        const double skin = frame(230.0) * decay(t, 0.015);
        out[i] = 0.5 * modes(jingles, hits) + shimmer + 0.12 * skin;
    }
    return out;
}

// An electronic beep, for those who want the sound of a quartz metronome.
Buffer piep()
{
    Buffer out(samplesFor(0.070));
    Sweep tone;
    Sweep overtone;
    const double hold = 0.035;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        // A slight droop during the hold keeps the crest on the first cycle.
        const double env = t < hold ? decay(t, 0.25) : decay(hold, 0.25) * decay(t - hold, 0.008);
        out[i] = (tone(1760.0) + 0.12 * overtone(3520.0)) * env;
    }
    return out;
}

// ---------------------------------------------------------------------------

struct Sound {
    const char *file;
    std::function<Buffer()> make;
    double fadeOut; // seconds of fade at the end
};

// Removes the DC offset (a cosine attack leaves some) without touching the
// first sample.
void removeDc(Buffer &b)
{
    const double r = std::exp(-kTwoPi * 15.0 / kRate);
    double x1 = 0.0;
    double y1 = 0.0;
    for (double &x : b) {
        const double y = x - x1 + r * y1;
        x1 = x;
        y1 = y;
        x = y;
    }
}

void fadeOut(Buffer &b, double seconds)
{
    const int n = std::min(samplesFor(seconds), static_cast<int>(b.size()));
    const int start = static_cast<int>(b.size()) - n;
    for (int i = 0; i < n; ++i)
        b[start + i] *= 0.5 * (1.0 + std::cos(kPi * (i + 1) / n));
}

std::vector<std::int16_t> toPcm(const Buffer &b)
{
    const double gain = 32767.0 * std::pow(10.0, (kLoudnessDb - sound_level::LoudnessDb(b.data(), b.size())) / 20.0);
    std::vector<std::int16_t> pcm;
    pcm.reserve(b.size());
    for (double x : b) {
        const long v = std::lround(x * gain);
        pcm.push_back(static_cast<std::int16_t>(std::clamp(v, -32767L, 32767L)));
    }
    return pcm;
}

void putLe(std::ofstream &f, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool writeWav(const std::filesystem::path &path, const std::vector<std::int16_t> &mono)
{
    std::ofstream f(path, std::ios::binary);
    if (!f)
        return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(mono.size() * kChannels * 2);
    f.write("RIFF", 4);
    putLe(f, 36 + dataBytes, 4);
    f.write("WAVE", 4);
    f.write("fmt ", 4);
    putLe(f, 16, 4); // fmt chunk size
    putLe(f, 1, 2);  // PCM
    putLe(f, kChannels, 2);
    putLe(f, kRate, 4);
    putLe(f, kRate * kChannels * 2, 4); // bytes per second
    putLe(f, kChannels * 2, 2);         // block align
    putLe(f, 16, 2);                    // bits per sample
    f.write("data", 4);
    putLe(f, dataBytes, 4);
    for (std::int16_t s : mono)
        for (int c = 0; c < kChannels; ++c)
            putLe(f, static_cast<std::uint16_t>(s), 2);
    return static_cast<bool>(f);
}

double db(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : -999.0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "soundgen: cannot create %s: %s\n", dir.string().c_str(), ec.message().c_str());
        return 1;
    }

    const std::vector<Sound> sounds = {
        {"Klack.wav", klack, 0.015},        {"Bassdrum.wav", bassdrum, 0.12},
        {"Snare.wav", snare, 0.08},         {"HiHat.wav", hiHat, 0.05},
        {"HandClaps.wav", handClaps, 0.08}, {"Crash.wav", crash, 0.45},
        {"Sticks.wav", sticks, 0.03},       {"Triangel.wav", triangel, 0.40},
        {"Cowbell.wav", cowbell, 0.10},     {"Holzblock.wav", holzblock, 0.06},
        {"Rimshot.wav", rimshot, 0.05},     {"Claves.wav", claves, 0.07},
        {"Tamburin.wav", tamburin, 0.12},   {"Tom.wav", tom, 0.12},
        {"Piep.wav", piep, 0.010},
    };

    int failures = 0;
    double klackBand = 0.0, bassdrumBand = 0.0;
    std::printf("%-14s %7s %10s %9s %9s %11s %8s\n", "file", "ms", "loud [dB]", "band [dB]", "peak [dB]", "first [dB]",
                "peak at");
    for (const Sound &s : sounds) {
        Buffer b = s.make();
        removeDc(b);
        fadeOut(b, s.fadeOut);
        const std::vector<std::int16_t> pcm = toPcm(b);

        int peakAt = 0;
        for (int i = 0; i < static_cast<int>(pcm.size()); ++i)
            if (std::abs(pcm[i]) > std::abs(pcm[peakAt]))
                peakAt = i;
        const double peakDb = db(std::abs(pcm[peakAt]) / 32768.0);
        const double firstDb = db(std::abs(pcm[0]) / static_cast<double>(std::abs(pcm[peakAt])));
        const double peakTime = timeOf(peakAt);
        const double loudness = sound_level::LoudnessDb(pcm.data(), pcm.size(), 1, 32768.0);
        const double band = sound_level::BandDb(pcm.data(), pcm.size(), 1, 32768.0);
        const bool attackOk =
            firstDb >= kMinFirstSampleDb && peakDb + firstDb >= kMinFirstSampleDbfs && peakTime <= kMaxPeakTime;
        const bool peakOk = peakDb <= kMaxPeakDb;
        std::printf("%-14s %7.1f %10.1f %9.1f %9.1f %11.1f %6.2fms%s%s\n", s.file, 1000.0 * timeOf(pcm.size()),
                    loudness, band, peakDb, firstDb, 1000.0 * peakTime, attackOk ? "" : "  LATE ATTACK",
                    peakOk ? "" : "  TOO LOUD A PEAK");
        if (std::string(s.file) == "Klack.wav")
            klackBand = band;
        if (std::string(s.file) == "Bassdrum.wav")
            bassdrumBand = band;

        const std::filesystem::path path = dir / s.file;
        if (!writeWav(path, pcm)) {
            std::fprintf(stderr, "soundgen: cannot write %s\n", path.string().c_str());
            return 1;
        }
        if (!attackOk || !peakOk)
            ++failures;
    }
    std::printf("bass drum above the click in 200 Hz-8 kHz: %+.1f dB\n", bassdrumBand - klackBand);
    if (bassdrumBand - klackBand < kMinAccentBandDb) {
        std::fprintf(stderr, "soundgen: the bass drum's beater is too weak for small speakers\n");
        ++failures;
    }
    if (failures > 0) {
        std::fprintf(stderr, "soundgen: %d fault(s)\n", failures);
        return 1;
    }
    return 0;
}
