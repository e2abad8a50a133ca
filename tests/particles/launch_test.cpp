#include <gtest/gtest.h>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using namespace testing_support;

class Launch : public ParticleFixture {};

// A seed whose k-th rand15 draw answers `value`: the generator's step
// inverted k times from a state with those bits.
std::uint32_t seedForDraw(int k, int value) {
  const std::uint32_t a = 214013u, c = 2531011u;
  std::uint32_t inv = a; // Newton's iteration for the inverse of a mod 2^32
  for (int n = 0; n < 5; ++n) inv *= 2u - a * inv;
  std::uint32_t state = static_cast<std::uint32_t>(value) << 16;
  for (int n = 0; n < k; ++n) state = (state - c) * inv;
  return state;
}

// Each launch takes three draws, the design's maxima and the lowest free light
// slot; shell 2 bursts at once and its slot is the next one handed out.
TEST_F(Launch, NinthShellHasNoLightUntilABurstFreesTheLowestSlot) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign shell = shellDesign(&star, nullptr, 1), early = shell;
  shell.launchPosition = Vec3{-3.0f, 0.0f, 7.0f};
  shell.burstAgeMin = 0.1f;
  shell.lifetimeMin = 0.2f;
  early.burstAgeMax = 0.05f;
  for (int n = 0; n < 9; ++n) s->launchShell(n == 2 ? &early : &shell);
  const std::uint32_t afterLaunches = randomState;
  seedRandom(4242); // the fixture's seed
  for (int n = 0; n < 9 * 3; ++n) rand15();
  EXPECT_EQ(randomState, afterLaunches);
  const Particle& p = s->particles[0];
  EXPECT_TRUE(p.active && p.position.z == 7.0f && p.velocity.y == 15.0f && p.design == &shell);
  EXPECT_TRUE(p.burstAge == 1.0f && p.lifetime == 2.0f && p.sparkTimer == 0.02f && p.burstCount == 1);
  for (int n = 0; n < 8; ++n) {
    EXPECT_TRUE(s->particles[n].hasLight);
    EXPECT_EQ(s->lightSlots[n].particleIndex, n);
  }
  EXPECT_FALSE(s->particles[8].hasLight);
  s->update(0.1f); // shell 2 bursts and its light goes out
  ASSERT_EQ(s->count, 10);
  EXPECT_FALSE(s->lightSlots[2].inUse);
  s->launchShell(&shell);
  EXPECT_TRUE(s->particles[10].hasLight);
  EXPECT_TRUE(s->lightSlots[2].inUse && s->lightSlots[2].particleIndex == 10);
}

// Draw k forced to `value` checks, for k = 1, the burst count; for k = 3, the
// secondary count; for k = 2, the extra secondaries trunc(r2 / 32768 * 50) that
// only a design with a secondary set adds (same draws with and without one).
TEST_F(Launch, CountsReachBothEndsOfTheirRanges) {
  const struct {
    int lo, hi, draw, value, expected;
  } rows[] = {
      {104, 215, 1, 32767, 215}, {104, 215, 1, 0, 104}, {1, 1, 1, 12345, 1}, // 1..1: spark shower
      {104, 215, 3, 32767, 107}, {104, 215, 3, 0, 52},  {1, 1, 3, 12345, 0},
      {20, 60, 2, 0, 0},         {20, 60, 2, 32767, 49}, {20, 60, 2, 655, 0}, {20, 60, 2, 656, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.lo << ".." << row.hi << " draw " << row.draw << "="
                                      << row.value);
    const ShellDesign star = starDesign();
    ShellDesign d = shellDesign(&star, nullptr, row.lo);
    d.childCountMax = row.hi;
    Particle got[2];
    for (const bool secondary : {false, true}) {
      StoreWithLights s;
      d.hasSecondary = secondary;
      seedRandom(seedForDraw(row.draw, row.value));
      s->launchShell(&d);
      got[secondary] = s->particles[0];
    }
    const int extra = got[1].secondaryCount - got[0].secondaryCount;
    const int checked[] = {got[0].burstCount, extra, got[0].secondaryCount};
    EXPECT_EQ(checked[row.draw - 1], row.expected);
  }
}

} // namespace
} // namespace starbloom
