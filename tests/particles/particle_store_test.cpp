#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using testing_support::bindSlot;
using testing_support::fillStore;
using testing_support::placeParticle;
using testing_support::shellDesign;
using testing_support::starDesign;
using testing_support::StoreWithLights;

class ParticleStore_ : public testing_support::ParticleFixture {};
#define PARTICLE_TEST(name) TEST_F(ParticleStore_, name)

int indexOfDesign(const ParticleStore& s, const ShellDesign* d) {
  for (int i = 0; i < s.count; ++i) {
    if (s.particles[i].design == d) return i;
  }
  return -1;
}

PARTICLE_TEST(EmptyStoreUpdateDoesNothing) {
  StoreWithLights s;
  const std::uint32_t state = randomState;
  s->update(0.1f);
  s->followLights();
  EXPECT_EQ(s->count, 0);
  EXPECT_EQ(randomState, state);
  for (const LightSlot& slot : s->lightSlots) EXPECT_FALSE(slot.inUse);
}

PARTICLE_TEST(FullStoreOverwritesLastSlot) {
  StoreWithLights s;
  const ShellDesign filler = starDesign();
  ShellDesign fresh = starDesign();
  fresh.lifetimeMin = fresh.lifetimeMax = 3.0f;
  Particle parent;
  parent.position = makeVec3(5.0f, 6.0f, 7.0f);
  parent.velocity = makeVec3(0.0f, 1.0f, 0.0f);

  EXPECT_EQ(s->allocateSlot(), 0);
  fillStore(*s, filler);
  const Particle before = s->particles[MAX_PARTICLES - 2];
  for (int round = 0; round < 3; ++round) {
    if (round == 1) s->spawnSpark(parent, &fresh);
    else s->spawnBurstChild(parent, &fresh);
    EXPECT_EQ(s->count, MAX_PARTICLES);
    EXPECT_EQ(s->lastSpawned, MAX_PARTICLES - 1);
    EXPECT_EQ(s->particles[MAX_PARTICLES - 1].design, &fresh);
    EXPECT_EQ(s->particles[MAX_PARTICLES - 1].isSpark, round == 1);
  }
  EXPECT_EQ(s->particles[MAX_PARTICLES - 2].position.x, before.position.x);
  EXPECT_EQ(s->particles[MAX_PARTICLES - 2].design, &filler);
}

// The emitter's timer goes from `timer` to timer - dt in one step.
PARTICLE_TEST(SparkTimerCatchesUpWithSeveralSparks) {
  struct Row {
    float timer, dt, interval;
    int sparks;
    float timerAfter;
  };
  const Row rows[] = {
      {0.02f, 0.07f, 0.02f, 3, 0.01f},
      {0.05f, 0.01f, 0.02f, 0, 0.04f},
      {0.0f, 0.02f, 0.02f, 1, 0.0f},
      {0.02f, 0.07f, 0.0f, 0, -0.05f},  // no interval: no sparks, no endless loop
      {0.02f, 0.07f, -1.0f, 0, -0.05f},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.interval);
    StoreWithLights s;
    ShellDesign spark = starDesign();
    spark.speedMin = 0.0f; // sparks stay where they are put
    spark.lifetimeMax = 4.0f;
    ShellDesign emitter = starDesign();
    emitter.emitsSparks = true;
    emitter.sparkInterval = row.interval;
    emitter.sparkDesign = &spark;
    Particle& p = placeParticle(*s, emitter, makeVec3(0.0f, 10.0f, 0.0f), makeVec3(0.0f, 5.0f, 0.0f));
    p.sparkTimer = row.timer;

    s->update(row.dt);
    ASSERT_EQ(s->count, 1 + row.sparks);
    EXPECT_NEAR(s->particles[0].sparkTimer, row.timerAfter, 1e-6f);
    const float y = s->particles[0].position.y;
    const float prevY = y - row.dt * s->particles[0].velocity.y;
    for (int i = 1; i < s->count; ++i) {
      const Particle& k = s->particles[i];
      EXPECT_TRUE(k.isSpark);
      EXPECT_EQ(k.lifetime, 4.0f);
      EXPECT_EQ(k.age, row.dt); // updated in the frame it was shed
      EXPECT_GE(k.position.y, prevY - 1e-5f);
      EXPECT_LE(k.position.y, y + 1e-5f);
    }
  }
}

