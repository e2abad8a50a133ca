#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using namespace testing_support;

class ParticleStore_ : public ParticleFixture {};

void expectVec(Vec3 got, Vec3 want) {
  EXPECT_NEAR(got.x, want.x, 1e-4f);
  EXPECT_NEAR(got.y, want.y, 1e-4f);
  EXPECT_NEAR(got.z, want.z, 1e-4f);
}

// Rounds: a launch, a burst child, a spark, each over the particle in the last slot.
TEST_F(ParticleStore_, FullStoreOverwritesLastSlotAndReleasesItsLight) {
  StoreWithLights s;
  const ShellDesign filler = starDesign(), fresh = starDesign();
  fillStore(*s, filler);
  bindSlot(*s, 0, LAST);
  bindSlot(*s, 1, LAST - 1);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 0) s->launchShell(&fresh);
    if (round == 1) s->spawnBurstChild(s->particles[0], &fresh);
    if (round == 2) s->spawnSpark(s->particles[0], &fresh);
    EXPECT_TRUE(s->count == MAX_PARTICLES && s->lastSpawned == LAST);
    EXPECT_EQ(s->particles[LAST].design, &fresh);
    EXPECT_EQ(s->particles[LAST].isSpark, round == 2);
    EXPECT_EQ(s->particles[LAST].hasLight, round == 0);
    EXPECT_EQ(s->lightSlots[0].inUse, round == 0); // freed, then taken again by the launch
    EXPECT_FALSE(s->lightSlots[2].inUse);
  }
  EXPECT_EQ(s->particles[LAST - 1].position.x, static_cast<float>(LAST - 1));
  EXPECT_EQ(s->lightSlots[1].particleIndex, LAST - 1);
}

// The emitter's timer goes from `timer` to timer - dt in one step; its sparks
// lie on the path it covered and are updated in the frame they are shed.
TEST_F(ParticleStore_, SparkTimerCatchesUpWithSeveralSparks) {
  const struct { float timer, dt, interval; int sparks; float timerAfter; } rows[] = {
      {0.02f, 0.07f, 0.02f, 3, 0.01f},
      {0.05f, 0.01f, 0.02f, 0, 0.04f},
      {0.02f, 0.07f, 0.0f, 0, -0.05f},                // no interval: no sparks, no endless loop
      {0.0f, 0.05f, 1e-12f, MAX_PARTICLES - 1, 0.0f}, // too small to move the timer: capped
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.interval);
    StoreWithLights s;
    ShellDesign spark = starDesign(), emitter = starDesign();
    spark.speedMin = 0.0f; // sparks stay where they are put
    emitter.emitsSparks = true;
    emitter.sparkInterval = row.interval;
    emitter.sparkDesign = &spark;
    placeParticle(*s, emitter).sparkTimer = row.timer;
    s->update(row.dt);
    ASSERT_EQ(s->count, 1 + row.sparks);
    EXPECT_NEAR(s->particles[0].sparkTimer, row.timerAfter, 1e-6f);
    const float y = s->particles[0].position.y, prevY = y - row.dt * s->particles[0].velocity.y;
    for (int i = 1; i < s->count; ++i) {
      const Particle& k = s->particles[i];
      ASSERT_TRUE(k.isSpark && k.age == row.dt);
      ASSERT_TRUE(k.position.y >= prevY - 1e-5f && k.position.y <= y + 1e-5f);
    }
  }
}

// Each particle owns light slot 0 and bursts into two in frame 3 (age > 0.25,
// dt 0.1). A shell then stays frozen until its lifetime ends, a star goes at
// once, and a shell removed at its burst leaves its slot and light to its flash.
TEST_F(ParticleStore_, BurstFreezesOrRemovesAndTheFlashTakesTheShellsSlotAndLight) {
  const struct { int childCountMin; float lifetime; bool flash; int removalFrame, count; } rows[] = {
      {1, 0.55f, false, 6, 2}, {0, 5.0f, false, 3, 2}, {1, 0.25f, true, 3, 3}, {1, 0.25f, false, 3, 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.childCountMin << " " << row.lifetime << " " << row.flash);
    settings.flash_effect = row.flash;
    StoreWithLights s;
    const ShellDesign star = starDesign(), flash = starDesign();
    ShellDesign d = shellDesign(&star, &flash, row.childCountMin);
    d.burstAgeMax = 0.25f;
    d.lifetimeMax = row.lifetime;
    placeParticle(*s, d).burstCount = 2;
    bindSlot(*s, 0, 0);
    int burstFrame = 0, removalFrame = 0;
    float frozenY = 0.0f;
    for (int frame = 1; frame <= 8 && removalFrame == 0; ++frame) {
      s->update(0.1f);
      const int at = s->particles[0].design == &d ? 0 : -1; // what it spawns comes after it
      if (burstFrame == 0 && s->count > 1) {
        burstFrame = frame;
        frozenY = s->particles[0].position.y;
        for (int i = 0; i < s->count; ++i) EXPECT_TRUE(i == at || s->particles[i].age == 0.1f) << i;
      }
      if (at < 0) removalFrame = frame;
      EXPECT_TRUE(at < 0 || burstFrame == 0 || s->particles[0].position.y == frozenY);
    }
    EXPECT_TRUE(burstFrame == 3 && removalFrame == row.removalFrame);
    ASSERT_EQ(s->count, row.count);
    EXPECT_EQ(s->particles[0].design == &flash, row.flash);
    EXPECT_EQ(s->particles[0].hasLight, row.flash);
    EXPECT_EQ(s->lightSlots[0].inUse && s->lightSlots[0].particleIndex == 0, row.flash);
    for (int k = 1; k < USED_LIGHT_SLOTS; ++k) EXPECT_FALSE(s->lightSlots[k].inUse);
  }
}

