#include <gtest/gtest.h>

#include "app/commands.h"

namespace {

// Centred in the upper nine tenths of the screen, but never above or left of its corner.
TEST(CenterForm, CentresInTheUpperNineTenthsAndNeverOffTheCorner)
{
    const QSize window(11940, 8040);
    EXPECT_EQ(app::CenterForm({15360, 11520}, window), QPoint(1710, 1164)); // 1024 x 768
    EXPECT_EQ(app::CenterForm({9600, 7200}, window), QPoint(0, 0));         // 640 x 480
    EXPECT_EQ(app::CenterForm({20000, 5000}, window), QPoint(4030, 0));     // only the top clamped
    EXPECT_EQ(app::CenterForm({10001, 10001}, {11, 11}), QPoint(4995, 4495)) << "9000.9 rounds to 9001";
}

} // namespace
