// The GL surface: the OpenGL context and drawable of the saver, behind one
// set of operations with two bindings chosen when the program starts (GLX on
// the saver window, or an EGL pbuffer off screen). A failed creation leaves
// no context; drawing then does nothing and the program goes on.
#include <GL/gl.h>

#include <algorithm>

#include "frame/gl_surface_binding.h"
#include "frame/render_context.h"

namespace starbloom {

bool GlSurface::create(NativeWindow window, int w, int h, int bits) {
  deviceContext = window;
  width = w;
  height = h;
  colourBits = bits;
  const bool made = binding == SurfaceBinding::Offscreen ? offscreenSurfaceCreate(*this)
                                                         : windowSurfaceCreate(*this);
  if (made) applyDefaultGlState(width, height);
  return true;
}

void GlSurface::release() {
  if (binding == SurfaceBinding::Offscreen) {
    offscreenSurfaceRelease(*this);
  } else {
    windowSurfaceRelease(*this);
  }
}

void GlSurface::clearBuffers() {
  glClear(clearDepth ? (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT) : GL_COLOR_BUFFER_BIT);
  glColor3f(1.0f, 1.0f, 1.0f);
}

void GlSurface::present() {
  glFlush();
  if (binding == SurfaceBinding::Offscreen) {
    offscreenSurfacePresent(*this);
  } else {
    windowSurfacePresent(*this);
  }
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
  return binding == SurfaceBinding::Offscreen ? offscreenSurfaceIsCurrent(*this)
                                              : windowSurfaceIsCurrent(*this);
}

} // namespace starbloom
