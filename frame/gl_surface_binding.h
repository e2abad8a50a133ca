#pragma once
// The three bindings of GlSurface, one .cpp each; GlSurface picks one by
// its binding field. Only gl_surface.cpp calls these, but for the EGL
// helpers the two EGL bindings share.
#include <cstdint>
#include <vector>

#include "frame/gl_surface.h"

namespace starbloom {

// GLX on a child window of the saver window.
bool glxSurfaceCreate(GlSurface& surface);
void glxSurfaceRelease(GlSurface& surface);
void glxSurfacePresent(GlSurface& surface);
bool glxSurfaceIsCurrent(const GlSurface& surface);
void glxSurfaceResize(GlSurface& surface, int w, int h);

// EGL pbuffer of Mesa's surfaceless platform (or the default display).
bool offscreenSurfaceCreate(GlSurface& surface);
void offscreenSurfaceRelease(GlSurface& surface);
void offscreenSurfacePresent(GlSurface& surface);

// EGL on the host's Wayland connection, one window surface per target.
bool waylandSurfaceCreate(GlSurface& surface);
void waylandSurfaceRelease(GlSurface& surface);
void waylandSurfacePresent(GlSurface& surface);
bool waylandTargetAdd(GlSurface& surface, int slot);
void waylandTargetRemove(GlSurface& surface, int slot);
void waylandTargetResize(GlSurface& surface, int slot, int w, int h);
bool waylandTargetUse(GlSurface& surface, int slot);
bool waylandTargetReady(const GlSurface& surface, int slot);

// Shared by the EGL bindings: a desktop OpenGL context on display for
// surfaces of surfaceType (EGL_PBUFFER_BIT, EGL_WINDOW_BIT), RGB of at least
// 8 bits a channel (a window's exactly 8, without alpha, where EGL offers
// that) with a depth buffer of 24 bits (16 below 24-bit colour). The
// config and context are void* (EGLConfig, EGLContext); false after one
// line on stderr saying what failed, for what.
bool eglContextFor(void* display, int surfaceType, int colourBits, const char* what,
                   void*& config, void*& context);
bool eglSurfaceIsCurrent(const GlSurface& surface);

} // namespace starbloom
