#include "jumper/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <latch>
#include <limits>
#include <map>
#include <unordered_map>
#include <thread>
#include <vector>

#include "fakes.h"

namespace {

using fakes::Lcg;
using jumper::RandSeed;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(Random, ThreeDrawsFromZero) {
    RandSeed = 0;
    EXPECT_EQ(jumper::Random(5000), 0);
    EXPECT_EQ(RandSeed.load(), 1u);
    EXPECT_EQ(jumper::Random(5000), 156);
    EXPECT_EQ(RandSeed.load(), 134775814u);
    EXPECT_EQ(jumper::Random(5000), 4305);
    EXPECT_EQ(RandSeed.load(), 3698175007u);
}

TEST(Random, RangesZeroAndOneGiveZeroAndStillAdvance) {
    for (const std::uint32_t seed : {0u, 1u, 0x7FFFFFFFu, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        for (const std::int32_t range : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " range " << range);
            RandSeed = seed;
            Lcg model{seed};
            model.Step();
            EXPECT_EQ(jumper::Random(range), 0);
            EXPECT_EQ(RandSeed.load(), model.state);
        }
    }
}

TEST(Random, NegativeRangeIsTakenAsUnsigned) {
    for (const std::int32_t range : {-1, -2, kMin}) {
        for (const std::uint32_t seed : {0u, 12345u, 0xFFFFFFF0u}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " range " << range);
            RandSeed = seed;
            // 2^32 + range: the unsigned reading of a negative range.
            const auto as_unsigned = static_cast<std::uint64_t>((std::int64_t{1} << 32) + range);
            const std::uint64_t next = Lcg{seed}.Step();
            const std::uint64_t expected = (next * as_unsigned) >> 32;
            EXPECT_EQ(static_cast<std::uint32_t>(jumper::Random(range)), expected);
        }
    }
    // From state 0 the next state is 1: Random(-1) is then 1 * 4294967295 >> 32 = 0, and the
    // one after it (state 134775814) gives 134775813.
    RandSeed = 0;
    EXPECT_EQ(jumper::Random(-1), 0);
    EXPECT_EQ(jumper::Random(-1), 134775813);
}

TEST(RandomRange, StaysWithinTheBoundsEitherWayRound) {
    RandSeed = 99;
    std::map<std::int32_t, int> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::int32_t up = jumper::RandomRange(100, 300);
        const std::int32_t down = jumper::RandomRange(300, 100);
        ASSERT_GE(up, 100);
        ASSERT_LE(up, 299);
        ASSERT_GE(down, 100);
        ASSERT_LE(down, 299);
        ++seen[up];
        ++seen[down];
    }
    EXPECT_EQ(seen.begin()->first, 100);   // both ends are reached
    EXPECT_EQ(seen.rbegin()->first, 299);
    EXPECT_EQ(jumper::RandomRange(100, 100), 100);
}

// One Random draw whatever the bounds, wrapped differences included.
TEST(RandomRange, MakesExactlyOneDraw) {
    const std::pair<std::int32_t, std::int32_t> bounds[] = {
        {100, 300}, {300, 100}, {100, 100}, {0, 0}, {kMin, kMax}, {kMax, kMin},
        {-500, -100}, {-100, -500}, {-7, 3}, {3, -7}, {kMin, kMin}, {kMax, kMax},
        {kMin, 0}, {0, kMax}, {kMax - 1, kMax}};
    for (const auto& [from, to] : bounds) {
        for (const std::uint32_t seed : {0u, 1u, 77u, 0x80000000u, 0xFFFFFFFFu, 3698175007u}) {
            SCOPED_TRACE(testing::Message() << "RandomRange(" << from << ", " << to << ") seed " << seed);
            RandSeed = seed;
            Lcg model{seed};
            const std::int32_t expected = model.Range(from, to);
            EXPECT_EQ(jumper::RandomRange(from, to), expected);
            EXPECT_EQ(RandSeed.load(), model.state);
        }
    }
}