PARTICLE_TEST(SparkLoopEndsForAnIntervalTooSmallToMoveTheTimer) {
  StoreWithLights s;
  ShellDesign spark = starDesign();
  ShellDesign emitter = starDesign();
  emitter.emitsSparks = true;
  emitter.sparkInterval = 1e-12f;
  emitter.sparkDesign = &spark;
  placeParticle(*s, emitter).sparkTimer = 0.0f;
  s->update(0.05f);
  EXPECT_EQ(s->count, MAX_PARTICLES);
  EXPECT_EQ(s->particles[0].design, &emitter);
  EXPECT_GE(s->particles[0].sparkTimer, 0.0f);
}

PARTICLE_TEST(BurstChildrenAreMovedAgedAndColouredInTheirFirstFrame) {
  StoreWithLights s;
  ShellDesign star = starDesign();
  star.gravity = 9.8f;
  const ShellDesign shell = shellDesign(&star, nullptr, 3);
  Particle& p = placeParticle(*s, shell, makeVec3(1.0f, 20.0f, 3.0f));
  p.age = 0.95f;
  s->update(0.1f);
  ASSERT_EQ(s->count, 4);
  const Vec3 burstPoint = s->particles[0].position;
  EXPECT_TRUE(s->particles[0].hasBurst);
  for (int i = 1; i < 4; ++i) {
    const Particle& c = s->particles[i];
    EXPECT_EQ(c.design, &star);
    EXPECT_EQ(c.age, 0.1f);
    EXPECT_GT(length(c.position - burstPoint), 0.1f); // spread 15: 1.5 to 3 units/s
    EXPECT_EQ(c.color.r, star.startColor.r);
    EXPECT_EQ(c.color.b, star.startColor.b);
  }
}

// A burst with dt 0.1: the burst frame is the first with age > burstAge, the
// removal frame the first with age > lifetime, except that a star is removed
// at its burst.
PARTICLE_TEST(BurstThenFrozenUntilEndOfLife) {
  struct Row {
    int childCountMin, burstCount;
    float burstAge, lifetime;
    int burstFrame, removalFrame;
  };
  const Row rows[] = {
      {1, 2, 0.25f, 0.55f, 3, 6}, // shell stays frozen at its burst point
      {1, 2, 0.25f, 0.25f, 3, 3}, // shell whose lifetime equals its burst age
      {0, 2, 0.25f, 5.0f, 3, 3},  // star vanishes in the frame of its burst
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lifetime);
    StoreWithLights s;
    const ShellDesign star = starDesign();
    ShellDesign d = shellDesign(&star, nullptr, row.childCountMin);
    d.burstAgeMax = row.burstAge;
    d.lifetimeMax = row.lifetime;
    placeParticle(*s, d).burstCount = row.burstCount;
    int burstFrame = 0, removalFrame = 0;
    Vec3 frozenAt;
    for (int frame = 1; frame <= 8 && removalFrame == 0; ++frame) {
      s->update(0.1f);
      const int at = indexOfDesign(*s, &d);
      if (burstFrame == 0 && s->count > 1) {
        burstFrame = frame;
        if (at >= 0) frozenAt = s->particles[at].position;
      }
      if (at < 0) {
        removalFrame = frame;
      } else if (burstFrame != 0) {
        EXPECT_EQ(s->particles[at].position.y, frozenAt.y);
      }
    }
    EXPECT_EQ(burstFrame, row.burstFrame);
    EXPECT_EQ(removalFrame, row.removalFrame);
    EXPECT_EQ(s->count, 2); // the children live on
  }
}

PARTICLE_TEST(FlashTakesTheRemovedShellsSlotAndLightInTheBurstFrame) {
  settings.flash_effect = true;
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign flash = starDesign();
  flash.startColor = makeColor4(0.9f, 0.8f, 0.7f, 1.0f);
  flash.lifetimeMin = flash.lifetimeMax = 0.4f;
  ShellDesign shell = shellDesign(&star, &flash, 2);
  shell.lifetimeMax = shell.burstAgeMax; // removed in the frame of its burst
  placeParticle(*s, shell).age = 0.95f;
  bindSlot(*s, 0, 0);

  s->update(0.1f);
  ASSERT_EQ(s->count, 3);
  const Particle& f = s->particles[0];
  EXPECT_EQ(f.design, &flash);
  EXPECT_EQ(f.age, 0.1f);
  EXPECT_EQ(f.color.r, 0.9f);
  EXPECT_TRUE(f.hasLight);
  EXPECT_TRUE(s->lightSlots[0].inUse); // the shell's slot, released and taken again
  EXPECT_EQ(s->lightSlots[0].particleIndex, 0);
  for (int k = 1; k < USED_LIGHT_SLOTS; ++k) EXPECT_FALSE(s->lightSlots[k].inUse);
  EXPECT_EQ(s->particles[1].design, &star);
  EXPECT_EQ(s->particles[2].design, &star);
}

