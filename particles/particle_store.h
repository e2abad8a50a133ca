#pragma once
// The particle store: every shell, star, spark and flash of the sky in one
// packed array of fixed capacity, with the light slots that bind OpenGL
// lights to particles.
#include <cstdint>

#include "fireworks/shell_design.h"
#include "frame/render_context.h"
#include "math/vector.h"

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
  LightTable* lights = nullptr;   // the shared light table; renderContext.lights when null
  double lastUpdateMs = 0.0;      // wall-clock time of the last update and light follow

  std::int32_t allocateSlot();
  // allocateSlot, then marks the record live with the given kind flags.
  std::int32_t startParticle(bool spark);
  void spawnBurstChild(const Particle& parent, const ShellDesign* design);
  std::int32_t spawnSpark(const Particle& parent, const ShellDesign* design);
  void removeParticle(std::int32_t i);
  void releaseLights(std::int32_t i);
  void launchShell(const ShellDesign* design);
  void attachLight(std::int32_t i);

  // Moves, ages, colours, spawns and removes every particle; no OpenGL
  // drawing (removing a light disables its GL light).
  void update(float dt);
  // Moves each particle-bound light to its particle.
  void followLights();
  // update, followLights, then the drawing pass.
  void updateAndDraw(float dt);

  LightTable& lightTable();
};

// The one particle store; defined with the other program objects.
extern ParticleStore particleStore;

} // namespace starbloom
