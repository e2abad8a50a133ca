// The particle store: every shell, star, spark and flash lives in one packed
// array of MAX_PARTICLES records, and one pass per frame moves, ages,
// colours, spawns and removes them in place. A shell or star that sheds
// trail sparks does so in emitTrailSparks, and one whose burst age has come
// in burst; what a full store does to a parent is told once, at LAST_SLOT.
//
// Invariants:
// - particles 0..count-1 are the live ones; removal copies the last record
//   into the hole, so removal is O(1) and indices are not stable;
// - a particle spawned during the pass is appended and updated in that same
//   pass, so it is never drawn before its first update;
// - every light slot in use names the current index of the particle that
//   owns it: removal rewrites the index of the moved record, and a spawn that
//   overwrites the last slot of a full store first releases the light of the
//   particle it replaces, so no light follows a stranger;
// - a full store never refuses a spawn: the new particle replaces the one in
//   the last slot and count stays MAX_PARTICLES.
//
// Drag can at most stop a particle: the share of velocity kept over a step,
// 1 - dt * rate, is held within 0..1, so a huge air resistance or a long
// frame gap stops a particle instead of flinging it back, and a negative one
// never speeds it up.
//
// Cost per particle and frame: a dozen multiply-adds, one division, a sine
// for twinkling stars only; no allocation.
#include "particles/particle_store.h"

#include <cmath>

#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {

namespace {

// A full store spawns into its last slot, over the particle there. A parent
// that sits in that slot and spawns is thus replaced by its first child, so
// it spawns all its children from a copy of itself taken before the first,
// and afterwards the slot counts as emptied by a removal: it holds the last
// child, which the pass has yet to update.
constexpr std::int32_t LAST_SLOT = MAX_PARTICLES - 1;

bool replacedByItsChildren(std::int32_t parent, bool spawned) {
  return spawned && parent == LAST_SLOT;
}

constexpr float SHELL_DRAG = 0.9f;            // per second, for every shell stage
constexpr float TWINKLE_RATE = 31.415924f;    // radians per second of age
// More sparks than the store holds in one step would only overwrite each
// other; the cap also ends the loop when the interval is too small to move
// the timer at all in single precision.
constexpr int MAX_SPARKS_PER_STEP = MAX_PARTICLES;

// Child count with the maximum reached only when it equals the minimum.
std::int32_t drawChildCount(const ShellDesign& d) {
  return d.childCountMin +
         static_cast<std::int32_t>(unitDraw() * static_cast<float>(d.childCountMax - d.childCountMin));
}

// Share of the velocity kept over a step with drag factor k = dt * rate.
float velocityKept(float k) {
  const float kept = 1.0f - k;
  if (kept < 0.0f) return 0.0f;
  if (kept > 1.0f) return 1.0f;
  return kept;
}

} // namespace

std::int32_t ParticleStore::allocateSlot() {
  if (count > LAST_SLOT) {
    count = LAST_SLOT;
    // A light still bound to the particle replaced would follow the newcomer.
    if (particles[LAST_SLOT].hasLight) releaseLights(LAST_SLOT);
  }
  return count;
}

std::int32_t ParticleStore::startParticle(bool spark) {
  const std::int32_t i = allocateSlot();
  Particle& p = particles[i];
  p.active = true;
  p.hasBurst = false;
  p.isSpark = spark;
  p.hasLight = false;
  return i;
}

void ParticleStore::spawnBurstChild(const Particle& parent, const ShellDesign* design) {
  if (design == nullptr) return; // an unlinked stage spawns nothing
  const ShellDesign& d = *design;
  const std::int32_t i = startParticle(false);
  Particle& p = particles[i];
  const Vec3 v = randomInCone(parent.velocity, d.speedMin, d.speedMax, d.angleMin, d.angleMax);
  p.velocity = 0.1f * (static_cast<float>(settings.spread) * v) + d.initialVelocity;
  p.position = parent.position;
  p.burstAge = d.burstAgeMin + unitDraw() * (d.burstAgeMax - d.burstAgeMin);
  p.lifetime = d.lifetimeMin + unitDraw() * (d.lifetimeMax - d.lifetimeMin);
  p.sparkTimer = unitDraw() + 0.1f;
  p.age = 0.0f;
  p.burstCount = drawChildCount(d);
  // color is computed by the update before the first draw; secondaryCount is
  // read only by designs with a secondary set, which spawned stages lack.
  p.design = design;
  lastSpawned = i;
  count += 1;
}

