// The lights that shells and flashes put into the light table, and how the
// store moves and frees them; they read the real LightTable back.
#include <gtest/gtest.h>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using namespace testing_support;

class ParticleLights : public ParticleFixture {};

// A light at `position` with `scale` times the particle's colour.
void expectLight(const LightTable& table, int index, Vec3 position, const Particle& p, float scale,
                 float quadratic) {
  LightSource light;
  ASSERT_TRUE(table.getLight(index, light));
  EXPECT_TRUE(light.position.x == position.x && light.position.y == position.y);
  EXPECT_FLOAT_EQ(light.colour.r, scale * p.color.r);
  EXPECT_FLOAT_EQ(light.colour.b, scale * p.color.b);
  EXPECT_TRUE(light.unusedScale == 8.0f && light.ambientFactor == 0.0f);
  EXPECT_TRUE(light.attenuation[0] == 1.0f && light.attenuation[1] == 0.0f);
  EXPECT_EQ(light.attenuation[2], quadratic);
}

// The landscape holds table light 0. Shell A ends in frame 2, so B's light
// follows B from index 1 to 0; in frame 3 B bursts, its light goes out and its
// flash takes the lowest slot. A new light starts high with twice the colour.
TEST_F(ParticleLights, LightsStartHighThenFollowTheirParticlesAcrossRemovalsAndBursts) {
  settings.flash_effect = true;
  StoreWithLights s;
  s.table.addLight(LightSource{});
  const ShellDesign star = starDesign(), flash = starDesign();
  ShellDesign a = shellDesign(&star, nullptr, 1), b = shellDesign(&star, &flash, 2);
  a.bursts = false;
  a.lifetimeMax = 0.15f;
  b.burstAgeMax = 0.25f;
  s->launchShell(&a);
  s->launchShell(&b);
  EXPECT_EQ(s->lightSlots[1].lightIndex, 2);
  expectLight(s.table, 2, Vec3{0.0f, 60.0f, 0.0f}, s->particles[1], 2.0f, 0.2f);
  for (int frame = 1; frame <= 3; ++frame) {
    SCOPED_TRACE(frame);
    s->update(0.1f);
    const int slot = frame < 3 ? 1 : 0, at = frame == 1 ? 1 : frame == 2 ? 0 : 3;
    const Particle& p = s->particles[at];
    ASSERT_EQ(p.design, frame < 3 ? &b : &flash);
    EXPECT_EQ(s->lightSlots[slot].particleIndex, at);
    s->followLights();
    expectLight(s.table, s->lightSlots[slot].lightIndex, p.position, p, 1.5f, frame < 3 ? 0.2f : 0.08f);
  }
  int inTable = 0;
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) inTable += s.table.slots[k].inUse ? 1 : 0;
  EXPECT_EQ(inTable, 2);
  EXPECT_FALSE(s->lightSlots[1].inUse);
}

TEST_F(ParticleLights, FullTableGivesIndexNineWhichFollowsAndFreesNothing) {
  StoreWithLights s;
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) s.table.addLight(LightSource{});
  ShellDesign shell = starDesign();
  shell.lifetimeMax = 0.05f;
  s->launchShell(&shell);
  EXPECT_TRUE(s->particles[0].hasLight && s->lightSlots[0].lightIndex == NO_LIGHT_SLOT);
  s->followLights();
  s->update(0.1f); // the shell ends
  EXPECT_FALSE(s->lightSlots[0].inUse);
  for (const LightSource& light : s.table.slots) EXPECT_EQ(light.position.y, 0.0f);
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) EXPECT_TRUE(s.table.slots[k].inUse);
}

TEST_F(ParticleLights, FlashLightStartsHighAndGoesWhenASpawnOverwritesItsOwner) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  fillStore(*s, star);
  s->particles[LAST].color = Color4{0.5f, 0.25f, 1.0f, 1.0f};
  s->attachLight(LAST);
  ASSERT_EQ(s->lightSlots[0].lightIndex, 0);
  expectLight(s.table, 0, Vec3{0.0f, 60.0f, 0.0f}, s->particles[LAST], 2.0f, 0.08f);
  s->spawnBurstChild(s->particles[0], &star);
  LightSource gone;
  EXPECT_FALSE(s.table.getLight(0, gone));
  EXPECT_FALSE(s->lightSlots[0].inUse);
}

} // namespace
} // namespace starbloom
