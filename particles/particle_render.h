#pragma once
// The drawing pass of the particles: additive camera-facing sprites
// stretched into streaks, approach glows, halos, flash sprites and lens
// flares, in OpenGL 1.1 immediate mode.
#include "math/coord_frame.h"
#include "particles/particle_store.h"

namespace starbloom {

// Draws every live particle of store as seen from camera (the model-view
// matrix holds camera's view transform). Reads the settings, the textures
// and the render context's surface.
void drawParticles(const ParticleStore& store, const CoordFrame& camera);

} // namespace starbloom
