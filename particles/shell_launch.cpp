// Shell launch and particle lights: turns the shell record of a freshly
// composed firework into the rising shell particle, and binds lights of the
// shared light table to rising shells and burst flashes so that the
// landscape is lit by them.
//
// A launch costs three draws of the generator and a scan of the eight light
// slots; nothing is allocated. The light bound here holds its first position
// (0, 60, 0) and twice the particle's colour only until the store's light
// follow moves it to its particle. The lowest free slot is always taken, so
// a slot freed by a burst is the next one handed out. When all eight slots
// are taken the particle simply has no light; when the light table itself is
// full the slot is taken with the table's "no light" index 9, which every
// table operation treats as a free light.
#include <cstdint>

#include "math/random.h"
#include "particles/particle_store.h"

namespace starbloom {

namespace {

constexpr Vec3 LIGHT_START_POSITION{0.0f, 60.0f, 0.0f};
constexpr float LIGHT_UNUSED_SCALE = 8.0f;
constexpr float SHELL_LIGHT_QUADRATIC = 0.2f; // a shell lights a smaller patch than a flash
constexpr float FLASH_LIGHT_QUADRATIC = 0.08f;

// A count in [lo, hi] from one draw r of 0..32767, both ends possible.
std::int32_t countFromDraw(std::int32_t lo, std::int32_t hi, int r) {
  // Widened so that a wide range cannot overflow the product.
  const std::int64_t span = static_cast<std::int64_t>(hi) - lo;
  return lo + static_cast<std::int32_t>((static_cast<std::int64_t>(r) * span) / 32767);
}

LightSource makeParticleLight(const Color4& colour, float quadratic) {
  LightSource light;
  light.resetLight(true);
  light.position = LIGHT_START_POSITION;
  light.colour.r = 2.0f * colour.r;
  light.colour.g = 2.0f * colour.g;
  light.colour.b = 2.0f * colour.b;
  light.unusedScale = LIGHT_UNUSED_SCALE;
  light.ambientFactor = 0.0f;
  light.setAttenuation(1.0f, 0.0f, quadratic);
  return light;
}

// Takes the lowest free of the first eight light slots for particle i and
// adds light to the table; false when every slot is taken.
bool bindLight(ParticleStore& store, std::int32_t i, const LightSource& light) {
  for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
    LightSlot& slot = store.lightSlots[s];
    if (slot.inUse) continue;
    slot.inUse = true;
    // Without a table the slot holds the table's "no light" index.
    slot.lightIndex = store.lights != nullptr ? store.lights->addLight(light) : NO_LIGHT_SLOT;
    slot.particleIndex = i;
    return true;
  }
  return false;
}

} // namespace

void ParticleStore::launchShell(const ShellDesign* design) {
  if (design == nullptr) return;
  const ShellDesign& d = *design;
  const std::int32_t i = startParticle(false);
  Particle& p = particles[i];
  p.position = d.launchPosition;
  p.velocity = d.initialVelocity;
  p.burstAge = d.burstAgeMax;
  p.lifetime = d.lifetimeMax;
  p.age = 0.0f;
  p.sparkTimer = 0.02f; // the first trail spark follows 0.02 s after the launch
  p.color = d.startColor;

  const int r1 = rand15();
  p.burstCount = countFromDraw(d.childCountMin, d.childCountMax, r1);
  const int r2 = rand15(); // drawn whether or not it is used
  const std::int32_t extra =
      d.hasSecondary ? static_cast<std::int32_t>(static_cast<float>(r2) / 32768.0f * 50.0f) : 0;
  const int r3 = rand15();
  p.secondaryCount = countFromDraw(d.childCountMin, d.childCountMax, r3) / 2 + extra;

  p.design = design;
  lastSpawned = i;
  p.hasLight = bindLight(*this, i, makeParticleLight(d.startColor, SHELL_LIGHT_QUADRATIC));
  count += 1;
}

void ParticleStore::attachLight(std::int32_t i) {
  Particle& p = particles[i];
  p.hasLight = bindLight(*this, i, makeParticleLight(p.color, FLASH_LIGHT_QUADRATIC));
}

} // namespace starbloom
