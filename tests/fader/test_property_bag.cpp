#include <gtest/gtest.h>

#include "fader/property_bag.h"

namespace {

TEST(PropertyBag, KeysAreFoundWithoutRegardToCase)
{
    const fader::PropertyBag bag{{"max", 249}, {"Value", 120}, {"STYLE", 1}};
    EXPECT_EQ(bag.Read("Max", 100), 249);
    EXPECT_EQ(bag.Read("value", 0), 120);
    EXPECT_EQ(bag.Read("Style", 0), 1);
    EXPECT_EQ(bag.Read("TickMarks", -1), -1) << "a missing key reads as its default";
}

TEST(PropertyBag, AValueEqualToItsDefaultIsNotStored)
{
    fader::PropertyBag bag;
    bag.Write("Max", 100, 100);
    EXPECT_EQ(bag.Size(), 0u);
    bag.Write("Max", 249, 100);
    bag.Write("max", 7, 100); // the same key in another case replaces the value
    EXPECT_EQ(bag.Size(), 1u);
    EXPECT_EQ(bag.Read("MAX", 100), 7);
    bag.Write("Max", 100, 100); // back to the default: the key goes
    EXPECT_FALSE(bag.Contains("max"));
}

} // namespace
