#include <gtest/gtest.h>

#include "tempo/tempo_model.h"

namespace {

struct WordCase {
    int bpm;
    const char *word;
};
void PrintTo(const WordCase &c, std::ostream *os) { *os << c.bpm; }

class TempowortTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(TempowortTest, EveryRangeEndGivesItsWord)
{
    EXPECT_EQ(tempo::Tempowort(GetParam().bpm), GetParam().word) << "tempo " << GetParam().bpm;
}

INSTANTIATE_TEST_SUITE_P(RangeEnds, TempowortTest,
                         ::testing::Values(WordCase{-5, ""}, WordCase{0, ""}, WordCase{1, "Larghissimo"},
                                           WordCase{19, "Larghissimo"}, WordCase{20, "Largamente"},
                                           WordCase{39, "Largamente"}, WordCase{40, "Largo"}, WordCase{59, "Largo"},
                                           WordCase{60, "Larghetto"}, WordCase{65, "Larghetto"},
                                           WordCase{66, "Adagio"}, WordCase{75, "Adagio"}, WordCase{76, "Andante"},
                                           WordCase{107, "Andante"}, WordCase{108, "Moderato"},
                                           WordCase{119, "Moderato"}, WordCase{120, "Allegro"},
                                           WordCase{167, "Allegro"}, WordCase{168, "Presto"},
                                           WordCase{199, "Presto"}, WordCase{200, "Prestissimo"},
                                           WordCase{32767, "Prestissimo"}, WordCase{-32768, ""}));

} // namespace
