// STUB: replaced by the window binding work.
#include "frame/gl_surface_binding.h"

namespace starbloom {
bool windowSurfaceCreate(GlSurface&) { return false; }
void windowSurfaceRelease(GlSurface&) {}
void windowSurfacePresent(GlSurface&) {}
bool windowSurfaceIsCurrent(const GlSurface&) { return false; }
} // namespace starbloom
