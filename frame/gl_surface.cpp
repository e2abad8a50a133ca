// The GL surface: the OpenGL context and drawables of the saver, behind one
// set of operations with three bindings chosen when the program starts (GLX
// on the saver window, EGL on Wayland surfaces, or an EGL pbuffer off
// screen). A failed creation leaves no context; drawing then does nothing
// and the program goes on.
//
// A new context gets the program's default state and a fixed projection
// that ignores the window's aspect ratio: 0.8 x 0.6 at the near plane 1, far
// plane 400.
#include <GL/gl.h>

#include <algorithm>

#include "frame/gl_surface_binding.h"
#include "math/frustum.h"

namespace starbloom {

namespace {

constexpr GLfloat START_CLEAR_COLOUR[4] = {0.3f, 0.0f, 0.8f, 1.0f}; // violet until the first frame
constexpr GLfloat FOG_START = 20.0f; // world units from the eye
constexpr GLfloat FOG_END = 200.0f;

} // namespace

bool GlSurface::create(NativeWindow parent, int w, int h, int bits) {
  glx.parent = parent;
  width = w;
  height = h;
  colourBits = bits;
  bool made = false;
  switch (binding) {
    case SurfaceBinding::Glx: made = glxSurfaceCreate(*this); break;
    case SurfaceBinding::Offscreen: made = offscreenSurfaceCreate(*this); break;
    case SurfaceBinding::Wayland: made = waylandSurfaceCreate(*this); break;
  }
  if (made) applyDefaultGlState(width, height);
  return made;
}

void GlSurface::release() {
  switch (binding) {
    case SurfaceBinding::Glx: glxSurfaceRelease(*this); break;
    case SurfaceBinding::Offscreen: offscreenSurfaceRelease(*this); break;
    case SurfaceBinding::Wayland: waylandSurfaceRelease(*this); break;
  }
}

void GlSurface::clearBuffers() {
  glClear(clearDepth ? (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT) : GL_COLOR_BUFFER_BIT);
  glColor3f(1.0f, 1.0f, 1.0f);
}

void GlSurface::present() {
  glFlush();
  switch (binding) {
    case SurfaceBinding::Glx: glxSurfacePresent(*this); break;
    case SurfaceBinding::Offscreen: offscreenSurfacePresent(*this); break;
    case SurfaceBinding::Wayland: waylandSurfacePresent(*this); break;
  }
}

bool GlSurface::addTarget(int slot, void* nativeWindow, int w, int h) {
  if (binding != SurfaceBinding::Wayland || slot < 0 || slot >= MAX_SURFACE_TARGETS) return false;
  removeTarget(slot);
  wayland.targets[slot].nativeWindow = nativeWindow;
  wayland.targets[slot].width = w;
  wayland.targets[slot].height = h;
  // Before create, the slot waits for the context.
  return wayland.eglDisplay == nullptr || waylandTargetAdd(*this, slot);
}

void GlSurface::removeTarget(int slot) {
  if (binding != SurfaceBinding::Wayland || slot < 0 || slot >= MAX_SURFACE_TARGETS) return;
  waylandTargetRemove(*this, slot);
  wayland.targets[slot] = SurfaceTarget{};
}

void GlSurface::resizeTarget(int slot, int w, int h) {
  if (w <= 0 || h <= 0) return;
  if (binding == SurfaceBinding::Glx && slot == 0) glxSurfaceResize(*this, w, h);
  if (binding == SurfaceBinding::Wayland && slot >= 0 && slot < MAX_SURFACE_TARGETS) {
    waylandTargetResize(*this, slot, w, h);
  }
}

void GlSurface::applyPlan(const SurfacePlan& plan) {
  binding = plan.binding;
  wayland.hostDisplay = plan.hostDisplay;
  for (int i = 0; i < plan.drawableCount; ++i) {
    const SurfacePlan::Drawable& d = plan.drawables[i];
    addTarget(d.slot, d.nativeWindow, d.width, d.height);
  }
}

bool GlSurface::useTarget(int slot) {
  if (binding != SurfaceBinding::Wayland) return slot == 0;
  return slot >= 0 && slot < MAX_SURFACE_TARGETS && waylandTargetUse(*this, slot);
}

bool GlSurface::targetReady(int slot) const {
  if (binding != SurfaceBinding::Wayland) return slot == 0;
  return slot >= 0 && slot < MAX_SURFACE_TARGETS && waylandTargetReady(*this, slot);
}

bool GlSurface::readPixels(std::vector<std::uint8_t>& rgb) const {
  if (!isCurrent() || width <= 0 || height <= 0) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> bottomUp(rowBytes * static_cast<std::size_t>(height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  rgb.resize(bottomUp.size());
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* from = bottomUp.data() + rowBytes * static_cast<std::size_t>(height - 1 - row);
    std::copy(from, from + rowBytes, rgb.data() + rowBytes * static_cast<std::size_t>(row));
  }
  return true;
}

bool GlSurface::isCurrent() const {
  return binding == SurfaceBinding::Glx ? glxSurfaceIsCurrent(*this) : eglSurfaceIsCurrent(*this);
}

void applyDefaultGlState(int width, int height) {
  glShadeModel(GL_SMOOTH);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);

  // Texture rows of the program's pictures are tightly packed.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

  glClearColor(START_CLEAR_COLOUR[0], START_CLEAR_COLOUR[1], START_CLEAR_COLOUR[2],
               START_CLEAR_COLOUR[3]);
  glClearAccum(0.0f, 0.0f, 0.0f, 0.0f);

  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, START_CLEAR_COLOUR);
  glFogf(GL_FOG_START, FOG_START);
  glFogf(GL_FOG_END, FOG_END);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // Single-precision constants, widened to double.
  const ViewFrustum& f = VIEW_FRUSTUM;
  glFrustum(-static_cast<double>(f.halfWidth), static_cast<double>(f.halfWidth),
            -static_cast<double>(f.halfHeight), static_cast<double>(f.halfHeight),
            static_cast<double>(f.nearPlane), static_cast<double>(f.farPlane));
  glMatrixMode(GL_MODELVIEW);
  glViewport(0, 0, width, height);
}

} // namespace starbloom
