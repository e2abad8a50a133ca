// STUB: replaced by the particle-store work.
#include "particles/particle_store.h"

#include "particles/particle_render.h"

namespace starbloom {
std::int32_t ParticleStore::allocateSlot() { return 0; }
void ParticleStore::spawnBurstChild(const Particle&, const ShellDesign*) {}
std::int32_t ParticleStore::spawnSpark(const Particle&, const ShellDesign*) { return 0; }
void ParticleStore::removeParticle(std::int32_t) {}
void ParticleStore::releaseLights(std::int32_t) {}
void ParticleStore::update(float) {}
void ParticleStore::followLights() {}
void ParticleStore::updateAndDraw(float dt) { update(dt); followLights(); }
LightTable& ParticleStore::lightTable() { return lights ? *lights : renderContext.lights; }
} // namespace starbloom
