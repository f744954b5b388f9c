#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Tempo maps in klick's plain-text format: one section per line,
//   [label:] bars [beats/denominator] tempo [pattern] [volume]   # comment
// where tempo is T, a gradual change T1-T2 or one tempo per beat T1,T2,...; what the format leaves
// open is decided in docs/songs.md. Pure: no files but LoadTempoMap's one read.
//
// Threads (see sound/threads.h): any thread.
namespace song {

enum class Click : std::uint8_t { Accent, Normal, Silent }; // X, x, .

struct Section {
    std::string label; // empty: none
    int line = 0;      // in the file, from 1
    int bars = 1;
    int beats = 4;      // clicks a bar, 1..8
    int denom = 4;      // the note that clicks: 1, 2, 4, 8, 16 or 32
    double tempo = 120; // quarter notes a minute at the first click
    double tempo2 = 0;  // a gradual change towards this tempo, reached at the next section's first click; 0: none
    std::vector<double> tempi;  // one tempo per click (bars * beats of them); empty: none
    std::vector<Click> pattern; // `beats` of them
    double volume = 1.0;        // a linear factor, 0..2
    // The number of clicks of the section.
    std::int64_t Clicks() const { return std::int64_t(bars) * beats; }
};

struct TempoMap {
    std::vector<Section> sections;
};

// Bounds: a map larger than this is refused unread; a section of more bars likewise.
inline constexpr std::size_t kMaxMapBytes = 1 << 20;
inline constexpr int kMaxBars = 100000;
// A click rate the pendulum swings (clicks a minute).
inline constexpr double kMinClickRate = 1;
inline constexpr double kMaxClickRate = 271;
inline constexpr double kMaxVolume = 2.0;

struct ParseResult {
    std::optional<TempoMap> map; // set when the whole text is valid
    std::string error;           // otherwise one line: "<file>, Zeile <n>: <what is wrong>"
};

// Reads `text`; `fileName` names it in the message.
ParseResult ParseTempoMap(std::string_view text, std::string_view fileName);
// Reads the file at `path` (at most kMaxMapBytes) and parses it.
ParseResult LoadTempoMap(const std::string &path);

} // namespace song
