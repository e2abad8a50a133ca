#pragma once
// The particle store: every shell, star, spark and flash of the sky in one
// packed array of fixed capacity, with the light slots that bind lights of
// the shared light table to particles. Plain simulation: nothing here draws.
#include <cstdint>

#include "fireworks/shell_design.h"
#include "math/vector.h"
#include "scene/light_table.h"

namespace starbloom {

constexpr int MAX_PARTICLES = 38000;
constexpr int PARTICLE_LIGHT_SLOTS = 10; // only the first 8 are used
constexpr int USED_LIGHT_SLOTS = 8;

struct Particle {
  bool active = false;
  bool hasBurst = false;          // burst happened; position frozen from then on
  bool isSpark = false;
  bool hasLight = false;          // owns a light slot
  Vec3 position;                  // world units
  Vec3 velocity;                  // world units per second
  float burstAge = 0.0f;          // seconds
  float lifetime = 0.0f;          // seconds
  float age = 0.0f;               // seconds since spawn
  float sparkTimer = 0.0f;        // seconds until the next trail spark
  Color4 color;                   // rgb recomputed every frame
  std::int32_t burstCount = 0;    // primary children at the burst
  std::int32_t secondaryCount = 0;
  const ShellDesign* design = nullptr; // governing design, not owned
};

struct LightSlot {
  bool inUse = false;
  std::int32_t lightIndex = 0;    // index answered by LightTable::addLight
  std::int32_t particleIndex = 0; // owning particle
};

struct ParticleStore {
  Particle particles[MAX_PARTICLES];
  std::int32_t count = 0;         // live particles are 0..count-1
  float frameTime = 0.0f;         // time step of the update in progress
  std::int32_t lastSpawned = 0;
  LightSlot lightSlots[PARTICLE_LIGHT_SLOTS];
  LightTable* lights = nullptr;   // the shared light table; while null no particle gets a light

  ParticleStore() = default;
  explicit ParticleStore(LightTable& table) : lights(&table) {}

  // The slot of the next spawn: count, or in a full store the last slot,
  // whose particle loses its light.
  std::int32_t allocateSlot();
  // allocateSlot, then marks the record live with the given kind flags.
  std::int32_t startParticle(bool spark);
  void spawnBurstChild(const Particle& parent, const ShellDesign* design);
  std::int32_t spawnSpark(const Particle& parent, const ShellDesign* design);
  void removeParticle(std::int32_t i);
  void releaseLights(std::int32_t i);
  // Fires the shell of a freshly composed firework, with a light when a
  // light slot is free (shell_launch.cpp).
  void launchShell(const ShellDesign* design);
  // Binds a light to particle i, the flash of a shell's burst, when a light
  // slot is free.
  void attachLight(std::int32_t i);

  // Moves, ages, colours, spawns and removes every particle (frameTime := dt).
  void update(float dt);
  // Moves each particle-bound light to its particle.
  void followLights();
};

// The one particle store; defined with the other program objects.
extern ParticleStore particleStore;

} // namespace starbloom
