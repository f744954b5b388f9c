#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "sound/latest_value.h"

namespace {

struct Pair {
    std::uint64_t a = 0, b = 0; // always written equal: a torn read would differ
};

TEST(LatestValue, ReaderSeesWholeValuesInOrderAndTheLastOne)
{
    sound::LatestValue<Pair> v;
    constexpr std::uint64_t kWrites = 200000;
    std::thread writer([&] {
        for (std::uint64_t i = 1; i <= kWrites; ++i)
            v.Write({i, i});
    });
    std::uint64_t last = 0;
    while (last < kWrites) {
        const Pair p = v.Read();
        ASSERT_EQ(p.a, p.b) << "torn value";
        ASSERT_GE(p.a, last) << "went back in time";
        last = p.a;
    }
    writer.join();
    EXPECT_EQ(v.Read().a, kWrites);
}

} // namespace