std::int32_t ParticleStore::spawnSpark(const Particle& parent, const ShellDesign* design) {
  if (design == nullptr) return -1;
  const ShellDesign& d = *design;
  const std::int32_t i = startParticle(true);
  Particle& p = particles[i];
  p.velocity = d.speedMin * nextRandomVector();
  // Spread the sparks of one step along the path the parent covered in it.
  const Vec3 prev = parent.position - frameTime * parent.velocity;
  const float u = unitDraw();
  p.position = u * parent.position + (1.0f - u) * prev;
  p.burstAge = d.burstAgeMin + unitDraw() * (d.burstAgeMax - d.burstAgeMin);
  p.lifetime = d.lifetimeMax;
  p.age = 0.0f;
  p.burstCount = drawChildCount(d);
  p.design = design;
  lastSpawned = i;
  count += 1;
  return i;
}

void ParticleStore::releaseLights(std::int32_t i) {
  for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
    LightSlot& slot = lightSlots[s];
    if (slot.inUse && slot.particleIndex == i) {
      if (lights != nullptr) lights->removeLight(slot.lightIndex);
      slot.inUse = false;
    }
  }
}

void ParticleStore::removeParticle(std::int32_t i) {
  if (particles[i].hasLight) releaseLights(i);
  const std::int32_t last = count - 1;
  particles[i] = particles[last];
  if (particles[i].hasLight) {
    // A particle owns at most one slot, so the first match is the one.
    for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
      LightSlot& slot = lightSlots[s];
      if (slot.inUse && slot.particleIndex == last) {
        slot.particleIndex = i;
        break;
      }
    }
  }
  count -= 1;
}

namespace {

// Sheds the trail sparks that particle i, not itself a spark, owes since its
// timer ran out: one for each sparkInterval the timer lies below zero, at
// most MAX_SPARKS_PER_STEP. True when its last spark now holds slot i.
bool emitTrailSparks(ParticleStore& store, std::int32_t i) {
  Particle& p = store.particles[i];
  const ShellDesign& d = *p.design;
  // A non-positive interval would never bring the timer back up: such a
  // design sheds no sparks.
  if (!(p.sparkTimer < 0.0f && d.sparkInterval > 0.0f && d.sparkDesign != nullptr)) return false;
  const Particle parent = p; // what the children spawn from (LAST_SLOT)
  float timer = parent.sparkTimer;
  int spawned = 0;
  while (timer < 0.0f) {
    timer += d.sparkInterval;
    store.spawnSpark(parent, d.sparkDesign);
    if (++spawned == MAX_SPARKS_PER_STEP) {
      timer = d.sparkInterval;
      break;
    }
  }
  if (replacedByItsChildren(i, spawned > 0)) return true;
  p.sparkTimer = timer;
  return false;
}

// Bursts particle i into its children, its secondaries and, with
// flashEffect, a flash that gets a light of its own when i is a shell stage
// (childCountMin of 1 or more); the light of i goes out. A shell stage stays
// on, frozen where it burst, until its life ends; any other particle is
// removed. True when slot i now holds another particle.
bool burst(ParticleStore& store, std::int32_t i, bool flashEffect) {
  Particle& p = store.particles[i];
  const ShellDesign& d = *p.design;
  p.hasBurst = true;
  const Particle parent = p; // what the children spawn from (LAST_SLOT)
  const bool children = d.childDesign != nullptr && parent.burstCount > 0;
  const bool secondaries = d.hasSecondary && d.secondaryDesign != nullptr && parent.secondaryCount > 0;
  const bool flash = flashEffect && !parent.isSpark && d.flashDesign != nullptr;
  for (std::int32_t n = 0; n < parent.burstCount; ++n) store.spawnBurstChild(parent, d.childDesign);
  if (d.hasSecondary) {
    for (std::int32_t n = 0; n < parent.secondaryCount; ++n) {
      store.spawnBurstChild(parent, d.secondaryDesign);
    }
  }
  if (parent.hasLight) store.releaseLights(i);
  if (flash) {
    store.spawnBurstChild(parent, d.flashDesign);
    if (d.childCountMin != 0) store.attachLight(store.lastSpawned);
  }
  if (replacedByItsChildren(i, children || secondaries || flash)) return true;
  if (d.childCountMin != 0) return false;
  store.removeParticle(i);
  return true;
}

} // namespace

