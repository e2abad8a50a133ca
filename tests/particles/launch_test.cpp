#include <gtest/gtest.h>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using testing_support::bindSlot;
using testing_support::fillStore;
using testing_support::seedForDraw;
using testing_support::shellDesign;
using testing_support::starDesign;
using testing_support::StoreWithLights;

class Launch : public testing_support::ParticleFixture {};

TEST_F(Launch, FillsTheShellFromItsDesignWithThreeDraws) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign d = shellDesign(&star, nullptr, 5);
  d.launchPosition = makeVec3(-3.0f, 0.0f, 7.0f);
  d.initialVelocity = makeVec3(0.5f, 14.0f, -0.5f);
  d.burstAgeMin = 0.1f;
  d.burstAgeMax = 2.5f;
  d.lifetimeMin = 0.2f;
  d.lifetimeMax = 3.5f;
  d.startColor = makeColor4(0.2f, 0.4f, 0.6f, 0.8f);
  s->count = 3;
  seedRandom(77);
  for (int k = 0; k < 3; ++k) rand15();
  const std::uint32_t afterThree = randomState;
  seedRandom(77);

  s->launchShell(&d);
  EXPECT_EQ(randomState, afterThree);
  EXPECT_EQ(s->count, 4);
  EXPECT_EQ(s->lastSpawned, 3);
  const Particle& p = s->particles[3];
  EXPECT_TRUE(p.active);
  EXPECT_FALSE(p.hasBurst);
  EXPECT_FALSE(p.isSpark);
  EXPECT_EQ(p.position.x, -3.0f);
  EXPECT_EQ(p.position.z, 7.0f);
  EXPECT_EQ(p.velocity.y, 14.0f);
  EXPECT_EQ(p.burstAge, 2.5f); // the maximum, no random part
  EXPECT_EQ(p.lifetime, 3.5f);
  EXPECT_EQ(p.age, 0.0f);
  EXPECT_EQ(p.sparkTimer, 0.02f);
  EXPECT_EQ(p.color.g, 0.4f);
  EXPECT_EQ(p.color.a, 0.8f);
  EXPECT_EQ(p.burstCount, 5);
  EXPECT_EQ(p.design, &d);
  EXPECT_TRUE(p.hasLight);
  EXPECT_EQ(s->lightSlots[0].particleIndex, 3);
}

// Draw k (1: burst count, 2: extra secondaries, 3: secondary count) forced
// to `value`; the other draws are whatever follows.
TEST_F(Launch, CountsReachBothEndsOfTheirRanges) {
  struct Row {
    int lo, hi, draw, value;
    int burstCount;     // -1: not checked
    int secondaryCount; // with hasSecondary false; -1: not checked
  };
  const Row rows[] = {
      {104, 215, 1, 32767, 215, -1},
      {104, 215, 1, 0, 104, -1},
      {104, 215, 3, 32767, -1, 107},
      {104, 215, 3, 0, -1, 52},
      {1, 1, 1, 12345, 1, 0}, // the spark-shower shell
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.lo << ".." << row.hi << " draw " << row.draw);
    StoreWithLights s;
    const ShellDesign star = starDesign();
    ShellDesign d = shellDesign(&star, nullptr, row.lo);
    d.childCountMax = row.hi;
    seedRandom(seedForDraw(row.draw, row.value));
    s->launchShell(&d);
    if (row.burstCount >= 0) {
      EXPECT_EQ(s->particles[0].burstCount, row.burstCount);
    }
    if (row.secondaryCount >= 0) {
      EXPECT_EQ(s->particles[0].secondaryCount, row.secondaryCount);
    }
  }
}

// The second draw adds trunc(r2 / 32768 * 50) secondaries, only with a
// secondary set: compare the same draws with and without one.
TEST_F(Launch, SecondDrawAddsUpToFortyNineSecondaries) {
  struct Row {
    int r2, extra;
  };
  const Row rows[] = {{0, 0}, {32767, 49}, {16384, 25}, {655, 0}, {656, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.r2);
    int counts[2] = {};
    for (const bool secondary : {false, true}) {
      StoreWithLights s;
      const ShellDesign star = starDesign();
      ShellDesign d = shellDesign(&star, nullptr, 20);
      d.childCountMax = 60;
      d.hasSecondary = secondary;
      seedRandom(seedForDraw(2, row.r2));
      s->launchShell(&d);
      counts[secondary] = s->particles[0].secondaryCount;
    }
    EXPECT_EQ(counts[1] - counts[0], row.extra);
    EXPECT_GE(counts[0], 10);
    EXPECT_LE(counts[0], 30);
  }
}

