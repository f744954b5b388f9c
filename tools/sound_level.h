// sound_level.h — the two levels the Sounds folder is made and checked with (tools/soundgen.cpp
// and tests/sound/test_sounds_folder.cpp), both over a sound's first 100 ms at 44100 Hz:
//
//   LoudnessDb: K-weighted RMS in dB of full scale. The sound passes the K-weighting of
//     ITU-R BS.1770 (its high-shelf pre-filter, +4 dB above about 2 kHz, then its RLB high-pass
//     at 38 Hz); the mean square of the first 4410 frames, a shorter sound counting as silence
//     after its end, in dB (one channel; 0 dB is a full-scale square wave).
//   BandDb: the same RMS of the sound through the band 200 Hz–8 kHz (4th-order Butterworth high-
//     and low-pass): what the small speakers of a laptop reproduce.
//   SpeakerDb: the same through 500 Hz–5 kHz, where a laptop's speakers play most of what they
//     play: an accent must stand out there over the beat it sounds on.
//
// Measure() adds what a listener hears of a sound's shape (tools/soundgen.cpp prints it, the
// test of the folder holds every file to it, docs/DEVELOPING.md's table shows it):
//   onset, attack: where the 1 ms RMS envelope (a window trailing each frame) first reaches 10 % of
//     its peak, and how long it takes from there to 90 %;
//   end: the loudest 1 ms of the envelope within the last 5 ms, in dB below its peak;
//   swell: where the 5 ms RMS envelope first reaches half its peak (a spoken word's beat);
//   loudest: the K-weighted RMS of the loudest 100 ms anywhere (a spoken word's loudness);
//   shares: parts of the energy of the first 100 ms (rectangular window, the sound starts at
//     its first frame) in 1–5 kHz, above 8 kHz and above 16 kHz.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace sound_level {

constexpr double kRate = 44100.0;
constexpr std::size_t kWindow = 4410; // 100 ms
constexpr double kPi = 3.14159265358979323846;

