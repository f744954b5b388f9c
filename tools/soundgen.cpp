// soundgen — synthesizes the percussion samples of the metronome's Sounds folder.
//
//   g++ -std=c++17 -O2 -o soundgen tools/soundgen.cpp
//   ./soundgen OUTPUT_DIR
//   ./soundgen --measure FILE.wav...
//
// Writes one WAV file per sound (RIFF PCM, 44100 Hz, 16 bit, stereo) into
// OUTPUT_DIR. Every noise source is seeded with a fixed value, so two runs give
// the same files byte for byte.
//
// Every sound starts with a step on its very first sample and rises to the peak
// of its 1 ms RMS envelope within 2 ms (the click within 1 ms): the program
// plays a file exactly on the beat, so a slow rise would make every beat late.
// Every sound dies away by itself, at least 40 dB below that peak before its
// end (a short fade only removes what is left); nothing is clipped, saturated
// or compressed.
//
// Every sound is equally loud: each is scaled so that its first 100 ms have the
// same K-weighted RMS (ITU-R BS.1770's K-weighting, see sound_level.h). That
// common level is the one the least dense sound reaches when it peaks at
// -1 dBFS, and it must reach -18 dB: a sound is made denser by its own design
// (a fuller body, a longer ring), never by squashing it. The click, the default
// beat, lies where ears are keenest: at least 60 % of its energy in 1-5 kHz,
// at most 10 % above 8 kHz, 15-40 ms long, and at least -22 dB RMS within
// 200 Hz-8 kHz, the band every speaker plays.
//
// The program checks all this for each file it writes and fails if a sound
// breaks it. With --measure it prints the same table of measures for any
// 16-bit WAV files.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "sound_level.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// The set's common loudness (K-weighted RMS of the first 100 ms, dB of full scale) must reach
// this, with no sample above kMaxPeakDb; the click's RMS within 200 Hz-8 kHz, where every speaker
// plays it, must reach kMinClickBandDb.
constexpr double kMinLoudnessDb = -18.0;
constexpr double kMaxPeakDb = -1.0;
constexpr double kPeakDb = -1.05; // where the least dense sound peaks: kMaxPeakDb less the rounding to 16 bits
constexpr double kMinClickBandDb = -22.0;

// Every sound dies away by itself to this (dB below the peak of its 1 ms RMS envelope) before
// its end.
constexpr double kMaxEndDb = -40.0;

