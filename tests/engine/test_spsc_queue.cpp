#include <gtest/gtest.h>

#include <thread>

#include "engine/spsc_queue.h"

namespace {

TEST(SpscQueue, KeepsOrderAndRefusesWhenFull)
{
    engine::SpscQueue<int, 4> q;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(q.Push(i));
    EXPECT_FALSE(q.Push(99)) << "full";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(q.Pop(), i);
    EXPECT_FALSE(q.Pop()) << "empty";
    for (int i = 0; i < 10; ++i) { // wrapping round many times
        EXPECT_TRUE(q.Push(i));
        EXPECT_EQ(q.Pop(), i);
    }
}

TEST(SpscQueue, TwoThreadsLoseNothing)
{
    engine::SpscQueue<std::uint64_t, 64> q;
    constexpr std::uint64_t kItems = 200000;
    std::thread producer([&] {
        for (std::uint64_t i = 0; i < kItems;)
            if (q.Push(i))
                ++i;
    });
    std::uint64_t expected = 0;
    while (expected < kItems)
        if (auto v = q.Pop()) {
            ASSERT_EQ(*v, expected);
            ++expected;
        }
    producer.join();
}

struct Pair {
    std::uint64_t a = 0, b = 0; // always written equal: a torn read would differ
};

TEST(LatestValue, ReaderSeesWholeValuesInOrderAndTheLastOne)
{
    engine::LatestValue<Pair> v;
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
