#pragma once
// The two bindings of GlSurface, one .cpp each; GlSurface picks one by its
// binding field. Only gl_surface.cpp calls these.
#include <cstdint>
#include <vector>

#include "frame/gl_surface.h"

namespace starbloom {

// GLX on a child window of the saver window.
bool windowSurfaceCreate(GlSurface& surface);
void windowSurfaceRelease(GlSurface& surface);
void windowSurfacePresent(GlSurface& surface);
bool windowSurfaceIsCurrent(const GlSurface& surface);

// EGL pbuffer of Mesa's surfaceless platform (or the default display).
bool offscreenSurfaceCreate(GlSurface& surface);
void offscreenSurfaceRelease(GlSurface& surface);
void offscreenSurfacePresent(GlSurface& surface);
bool offscreenSurfaceIsCurrent(const GlSurface& surface);

} // namespace starbloom
