#include <gtest/gtest.h>

#include "engine/beat_rules.h"

namespace {

using engine::Layer;

struct ChoiceCase {
    const char *name;
    bool counting, accentOn;
    bool mark1, mark2;
    bool darkRed;
    std::vector<std::pair<int, Layer>> plays;
    bool clickNamed = true, accent1Named = true, accent2Named = true;
};

// A mark in one row, an unmarked beat, a spoken plain or marked number: MetronomeTest hears them;
// marks silent with the switch off: PracticeTest.
TEST(ChooseBeat, SoundsAndColourOfABeat)
{
    constexpr Layer C = Layer::Click, A1 = Layer::Accent1, A2 = Layer::Accent2, NA = Layer::CountAccented;
    for (const ChoiceCase &c :
         {ChoiceCase{"click, switch on, both marks", false, true, true, true, true, {{0, C}, {1, A1}, {2, A2}}},
          ChoiceCase{
              "click, no accent-1 sound named: still red", false, true, true, false, true, {{0, C}}, true, false},
          ChoiceCase{"click, no normal sound named", false, true, false, true, false, {{2, A2}}, false},
          ChoiceCase{"counting, upper mark, switch off", true, false, true, false, true, {{2, NA}}}}) {
        SCOPED_TRACE(c.name);
        engine::BeatPattern pattern;
        pattern.Accent1[2] = c.mark1;
        pattern.Accent2[2] = c.mark2;
        engine::BeatRules rules{c.counting, c.accentOn, c.clickNamed, c.accent1Named, c.accent2Named};
        const auto choice = engine::ChooseBeat(rules, pattern, 3);
        EXPECT_EQ(choice.darkRed, c.darkRed);
        ASSERT_EQ(choice.count, int(c.plays.size()));
        for (int i = 0; i < choice.count; ++i)
            EXPECT_EQ(std::pair(choice.plays[i].slot, choice.plays[i].layer), c.plays[i]) << "sound " << i;
    }
}

} // namespace
