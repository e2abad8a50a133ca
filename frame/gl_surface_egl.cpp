// Off-screen binding of the GL surface: an EGL pbuffer with a desktop OpenGL
// context. Mesa's surfaceless platform needs no display server; where it is
// missing, the default EGL display is tried. The pbuffer is single-buffered
// from the program's point of view: presenting only finishes the frame, and
// readPixels reads the finished picture back.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "frame/gl_surface_binding.h"

namespace starbloom {

namespace {

EGLDisplay openDisplay() {
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (extensions != nullptr && std::strstr(extensions, "EGL_MESA_platform_surfaceless") != nullptr) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay != nullptr) {
      EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
  }
  EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
  return EGL_NO_DISPLAY;
}

} // namespace

bool offscreenSurfaceCreate(GlSurface& surface) {
  EGLDisplay display = openDisplay();
  if (display == EGL_NO_DISPLAY) {
    std::fprintf(stderr, "starbloom: no EGL display for off-screen rendering\n");
    return false;
  }
  const EGLint depthBits = surface.colourBits >= 24 ? 24 : 16;
  const EGLint configAttributes[] = {
      EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
      EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
      EGL_DEPTH_SIZE, depthBits, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint found = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &found) || found < 1) {
    std::fprintf(stderr, "starbloom: no EGL configuration for off-screen rendering\n");
    eglTerminate(display);
    return false;
  }
  const EGLint pbufferAttributes[] = {EGL_WIDTH, surface.width, EGL_HEIGHT, surface.height, EGL_NONE};
  EGLSurface pbuffer = eglCreatePbufferSurface(display, config, pbufferAttributes);
  if (pbuffer == EGL_NO_SURFACE || !eglBindAPI(EGL_OPENGL_API)) {
    std::fprintf(stderr, "starbloom: cannot create a %dx%d off-screen surface\n", surface.width,
                 surface.height);
    eglTerminate(display);
    return false;
  }
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, pbuffer, pbuffer, context)) {
    std::fprintf(stderr, "starbloom: cannot create an off-screen OpenGL context\n");
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglDestroySurface(display, pbuffer);
    eglTerminate(display);
    return false;
  }
  surface.nativeDisplay = display;
  surface.nativeSurface = pbuffer;
  surface.glContext = context;
  surface.ownsDisplay = true;
  return true;
}

void offscreenSurfaceRelease(GlSurface& surface) {
  if (surface.nativeDisplay == nullptr) return;
  EGLDisplay display = surface.nativeDisplay;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (surface.glContext != nullptr) eglDestroyContext(display, surface.glContext);
  if (surface.nativeSurface != nullptr) eglDestroySurface(display, surface.nativeSurface);
  eglTerminate(display);
  eglReleaseThread();
  surface.glContext = nullptr;
  surface.nativeSurface = nullptr;
  surface.nativeDisplay = nullptr;
}

void offscreenSurfacePresent(GlSurface& surface) {
  if (surface.nativeDisplay == nullptr) return;
  glFinish();
}

bool offscreenSurfaceIsCurrent(const GlSurface& surface) {
  return surface.glContext != nullptr && eglGetCurrentContext() == surface.glContext;
}

} // namespace starbloom
