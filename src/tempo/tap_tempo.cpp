#include "tempo/tap_tempo.h"

#include <cmath>
#include <numeric>

#include "tempo/tempo_model.h"

namespace tempo {

TapDisplay TapTempo::Reset()
{
    lastTime_ = 0;
    series_.clear();
    started_ = false;
    display_.labelsShown = false;
    display_.hasTempo = false; // the next tap only starts a series: all three labels, no tempo
    return display_;
}

TapDisplay TapTempo::Tap()
{
    display_.labelsShown = true;
    const std::int64_t now = clock_.Now();
    if (!started_) {
        lastTime_ = now;
        started_ = true;
        return display_;
    }

    const std::int64_t interval = now - lastTime_;
    if (interval > 0) {
        const double tapped = Round2(60000.0 / static_cast<double>(interval));
        if (tapped < 1000) // a tap 60 ms or less after the last one is not recorded
            series_.push_back(tapped);
    }
    lastTime_ = now;
    if (series_.empty()) // nothing recorded yet: the display stays as it was
        return display_;

    const double latest = series_.back();
    if (series_.size() == 1) {
        display_.faster = true;
        display_.slower = false;
    } else {
        const double before = series_[series_.size() - 2];
        display_.faster = latest >= before;
        display_.slower = latest <= before;
    }
    display_.latest = std::to_string(static_cast<long long>(std::nearbyint(latest)));
    // The true mean of every recorded tempo since the last reset.
    const double mean = std::accumulate(series_.begin(), series_.end(), 0.0) / static_cast<double>(series_.size());
    display_.tempo = static_cast<int>(std::nearbyint(mean));
    display_.hasTempo = true;
    return display_;
}

} // namespace tempo
