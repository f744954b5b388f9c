#include <gtest/gtest.h>

#include "engine/beat_pattern.h"

namespace {

TEST(BeatPattern, InitialPatternMarksBeatsOneFiveAndThreeSeven)
{
    const auto p = engine::BeatPattern::Initial();
    for (int i = 0; i < engine::kPatternSize; ++i) {
        EXPECT_EQ(p.Accent1[i], i == 0 || i == 4) << "upper lamp " << i;
        EXPECT_EQ(p.Accent2[i], i == 2 || i == 6) << "lower lamp " << i;
    }
}

TEST(BeatPattern, ToggleTwiceRestoresAndRowsAreIndependent)
{
    auto p = engine::BeatPattern::Initial();
    EXPECT_TRUE(p.Toggle(2, 3));
    EXPECT_FALSE(p.Accent1[3]);
    EXPECT_FALSE(p.Toggle(2, 3));
    EXPECT_EQ(p.Accent2, engine::BeatPattern::Initial().Accent2);
    EXPECT_FALSE(p.Toggle(1, 0)) << "a lit lamp goes out";
    EXPECT_FALSE(p.Toggle(3, 0)) << "no third row";
    EXPECT_FALSE(p.Toggle(1, engine::kPatternSize)) << "past the end";
    p.Clear();
    EXPECT_EQ(p.Accent1, (std::array<bool, engine::kPatternSize>{}));
}

} // namespace
