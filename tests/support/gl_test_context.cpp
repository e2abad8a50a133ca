#include "support/gl_test_context.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>

#include "scene/texture.h"

namespace starbloom {

namespace {

// Mesa's software driver keeps a few bytes for every context that drew a
// bitmap and drops them only with the driver itself, which eglTerminate
// unloads; the leak checker then finds them in a module it can no longer
// name, and the suppression for Mesa's driver cannot match. One more
// reference to each loaded driver keeps it mapped until the process ends.
constexpr int MAX_DRIVERS = 8;

struct DriverNames {
  std::string names[MAX_DRIVERS];
  int count = 0;
};

int collectDriver(dl_phdr_info* info, std::size_t, void* data) {
  auto* found = static_cast<DriverNames*>(data);
  if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "_dri.so") != nullptr &&
      found->count < MAX_DRIVERS) {
    found->names[found->count++] = info->dlpi_name;
  }
  return 0;
}

void keepDriversLoaded() {
  DriverNames found;
  dl_iterate_phdr(collectDriver, &found);
  for (int i = 0; i < found.count; ++i) dlopen(found.names[i].c_str(), RTLD_NOW | RTLD_NOLOAD);
}

void forgetUploads() {
  for (Texture* t : {&spriteTexture, &glowTexture, &ringTexture, &groundTexture}) {
    t->uploaded = false;
    t->glName = 0;
  }
}
} // namespace

void keepGlDriverLoaded() { keepDriversLoaded(); }

OffscreenGl::OffscreenGl(int width, int height) : width_(width), height_(height) {
  renderContext.surface.release();
  renderContext.surface = GlSurface{};
  renderContext.surface.binding = SurfaceBinding::Offscreen;
  renderContext.lights = LightTable{};
  forgetUploads();
  renderContext.init(0, width, height, 24);
  keepDriversLoaded();
}

OffscreenGl::~OffscreenGl() {
  forgetUploads();
  renderContext.surface.release();
  renderContext.surface = GlSurface{};
  renderContext.lights = LightTable{};
}

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
