// sound_level.h — the two levels the Sounds folder is made and checked with (tools/soundgen.cpp
// and tests/sound/test_sounds_folder.cpp), both over a sound's first 100 ms at 44100 Hz:
//
//   LoudnessDb: K-weighted RMS in dB of full scale. The sound passes the K-weighting of
//     ITU-R BS.1770 (its high-shelf pre-filter, +4 dB above about 2 kHz, then its RLB high-pass
//     at 38 Hz); the mean square of the first 4410 frames, a shorter sound counting as silence
//     after its end, in dB (one channel; 0 dB is a full-scale square wave).
//   BandDb: the same RMS of the sound through the band 200 Hz–8 kHz (4th-order Butterworth high-
//     and low-pass): what the small speakers of a laptop reproduce.
#pragma once

#include <cmath>
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

inline std::vector<Biquad> Band()
{
    const double q1 = 0.5411961, q2 = 1.3065630; // the two sections of a 4th-order Butterworth
    return {Pass(true, 200, q1), Pass(true, 200, q2), Pass(false, 8000, q1), Pass(false, 8000, q2)};
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

} // namespace sound_level