PARTICLE_TEST(FlashOnlyWithFlashEffect) {
  for (const bool on : {false, true}) {
    settings.flash_effect = on;
    StoreWithLights s;
    const ShellDesign star = starDesign();
    const ShellDesign flash = starDesign();
    const ShellDesign shell = shellDesign(&star, &flash, 2);
    placeParticle(*s, shell).age = 0.95f;
    s->update(0.1f);
    EXPECT_EQ(s->count, on ? 4 : 3);
    EXPECT_EQ(indexOfDesign(*s, &flash) >= 0, on);
    EXPECT_EQ(s->particles[0].hasLight, false); // the shell had no light to give
    EXPECT_EQ(s->lightSlots[0].inUse, on);    // a shell's flash gets one
  }
}

// Records tagged by position.x; lights on B (slot 0) and D (slot 1).
PARTICLE_TEST(RemovalMovesTheLastRecordAndItsLight) {
  struct Row {
    int remove;
    std::vector<float> order;
    bool slot0, slot1;
    int slot1Index;
  };
  const Row rows[] = {
      {3, {0, 1, 2}, true, false, 3},    // last one: copied onto itself
      {1, {0, 3, 2}, false, true, 1},    // B's light goes, D's follows D to 1
      {0, {3, 1, 2}, true, true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.remove);
    StoreWithLights s;
    const ShellDesign star = starDesign();
    for (int k = 0; k < 4; ++k) placeParticle(*s, star, makeVec3(static_cast<float>(k), 0.0f, 0.0f));
    bindSlot(*s, 0, 1);
    bindSlot(*s, 1, 3);
    s->removeParticle(row.remove);
    ASSERT_EQ(s->count, 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s->particles[k].position.x, row.order[k]);
    EXPECT_EQ(s->lightSlots[0].inUse, row.slot0);
    EXPECT_EQ(s->lightSlots[1].inUse, row.slot1);
    EXPECT_EQ(s->lightSlots[1].particleIndex, row.slot1Index);
  }
}

PARTICLE_TEST(LightSlotFollowsItsParticleWhenTheUpdateRemovesAnother) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign shortLived = starDesign();
  shortLived.lifetimeMax = 0.05f;
  placeParticle(*s, shortLived, makeVec3(0.0f, 0.0f, 0.0f));
  placeParticle(*s, star, makeVec3(1.0f, 0.0f, 0.0f));
  placeParticle(*s, star, makeVec3(2.0f, 0.0f, 0.0f));
  bindSlot(*s, 5, 2);
  s->update(0.1f);
  ASSERT_EQ(s->count, 2);
  EXPECT_EQ(s->particles[0].position.x, 2.0f);
  EXPECT_EQ(s->lightSlots[5].particleIndex, 0);
  EXPECT_TRUE(s->lightSlots[5].inUse);
}

PARTICLE_TEST(ZeroStepRecomputesColoursWithoutMovingAnything) {
  StoreWithLights s;
  ShellDesign star = starDesign();
  star.gravity = 9.8f;
  Particle& p = placeParticle(*s, star, makeVec3(1.0f, 2.0f, 3.0f), makeVec3(4.0f, 5.0f, 6.0f));
  p.age = 4.0f;
  p.color = makeColor4(9.0f, 9.0f, 9.0f, 1.0f);
  s->update(0.0f);
  EXPECT_EQ(p.position.y, 2.0f);
  EXPECT_EQ(p.velocity.x, 4.0f);
  EXPECT_EQ(p.velocity.y, 5.0f);
  EXPECT_EQ(p.age, 4.0f);
  EXPECT_NEAR(p.color.r, 0.6f, 1e-6f); // f = 0.6 of the way back from the end
  EXPECT_NEAR(p.color.b, 0.4f + 0.6f * 0.25f, 1e-6f);
}

