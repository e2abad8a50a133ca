// STUB: replaced by the particle-rendering work.
#include "particles/particle_render.h"

namespace starbloom {
void drawParticles(const ParticleStore&, const CoordFrame&) {}
} // namespace starbloom