// The first sample is a step of at least this (dBFS): the beat analysis of the measurements finds
// the onset to the sample there. No later step of kOnsetStep that is three times the steps before
// it may follow, or it would find a second beat.
constexpr double kMinFirstSampleDbfs = -16.0;
constexpr int kOnsetStep = 1500;

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
// its crest (cosine phase) so a drum hits at full strength from sample one,
// or at `phase` radians.
class Sweep {
public:
    Sweep() = default;
    explicit Sweep(double phase) : phase_(phase) {}
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

// The click of a wooden metronome: the pallet knocks on the hardwood case and
// bounces once, 5.5 ms later (one click to the ear, but twice the sound), and
// the case rings for a moment in its bending modes, which lie between 1 and
// 5 kHz where ears are keenest. Each knock is a burst of noise half a
// millisecond long, so the modes start with scattered phases (a full knock,
// not the sharp spike of an impulse); five modes of similar weight and short
// decay (4-6 ms) give a "tock" without a pitch to sing, over a breath of
// knock noise in 0.9-5 kHz. It dies away by itself within 40 ms.
Buffer klack()
{
    Buffer out(samplesFor(0.0399));
    std::vector<Mode> wood = {
        {1250, 0.0050, 0.40}, {1930, 0.0060, 1.00}, {2870, 0.0050, 0.70}, {3950, 0.0040, 0.45}, {4700, 0.0025, 0.20},
    };
    const double burst = 0.0005, bounce = 0.0055, bounceLevel = 0.6;
    Rng rng(0x4B6C61636BULL);
    Biquad knockTop = Biquad::lowpass(5200, 0.54);
    Biquad knockTop2 = Biquad::lowpass(5200, 1.31);
    Biquad knockLow = Biquad::highpass(900, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        double push = t < burst ? rng.noise() : 0.0;
        push += t >= bounce && t < bounce + burst ? bounceLevel * rng.noise() : 0.0;
        const double knock = knockLow(knockTop2(knockTop(rng.noise()))) * decay(t, 0.0006);
        out[i] = modes(wood, 0.03 * push) + 0.3 * knock + 0.1 * contact(i);
    }
    return out;
}

// Kick drum: the felt beater's slap on the head comes first, then the body, a
// sine swept down from about 140 Hz to 50 Hz, and the head's upper modes at
// 250 Hz-1.1 kHz. The modes from 570 Hz up ring longest of them: they are what
// a laptop's speaker plays of a bass drum (it plays little below 500 Hz), so
// the kick on top of the click is heard there too, as the knock of a drum. The
// body starts from zero and swells within its first quarter period, under the
// knock, so that the knock's first crest does not land on the body's.
Buffer bassdrum()
{
    Buffer out(samplesFor(0.50));
    Sweep body(-kPi / 2);
    StrikeNoise noise(0xBA55ULL);
    std::vector<Mode> head = {
        {262, 0.026, 0.70}, {395, 0.020, 0.60}, {570, 0.030, 1.00}, {810, 0.020, 0.80}, {1130, 0.010, 0.50},
    };
    Biquad slapFilter = Biquad::bandpass(2200, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double freq = 50.0 + 90.0 * decay(t, 0.022);
        const double tone = body(freq) * (0.7 * decay(t, 0.085) + 0.3 * decay(t, 0.030));
        const double n = noise();
        const double knock = modes(head, contact(i) + 0.3 * n * decay(t, 0.002));
        const double slap = slapFilter(n) * decay(t, 0.0012);
        out[i] = 0.55 * tone + 0.5 * knock + 1.6 * slap + 0.2 * contact(i);
    }
    return out;
}

// Tom: like the kick but higher and rounder, with a second, inharmonic skin
// mode, the stick's tap on top of the first milliseconds, and the head's upper
// modes at 540 Hz-1.1 kHz, what a laptop's speaker plays of it.
Buffer tom()
{
    Buffer out(samplesFor(0.50));
    Sweep low;
    Sweep high;
    StrikeNoise noise(0x70A1ULL);
    Biquad stickFilter = Biquad::bandpass(2500, 0.8);
    std::vector<Mode> head = {{540, 0.030, 1.0}, {780, 0.020, -0.8}, {1060, 0.012, 0.6}};
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double f = 105.0 + 55.0 * decay(t, 0.05);
        const double tone = low(f) * decay(t, 0.095) + 0.35 * high(f * 1.59) * decay(t, 0.05);
        const double stick = stickFilter(noise()) * decay(t, 0.0015);
        out[i] = tone + 3.0 * stick + 1.4 * modes(head, contact(i));
    }
    return out;
}

// Snare drum: the stick's crack (a broadband burst of 2 ms) comes first, then
// two skin modes for the body and the rattle of the snare wires (noise in
// 1.5-9 kHz), which outlasts the body.
Buffer snare()
{
    Buffer out(samplesFor(0.36));
    Sweep skin1;
    Sweep skin2;
    StrikeNoise noise(0x5A4EULL);
    Biquad wiresLow = Biquad::highpass(1500, 0.7);
    Biquad wiresTop = Biquad::lowpass(9000, 0.7);
    Biquad crackFilter = Biquad::bandpass(3500, 0.6);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double body = skin1(190.0 + 40.0 * decay(t, 0.010)) * decay(t, 0.040) +
                            0.5 * skin2(335.0 + 50.0 * decay(t, 0.010)) * decay(t, 0.025);
        const double n = noise();
        const double wires = wiresTop(wiresLow(n)) * (0.6 * decay(t, 0.070) + 0.4 * decay(t, 0.020));
        const double crack = crackFilter(n) * decay(t, 0.0015);
        out[i] = 0.45 * body + wires + crack;
    }
    return out;
}

