// Cost of the particle update per live particle and frame, the figure the
// frame budget is planned with (target: at most 40 ns on one core).
//
// Each benchmark keeps a steady population: stars with lifetimes of 2 to 4 s
// that do not burst, topped up after every frame by burst children of a
// fixed parent, so ages, colours and velocities stay in their usual ranges
// (velocities never decay into denormals). The update and the light follow
// run as in a frame; nothing is drawn. per_particle is the time of one frame
// divided by the live particles it updated (seconds, printed as ns).
#include <benchmark/benchmark.h>

#include <memory>

#include "fireworks/shell_design.h"
#include "scene/light_table.h"
#include "math/random.h"
#include "particles/particle_store.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

constexpr float FRAME_STEP = 0.012f; // seconds, the saver's shortest frame

ShellDesign benchStar(bool twinkles) {
  ShellDesign d;
  d.speedMin = 1.0f;
  d.speedMax = 3.0f;
  d.angleMax = 3.0f;
  d.gravity = 2.0f;
  d.lifetimeMin = 2.0f;
  d.lifetimeMax = 4.0f;
  d.burstAgeMin = d.burstAgeMax = 100.0f;
  d.twinkles = twinkles;
  d.startColor = Color4{1.0f, 0.8f, 0.3f, 1.0f};
  d.endColor = Color4{0.6f, 0.1f, 0.9f, 1.0f};
  return d;
}

struct BenchSky {
  std::unique_ptr<ParticleStore> store = std::make_unique<ParticleStore>();
  LightTable table;
  Particle parent;

  explicit BenchSky(int population, const ShellDesign& star) {
    store->lights = &table;
    parent.position = Vec3{0.0f, 40.0f, 0.0f};
    parent.velocity = Vec3{0.0f, 1.0f, 0.0f};
    refill(population, star);
    // Eight lights follow particles, as after eight launches.
    LightSource light;
    light.resetLight(true);
    for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
      store->lightSlots[s].inUse = true;
      store->lightSlots[s].lightIndex = table.addLight(light);
      store->lightSlots[s].particleIndex = s;
      store->particles[s].hasLight = true;
    }
    // Spread the ages so that the population does not die out together.
    for (int i = 0; i < store->count; ++i) {
      store->particles[i].age = randomRange(0.0f, 1.9f);
    }
  }

  void refill(int population, const ShellDesign& star) {
    while (store->count < population) store->spawnBurstChild(parent, &star);
  }
};

void runSteadySky(benchmark::State& state, bool twinkles) {
  const int population = static_cast<int>(state.range(0));
  seedRandom(1);
  buildRandomRing();
  const ShellDesign star = benchStar(twinkles);
  BenchSky sky(population, star);
  for (auto _ : state) {
    sky.store->update(FRAME_STEP);
    sky.store->followLights();
    sky.refill(population, star);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * population);
  state.counters["per_particle"] = benchmark::Counter(
      static_cast<double>(population),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ParticleUpdate(benchmark::State& state) { runSteadySky(state, false); }
void BM_ParticleUpdateTwinkling(benchmark::State& state) { runSteadySky(state, true); }

BENCHMARK(BM_ParticleUpdate)->Arg(1000)->Arg(10000)->Arg(38000);
BENCHMARK(BM_ParticleUpdateTwinkling)->Arg(38000);

// A busy sky: trailing shells with secondaries and flashes launched whenever
// fewer than range(0) particles live, so spawning, bursts and removals are
// part of the cost.
void BM_BusySky(benchmark::State& state) {
  const int target = static_cast<int>(state.range(0));
  seedRandom(1);
  buildRandomRing();
  const bool savedFlash = settings.flash_effect;
  settings.flash_effect = true;
  ShellDesign spark = benchStar(false);
  spark.speedMin = 0.5f;
  spark.lifetimeMin = spark.lifetimeMax = 1.0f;
  ShellDesign flash = benchStar(false);
  flash.speedMax = 0.0f;
  flash.lifetimeMin = flash.lifetimeMax = 0.4f;
  ShellDesign star = benchStar(true);
  star.emitsSparks = true;
  star.sparkInterval = 0.24f;
  star.sparkDesign = &spark;
  ShellDesign shell = benchStar(false);
  shell.bursts = true;
  shell.hasSecondary = true;
  shell.initialVelocity = Vec3{0.0f, 15.0f, 0.0f};
  shell.burstAgeMax = 1.0f;
  shell.lifetimeMax = 2.5f;
  shell.childCountMin = 100;
  shell.childCountMax = 200;
  shell.childDesign = &star;
  shell.secondaryDesign = &star;
  shell.flashDesign = &flash;
  shell.emitsSparks = true;
  shell.sparkInterval = 0.03f;
  shell.sparkDesign = &spark;

  auto store = std::make_unique<ParticleStore>();
  LightTable table;
  store->lights = &table;
  long long updated = 0;
  for (auto _ : state) {
    updated += store->count;
    store->update(FRAME_STEP);
    store->followLights();
    if (store->count < target) store->launchShell(&shell);
    benchmark::ClobberMemory();
  }
  settings.flash_effect = savedFlash;
  state.SetItemsProcessed(updated);
  state.counters["per_particle"] = benchmark::Counter(
      static_cast<double>(updated), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_BusySky)->Arg(10000)->Arg(38000);

} // namespace
} // namespace starbloom