TEST(RandomRange, FullRangeDrawsFromFourBillionValues) {
    // From state 0 the draw uses state 1: 1 * 4294967295 >> 32 = 0, so the low bound comes out.
    RandSeed = 0;
    EXPECT_EQ(jumper::RandomRange(kMin, kMax), kMin);
    // State 134775814 next: 134775814 * 4294967295 >> 32 = 134775813 above the low bound.
    EXPECT_EQ(jumper::RandomRange(kMax, kMin), kMin + 134775813);
    EXPECT_EQ(RandSeed.load(), 134775814u);
    // The largest state gives the largest value, one short of the high bound.
    RandSeed = 0x4D60AE66u;  // the state whose successor is 0xFFFFFFFF
    EXPECT_EQ(jumper::RandomRange(kMin, kMax), kMax - 1);
    EXPECT_EQ(RandSeed.load(), 0xFFFFFFFFu);
}

class FakeClock final : public platform::SeedClock {
public:
    bool counter_works = true;
    std::int64_t counter = 0;
    std::uint32_t ticks = 0;
    int tick_reads = 0;

    bool QueryPerformanceCounter(std::int64_t* count) override {
        if (!counter_works) return false;
        *count = counter;
        return true;
    }
    std::uint32_t GetTickCount() override {
        ++tick_reads;
        return ticks;
    }
};

TEST(Randomize, TakesTheCounterLowBitsElseTheTickCount) {
    FakeClock clock;
    clock.ticks = 4242;
    clock.counter = 0x1234'5678'9ABC'DEF0;
    RandSeed = 1;
    jumper::Randomize(clock);
    EXPECT_EQ(RandSeed.load(), 0x9ABCDEF0u);
    EXPECT_EQ(clock.tick_reads, 0);

    clock.counter = -2;
    jumper::Randomize(clock);
    EXPECT_EQ(RandSeed.load(), 0xFFFFFFFEu);
    EXPECT_EQ(clock.tick_reads, 0);

    clock.counter_works = false;
    jumper::Randomize(clock);
    EXPECT_EQ(RandSeed.load(), 4242u);
    EXPECT_EQ(clock.tick_reads, 1);
}

// Both threads draw Random(-1), which reveals the state of each draw: the value is the new
// state less one. Every step of the sequence must be taken by exactly one draw, and each
// thread's draws must follow the sequence in order.
TEST(Random, TwoThreadsDrawingAtOnceLoseAndRepeatNothing) {
    constexpr int kPerThread = 200000;  // enough for the two to overlap
    constexpr std::uint32_t kSeed = 0x5EED;
    RandSeed = kSeed;

    std::vector<std::int32_t> drawn[2];
    std::latch start(2);
    auto draw = [&](std::vector<std::int32_t>& out) {
        out.reserve(kPerThread);
        start.arrive_and_wait();
        for (int i = 0; i < kPerThread; ++i) out.push_back(jumper::Random(-1));
    };
    std::thread first(draw, std::ref(drawn[0]));
    std::thread second(draw, std::ref(drawn[1]));
    first.join();
    second.join();

    Lcg model{kSeed};
    std::unordered_map<std::int32_t, int> step_of;  // value -> step number
    step_of.reserve(2 * kPerThread);
    for (int step = 0; step < 2 * kPerThread; ++step) {
        ASSERT_TRUE(step_of.emplace(model.Random(0xFFFFFFFFu), step).second);
    }
    EXPECT_EQ(RandSeed.load(), model.state);

    std::vector<bool> taken(2 * kPerThread, false);
    for (const auto& values : drawn) {
        int previous = -1;
        for (const std::int32_t value : values) {
            const auto found = step_of.find(value);
            ASSERT_NE(found, step_of.end()) << "a draw off the sequence: " << value;
            ASSERT_FALSE(taken[static_cast<std::size_t>(found->second)]) << "step drawn twice";
            taken[static_cast<std::size_t>(found->second)] = true;
            ASSERT_GT(found->second, previous) << "a thread's draws out of order";
            previous = found->second;
        }
    }
    EXPECT_TRUE(std::all_of(taken.begin(), taken.end(), [](bool t) { return t; }));
}

}  // namespace
