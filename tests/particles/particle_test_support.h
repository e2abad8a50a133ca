#pragma once
// Shared pieces of the particle tests: a store with its own light table,
// hand-made designs and particles, and a fixture that restores the globals.
#include <gtest/gtest.h>

#include <memory>

#include "frame/program_objects.h"

namespace starbloom {
namespace testing_support {

constexpr int LAST = MAX_PARTICLES - 1;

struct StoreWithLights { // 3 MB, so never on the stack
  std::unique_ptr<ParticleStore> store = std::make_unique<ParticleStore>();
  LightTable table;
  StoreWithLights() { store->lights = &table; }
  ParticleStore& operator*() { return *store; }
  ParticleStore* operator->() { return store.get(); }
};

// A star that neither bursts nor sheds sparks: lives 10 s, (1, .5, .25) to (0, .5, 1).
inline ShellDesign starDesign() {
  ShellDesign d;
  d.speedMin = 1.0f;
  d.speedMax = 2.0f;
  d.angleMax = 0.5f;
  d.burstAgeMin = d.burstAgeMax = 100.0f;
  d.lifetimeMin = d.lifetimeMax = 10.0f;
  d.startColor = Color4{1.0f, 0.5f, 0.25f, 1.0f};
  d.endColor = Color4{0.0f, 0.5f, 1.0f, 1.0f};
  return d;
}

// A shell stage: bursts into exactly `children` stars at 1 s, lives 2 s.
inline ShellDesign shellDesign(const ShellDesign* child, const ShellDesign* flash, int children) {
  ShellDesign d = starDesign();
  d.bursts = true;
  d.initialVelocity = Vec3{0.0f, 15.0f, 0.0f};
  d.burstAgeMin = d.burstAgeMax = 1.0f;
  d.lifetimeMin = d.lifetimeMax = 2.0f;
  d.childCountMin = d.childCountMax = children;
  d.childDesign = child;
  d.flashDesign = flash;
  return d;
}

// Appends a flying particle of design d at (x, 0, 0).
inline Particle& placeParticle(ParticleStore& s, const ShellDesign& d, float x = 0.0f,
                               Vec3 velocity = Vec3{0.0f, 5.0f, 0.0f}) {
  Particle& p = s.particles[s.count++];
  p = Particle{};
  p.active = true;
  p.position = Vec3{x, 0.0f, 0.0f};
  p.velocity = velocity;
  p.burstAge = d.burstAgeMax;
  p.lifetime = d.lifetimeMax;
  p.sparkTimer = 1.0f;
  p.burstCount = d.childCountMin;
  p.design = &d;
  return p;
}

inline void fillStore(ParticleStore& s, const ShellDesign& d) {
  while (s.count < MAX_PARTICLES) placeParticle(s, d, static_cast<float>(s.count));
}

// Binds light slot `slot` to particle i (bookkeeping only, no table entry).
inline void bindSlot(ParticleStore& s, int slot, std::int32_t i) {
  s.lightSlots[slot] = LightSlot{true, slot, i};
  s.particles[i].hasLight = true;
}

// Fresh program objects, the ring built and the generator seeded; fresh
// again afterwards.
class ParticleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    resetProgramObjects();
    buildRandomRing();
    seedRandom(4242);
  }
  void TearDown() override { resetProgramObjects(); }
};

} // namespace testing_support
} // namespace starbloom
