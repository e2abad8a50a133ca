#pragma once
// The drawing pass of the particles: additive camera-facing sprites
// stretched into streaks, approach glows, halos, flash sprites and lens
// flares, gathered into batches and drawn from OpenGL 1.1 vertex arrays.
#include "math/coord_frame.h"
#include "particles/particle_store.h"
#include "scene/texture.h"

namespace starbloom {

// Draws every live particle of store as seen from camera (the model-view
// matrix holds camera's view transform), binding the program's textures
// into target. Reads the settings.
void drawParticles(const ParticleStore& store, const CoordFrame& camera,
                   const TextureTarget& target);

} // namespace starbloom
