#pragma once
// Shared pieces of the particle-store tests: a fresh store on the heap with
// its own light table, hand-made designs, hand-placed particles, and a
// fixture that restores the settings and the generator after each test.
#include <gtest/gtest.h>

#include <memory>

#include "fireworks/shell_design.h"
#include "frame/render_context.h"
#include "math/random.h"
#include "particles/particle_store.h"
#include "settings/settings.h"

namespace starbloom {
namespace testing_support {

// A store of its own (3 MB, so never on the stack) bound to its own table.
struct StoreWithLights {
  std::unique_ptr<ParticleStore> store = std::make_unique<ParticleStore>();
  LightTable table;
  StoreWithLights() { store->lights = &table; }
  ParticleStore& operator*() { return *store; }
  ParticleStore* operator->() { return store.get(); }
};

// A star that neither bursts nor sheds sparks: lives 10 s, red-ish to blue.
inline ShellDesign starDesign() {
  ShellDesign d;
  d.speedMin = 1.0f;
  d.speedMax = 2.0f;
  d.angleMax = 0.5f;
  d.burstAgeMin = d.burstAgeMax = 100.0f;
  d.lifetimeMin = d.lifetimeMax = 10.0f;
  d.startColor = makeColor4(1.0f, 0.5f, 0.25f, 1.0f);
  d.endColor = makeColor4(0.0f, 0.5f, 1.0f, 1.0f);
  return d;
}

// A shell stage: bursts into exactly `children` stars at 1 s, lives 2 s.
inline ShellDesign shellDesign(const ShellDesign* child, const ShellDesign* flash, int children) {
  ShellDesign d = starDesign();
  d.bursts = true;
  d.initialVelocity = makeVec3(0.0f, 15.0f, 0.0f);
  d.burstAgeMin = d.burstAgeMax = 1.0f;
  d.lifetimeMin = d.lifetimeMax = 2.0f;
  d.childCountMin = d.childCountMax = children;
  d.childDesign = child;
  d.flashDesign = flash;
  return d;
}

// Places a flying particle of design d at the end of the live range.
inline Particle& placeParticle(ParticleStore& s, const ShellDesign& d, Vec3 position = Vec3{},
                               Vec3 velocity = makeVec3(0.0f, 5.0f, 0.0f)) {
  Particle& p = s.particles[s.count++];
  p = Particle{};
  p.active = true;
  p.position = position;
  p.velocity = velocity;
  p.burstAge = d.burstAgeMax;
  p.lifetime = d.lifetimeMax;
  p.sparkTimer = 1.0f;
  p.burstCount = d.childCountMin;
  p.design = &d;
  return p;
}

// Fills the store to capacity with stars of design d.
inline void fillStore(ParticleStore& s, const ShellDesign& d) {
  while (s.count < MAX_PARTICLES) {
    placeParticle(s, d, makeVec3(static_cast<float>(s.count), 0.0f, 0.0f));
  }
}

// Binds light slot `slot` to particle i (bookkeeping only, no table entry).
inline void bindSlot(ParticleStore& s, int slot, std::int32_t i) {
  s.lightSlots[slot].inUse = true;
  s.lightSlots[slot].lightIndex = slot;
  s.lightSlots[slot].particleIndex = i;
  s.particles[i].hasLight = true;
}

// A seed from which the k-th rand15 draw (k from 1) answers `value`: the
// generator's step is inverted k times from a state with those bits.
inline std::uint32_t seedForDraw(int k, int value) {
  const std::uint32_t a = 214013u, c = 2531011u;
  std::uint32_t inv = a; // Newton's iteration for the inverse of a mod 2^32
  for (int n = 0; n < 5; ++n) inv *= 2u - a * inv;
  std::uint32_t state = static_cast<std::uint32_t>(value) << 16;
  for (int n = 0; n < k; ++n) state = (state - c) * inv;
  return state;
}

// Whether the light table answers addLight with a real slot (it does once
// the rendering context's light table is built).
inline bool lightTableBuilt() {
  LightTable t;
  return t.addLight(LightSource{}) == 0;
}

// Restores the settings and the generator; builds the random ring once.
class ParticleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSettings = settings;
    savedState = randomState;
    savedCursor = ringCursor;
    settings = Settings{};
    settings.flash_effect = false;
    seedRandom(1);
    buildRandomRing();
    seedRandom(4242);
    ringCursor = 0;
  }
  void TearDown() override {
    settings = savedSettings;
    randomState = savedState;
    ringCursor = savedCursor;
  }

 private:
  Settings savedSettings;
  std::uint32_t savedState = 1;
  int savedCursor = 0;
};

} // namespace testing_support
} // namespace starbloom