// Colours at a given age, read with a zero step so the age stays put.
// Start (1, 0.5, 0.25), end (0, 0.5, 1): the colour runs from start to end
// and fades out over the last third.
PARTICLE_TEST(ColourRunsFromStartToEndAndFadesOverTheLastThird) {
  enum Kind { Plain, Emitter, Twinkler };
  struct Row {
    Kind kind;
    int index;
    float age, lifetime;
    float r, g, b;
  };
  const Row rows[] = {
      {Plain, 0, 0.0f, 9.0f, 1.0f, 0.5f, 0.25f},
      {Plain, 0, 3.0f, 9.0f, 2.0f / 3, 0.5f, 0.5f},
      {Plain, 0, 6.0f, 9.0f, 1.0f / 3, 0.5f, 0.75f},
      {Plain, 0, 7.5f, 9.0f, 1.0f / 12, 0.25f, 0.4375f},
      {Plain, 0, 9.0f, 9.0f, 0.0f, 0.0f, 0.0f},
      {Plain, 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},        // no lifetime: black, not NaN
      {Emitter, 0, 7.5f, 9.0f, 0.5f, 0.25f, 0.125f},  // start colour, faded
      {Emitter, 0, 0.15f, 9.0f, 1.0f, 0.5f, 0.25f},   // emitters never twinkle
      // Long lives keep the start colour, so only the twinkle shows.
      {Twinkler, 0, 0.05f, 9000.0f, 1.0f, 0.5f, 0.25f},  // sine at its top
      {Twinkler, 0, 0.15f, 9000.0f, 0.0f, 0.0f, 0.0f},   // sine at its bottom
      {Twinkler, 1, 0.0f, 9000.0f, 0.9207355f, 0.4603677f, 0.2301839f}, // phase of index 1
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.kind << " age " << row.age << " index " << row.index);
    StoreWithLights s;
    const ShellDesign filler = starDesign();
    ShellDesign d = starDesign();
    d.emitsSparks = row.kind == Emitter;
    d.twinkles = row.kind != Plain;
    d.sparkInterval = 1.0f;
    d.sparkDesign = &filler;
    for (int k = 0; k < row.index; ++k) placeParticle(*s, filler);
    Particle& p = placeParticle(*s, d);
    p.age = row.age;
    p.lifetime = row.lifetime;
    s->update(0.0f);
    EXPECT_NEAR(p.color.r, row.r, 1e-4f);
    EXPECT_NEAR(p.color.g, row.g, 1e-4f);
    EXPECT_NEAR(p.color.b, row.b, 1e-4f);
  }
}