// From (1, 0, 0) at v0 (2, 4, -6), gravity 10, behind one other particle: the
// colour is that of the age before the step (start to end, fading over the last
// third, black at no lifetime), the position moves by v0, then the velocity
// takes gravity and drag. A zero step moves nothing.
TEST_F(ParticleStore_, OneStepColoursMovesAndSlowsByKind) {
  enum Kind { Star, Shell, Spark, Emitter, Twinkler };
  const struct { Kind kind; int airreg; float dt, age, lifetime; Vec3 colour, velocity; } rows[] = {
      {Star, 9, 0.0f, 7.5f, 9.0f, {1.0f / 12, 0.25f, 0.4375f}, {2, 4, -6}},
      {Star, 9, 0.0f, 0.0f, 0.0f, {0, 0, 0}, {2, 4, -6}},
      {Emitter, 9, 0.0f, 7.5f, 9.0f, {0.5f, 0.25f, 0.125f}, {2, 4, -6}}, // start colour, faded
      {Emitter, 9, 0.0f, 0.15f, 9.0f, {1, 0.5f, 0.25f}, {2, 4, -6}},    // never twinkles
      {Twinkler, 9, 0.0f, 0.05f, 9e3f, {0.7701512f, 0.3850756f, 0.1925378f}, {2, 4, -6}}, // phase 1
      {Twinkler, 9, 0.0f, 0.0f, 9e3f, {0.9207355f, 0.4603677f, 0.2301839f}, {2, 4, -6}},
      {Star, 20, 0.1f, 0.0f, 9.0f, {1, 0.5f, 0.25f}, {1.6f, 2.4f, -4.8f}},
      {Shell, 20, 0.1f, 0.0f, 9.0f, {1, 0.5f, 0.25f}, {1.82f, 2.73f, -5.46f}}, // ignores airreg
      {Spark, 20, 0.1f, 0.0f, 9.0f, {1, 0.5f, 0.25f}, {2, 3, -6}},             // no drag
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.kind << " dt " << row.dt << " age " << row.age);
    settings.airreg = row.airreg;
    StoreWithLights s;
    ShellDesign d = starDesign();
    d.gravity = 10.0f;
    d.childCountMin = row.kind == Shell ? 3 : 0;
    d.emitsSparks = row.kind == Emitter;
    d.twinkles = row.kind == Emitter || row.kind == Twinkler;
    placeParticle(*s, d).lifetime = 1e9f;
    Particle& p = placeParticle(*s, d, 1.0f, Vec3{2.0f, 4.0f, -6.0f});
    p.isSpark = row.kind == Spark;
    p.age = row.age;
    p.lifetime = row.lifetime;
    s->update(row.dt);
    expectVec(Vec3{p.color.r, p.color.g, p.color.b}, row.colour);
    expectVec(p.velocity, row.velocity);
    expectVec(p.position, Vec3{1.0f + 2 * row.dt, 4 * row.dt, -6 * row.dt});
    EXPECT_EQ(p.age, row.age + row.dt);
  }
}

// Drag can at most stop a particle: a star keeps none of its velocity when
// dt * airreg / 10 passes 1, a shell when dt * 0.9 does (a long frame gap),
// and a negative air resistance never speeds one up.
TEST_F(ParticleStore_, DragAtMostStopsAParticle) {
  const struct { int airreg; float dt; bool shell; Vec3 velocity; } rows[] = {
      {100, 0.1f, false, {0, 0, 0}},          {2000, 0.1f, false, {0, 0, 0}},
      {INT_MAX, 0.01f, false, {0, 0, 0}},     {9, 2.0f, true, {0, 0, 0}},
      {-50, 0.1f, false, {2, 3, -6}},         {INT_MIN, 0.1f, false, {2, 3, -6}},
      {99, 0.1f, false, {0.02f, 0.03f, -0.06f}}, // 1 - 0.99 of it stays
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.airreg << " dt " << row.dt);
    settings.airreg = row.airreg;
    StoreWithLights s;
    ShellDesign d = starDesign();
    d.gravity = 10.0f;
    d.childCountMin = row.shell ? 3 : 0;
    Particle& p = placeParticle(*s, d, 0.0f, Vec3{2.0f, 3.0f + 10.0f * row.dt, -6.0f});
    p.lifetime = 1e9f;
    s->update(row.dt);
    expectVec(p.velocity, row.velocity);
  }
}

