#include <gtest/gtest.h>

#include "tempo/tempo_model.h"

namespace {

// The words in their order, each from the first tempo of its range; nothing for no tempo.
TEST(Tempowort, EachRangeBeginsAtItsTempo)
{
    const char *words[] = {"Larghissimo", "Largamente", "Largo", "Larghetto", "Adagio",
                           "Andante",     "Moderato",   "Allegro", "Presto",  "Prestissimo"};
    const int starts[] = {1, 20, 40, 60, 66, 76, 108, 120, 168, 200};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(tempo::Tempowort(starts[i]), words[i]) << starts[i];
        EXPECT_NE(tempo::Tempowort(starts[i] - 1), words[i]) << starts[i] - 1;
    }
    for (int bpm : {0, -5, -32768})
        EXPECT_EQ(tempo::Tempowort(bpm), "") << bpm;
    EXPECT_EQ(tempo::Tempowort(32767), "Prestissimo");
}

} // namespace
