// The tempo map format as docs/songs.md documents it: each row one line of a map, with the section
// it must give or the reason it must be refused.
#include <gtest/gtest.h>

#include "song/tempo_map.h"

namespace {

struct Row {
    const char *line;
    // A valid line: label, bars, beats/denom, tempo, tempo2 (0: none), per-beat tempos, pattern, volume.
    const char *label = "";
    int bars = 0, beats = 4, denom = 4;
    double tempo = 0, tempo2 = 0;
    int tempi = 0;
    const char *pattern = "";
    double volume = 1.0;
    // An invalid one: a part of its message (after "song.txt, Zeile 3: ").
    const char *error = nullptr;
};

std::string PatternText(const std::vector<song::Click> &p)
{
    std::string s;
    for (song::Click c : p)
        s += c == song::Click::Accent ? 'X' : c == song::Click::Normal ? 'x' : '.';
    return s;
}

const Row kRows[] = {
    // Every field and its default.
    {.line = "8 120", .bars = 8, .tempo = 120, .pattern = "Xxxx"},
    {.line = "intro: 8 120", .label = "intro", .bars = 8, .tempo = 120, .pattern = "Xxxx"},
    {.line = "  Vers_2-b:4 3/4 92.5", .label = "Vers_2-b", .bars = 4, .beats = 3, .tempo = 92.5, .pattern = "Xxx"},
    {.line = "2 6/8 120 X..x..", .bars = 2, .beats = 6, .denom = 8, .tempo = 120, .pattern = "X..x.."},
    {.line = "12 120 X.x. 0.5", .bars = 12, .tempo = 120, .pattern = "X.x.", .volume = 0.5},
    {.line = "8 120 1", .bars = 8, .tempo = 120, .pattern = "Xxxx", .volume = 1.0}, // a volume: patterns have no digits
    {.line = "8 120 .5", .bars = 8, .tempo = 120, .pattern = "Xxxx", .volume = 0.5},
    {.line = "1 1/4 60 .", .bars = 1, .beats = 1, .tempo = 60, .pattern = "."},
    {.line = "4 120-140 X.x.", .bars = 4, .tempo = 120, .tempo2 = 140, .pattern = "X.x."},
    {.line = "1 3/4 100,110,120\t\t# one tempo a beat",
     .bars = 1,
     .beats = 3,
     .tempo = 100,
     .tempi = 3,
     .pattern = "Xxx"},
    {.line = "8 3/4 140 2", .bars = 8, .beats = 3, .tempo = 140, .pattern = "Xxx", .volume = 2.0},
    {.line = "2 8/2 30 xxxxxxxx 0", .bars = 2, .beats = 8, .denom = 2, .tempo = 30, .pattern = "xxxxxxxx", .volume = 0},
    {.line = "8 120\r", .bars = 8, .tempo = 120, .pattern = "Xxxx"}, // CRLF
    {.line = "8 4/4 271", .bars = 8, .tempo = 271, .pattern = "Xxxx"},
    {.line = "1 4/16 67.75", .bars = 1, .denom = 16, .tempo = 67.75, .pattern = "Xxxx"}, // 271 clicks a minute
    // Refused, each with its reason.
    {.line = "0 120", .error = "Taktzahl 0"},
    {.line = "intro:", .error = "Takte fehlen"},
    {.line = ": 8 120", .error = "Marke vor „:“ fehlt"},
    {.line = "in tro: 8 120", .error = "Marke „in tro“"},
    {.line = "8", .error = "Tempo fehlt"},
    {.line = "8 9/8 120", .error = "1 bis 8 Schläge"},
    {.line = "8 0/4 120", .error = "1 bis 8 Schläge"},
    {.line = "8 3/5 120", .error = "Nenner 1, 2, 4, 8, 16 oder 32"},
    {.line = "8 4/4 272", .error = "272 Schläge in der Minute"},
    {.line = "8 6/8 140", .error = "280 Schläge in der Minute"}, // 140 quarters = 280 eighths
    {.line = "8 0.5", .error = "0.5 Schläge in der Minute"},
    {.line = "8 0", .error = "Tempo 0"},
    {.line = "8 120-300", .error = "300 Schläge"},
    {.line = "8 -120", .error = "„“ ist keine Zahl"},
    {.line = "1 100,110,120", .error = "3 Tempi für 4 Schläge"},
    {.line = "1 2/4 100,,120", .error = "„“ ist keine Zahl"},
    {.line = "8 120 Xxx", .error = "3 Zeichen für 4 Schläge"},
    {.line = "8 120 Xxyx", .error = "Muster „Xxyx“"},
    {.line = "8 120 Xxxx 2.5", .error = "größer als 2"},
    {.line = "8 120 Xxxx 1 1", .error = "unerwartet: „1“"},
    {.line = "8 12o", .error = "„12o“ ist keine Zahl"},
    {.line = "99999999999 120", .error = "Taktzahl"},
    {.line = "100001 120", .error = "größer als 100000"},
    {.line = "8 120\x01", .error = "Steuerzeichen"},
};

TEST(TempoMap, EachLineAsDocumented)
{
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.line);
        // The row is the map's third line, after a comment and an empty line.
        const std::string text = "# song\n\n" + std::string(row.line) + "\n";
        const song::ParseResult r = song::ParseTempoMap(text, "song.txt");
        if (row.error) {
            EXPECT_FALSE(r.map);
            EXPECT_EQ(r.error.rfind("song.txt, Zeile 3: ", 0), 0u) << r.error;
            EXPECT_NE(r.error.find(row.error), std::string::npos) << r.error;
            continue;
        }
        ASSERT_TRUE(r.map) << r.error;
        ASSERT_EQ(r.map->sections.size(), 1u);
        const song::Section &s = r.map->sections[0];
        EXPECT_EQ(s.line, 3);
        EXPECT_EQ(s.label, row.label);
        EXPECT_EQ(s.bars, row.bars);
        EXPECT_EQ(s.beats, row.beats);
        EXPECT_EQ(s.denom, row.denom);
        EXPECT_DOUBLE_EQ(s.tempo, row.tempo);
        EXPECT_DOUBLE_EQ(s.tempo2, row.tempo2);
        EXPECT_EQ(int(s.tempi.size()), row.tempi);
        EXPECT_EQ(PatternText(s.pattern), row.pattern);
        EXPECT_DOUBLE_EQ(s.volume, row.volume);
    }
}

