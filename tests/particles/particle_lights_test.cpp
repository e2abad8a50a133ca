// The lights that shells and flashes put into the light table, and how the
// store moves and frees them. These read the table back, so they need the
// real LightTable of the rendering context.
#include <gtest/gtest.h>

#include "particle_test_support.h"

namespace starbloom {
namespace {

using testing_support::fillStore;
using testing_support::placeParticle;
using testing_support::shellDesign;
using testing_support::starDesign;
using testing_support::StoreWithLights;

class ParticleLights : public testing_support::ParticleFixture {
 protected:
  void SetUp() override {
    ParticleFixture::SetUp();
    if (!testing_support::lightTableBuilt()) GTEST_SKIP() << "the LightTable is not built in this tree";
  }
};

void expectLight(const LightTable& table, int index, Vec3 position, Color4 colour, float quadratic) {
  LightSource light;
  ASSERT_TRUE(table.getLight(index, light));
  EXPECT_EQ(light.position.x, position.x);
  EXPECT_EQ(light.position.y, position.y);
  EXPECT_EQ(light.position.z, position.z);
  EXPECT_FLOAT_EQ(light.colour.r, colour.r);
  EXPECT_FLOAT_EQ(light.colour.g, colour.g);
  EXPECT_FLOAT_EQ(light.colour.b, colour.b);
  EXPECT_EQ(light.unusedScale, 8.0f);
  EXPECT_EQ(light.ambientFactor, 0.0f);
  EXPECT_EQ(light.attenuation[0], 1.0f);
  EXPECT_EQ(light.attenuation[1], 0.0f);
  EXPECT_EQ(light.attenuation[2], quadratic);
}

TEST_F(ParticleLights, ShellAndFlashLightsStartHighWithTwiceTheColour) {
  StoreWithLights s;
  s.table.addLight(LightSource{}); // the landscape's light holds table slot 0
  const ShellDesign star = starDesign();
  ShellDesign shell = shellDesign(&star, nullptr, 2);
  shell.startColor = makeColor4(0.3f, 0.2f, 0.1f, 1.0f);
  s->launchShell(&shell);
  EXPECT_EQ(s->lightSlots[0].lightIndex, 1);
  expectLight(s.table, 1, makeVec3(0.0f, 60.0f, 0.0f), makeColor4(0.6f, 0.4f, 0.2f, 0.0f), 0.2f);

  Particle& flash = placeParticle(*s, star);
  flash.color = makeColor4(0.5f, 0.25f, 1.0f, 1.0f);
  s->attachLight(1);
  EXPECT_EQ(s->lightSlots[1].lightIndex, 2);
  expectLight(s.table, 2, makeVec3(0.0f, 60.0f, 0.0f), makeColor4(1.0f, 0.5f, 2.0f, 0.0f), 0.08f);
}

TEST_F(ParticleLights, FollowMovesEachLightToItsParticleAcrossRemovals) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign shortLived = shellDesign(&star, nullptr, 1);
  shortLived.bursts = false;
  shortLived.lifetimeMax = 0.15f;
  ShellDesign shell = shellDesign(&star, nullptr, 1);
  shell.bursts = false;
  shell.launchPosition = makeVec3(5.0f, 0.0f, 0.0f);
  s->launchShell(&shortLived);
  s->launchShell(&shell);
  for (int frame = 1; frame <= 2; ++frame) {
    s->update(0.1f);
    s->followLights();
    SCOPED_TRACE(frame);
    const int shellAt = frame == 1 ? 1 : 0; // the first shell ends in frame 2
    const Particle& p = s->particles[shellAt];
    EXPECT_EQ(p.design, &shell);
    const Color4 bright = makeColor4(1.5f * p.color.r, 1.5f * p.color.g, 1.5f * p.color.b, 0.0f);
    expectLight(s.table, s->lightSlots[1].lightIndex, p.position, bright, 0.2f);
  }
  EXPECT_EQ(s->count, 1);
  LightSource gone;
  EXPECT_FALSE(s.table.getLight(0, gone)); // the first shell's light went with it
  EXPECT_FALSE(s->lightSlots[0].inUse);
}

TEST_F(ParticleLights, BurstPutsOutTheShellLightAndTheFlashTakesItsPlace) {
  settings.flash_effect = true;
  StoreWithLights s;
  const ShellDesign star = starDesign();
  ShellDesign flash = starDesign();
  flash.lifetimeMin = flash.lifetimeMax = 0.4f;
  ShellDesign shell = shellDesign(&star, &flash, 2);
  shell.burstAgeMax = 0.05f;
  s->launchShell(&shell);
  s->update(0.1f);
  s->followLights();
  ASSERT_EQ(s->count, 4);
  EXPECT_EQ(s->lightSlots[0].particleIndex, 3);
  const Particle& f = s->particles[3];
  EXPECT_EQ(f.design, &flash);
  const Color4 bright = makeColor4(1.5f * f.color.r, 1.5f * f.color.g, 1.5f * f.color.b, 0.0f);
  expectLight(s.table, s->lightSlots[0].lightIndex, f.position, bright, 0.08f);
  int inTable = 0;
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) inTable += s.table.slots[k].inUse ? 1 : 0;
  EXPECT_EQ(inTable, 1);
}

TEST_F(ParticleLights, FullTableGivesIndexNineWhichFollowsAndFreesNothing) {
  StoreWithLights s;
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) s.table.addLight(LightSource{});
  const ShellDesign star = starDesign();
  ShellDesign shell = shellDesign(&star, nullptr, 1);
  shell.lifetimeMax = 0.05f;
  shell.bursts = false;
  s->launchShell(&shell);
  EXPECT_TRUE(s->particles[0].hasLight);
  EXPECT_TRUE(s->lightSlots[0].inUse);
  EXPECT_EQ(s->lightSlots[0].lightIndex, NO_LIGHT_SLOT);
  s->followLights();
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) EXPECT_EQ(s.table.slots[k].position.y, 0.0f);
  s->update(0.1f); // the shell ends
  EXPECT_FALSE(s->lightSlots[0].inUse);
  for (int k = 0; k < GL_LIGHT_SLOTS; ++k) EXPECT_TRUE(s.table.slots[k].inUse);
}

TEST_F(ParticleLights, SpawnOverALightOwnerRemovesItsTableLight) {
  StoreWithLights s;
  const ShellDesign star = starDesign();
  const ShellDesign shell = shellDesign(&star, nullptr, 1);
  fillStore(*s, star);
  s->count = MAX_PARTICLES - 1;
  s->launchShell(&shell); // the last slot, with table light 0
  ASSERT_EQ(s->lightSlots[0].lightIndex, 0);
  Particle parent;
  parent.velocity = makeVec3(0.0f, 1.0f, 0.0f);
  s->spawnBurstChild(parent, &star);
  LightSource gone;
  EXPECT_FALSE(s.table.getLight(0, gone));
  EXPECT_FALSE(s->lightSlots[0].inUse);
}

} // namespace
} // namespace starbloom
