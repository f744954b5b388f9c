#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Tap tempo: each tap after the first measures the time since the previous one and records its
// tempo; the series' average is the tempo shown. UI thread only.
namespace tempo {

// A steady millisecond clock; tests feed exact times through their own.
class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    virtual std::int64_t Now() const = 0;
};

class SteadyClock final : public MillisecondClock {
public:
    std::int64_t Now() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// What the window shows after a tap.
struct TapDisplay {
    bool labelsShown = false; // Label1..Label3 visible at all (a reset hides them)
    bool slower = false;      // Label2 "<": the latest tap was slower than the one before
    bool faster = false;      // Label3 ">": the latest tap was faster
    std::string latest;       // Label1: the latest recorded tempo, whole
    bool hasTempo = false;    // the series holds a tempo: `tempo` is to be shown and used
    int tempo = 0;            // the series' average, whole
};

class TapTempo {
public:
    explicit TapTempo(const MillisecondClock &clock) : clock_(clock) {}

    // A press with any button mask but the right button alone.
    TapDisplay Tap();
    // The right button alone: a new series begins; the labels are hidden.
    TapDisplay Reset();

    bool TapStarted() const { return started_; }
    const TapDisplay &Display() const { return display_; }

private:
    const MillisecondClock &clock_;
    bool started_ = false;
    std::int64_t lastTime_ = 0;
    std::vector<double> series_;
    TapDisplay display_;
};

} // namespace tempo