// v0 (2, 4, -6) at (1, 1, 1), gravity 10, dt 0.1.
PARTICLE_TEST(GravityThenDragByKind) {
  struct Row {
    const char* what;
    bool isSpark, hasBurst;
    int childCountMin, airreg;
    Vec3 velocity, position;
  };
  const Row rows[] = {
      {"star, default air", false, false, 0, 9, {1.82f, 2.73f, -5.46f}, {1.2f, 1.4f, 0.4f}},
      {"star, thick air", false, false, 0, 20, {1.6f, 2.4f, -4.8f}, {1.2f, 1.4f, 0.4f}},
      {"star, no air", false, false, 0, 0, {2.0f, 3.0f, -6.0f}, {1.2f, 1.4f, 0.4f}},
      {"shell ignores airreg", false, false, 3, 20, {1.82f, 2.73f, -5.46f}, {1.2f, 1.4f, 0.4f}},
      {"spark has no drag", true, false, 0, 20, {2.0f, 3.0f, -6.0f}, {1.2f, 1.4f, 0.4f}},
      {"burst: frozen", false, true, 0, 9, {1.82f, 2.73f, -5.46f}, {1.0f, 1.0f, 1.0f}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    settings.airreg = row.airreg;
    StoreWithLights s;
    ShellDesign d = starDesign();
    d.gravity = 10.0f;
    d.childCountMin = row.childCountMin;
    Particle& p = placeParticle(*s, d, makeVec3(1.0f, 1.0f, 1.0f), makeVec3(2.0f, 4.0f, -6.0f));
    p.isSpark = row.isSpark;
    p.hasBurst = row.hasBurst;
    s->update(0.1f);
    EXPECT_NEAR(p.velocity.x, row.velocity.x, 1e-5f);
    EXPECT_NEAR(p.velocity.y, row.velocity.y, 1e-5f);
    EXPECT_NEAR(p.velocity.z, row.velocity.z, 1e-5f);
    EXPECT_NEAR(p.position.x, row.position.x, 1e-5f);
    EXPECT_NEAR(p.position.y, row.position.y, 1e-5f);
    EXPECT_NEAR(p.position.z, row.position.z, 1e-5f);
  }
}

// A parent in the last slot of a full store is replaced by its first child.
// Its children must still come from its own values, and what is left in the
// slot must be the last one spawned, updated once: exactly what a store with
// room gives for the same draws.
PARTICLE_TEST(ParentInLastSlotOfFullStoreSpawnsFromItsOwnValues) {
  settings.flash_effect = true;
  enum Kind { Shell, Star, Emitter };
  for (const Kind kind : {Shell, Star, Emitter}) {
    SCOPED_TRACE(kind);
    ShellDesign star = starDesign();
    star.speedMin = 3.0f;
    star.speedMax = 6.0f;
    ShellDesign flash = starDesign();
    flash.lifetimeMin = flash.lifetimeMax = 0.4f;
    ShellDesign d = shellDesign(&star, &flash, kind == Shell ? 3 : 0);
    d.emitsSparks = kind == Emitter;
    d.bursts = kind != Emitter;
    d.sparkInterval = 0.02f;
    d.sparkDesign = &star;

    const ShellDesign filler = starDesign();
    auto run = [&](ParticleStore& s, int fillers) {
      for (int k = 0; k < fillers; ++k) placeParticle(s, filler);
      Particle& p = placeParticle(s, d, makeVec3(4.0f, 30.0f, -2.0f), makeVec3(1.0f, 6.0f, 0.5f));
      p.age = 0.95f;
      p.sparkTimer = 0.02f;
      p.burstCount = 3;
      bindSlot(s, 0, s.count - 1);
      seedRandom(99);
      ringCursor = 0;
      s.update(0.07f);
    };
    StoreWithLights roomy;
    run(*roomy, 0);
    StoreWithLights full;
    run(*full, MAX_PARTICLES - 1);

    ASSERT_EQ(full->count, MAX_PARTICLES);
    const Particle& got = full->particles[MAX_PARTICLES - 1];
    // The roomy store removed its bursting star, moving the flash to slot 0.
    const Particle& want = roomy->particles[kind == Star ? 0 : roomy->lastSpawned];
    const ShellDesign* lastDesign = kind == Emitter ? &star : &flash;
    ASSERT_EQ(got.design, lastDesign);
    ASSERT_EQ(want.design, lastDesign);
    EXPECT_EQ(got.position.x, want.position.x);
    EXPECT_EQ(got.position.y, want.position.y);
    EXPECT_EQ(got.velocity.z, want.velocity.z);
    EXPECT_EQ(got.lifetime, want.lifetime);
    EXPECT_EQ(got.age, 0.07f);
    EXPECT_EQ(got.color.r, want.color.r);
    // The parent's light went out with it; a shell's flash owns the slot now.
    EXPECT_EQ(full->lightSlots[0].inUse, kind == Shell);
    EXPECT_EQ(got.hasLight, kind == Shell);
    if (kind == Shell) {
      EXPECT_EQ(full->lightSlots[0].particleIndex, MAX_PARTICLES - 1);
    }
    EXPECT_EQ(full->particles[MAX_PARTICLES - 2].design->childCountMin, 0);
  }
}

PARTICLE_TEST(SpawnOverALightOwnerReleasesItsSlot) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  fillStore(*s, star);
  bindSlot(*s, 3, MAX_PARTICLES - 1);
  bindSlot(*s, 4, MAX_PARTICLES - 2);
  Particle parent;
  parent.velocity = makeVec3(0.0f, 1.0f, 0.0f);
  s->spawnBurstChild(parent, &star);
  EXPECT_FALSE(s->lightSlots[3].inUse);
  EXPECT_FALSE(s->particles[MAX_PARTICLES - 1].hasLight);
  EXPECT_TRUE(s->lightSlots[4].inUse);
  EXPECT_EQ(s->lightSlots[4].particleIndex, MAX_PARTICLES - 2);
}

