// The store check walks the light slots first, then the live particles once,
// and stops at the first fault, describing it in one line: which slot or
// particle, and what it holds that a sound store cannot. The slots are
// checked against each other and against the light table (each slot's light
// in use and named once, each table light in use owned by a slot unless the
// caller says it has an owner outside the store); the particle pass checks
// the record itself and that a particle with hasLight set either owns a slot
// or has burst. Nothing is written and nothing allocated; the cost is one
// read of each live record plus, for each one with a light, a scan of the
// eight slots, so it can run after every frame of a long run.
#include "particles/store_invariants.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace starbloom {

namespace {

StoreCheck fault(const char* format, ...) {
  StoreCheck check;
  check.sound = false;
  va_list args;
  va_start(args, format);
  std::vsnprintf(check.message, sizeof check.message, format, args);
  va_end(args);
  return check;
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool finiteRgb(const Color4& c) { return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b); }

// The slot of 0..7 that names particle i, or -1.
int owningSlot(const ParticleStore& store, std::int32_t i) {
  for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
    if (store.lightSlots[s].inUse && store.lightSlots[s].particleIndex == i) return s;
  }
  return -1;
}

StoreCheck checkSlots(const ParticleStore& store, std::uint8_t ownerlessLights) {
  for (int s = USED_LIGHT_SLOTS; s < PARTICLE_LIGHT_SLOTS; ++s) {
    if (store.lightSlots[s].inUse) return fault("light slot %d is in use; only 0..7 are handed out", s);
  }
  for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
    const LightSlot& slot = store.lightSlots[s];
    if (!slot.inUse) continue;
    const std::int32_t i = slot.particleIndex;
    if (i < 0 || i >= store.count) {
      return fault("light slot %d names particle %d, outside the live 0..%d", s, i, store.count - 1);
    }
    const Particle& p = store.particles[i];
    if (!p.hasLight) return fault("light slot %d names particle %d, which has no light", s, i);
    if (p.hasBurst) return fault("light slot %d still follows particle %d after its burst", s, i);
    const int light = slot.lightIndex;
    if (store.lights == nullptr) {
      if (light != NO_LIGHT_SLOT) return fault("light slot %d holds light %d but the store has no table", s, light);
    } else if (light != NO_LIGHT_SLOT) {
      if (light < 0 || light >= GL_LIGHT_SLOTS) return fault("light slot %d holds light index %d", s, light);
      if (!store.lights->slots[light].inUse) return fault("light slot %d holds table light %d, which is free", s, light);
    }
    for (int t = s + 1; t < USED_LIGHT_SLOTS; ++t) {
      const LightSlot& other = store.lightSlots[t];
      if (!other.inUse) continue;
      if (other.particleIndex == i) return fault("light slots %d and %d both name particle %d", s, t, i);
      if (light != NO_LIGHT_SLOT && other.lightIndex == light) {
        return fault("light slots %d and %d both hold table light %d", s, t, light);
      }
    }
  }
  if (store.lights == nullptr) return StoreCheck{};
  const LightTable& table = *store.lights;
  for (int light = 0; light < LIGHT_TABLE_SLOTS; ++light) {
    if (!table.slots[light].inUse) continue;
    if (light >= GL_LIGHT_SLOTS) return fault("table light %d is in use; only 0..7 are handed out", light);
    if ((ownerlessLights >> light) & 1u) continue;
    bool owned = false;
    for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
      owned = owned || (store.lightSlots[s].inUse && store.lightSlots[s].lightIndex == light);
    }
    if (!owned) return fault("table light %d is in use but no light slot holds it", light);
  }
  return StoreCheck{};
}

} // namespace

StoreCheck checkStore(const ParticleStore& store, std::uint8_t ownerlessLights) {
  if (store.count < 0 || store.count > MAX_PARTICLES) {
    return fault("count %d is outside 0..%d", store.count, MAX_PARTICLES);
  }
  const StoreCheck slots = checkSlots(store, ownerlessLights);
  if (!slots.sound) return slots;
  for (std::int32_t i = 0; i < store.count; ++i) {
    const Particle& p = store.particles[i];
    if (!p.active) return fault("live particle %d is not active", i);
    if (p.design == nullptr) return fault("live particle %d has no design", i);
    if (!finite(p.position) || !finite(p.velocity)) {
      return fault("particle %d is not finite: position (%g, %g, %g), velocity (%g, %g, %g)", i,
                   p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y, p.velocity.z);
    }
    if (!std::isfinite(p.age) || !std::isfinite(p.lifetime)) {
      return fault("particle %d has age %g, lifetime %g", i, p.age, p.lifetime);
    }
    if (!finiteRgb(p.color)) return fault("particle %d has colour (%g, %g, %g)", i, p.color.r, p.color.g, p.color.b);
    if (p.hasLight && !p.hasBurst && owningSlot(store, i) < 0) {
      return fault("particle %d has a light, has not burst, and no light slot names it", i);
    }
  }
  return StoreCheck{};
}

} // namespace starbloom
