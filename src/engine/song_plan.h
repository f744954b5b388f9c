#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "song/tempo_map.h"

// A song as the engine plays it: the tempo map's sections from a chosen one on, after an optional
// count-in, with the time of every click computed from the map alone (see docs/songs.md), so that
// each click falls on the same frame whatever the blocks the stream renders.
//
// Built on the UI thread; immutable afterwards, so the audio thread reads it without locks (the UI
// thread keeps it alive while any published settings name it).
namespace engine {

struct SongSection {
    std::string label;    // the map's label; "Vorzähler" for the count-in
    bool countIn = false; // the bars before the song
    int mapIndex = -1;    // index in the map's sections; -1 for the count-in
    int bars = 1;
    int beats = 4;
    int denom = 4;
    std::int64_t clicks = 0;
    double tempo = 120, tempo2 = 0; // quarter notes a minute: at the first click, at the next section's (0: constant)
    std::vector<double> times;      // per-beat tempos: the time of each click from the section's start, and of its end
    std::array<song::Click, 8> pattern{};
    float volume = 1.0f;
    double start = 0;  // seconds from the song's first click to the section's first click
    double length = 0; // seconds from its first click to the next section's

    // Seconds from the section's first click to click i (0..clicks; clicks: the section's end).
    double ClickTime(std::int64_t i) const;
};

class SongPlan {
public:
    // The map's sections from `startSection` on, after `countInBars` (0..2) bars in that section's
    // meter and starting tempo.
    SongPlan(const song::TempoMap &map, int startSection, int countInBars);

    const std::vector<SongSection> &sections() const { return sections_; }
    // Seconds from the first click to click `click` of section `section`.
    double ClickTime(std::size_t section, std::int64_t click) const
    {
        return sections_[section].start + sections_[section].ClickTime(click);
    }
    // Seconds from the first click to the end (the last bar's full length after its first click).
    double EndTime() const { return sections_.back().start + sections_.back().length; }
    // Seconds from START to the first click: one interval at the first click's rate, as the
    // pendulum's first half swing.
    double Lead() const { return sections_.front().ClickTime(1); }
    // The first click's frame at `rate`, counted from START; a click's frame is the first at or
    // after its time.
    static std::int64_t FrameOf(double seconds, double rate);

private:
    std::vector<SongSection> sections_;
};

// The plain START's count-in: that many bars of the window's own beats before the run.
inline constexpr int kMaxCountInBars = 2;

} // namespace engine