// Closed hi-hat: six detuned square waves (the classic metallic cluster) and
// noise, filtered to the top octaves, with a short decay. The stick's tip
// knocks on the top cymbal first: a burst of 0.5 ms rings five heavily damped
// modes in 1.3-4.7 kHz for a few milliseconds, the tick that a laptop's speaker
// plays of a hi-hat (it plays little of the sizzle above 8 kHz); without it,
// the plain beat of the Kick and Rhythmus presets would hardly be heard there.
Buffer hiHat()
{
    Buffer out(samplesFor(0.16));
    Metal metal({205.3, 304.4, 369.6, 522.7, 540.0, 800.0}, 0x4A77ULL);
    StrikeNoise noise(0x4A78ULL);
    Biquad band = Biquad::bandpass(10000, 0.9);
    Biquad floor = Biquad::highpass(7000, 0.7);
    Biquad air = Biquad::highpass(8000, 0.7);
    std::vector<Mode> tip = {
        {1350, 0.0030, 0.55}, {2100, 0.0025, 0.70}, {2900, 0.0030, 0.80}, {3800, 0.0020, 0.60}, {4700, 0.0015, 0.40},
    };
    Rng rng(0x4A79ULL);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double n = noise();
        const double metallic = floor(band(0.65 * metal() * 2.0 + 0.35 * n));
        const double env = 0.8 * decay(t, 0.022) + 0.2 * decay(t, 0.004);
        const double burst = t < 0.0005 ? rng.noise() : 0.0;
        out[i] = (metallic + 0.35 * air(n)) * env + 0.16 * modes(tip, burst) + 0.12 * contact(i);
    }
    return out;
}

// Crash cymbal: bright metallic noise with a sharp attack and a long wash in
// the upper mid range that outlasts the very top.
Buffer crash()
{
    Buffer out(samplesFor(1.60));
    Metal metal({245.0, 368.0, 457.0, 621.0, 788.0, 1043.0, 1261.0, 1577.0}, 0xC4A5ULL);
    StrikeNoise noise(0xC4A6ULL);
    Biquad top = Biquad::highpass(7000, 0.7);
    Biquad mid = Biquad::bandpass(4200, 0.8);
    Biquad low = Biquad::bandpass(1800, 1.2);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double x = 0.55 * noise() + 0.45 * 2.0 * metal();
        const double strike = 1.0 + 2.2 * decay(t, 0.004);
        const double wash = top(x) * decay(t, 0.24) + 0.9 * mid(x) * decay(t, 0.32) + 0.35 * low(x) * decay(t, 0.20);
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

// Drumsticks clicked together: a bright, dry "tick" whose main bending mode
// (2.95 kHz) rings for a few tens of milliseconds over four weaker ones; the
// knock is a burst of 0.4 ms, so the modes start with scattered phases.
Buffer sticks()
{
    Buffer out(samplesFor(0.100));
    std::vector<Mode> stick = {
        {1850, 0.0080, 0.25}, {2950, 0.0200, 1.00}, {3780, 0.0120, 0.45}, {5230, 0.0070, 0.30}, {7640, 0.0035, 0.20},
    };
    Rng rng(0x571CULL);
    Biquad tickFilter = Biquad::highpass(4000, 0.7);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double tick = tickFilter(rng.noise()) * decay(t, 0.0008);
        const double burst = t < 0.0004 ? rng.noise() : 0.0;
        out[i] = modes(stick, 0.08 * burst) + 0.05 * tick + 0.1 * contact(i);
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
        out[i] = modes(wood, impulse) + 0.7 * tick + 0.4 * contact(i);
    }
    return out;
}

// Cowbell: two square waves a little more than a fifth apart, band-passed,
// with the characteristic fast-then-slow decay.
Buffer cowbell()
{
    Buffer out(samplesFor(0.45));
    Square a(562.0, 0.25);
    Square b(845.0, 0.25);
    Biquad band = Biquad::bandpass(2640, 0.9);
    Biquad body = Biquad::bandpass(800, 1.0);
    std::vector<Mode> ring = {{562, 0.085, 0.5}, {845, 0.080, 0.6}, {1700, 0.05, 0.3}};
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = timeOf(i);
        const double sq = 0.5 * (a() + b());
        const double env = 0.65 * decay(t, 0.010) + 0.35 * decay(t, 0.085);
        const double impulse = (i == 0) ? 1.0 : 0.0;
        out[i] = (1.3 * band(sq) + 0.8 * body(sq)) * env + 0.15 * modes(ring, impulse) + 0.3 * contact(i);
    }
    return out;
}