// One shell: 5 stars at its burst (age > 0.45), a flash living 0.35 s, the
// shell itself until age > 0.65, the stars 0.95 s. With dt 0.1 the count is
// 1 for four frames, 7 from the burst in frame 5, 6 when the shell ends in
// frame 7, 5 when the flash ends in frame 8, and 0 when the stars end, ten
// frames after the burst.
PARTICLE_TEST(GoldenShellLifeCycleCounts) {
  settings.flash_effect = true;
  StoreWithLights s;
  ShellDesign star = starDesign();
  star.lifetimeMin = star.lifetimeMax = 0.95f;
  star.gravity = 9.8f;
  ShellDesign flash = starDesign();
  flash.lifetimeMin = flash.lifetimeMax = 0.35f;
  ShellDesign shell = shellDesign(&star, &flash, 5);
  shell.burstAgeMax = 0.45f;
  shell.lifetimeMax = 0.65f;
  shell.gravity = 9.8f;
  s->launchShell(&shell);
  const int expected[] = {1, 1, 1, 1, 7, 7, 6, 5, 5, 5, 5, 5, 5, 0};
  for (int frame = 0; frame < 14; ++frame) {
    s->update(0.1f);
    s->followLights();
    EXPECT_EQ(s->count, expected[frame]) << "frame " << frame + 1;
  }
  for (const LightSlot& slot : s->lightSlots) EXPECT_FALSE(slot.inUse);
}

struct SkyTrace {
  std::vector<int> counts;
  int maxCount = 0;
};

// Every frame: the live range is packed, each slot in use names a distinct
// live particle that knows it has a light, and every colour is a number.
void expectConsistent(const ParticleStore& s) {
  bool named[MAX_PARTICLES] = {};
  for (int k = 0; k < USED_LIGHT_SLOTS; ++k) {
    const LightSlot& slot = s.lightSlots[k];
    if (!slot.inUse) continue;
    ASSERT_GE(slot.particleIndex, 0);
    ASSERT_LT(slot.particleIndex, s.count);
    ASSERT_FALSE(named[slot.particleIndex]);
    named[slot.particleIndex] = true;
    ASSERT_TRUE(s.particles[slot.particleIndex].hasLight);
  }
  for (int i = 0; i < s.count; ++i) {
    const Particle& p = s.particles[i];
    ASSERT_TRUE(p.active);
    ASSERT_NE(p.design, nullptr);
    ASSERT_TRUE(std::isfinite(p.color.r) && std::isfinite(p.color.g) && std::isfinite(p.color.b));
    ASSERT_TRUE(std::isfinite(p.position.y));
  }
}

// Two-stage trailing shells with secondaries and flashes, one every 0.3 s.
SkyTrace runSky(std::uint32_t seed) {
  settings.flash_effect = true;
  StoreWithLights s;
  ShellDesign spark = starDesign();
  spark.speedMin = 0.5f;
  spark.lifetimeMax = 0.5f;
  ShellDesign flash = starDesign();
  flash.lifetimeMin = flash.lifetimeMax = 0.4f;
  ShellDesign subStar = starDesign();
  subStar.lifetimeMin = 0.5f;
  subStar.lifetimeMax = 1.5f;
  subStar.twinkles = true;
  ShellDesign star = starDesign();
  star.bursts = true;
  star.burstAgeMin = 0.3f;
  star.burstAgeMax = 0.8f;
  star.lifetimeMin = 1.0f;
  star.lifetimeMax = 2.0f;
  star.childCountMax = 40;
  star.childDesign = &subStar;
  star.flashDesign = &flash;
  star.emitsSparks = true;
  star.sparkInterval = 0.1f;
  star.sparkDesign = &spark;
  ShellDesign shell = shellDesign(&star, &flash, 8);
  shell.childCountMax = 20;
  shell.hasSecondary = true;
  shell.secondaryDesign = &subStar;
  shell.emitsSparks = true;
  shell.sparkInterval = 0.05f;
  shell.sparkDesign = &spark;
  shell.gravity = 5.0f;

  seedRandom(seed);
  ringCursor = 0;
  SkyTrace trace;
  for (int frame = 0; frame < 400; ++frame) {
    s->update(0.02f);
    s->followLights();
    expectConsistent(*s);
    if (frame % 15 == 0) s->launchShell(&shell);
    trace.counts.push_back(s->count);
    if (s->count > trace.maxCount) trace.maxCount = s->count;
  }
  return trace;
}

PARTICLE_TEST(BusySkyStaysConsistentAndRepeatsForASeed) {
  const SkyTrace a = runSky(7);
  const SkyTrace b = runSky(7);
  EXPECT_EQ(a.counts, b.counts);
  EXPECT_GT(a.maxCount, 300);
}

} // namespace
} // namespace starbloom