void ParticleStore::update(float dt) {
  frameTime = dt;
  const float airRate = static_cast<float>(settings.airreg) * 0.1f;
  const float shellKeep = velocityKept(dt * SHELL_DRAG);
  const float starKeep = velocityKept(dt * airRate);
  const bool flashEffect = settings.flash_effect;

  std::int32_t i = 0;
  while (i < count) { // count changes as the pass spawns and removes
    Particle& p = particles[i];
    if (!p.active || p.design == nullptr) {
      ++i;
      continue;
    }
    const ShellDesign& d = *p.design;

    if (!p.hasBurst) p.position += dt * p.velocity;
    p.velocity.y -= dt * d.gravity;
    if (!p.isSpark) p.velocity = (d.childCountMin != 0 ? shellKeep : starKeep) * p.velocity;

    // f runs from 1 at birth to 0 at the end of life; a zero lifetime counts
    // as the end of life rather than dividing by zero.
    const float f = p.lifetime > 0.0f ? (p.lifetime - p.age) / p.lifetime : 0.0f;
    float fade = 3.0f * f;
    if (fade > 1.0f) fade = 1.0f;
    const float g = 1.0f - f;
    p.color.r = fade * (g * d.endColor.r + f * d.startColor.r);
    p.color.g = fade * (g * d.endColor.g + f * d.startColor.g);
    p.color.b = fade * (g * d.endColor.b + f * d.startColor.b);
    if (d.twinkles) {
      const float t = (std::sin(p.age * TWINKLE_RATE + static_cast<float>(i)) + 1.0f) * 0.5f;
      p.color = scaleRgb(p.color, t);
    }

    p.age += dt;
    p.sparkTimer -= dt;

    // Spawns and removals may leave another particle in slot i, not yet
    // updated: the pass goes on with that one.
    if (d.emitsSparks && !p.isSpark) {
      if (emitTrailSparks(*this, i)) continue;
      // A spark emitter keeps its start colour, faded, and never twinkles.
      p.color.r = fade * d.startColor.r;
      p.color.g = fade * d.startColor.g;
      p.color.b = fade * d.startColor.b;
    }
    if (p.age > p.burstAge && d.bursts && !p.hasBurst && burst(*this, i, flashEffect)) continue;

    if (p.age > p.lifetime) {
      removeParticle(i);
      continue;
    }
    ++i;
  }
}

void ParticleStore::followLights() {
  if (lights == nullptr) return;
  LightTable& table = *lights;
  for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
    const LightSlot& slot = lightSlots[s];
    if (!slot.inUse) continue;
    LightSource light;
    if (!table.getLight(slot.lightIndex, light)) continue; // index 9: a full table gave none
    const Particle& p = particles[slot.particleIndex];
    light.position = p.position;
    light.colour.r = 1.5f * p.color.r;
    light.colour.g = 1.5f * p.color.g;
    light.colour.b = 1.5f * p.color.b;
    table.setLight(slot.lightIndex, light);
  }
}

} // namespace starbloom
