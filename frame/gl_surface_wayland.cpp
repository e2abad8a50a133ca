// Wayland binding of the GL surface: EGL on the host's Wayland connection.
// One desktop OpenGL context draws into an EGL window surface per target,
// each over a wl_egl_window of one of the host's wl_surfaces (one per
// output), so the textures made once serve every output. The host owns the
// wl_surfaces, their roles and their buffer scale; this binding owns what
// EGL needs on top of them and resizes their windows when asked.
//
// Presenting asks the compositor for a frame callback, then swaps without
// waiting for it (swap interval 0), so that the outputs never wait on each
// other. A target is not drawn again before its callback arrives: an output
// the compositor does not show asks for no frames and costs nothing. The
// callbacks arrive through the host's event dispatch. A target that cannot
// be made says why in one line and is never drawn; the others go on.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdio>

#include "frame/gl_surface_binding.h"

namespace starbloom {

namespace {

void frameDone(void* data, wl_callback* callback, std::uint32_t) {
  static_cast<SurfaceTarget*>(data)->frameCallback = nullptr;
  wl_callback_destroy(callback);
}

const wl_callback_listener FRAME_LISTENER = {frameDone};

EGLDisplay waylandEglDisplay(wl_display* host) {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, host, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return EGL_NO_DISPLAY;
  return display;
}

// Leaves the context current without a drawable (before the one it draws
// into goes away).
void detach(GlSurface& surface) {
  eglMakeCurrent(surface.wayland.eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, surface.glContext);
}

} // namespace

bool waylandSurfaceCreate(GlSurface& surface) {
  EGLDisplay display = surface.wayland.hostDisplay != nullptr
                           ? waylandEglDisplay(static_cast<wl_display*>(surface.wayland.hostDisplay))
                           : EGL_NO_DISPLAY;
  if (display == EGL_NO_DISPLAY) {
    std::fprintf(stderr, "starbloom: no EGL display on the Wayland connection\n");
    return false;
  }
  void* config = nullptr;
  void* context = nullptr;
  if (!eglContextFor(display, EGL_WINDOW_BIT, surface.colourBits, "the Wayland surfaces", config,
                     context)) {
    eglTerminate(display);
    return false;
  }
  surface.wayland.eglDisplay = display;
  surface.wayland.eglConfig = config;
  surface.glContext = context;
  int first = -1;
  for (int slot = 0; slot < MAX_SURFACE_TARGETS; ++slot) {
    if (surface.wayland.targets[slot].nativeWindow != nullptr && waylandTargetAdd(surface, slot) && first < 0) {
      first = slot;
    }
  }
  if (first < 0 || !waylandTargetUse(surface, first)) detach(surface);
  return eglSurfaceIsCurrent(surface);
}

void waylandSurfaceRelease(GlSurface& surface) {
  if (surface.wayland.eglDisplay == nullptr) return;
  for (int slot = 0; slot < MAX_SURFACE_TARGETS; ++slot) {
    waylandTargetRemove(surface, slot);
    surface.wayland.targets[slot] = SurfaceTarget{};
  }
  EGLDisplay display = surface.wayland.eglDisplay;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (surface.glContext != nullptr) eglDestroyContext(display, surface.glContext);
  eglTerminate(display);
  eglReleaseThread();
  surface.glContext = nullptr;
  surface.wayland.eglConfig = nullptr;
  surface.wayland.eglDisplay = nullptr;
}

bool waylandTargetAdd(GlSurface& surface, int slot) {
  SurfaceTarget& t = surface.wayland.targets[slot];
  if (surface.wayland.eglDisplay == nullptr || t.nativeWindow == nullptr) return false;
  if (t.width <= 0 || t.height <= 0) {
    std::fprintf(stderr, "starbloom: a Wayland surface of %dx%d cannot be drawn\n", t.width, t.height);
    return false;
  }
  wl_egl_window* window = wl_egl_window_create(static_cast<wl_surface*>(t.nativeWindow), t.width, t.height);
  EGLSurface drawable = window != nullptr
                            ? eglCreatePlatformWindowSurface(surface.wayland.eglDisplay, surface.wayland.eglConfig,
                                                             window, nullptr)
                            : EGL_NO_SURFACE;
  if (drawable == EGL_NO_SURFACE) {
    std::fprintf(stderr, "starbloom: cannot draw on a %dx%d Wayland surface (EGL error 0x%x)\n",
                 t.width, t.height, static_cast<unsigned>(eglGetError()));
    if (window != nullptr) wl_egl_window_destroy(window);
    return false;
  }
  t.eglWindow = window;
  t.nativeSurface = drawable;
  t.swapIntervalSet = false;
  return true;
}

void waylandTargetRemove(GlSurface& surface, int slot) {
  SurfaceTarget& t = surface.wayland.targets[slot];
  if (t.frameCallback != nullptr) wl_callback_destroy(static_cast<wl_callback*>(t.frameCallback));
  t.frameCallback = nullptr;
  if (t.nativeSurface != nullptr && surface.wayland.eglDisplay != nullptr) {
    if (eglGetCurrentSurface(EGL_DRAW) == t.nativeSurface) detach(surface);
    eglDestroySurface(surface.wayland.eglDisplay, t.nativeSurface);
  }
  t.nativeSurface = nullptr;
  if (t.eglWindow != nullptr) wl_egl_window_destroy(static_cast<wl_egl_window*>(t.eglWindow));
  t.eglWindow = nullptr;
}

void waylandTargetResize(GlSurface& surface, int slot, int w, int h) {
  SurfaceTarget& t = surface.wayland.targets[slot];
  if (t.width == w && t.height == h) return;
  t.width = w;
  t.height = h;
  if (t.eglWindow != nullptr) {
    wl_egl_window_resize(static_cast<wl_egl_window*>(t.eglWindow), w, h, 0, 0);
  } else if (t.nativeWindow != nullptr) {
    waylandTargetAdd(surface, slot); // it had no size to be made with
  }
  if (slot == surface.wayland.currentTarget) {
    surface.windowWidth = w;
    surface.windowHeight = h;
  }
}

bool waylandTargetUse(GlSurface& surface, int slot) {
  SurfaceTarget& t = surface.wayland.targets[slot];
  if (t.nativeSurface == nullptr || surface.glContext == nullptr) return false;
  if (eglGetCurrentSurface(EGL_DRAW) != t.nativeSurface &&
      !eglMakeCurrent(surface.wayland.eglDisplay, t.nativeSurface, t.nativeSurface, surface.glContext)) {
    return false;
  }
  if (!t.swapIntervalSet) {
    eglSwapInterval(surface.wayland.eglDisplay, 0);
    t.swapIntervalSet = true;
  }
  surface.wayland.currentTarget = slot;
  surface.windowWidth = t.width;
  surface.windowHeight = t.height;
  return true;
}

bool waylandTargetReady(const GlSurface& surface, int slot) {
  const SurfaceTarget& t = surface.wayland.targets[slot];
  return t.nativeSurface != nullptr && t.frameCallback == nullptr;
}

void waylandSurfacePresent(GlSurface& surface) {
  SurfaceTarget& t = surface.wayland.targets[surface.wayland.currentTarget];
  if (t.nativeSurface == nullptr || eglGetCurrentSurface(EGL_DRAW) != t.nativeSurface) return;
  wl_callback* callback = wl_surface_frame(static_cast<wl_surface*>(t.nativeWindow));
  if (callback != nullptr) {
    wl_callback_add_listener(callback, &FRAME_LISTENER, &t);
    t.frameCallback = callback;
  }
  eglSwapBuffers(surface.wayland.eglDisplay, t.nativeSurface);
}

} // namespace starbloom