struct Biquad {
    double b0, b1, b2, a1, a2; // normalised to a0 = 1
    double z1 = 0, z2 = 0;
    double operator()(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Butterworth sections (bilinear transform, pre-warped at f).
inline Biquad Pass(bool high, double f, double q)
{
    const double w = 2 * kPi * f / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
    const double b1 = high ? -(1 + c) : 1 - c;
    return {std::abs(b1) / 2 / a0, b1 / a0, std::abs(b1) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

// BS.1770's two stages, from their analogue prototypes (at 48 kHz they give the coefficients
// tabled there).
inline std::vector<Biquad> KWeighting()
{
    double k = std::tan(kPi * 1681.974450955533 / kRate), q = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20), vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1 + k / q + k * k;
    const Biquad shelf{(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                       2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
    k = std::tan(kPi * 38.13547087602444 / kRate), q = 0.5003270373238773;
    a0 = 1 + k / q + k * k;
    const Biquad rlb{1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
    return {shelf, rlb};
}

inline std::vector<Biquad> Band(double low = 200, double high = 8000)
{
    const double q1 = 0.5411961, q2 = 1.3065630; // the two sections of a 4th-order Butterworth
    return {Pass(true, low, q1), Pass(true, low, q2), Pass(false, high, q1), Pass(false, high, q2)};
}

// RMS in dB of x[0], x[stride], ... (frames of them, full scale = fullScale) through the filters.
template <class Sample>
double LevelDb(std::vector<Biquad> filters, const Sample *x, std::size_t frames, std::size_t stride, double fullScale)
{
    double sum = 0;
    for (std::size_t i = 0; i < kWindow; ++i) {
        double v = i < frames ? double(x[i * stride]) / fullScale : 0.0;
        for (Biquad &f : filters)
            v = f(v);
        sum += v * v;
    }
    return 10 * std::log10(sum / double(kWindow) + 1e-30);
}

template <class Sample>
double LoudnessDb(const Sample *x, std::size_t frames, std::size_t stride = 1, double fullScale = 1.0)
{
    return LevelDb(KWeighting(), x, frames, stride, fullScale);
}

template <class Sample>
double BandDb(const Sample *x, std::size_t frames, std::size_t stride = 1, double fullScale = 1.0)
{
    return LevelDb(Band(), x, frames, stride, fullScale);
}

template <class Sample>
double SpeakerDb(const Sample *x, std::size_t frames, std::size_t stride = 1, double fullScale = 1.0)
{
    return LevelDb(Band(500, 5000), x, frames, stride, fullScale);
}

// The frames x[0], x[stride], ... as doubles of full scale 1.
template <class Sample>
std::vector<double> Mono(const Sample *x, std::size_t frames, std::size_t stride = 1, double fullScale = 1.0)
{
    std::vector<double> m(frames);
    for (std::size_t i = 0; i < frames; ++i)
        m[i] = double(x[i * stride]) / fullScale;
    return m;
}

// RMS over the `window` frames up to and including each frame.
inline std::vector<double> Envelope(const std::vector<double> &x, std::size_t window)
{
    std::vector<double> env(x.size());
    double sum = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sum += x[i] * x[i] - (i >= window ? x[i - window] * x[i - window] : 0.0);
        env[i] = std::sqrt(std::max(sum, 0.0) / double(window));
    }
    return env;
}

// The first frame whose envelope reaches `part` of its peak.
inline std::size_t Reaches(const std::vector<double> &env, double part)
{
    const double peak = *std::max_element(env.begin(), env.end());
    return std::size_t(std::find_if(env.begin(), env.end(), [&](double v) { return v >= part * peak; }) - env.begin());
}

// Energy shares of the first 100 ms in [from, to) Hz for each pair of `edges`.
inline std::vector<double> Shares(const std::vector<double> &x, const std::vector<std::pair<double, double>> &edges)
{
    constexpr std::size_t n = 8192; // the 4410 frames, zero-padded
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < std::min(x.size(), kWindow); ++i)
        a[i] = x[i];
    for (std::size_t i = 1, j = 0; i < n; ++i) { // iterative radix-2 FFT
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * kPi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    std::vector<double> out(edges.size());
    double total = 1e-30;
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const double f = double(k) * kRate / double(n), e = std::norm(a[k]);
        total += e;
        for (std::size_t b = 0; b < edges.size(); ++b)
            out[b] += f >= edges[b].first && f < edges[b].second ? e : 0.0;
    }
    for (double &o : out)
        o /= total;
    return out;
}

// The K-weighted RMS of the loudest 100 ms anywhere in x, in dB: a spoken word's loudness (for a
// sound that starts at its loudest, LevelDb of its first 100 ms).
inline double LoudestDb(const std::vector<double> &x)
{
    std::vector<Biquad> k = KWeighting();
    std::vector<double> sq(x.size() + kWindow);
    double sum = 0, best = 0;
    for (std::size_t i = 0; i < sq.size(); ++i) {
        double v = i < x.size() ? x[i] : 0.0;
        for (Biquad &f : k)
            v = f(v);
        sq[i] = v * v;
        sum += sq[i] - (i >= kWindow ? sq[i - kWindow] : 0.0);
        best = std::max(best, sum);
    }
    return 10 * std::log10(best / double(kWindow) + 1e-30);
}

struct Measures {
    double lengthMs, loudnessDb, bandDb, peakDb, onsetMs, attackMs, endDb, swellMs, loudestDb;
    double share1to5k, shareAbove8k, shareAbove16k; // 0..1
};

template <class Sample>
Measures Measure(const Sample *x, std::size_t frames, std::size_t stride = 1, double fullScale = 1.0)
{
    const std::vector<double> m = Mono(x, frames, stride, fullScale);
    if (m.empty())
        return {};
    double peak = 0;
    for (double v : m)
        peak = std::max(peak, std::abs(v));
    const std::vector<double> env = Envelope(m, 44);
    const double envPeak = *std::max_element(env.begin(), env.end());
    const double end = *std::max_element(env.end() - std::ptrdiff_t(std::min<std::size_t>(env.size(), 221)), env.end());
    const std::vector<double> s = Shares(m, {{1000, 5000}, {8000, 1e9}, {16000, 1e9}});
    const auto ms = [](double n) { return 1000.0 * n / kRate; };

    return {ms(double(frames)),
            LevelDb(KWeighting(), m.data(), frames, 1, 1.0),
            LevelDb(Band(), m.data(), frames, 1, 1.0),
            20 * std::log10(peak + 1e-30),
            ms(double(Reaches(env, 0.1))),
            ms(double(Reaches(env, 0.9)) - double(Reaches(env, 0.1))),
            20 * std::log10((end + 1e-30) / (envPeak + 1e-30)),
            ms(double(Reaches(Envelope(m, 221), 0.5))),
            LoudestDb(m),
            s[0],
            s[1],
            s[2]};
}

} // namespace sound_level
