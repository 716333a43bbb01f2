#include "jumper/random.h"

#include <gtest/gtest.h>

namespace {

TEST(Random, ThreeDrawsFromZero) {
    jumper::RandSeed = 0;
    EXPECT_EQ(jumper::Random(5000), 0);
    EXPECT_EQ(jumper::RandSeed.load(), 1u);
    EXPECT_EQ(jumper::Random(5000), 156);
    EXPECT_EQ(jumper::RandSeed.load(), 134775814u);
    EXPECT_EQ(jumper::Random(5000), 4305);
    EXPECT_EQ(jumper::RandSeed.load(), 3698175007u);
}

}  // namespace