// Whatever the stored air resistance, an hour-long gap included, every
// position and velocity stays finite through shells, bursts and sparks.
TEST_F(ParticleStore_, PositionsStayFiniteForAnyAirResistance) {
  for (const int airreg : {INT_MAX, 2000, -1, -2000, INT_MIN}) {
    SCOPED_TRACE(airreg);
    settings.airreg = airreg;
    settings.detail = 3;
    settings.flash_effect = true;
    StoreWithLights s;
    for (int frame = 0; frame < 600; ++frame) {
      if (frame % 20 == 0) {
        designNextShell();
        s->launchShell(&shellTable[designCursor]);
      }
      s->update(frame == 300 ? 3600.0f : 1.0f / 30.0f);
      for (std::int32_t i = 0; i < s->count; ++i) {
        const Particle& p = s->particles[i];
        for (const float v : {p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y,
                              p.velocity.z}) {
          ASSERT_TRUE(std::isfinite(v)) << "frame " << frame << " particle " << i;
        }
      }
    }
  }
}

// A parent in the last slot of a full store is replaced by its first child;
// its children must still come from its own values, and the slot must end
// with its last child, updated once, as a store with room gives.
TEST_F(ParticleStore_, ParentInLastSlotOfFullStoreSpawnsFromItsOwnValues) {
  settings.flash_effect = true;
  enum Kind { Shell, Star, Emitter };
  for (const Kind kind : {Shell, Star, Emitter}) {
    SCOPED_TRACE(kind);
    const ShellDesign star = starDesign(), flash = starDesign();
    ShellDesign d = shellDesign(&star, &flash, kind == Shell ? 3 : 0);
    d.emitsSparks = kind == Emitter;
    d.bursts = kind != Emitter;
    d.sparkInterval = 0.02f;
    d.sparkDesign = &star;
    StoreWithLights roomy, full;
    for (ParticleStore* s : {&*roomy, &*full}) {
      if (s == &*full) fillStore(*s, star);
      s->count = s == &*full ? LAST : 0;
      Particle& p = placeParticle(*s, d, 4.0f, Vec3{1.0f, 6.0f, 0.5f});
      p.age = 0.95f;
      p.sparkTimer = 0.02f;
      p.burstCount = 3;
      bindSlot(*s, 0, s->count - 1);
      seedRandom(99);
      ringCursor = 0;
      s->update(0.07f);
    }
    ASSERT_EQ(full->count, MAX_PARTICLES);
    const Particle& got = full->particles[LAST];
    // The roomy store removed its bursting star, moving the flash to slot 0.
    const Particle& want = roomy->particles[kind == Star ? 0 : roomy->lastSpawned];
    ASSERT_EQ(got.design, kind == Emitter ? &star : &flash);
    ASSERT_EQ(want.design, got.design);
    expectVec(got.position, want.position);
    EXPECT_TRUE(got.velocity.z == want.velocity.z && got.lifetime == want.lifetime && got.age == 0.07f);
    // The parent's light went out with it; a shell's flash owns the slot now.
    EXPECT_EQ(got.hasLight, kind == Shell);
    EXPECT_EQ(full->lightSlots[0].inUse && full->lightSlots[0].particleIndex == LAST, kind == Shell);
    EXPECT_EQ(full->particles[LAST - 1].position.x, static_cast<float>(LAST - 1));
  }
}

// An empty store first; then 5 stars at the burst (age > 0.45), a flash for
// 0.35 s, the shell until age > 0.65, the stars 0.95 s; dt 0.1.
TEST_F(ParticleStore_, GoldenShellLifeCycleCounts) {
  settings.flash_effect = true;
  StoreWithLights s;
  const std::uint32_t state = randomState;
  s->update(0.1f);
  s->followLights();
  EXPECT_TRUE(s->count == 0 && randomState == state);
  ShellDesign star = starDesign(), flash = starDesign();
  star.lifetimeMin = star.lifetimeMax = 0.95f;
  star.gravity = 9.8f;
  flash.lifetimeMin = flash.lifetimeMax = 0.35f;
  ShellDesign shell = shellDesign(&star, &flash, 5);
  shell.burstAgeMax = 0.45f;
  shell.lifetimeMax = 0.65f;
  s->launchShell(&shell);
  const int expected[] = {1, 1, 1, 1, 7, 7, 6, 5, 5, 5, 5, 5, 5, 0};
  for (int frame = 0; frame < 14; ++frame) {
    s->update(0.1f);
    s->followLights();
    EXPECT_EQ(s->count, expected[frame]) << "frame " << frame + 1;
  }
  for (const LightSlot& slot : s->lightSlots) EXPECT_FALSE(slot.inUse);
}

} // namespace
} // namespace starbloom
