// The store check against a small sound store and that store broken one way
// at a time: each break must be reported, with a message naming what broke.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "particle_test_support.h"
#include "particles/store_invariants.h"

namespace starbloom {
namespace {

using namespace testing_support;

class StoreInvariants : public ParticleFixture {};

constexpr float NOT_A_NUMBER = std::numeric_limits<float>::quiet_NaN();
constexpr float INFINITE = std::numeric_limits<float>::infinity();

// The landscape's light in table slot 0; shells 0 and 1 in flight with light
// slots 0 and 1 (table lights 1 and 2); star 2 has burst with its flag still
// set and no slot; star 3 plain. Sound when table light 0 may be ownerless.
TEST_F(StoreInvariants, EachBrokenInvariantIsReportedByName) {
  const ShellDesign star = starDesign();
  const ShellDesign shell = shellDesign(&star, nullptr, 3);
  using Break = std::function<void(ParticleStore&, LightTable&)>;
  const struct {
    const char* what;
    Break apply;
    const char* expected; // fragment of the message; empty: still sound
  } rows[] = {
      {"untouched", [](ParticleStore&, LightTable&) {}, ""},
      {"full table gave slot 1 no light",
       [](ParticleStore& s, LightTable& t) {
         t.removeLight(2);
         s.lightSlots[1].lightIndex = NO_LIGHT_SLOT;
       },
       ""},
      {"count over capacity", [](ParticleStore& s, LightTable&) { s.count = MAX_PARTICLES + 1; }, "count 38001"},
      {"count negative", [](ParticleStore& s, LightTable&) { s.count = -1; }, "count -1"},
      {"inactive", [](ParticleStore& s, LightTable&) { s.particles[3].active = false; }, "particle 3 is not active"},
      {"no design", [](ParticleStore& s, LightTable&) { s.particles[3].design = nullptr; }, "particle 3 has no design"},
      {"position NaN", [](ParticleStore& s, LightTable&) { s.particles[3].position.x = NOT_A_NUMBER; },
       "particle 3 is not finite: position (nan"},
      {"velocity infinite", [](ParticleStore& s, LightTable&) { s.particles[2].velocity.z = -INFINITE; },
       "particle 2 is not finite"},
      {"age NaN", [](ParticleStore& s, LightTable&) { s.particles[3].age = NOT_A_NUMBER; }, "particle 3 has age nan"},
      {"lifetime infinite", [](ParticleStore& s, LightTable&) { s.particles[3].lifetime = INFINITE; },
       "lifetime inf"},
      {"colour NaN", [](ParticleStore& s, LightTable&) { s.particles[3].color.g = NOT_A_NUMBER; },
       "particle 3 has colour"},
      {"slot past the live", [](ParticleStore& s, LightTable&) { s.lightSlots[1].particleIndex = 4; },
       "light slot 1 names particle 4, outside the live 0..3"},
      {"owner without flag", [](ParticleStore& s, LightTable&) { s.particles[1].hasLight = false; },
       "light slot 1 names particle 1, which has no light"},
      {"owner has burst", [](ParticleStore& s, LightTable&) { s.particles[0].hasBurst = true; },
       "light slot 0 still follows particle 0 after its burst"},
      {"two slots, one particle", [](ParticleStore& s, LightTable&) { s.lightSlots[1].particleIndex = 0; },
       "light slots 0 and 1 both name particle 0"},
      {"two slots, one light", [](ParticleStore& s, LightTable&) { s.lightSlots[1].lightIndex = 1; },
       "light slots 0 and 1 both hold table light 1"},
      {"slot's light freed", [](ParticleStore&, LightTable& t) { t.removeLight(2); },
       "light slot 1 holds table light 2, which is free"},
      {"slot's light out of range", [](ParticleStore& s, LightTable&) { s.lightSlots[0].lightIndex = 12; },
       "light slot 0 holds light index 12"},
      {"slot dropped, light kept",
       [](ParticleStore& s, LightTable&) {
         s.lightSlots[1].inUse = false;
         s.particles[1].hasLight = false;
       },
       "table light 2 is in use but no light slot holds it"},
      {"flag set, no slot, not burst", [](ParticleStore& s, LightTable&) { s.particles[2].hasBurst = false; },
       "particle 2 has a light, has not burst, and no light slot names it"},
      {"slot 8 in use", [](ParticleStore& s, LightTable&) { s.lightSlots[8].inUse = true; },
       "light slot 8 is in use"},
      {"table light 9 in use", [](ParticleStore&, LightTable& t) { t.slots[9].inUse = true; },
       "table light 9 is in use"},
      {"no table, slot holds a light", [](ParticleStore& s, LightTable&) { s.lights = nullptr; },
       "light slot 0 holds light 1 but the store has no table"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    StoreWithLights s;
    s.table.addLight(LightSource{});
    s->launchShell(&shell);
    s->launchShell(&shell);
    Particle& burst = placeParticle(*s, star, 2.0f);
    burst.hasLight = true;
    burst.hasBurst = true;
    placeParticle(*s, star, 3.0f);
    ASSERT_TRUE(checkStore(*s, 0x1).sound) << checkStore(*s, 0x1).message;

    row.apply(*s, s.table);
    const StoreCheck check = checkStore(*s, 0x1);
    EXPECT_EQ(check.sound, row.expected[0] == '\0') << check.message;
    EXPECT_NE(std::string(check.message).find(row.expected), std::string::npos) << check.message;
  }
}

// Without the ownerless bit the landscape's light is reported; without a
// table every slot must hold the "no light" index.
TEST_F(StoreInvariants, OwnerlessLightsAndTheTablelessStore) {
  const ShellDesign star = starDesign();
  const ShellDesign shell = shellDesign(&star, nullptr, 3);
  StoreWithLights s;
  s.table.addLight(LightSource{});
  s->launchShell(&shell);
  EXPECT_TRUE(checkStore(*s, 0x1).sound);
  const StoreCheck check = checkStore(*s);
  EXPECT_FALSE(check.sound);
  EXPECT_STREQ(check.message, "table light 0 is in use but no light slot holds it");

  StoreWithLights bare;
  bare->lights = nullptr;
  bare->launchShell(&shell);
  bare->launchShell(&shell);
  EXPECT_EQ(bare->lightSlots[1].lightIndex, NO_LIGHT_SLOT);
  EXPECT_TRUE(checkStore(*bare).sound) << checkStore(*bare).message;
}

} // namespace
} // namespace starbloom
