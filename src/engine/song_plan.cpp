#include "engine/song_plan.h"

#include <algorithm>
#include <cmath>

namespace engine {

double SongSection::ClickTime(std::int64_t i) const
{
    const double perQuarter = 240.0 / denom; // seconds a click lasts at one quarter note a minute
    if (!times.empty())
        return times[std::size_t(std::clamp<std::int64_t>(i, 0, clicks))];
    if (tempo2 > 0 && tempo2 != tempo) {
        // The tempo changes linearly from click to click: T(x) = tempo + d x over the section's
        // clicks x, reaching tempo2 at the next section's first click; the time to click i is the
        // integral of 1 / T(x), so every interval is as long as the changing tempo makes it.
        const double d = (tempo2 - tempo) / double(clicks);
        return perQuarter * std::log((tempo + d * double(i)) / tempo) / d;
    }
    return perQuarter * double(i) / tempo;
}

SongPlan::SongPlan(const song::TempoMap &map, int startSection, int countInBars)
{
    startSection = std::clamp(startSection, 0, int(map.sections.size()) - 1);
    countInBars = std::clamp(countInBars, 0, kMaxCountInBars);
    const song::Section &first = map.sections[std::size_t(startSection)];
    if (countInBars > 0) {
        SongSection c;
        c.label = "Vorzähler";
        c.countIn = true;
        c.bars = countInBars;
        c.beats = first.beats;
        c.denom = first.denom;
        c.clicks = std::int64_t(c.bars) * c.beats;
        c.tempo = first.tempi.empty() ? first.tempo : first.tempi.front();
        c.pattern.fill(song::Click::Normal);
        c.pattern[0] = song::Click::Accent;
        sections_.push_back(std::move(c));
    }
    for (std::size_t i = std::size_t(startSection); i < map.sections.size(); ++i) {
        const song::Section &m = map.sections[i];
        SongSection s;
        s.label = m.label;
        s.mapIndex = int(i);
        s.bars = m.bars;
        s.beats = m.beats;
        s.denom = m.denom;
        s.clicks = m.Clicks();
        s.tempo = m.tempo;
        s.tempo2 = m.tempo2;
        if (!m.tempi.empty()) {
            // Each tempo governs the interval from its click to the next.
            s.times.reserve(m.tempi.size() + 1);
            double t = 0;
            s.times.push_back(t);
            for (double tempo : m.tempi)
                s.times.push_back(t += 240.0 / (tempo * m.denom));
        }
        for (std::size_t k = 0; k < s.pattern.size(); ++k)
            s.pattern[k] = k < m.pattern.size() ? m.pattern[k] : song::Click::Silent;
        s.volume = float(m.volume);
        sections_.push_back(std::move(s));
    }
    double start = 0;
    for (SongSection &s : sections_) {
        s.start = start;
        s.length = s.ClickTime(s.clicks);
        start += s.length;
    }
}

std::int64_t SongPlan::FrameOf(double seconds, double rate)
{
    // The same rule as the beat clock's: the first frame at or after the ideal time, with a
    // tolerance far below a frame for rounding.
    return std::int64_t(std::ceil(seconds * rate - 1e-4));
}

} // namespace engine
