#include "sound/swell.h"

#include <algorithm>
#include <cmath>

namespace sound {

std::int64_t SwellFrames(const std::vector<float> &data)
{
    const auto frames = static_cast<std::int64_t>(data.size() / 2);
    if (frames == 0)
        return 0;
    constexpr std::int64_t half = kSwellWindowFrames / 2;
    auto energy = [&](std::int64_t i) {
        if (i < 0 || i >= frames)
            return 0.0;
        const double l = data[2 * std::size_t(i)], r = data[2 * std::size_t(i) + 1];
        return (l * l + r * r) / 2;
    };
    // The window's energy for each frame (a running sum); the envelope is its square root.
    std::vector<double> sums(static_cast<std::size_t>(frames));
    double sum = 0;
    for (std::int64_t i = -half; i <= half; ++i)
        sum += energy(i);
    double peak = 0;
    for (std::int64_t i = 0; i < frames; ++i) {
        sums[std::size_t(i)] = std::max(sum, 0.0);
        peak = std::max(peak, sums[std::size_t(i)]);
        sum += energy(i + half + 1) - energy(i - half);
    }
    if (!(peak > 0))
        return 0;
    // Half the peak of the RMS envelope is a quarter of the peak of the window's energy.
    const auto first = std::find_if(sums.begin(), sums.end(), [&](double e) { return e >= peak / 4; });
    return static_cast<std::int64_t>(first - sums.begin());
}

} // namespace sound
