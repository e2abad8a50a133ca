#include "support/gl_test_context.h"

#include <GL/gl.h>

#include "frame/program_objects.h"

namespace starbloom {

OffscreenGl::OffscreenGl(int width, int height) : width_(width), height_(height) {
  resetProgramObjects();
  renderContext.surface.binding = SurfaceBinding::Offscreen;
  renderContext.init(0, width, height, 24);
}

OffscreenGl::~OffscreenGl() { resetProgramObjects(); }

bool OffscreenGl::ok() const { return renderContext.surface.isCurrent(); }

std::vector<std::uint8_t> OffscreenGl::readRgb() const {
  glFinish();
  std::vector<std::uint8_t> rgb;
  renderContext.surface.readPixels(rgb);
  return rgb;
}

Rgb OffscreenGl::pixel(int x, int y) const {
  glFinish();
  std::uint8_t p[3] = {0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, height_ - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
  return Rgb{p[0], p[1], p[2]};
}

} // namespace starbloom
