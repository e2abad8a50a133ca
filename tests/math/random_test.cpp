#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "math/random.h"

namespace starbloom {
namespace {

TEST(Random, FirstOutputsFromStateOne) {
  seedRandom(1);
  EXPECT_EQ(rand15(), 41);
  EXPECT_EQ(rand15(), 18467);
  EXPECT_EQ(rand15(), 6334);
}

// Draws from a range stay inside it and reach both of its ends; a range of
// one value gives that value.
TEST(Random, RangeReachesBothEndsAndNothingBeyond) {
  seedRandom(12345);
  float low = 1.0f, high = 0.0f;
  for (int i = 0; i < 500000; ++i) {
    const float v = randomRange(0.0f, 1.0f);
    low = v < low ? v : low;
    high = v > high ? v : high;
  }
  EXPECT_EQ(low, 0.0f);
  EXPECT_EQ(high, 1.0f);
  EXPECT_EQ(randomRange(2.0f, 2.0f), 2.0f);
  for (int i = 0; i < 1000; ++i) {
    const float v = randomRange(-3.0f, 5.0f);
    ASSERT_GE(v, -3.0f);
    ASSERT_LE(v, 5.0f);
  }
}

TEST(Random, UnitDirectionsHaveUnitLength) {
  seedRandom(7);
  for (int i = 0; i < 500; ++i) {
    const Vec3 d = randomUnitDirection();
    ASSERT_NEAR(length(d), 1.0f, 1e-5f);
  }
}

TEST(Random, RingIsTheSameEveryRunAndCyclesFromEntryOne) {
  seedRandom(1);
  buildRandomRing();
  std::vector<Vec3> first(randomRing, randomRing + RANDOM_RING_SIZE);
  // The ring consumed exactly 3000 draws from state 1.
  const std::uint32_t stateAfterRing = randomState;
  seedRandom(1);
  for (int i = 0; i < 3000; ++i) rand15();
  EXPECT_EQ(randomState, stateAfterRing);

  seedRandom(987654);
  rand15();
  seedRandom(1);
  buildRandomRing();
  for (int i = 0; i < RANDOM_RING_SIZE; ++i) {
    ASSERT_EQ(randomRing[i].x, first[i].x);
    ASSERT_EQ(randomRing[i].y, first[i].y);
    ASSERT_EQ(randomRing[i].z, first[i].z);
    ASSERT_LE(length(randomRing[i]), 1.0f + 1e-5f);
  }

  ringCursor = 0;
  for (int call = 1; call <= 1001; ++call) {
    const int expected = call % RANDOM_RING_SIZE;
    const Vec3 v = nextRandomVector();
    ASSERT_EQ(ringCursor, expected) << "call " << call;
    ASSERT_EQ(v.x, randomRing[expected].x);
    ASSERT_EQ(v.z, randomRing[expected].z);
  }
  EXPECT_EQ(ringCursor, 1);
}

} // namespace
} // namespace starbloom