TEST(TempoMap, WholeFiles)
{
    // Sections in order, comments and blank lines skipped, the per-beat list kept in order.
    const auto ok = song::ParseTempoMap("a: 1 120\r\n  # x\r\n\t\r\nb: 2 2/4 60,70,80,90 # y\n", "m");
    ASSERT_TRUE(ok.map) << ok.error;
    ASSERT_EQ(ok.map->sections.size(), 2u);
    EXPECT_EQ(ok.map->sections[1].label, "b");
    EXPECT_EQ(ok.map->sections[1].line, 4);
    EXPECT_EQ(ok.map->sections[1].tempi, (std::vector<double>{60, 70, 80, 90}));
    // Nothing of a refused file is kept; an empty one, a binary one, an oversized one are refused.
    EXPECT_FALSE(song::ParseTempoMap("1 120\n2 x\n", "m").map);
    EXPECT_EQ(song::ParseTempoMap("# nothing\n", "m").error, "m: enthält keinen Abschnitt");
    EXPECT_NE(song::ParseTempoMap(std::string("1 120\n\0\0\x7f"
                                              "ELF",
                                              11),
                                  "m")
                  .error.find("Zeile 2: Steuerzeichen"),
              std::string::npos);
    EXPECT_EQ(song::ParseTempoMap(std::string(song::kMaxMapBytes + 1, '#'), "m").error,
              "m: größer als 1 MB, keine Tempokarte");
}

} // namespace