// Triangle: a thin steel rod ringing with many inharmonic partials; close
// pairs of partials beat slowly, which gives the shimmer.
Buffer triangel()
{
    Buffer out(samplesFor(1.90));
    struct Partial {
        double freq;
        double level;
        double tau;
    };
    const Partial partials[] = {
        {1296, 0.45, 0.38}, {1302, 0.30, 0.36}, {3571, 0.75, 0.36}, {3583, 0.40, 0.34},  {5267, 0.50, 0.32},
        {7008, 0.55, 0.30}, {8431, 0.32, 0.26}, {9874, 0.26, 0.22}, {11428, 0.18, 0.18}, {13017, 0.10, 0.14},
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
    Buffer out(samplesFor(0.085));
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
    double fadeOut;     // seconds of fade at the end, after the sound has died away by itself
    double maxAttackMs; // 10 % to 90 % of the 1 ms RMS envelope
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

std::vector<std::int16_t> toPcm(const Buffer &b, double gain)
{
    std::vector<std::int16_t> pcm;
    pcm.reserve(b.size());
    for (double x : b) {
        const long v = std::lround(x * gain * 32768.0);
        pcm.push_back(static_cast<std::int16_t>(std::clamp(v, -32767L, 32767L)));
    }
    return pcm;
}

// The first frame after the onset at which the sound jumps as at a new onset (a step of at least
// kOnsetStep, three times the largest of the 2 ms before), or 0: the beat analysis of the
// measurements would take it for a second beat.
std::size_t secondOnset(const std::vector<std::int16_t> &pcm)
{
    for (std::size_t i = samplesFor(0.050); i < pcm.size(); ++i) {
        const int step = std::abs(pcm[i] - pcm[i - 1]);
        int before = 0;
        for (std::size_t k = i - samplesFor(0.002); k < i; ++k)
            before = std::max(before, std::abs(pcm[k] - pcm[k - 1]));
        if (step >= kOnsetStep && step >= 3 * before)
            return i;
    }
    return 0;
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

// One row of the table of measures (sound_level.h), as docs/DEVELOPING.md shows it.
void printHeader()
{
    std::printf("%-22s %6s %6s %6s %6s %7s %6s %6s %7s %5s %5s %5s\n", "file", "ms", "loud", "band", "peak", "attack",
                "end", "swell", "loudest", "1-5k", ">8k", ">16k");
}

void printRow(const std::string &name, const sound_level::Measures &m)
{
    std::printf("%-22s %6.1f %6.1f %6.1f %6.1f %7.2f %6.1f %6.1f %7.1f %4.0f%% %4.0f%% %4.1f%%\n", name.c_str(),
                m.lengthMs, m.loudnessDb, m.bandDb, m.peakDb, m.attackMs, m.endDb, m.swellMs, m.loudestDb,
                100 * m.share1to5k, 100 * m.shareAbove8k, 100 * m.shareAbove16k);
}

// The first channel of a 16-bit PCM WAV file (any rate is taken as 44100 Hz), empty if unreadable.
std::vector<std::int16_t> readWav(const char *path)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<char> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const auto le = [&](std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(d[at + i]);
        return v;
    };
    int channels = 0, bits = 0;
    for (std::size_t at = 12; d.size() >= 12 && at + 8 <= d.size(); at += 8 + ((le(at + 4, 4) + 1) & ~1u)) {
        const std::string id(&d[at], 4);
        const std::size_t size = std::min<std::size_t>(le(at + 4, 4), d.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            channels = static_cast<int>(le(at + 10, 2));
            bits = static_cast<int>(le(at + 22, 2));
        } else if (id == "data" && channels > 0 && bits == 16) {
            std::vector<std::int16_t> out;
            for (std::size_t k = 0; k + 2 * channels <= size; k += 2 * channels)
                out.push_back(static_cast<std::int16_t>(le(at + 8 + k, 2)));
            return out;
        }
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::string(argv[1]) == "--measure") {
        printHeader();
        for (int i = 2; i < argc; ++i) {
            const std::vector<std::int16_t> pcm = readWav(argv[i]);
            if (pcm.empty()) {
                std::fprintf(stderr, "soundgen: cannot read %s as 16-bit PCM\n", argv[i]);
                return 1;
            }
            printRow(std::filesystem::path(argv[i]).filename().string(),
                     sound_level::Measure(pcm.data(), pcm.size(), 1, 32768.0));
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n       %s --measure FILE.wav...\n", argv[0], argv[0]);
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
        {"Klack.wav", klack, 0.003, 1.0},         {"Bassdrum.wav", bassdrum, 0.005, 2.0},
        {"Snare.wav", snare, 0.005, 2.0},         {"HiHat.wav", hiHat, 0.005, 2.0},
        {"HandClaps.wav", handClaps, 0.005, 2.0}, {"Crash.wav", crash, 0.005, 2.0},
        {"Sticks.wav", sticks, 0.005, 2.0},       {"Triangel.wav", triangel, 0.005, 2.0},
        {"Cowbell.wav", cowbell, 0.005, 2.0},     {"Holzblock.wav", holzblock, 0.005, 2.0},
        {"Rimshot.wav", rimshot, 0.005, 2.0},     {"Claves.wav", claves, 0.005, 2.0},
        {"Tamburin.wav", tamburin, 0.005, 2.0},   {"Tom.wav", tom, 0.005, 2.0},
        {"Piep.wav", piep, 0.005, 2.0},
    };

    // Each sound as designed, its natural end measured before the fade; the common level is the
    // one the least dense sound reaches at the highest peak allowed.
    std::vector<Buffer> made;
    std::vector<double> naturalEnd;
    double common = 0.0;
    for (const Sound &s : sounds) {
        Buffer b = s.make();
        removeDc(b);
        naturalEnd.push_back(sound_level::Measure(b.data(), b.size()).endDb);
        fadeOut(b, s.fadeOut);
        const sound_level::Measures m = sound_level::Measure(b.data(), b.size());
        common = std::min(common, m.loudnessDb - m.peakDb + kPeakDb);
        made.push_back(std::move(b));
    }

    int failures = 0;
    const auto fail = [&](const char *file, const char *what) {
        std::fprintf(stderr, "soundgen: %s: %s\n", file, what);
        ++failures;
    };
    std::printf("common level %.1f dB (K-weighted, first 100 ms)\n", common);
    if (common < kMinLoudnessDb)
        fail("the set", "too quiet: make the least dense sound denser");
    printHeader();
    for (std::size_t k = 0; k < sounds.size(); ++k) {
        const Sound &s = sounds[k];
        const Buffer &b = made[k];
        const std::vector<std::int16_t> pcm =
            toPcm(b, std::pow(10.0, (common - sound_level::LoudnessDb(b.data(), b.size())) / 20.0));
        const sound_level::Measures m = sound_level::Measure(pcm.data(), pcm.size(), 1, 32768.0);
        printRow(s.file, m);
        if (m.attackMs > s.maxAttackMs)
            fail(s.file, "slow attack");
        if (naturalEnd[k] > kMaxEndDb)
            fail(s.file, "does not die away by itself");
        if (m.peakDb > kMaxPeakDb)
            fail(s.file, "peak too high");
        if (20 * std::log10(std::abs(pcm[0]) / 32768.0) < kMinFirstSampleDbfs)
            fail(s.file, "no step at the first sample");
        if (secondOnset(pcm) != 0)
            fail(s.file, "jumps later on like at an onset");
        if (std::string(s.file) == "Klack.wav" &&
            (m.share1to5k < 0.60 || m.shareAbove8k > 0.10 || m.shareAbove16k > 0.02 || m.lengthMs < 15 ||
             m.lengthMs > 40 || m.bandDb < kMinClickBandDb))
            fail(s.file, "not a click in 1-5 kHz, 15-40 ms long, loud enough in 200 Hz-8 kHz");

        const std::filesystem::path path = dir / s.file;
        if (!writeWav(path, pcm)) {
            std::fprintf(stderr, "soundgen: cannot write %s\n", path.string().c_str());
            return 1;
        }
    }
    if (failures > 0) {
        std::fprintf(stderr, "soundgen: %d fault(s)\n", failures);
        return 1;
    }
    return 0;
}