TEST_F(Launch, IntoAFullStoreReplacesTheLastParticleAndItsLight) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  const ShellDesign shell = shellDesign(&star, nullptr, 3);
  fillStore(*s, star);
  bindSlot(*s, 0, MAX_PARTICLES - 1);
  bindSlot(*s, 1, MAX_PARTICLES - 2);
  s->launchShell(&shell);
  EXPECT_EQ(s->count, MAX_PARTICLES);
  EXPECT_EQ(s->lastSpawned, MAX_PARTICLES - 1);
  EXPECT_EQ(s->particles[MAX_PARTICLES - 1].design, &shell);
  // The replaced star's slot was freed, and the lowest free slot is taken.
  EXPECT_TRUE(s->particles[MAX_PARTICLES - 1].hasLight);
  EXPECT_EQ(s->lightSlots[0].particleIndex, MAX_PARTICLES - 1);
  EXPECT_EQ(s->lightSlots[1].particleIndex, MAX_PARTICLES - 2);
  for (int k = 2; k < USED_LIGHT_SLOTS; ++k) EXPECT_FALSE(s->lightSlots[k].inUse);
}

TEST_F(Launch, NinthShellHasNoLightUntilABurstFreesTheLowestSlot) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign shell = shellDesign(&star, nullptr, 1);
  shell.childCountMax = 30;
  ShellDesign early = shellDesign(&star, nullptr, 1); // bursts into one star
  early.burstAgeMin = early.burstAgeMax = 0.05f;
  for (int n = 0; n < 9; ++n) s->launchShell(n == 2 ? &early : &shell);
  for (int n = 0; n < 8; ++n) {
    EXPECT_TRUE(s->particles[n].hasLight);
    EXPECT_EQ(s->lightSlots[n].particleIndex, n);
  }
  EXPECT_FALSE(s->particles[8].hasLight);

  // Otherwise the ninth shell is the shell that free slots would have made.
  StoreWithLights fresh;
  fresh->count = 8;
  randomState = 4242;
  for (int n = 0; n < 8 * 3; ++n) rand15();
  fresh->launchShell(&shell);
  const Particle& a = s->particles[8];
  const Particle& b = fresh->particles[8];
  EXPECT_EQ(a.burstCount, b.burstCount);
  EXPECT_EQ(a.secondaryCount, b.secondaryCount);
  EXPECT_EQ(a.position.x, b.position.x);
  EXPECT_EQ(a.lifetime, b.lifetime);
  EXPECT_TRUE(b.hasLight);

  s->update(0.1f); // shell 2 bursts into one star and its light goes out
  ASSERT_EQ(s->count, 10);
  EXPECT_FALSE(s->lightSlots[2].inUse);
  s->launchShell(&shell);
  EXPECT_TRUE(s->particles[10].hasLight);
  EXPECT_TRUE(s->lightSlots[2].inUse);
  EXPECT_EQ(s->lightSlots[2].particleIndex, 10);
}

TEST_F(Launch, AttachLightTakesTheLowestFreeSlotOrNone) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  for (int k = 0; k < 11; ++k) testing_support::placeParticle(*s, star);
  for (int k = 0; k < USED_LIGHT_SLOTS; ++k) {
    if (k != 3 && k != 5) bindSlot(*s, k, k);
  }
  s->attachLight(8);
  EXPECT_TRUE(s->particles[8].hasLight);
  EXPECT_EQ(s->lightSlots[3].particleIndex, 8);
  s->attachLight(9);
  EXPECT_EQ(s->lightSlots[5].particleIndex, 9);
  s->particles[10].hasLight = true; // cleared when no slot is left
  s->attachLight(10);
  EXPECT_FALSE(s->particles[10].hasLight);
  for (int k = 0; k < USED_LIGHT_SLOTS; ++k) EXPECT_NE(s->lightSlots[k].particleIndex, 10);
}

} // namespace
} // namespace starbloom
