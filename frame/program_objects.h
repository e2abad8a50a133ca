#pragma once
// The program objects: every process-wide object of the running saver, one
// of each, defined together in program_objects.cpp with who writes it. Each
// is declared in the header of the subsystem that owns it.
#include "fireworks/shell_design.h"
#include "frame/frame_clock.h"
#include "frame/frame_driver.h"
#include "frame/render_context.h"
#include "math/random.h"
#include "particles/particle_store.h"
#include "scene/landscape.h"
#include "scene/texture.h"
#include "settings/settings.h"

namespace starbloom {

// Puts every program object back to its state at program start: the GL
// surface and the textures' OpenGL copies are released (deleted when the
// context is current, else forgotten), everything else is reset to its
// starting value. For the tests; the program itself never calls it.
void resetProgramObjects();

} // namespace starbloom
