// Off-screen binding of the GL surface: an EGL pbuffer with a desktop OpenGL
// context. Mesa's surfaceless platform needs no display server; where it is
// missing, the default EGL display is tried. The pbuffer is single-buffered
// from the program's point of view: presenting only finishes the frame, and
// readPixels reads the finished picture back.
//
// The context itself is made the same way for the Wayland binding: desktop
// OpenGL bound (the program's OpenGL 1.1 calls run unchanged), at least 8
// bits a colour channel and a depth buffer; a window's configuration is
// picked from EGL's whole list by chooseEglConfig (8-bit colour, no alpha).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "frame/egl_config_choice.h"
#include "frame/gl_surface_binding.h"

namespace starbloom {

namespace {

constexpr int MAX_EGL_CONFIGS = 256; // more than Mesa lists for any one request

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

bool eglContextFor(void* display, int surfaceType, int colourBits, const char* what, void*& config,
                   void*& context) {
  const EGLint depthBits = colourBits >= 24 ? 24 : 16;
  const EGLint configAttributes[] = {
      EGL_SURFACE_TYPE, surfaceType, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
      EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
      EGL_DEPTH_SIZE, depthBits, EGL_NONE};
  EGLConfig configs[MAX_EGL_CONFIGS];
  EGLint found = 0;
  config = nullptr;
  context = nullptr;
  if (!eglChooseConfig(display, configAttributes, configs, MAX_EGL_CONFIGS, &found) || found < 1) {
    std::fprintf(stderr, "starbloom: no EGL configuration for %s\n", what);
    return false;
  }
  EglConfigTraits traits[MAX_EGL_CONFIGS];
  for (int i = 0; i < found; ++i) {
    eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &traits[i].red);
    eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &traits[i].green);
    eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &traits[i].blue);
    eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &traits[i].alpha);
  }
  // The off-screen pbuffer keeps EGL's first pick (10-bit colour on Mesa),
  // which the rendered pictures have always been drawn with.
  config = configs[surfaceType == EGL_WINDOW_BIT ? chooseEglConfig(traits, found) : 0];
  if (!eglBindAPI(EGL_OPENGL_API)) {
    std::fprintf(stderr, "starbloom: no desktop OpenGL through EGL for %s\n", what);
    return false;
  }
  context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) {
    std::fprintf(stderr, "starbloom: cannot create an OpenGL context for %s (EGL error 0x%x)\n",
                 what, static_cast<unsigned>(eglGetError()));
    context = nullptr;
    return false;
  }
  return true;
}

bool eglSurfaceIsCurrent(const GlSurface& surface) {
  return surface.glContext != nullptr && eglGetCurrentContext() == surface.glContext;
}

bool offscreenSurfaceCreate(GlSurface& surface) {
  EGLDisplay display = openDisplay();
  if (display == EGL_NO_DISPLAY) {
    std::fprintf(stderr, "starbloom: no EGL display for off-screen rendering\n");
    return false;
  }
  void* config = nullptr;
  void* context = nullptr;
  if (!eglContextFor(display, EGL_PBUFFER_BIT, surface.colourBits, "off-screen rendering", config,
                     context)) {
    eglTerminate(display);
    return false;
  }
  const EGLint pbufferAttributes[] = {EGL_WIDTH, surface.width, EGL_HEIGHT, surface.height, EGL_NONE};
  EGLSurface pbuffer = eglCreatePbufferSurface(display, config, pbufferAttributes);
  if (pbuffer == EGL_NO_SURFACE || !eglMakeCurrent(display, pbuffer, pbuffer, context)) {
    std::fprintf(stderr, "starbloom: cannot create a %dx%d off-screen surface\n", surface.width,
                 surface.height);
    if (pbuffer != EGL_NO_SURFACE) eglDestroySurface(display, pbuffer);
    eglDestroyContext(display, context);
    eglTerminate(display);
    return false;
  }
  surface.pbuffer.eglDisplay = display;
  surface.pbuffer.eglSurface = pbuffer;
  surface.glContext = context;
  return true;
}

void offscreenSurfaceRelease(GlSurface& surface) {
  if (surface.pbuffer.eglDisplay == nullptr) return;
  EGLDisplay display = surface.pbuffer.eglDisplay;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (surface.glContext != nullptr) eglDestroyContext(display, surface.glContext);
  if (surface.pbuffer.eglSurface != nullptr) eglDestroySurface(display, surface.pbuffer.eglSurface);
  eglTerminate(display);
  eglReleaseThread();
  surface.glContext = nullptr;
  surface.pbuffer.eglSurface = nullptr;
  surface.pbuffer.eglDisplay = nullptr;
}

void offscreenSurfacePresent(GlSurface& surface) {
  if (surface.pbuffer.eglDisplay == nullptr) return;
  glFinish();
}

} // namespace starbloom
