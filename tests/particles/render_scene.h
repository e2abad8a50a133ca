#pragma once
// Scene helpers for the particle and lens-flare drawing tests: the state the
// saver's start-up leaves (fixed frustum, fog, depth test and lighting off,
// black clear colour), a camera loaded like the frame driver loads it, the
// projection of a point to a pixel, and synthetic texture pictures.
#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/render_context.h"
#include "math/coord_frame.h"
#include "scene/texture.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace render_test {

// Mesa unloads its driver when the EGL display closes; LeakSanitizer then
// cannot name the module of the driver's leftover allocations from drawing,
// and the driver suppressions miss them. Keeping the loaded driver resident
// lets them match. Loads nothing new.
inline void keepGlDriverLoaded() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* out) -> int {
        const char* name = info->dlpi_name;
        if (name != nullptr && (std::strstr(name, "_dri.so") != nullptr ||
                                std::strstr(name, "libgallium") != nullptr)) {
          static_cast<std::vector<std::string>*>(out)->push_back(name);
        }
        return 0;
      },
      &drivers);
  for (const std::string& name : drivers) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// The default state and projection, then what start-up turns off; cleared.
inline void prepareFrame(int width, int height) {
  keepGlDriverLoaded();
  applyDefaultGlState(width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.4, 0.4, -0.3, 0.3, 1.0, 400.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, width, height);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

inline CoordFrame cameraAt(Vec3 eye, Vec3 target) {
  CoordFrame camera;
  camera.origin = eye;
  camera.aimAt(target);
  return camera;
}

// The camera's view transform in the model-view matrix.
inline void loadView(const CoordFrame& camera) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const Mat4 rotation = viewRotation(camera);
  glMultMatrixf(rotation.m);
  glTranslatef(-camera.origin.x, -camera.origin.y, -camera.origin.z);
}

struct Pixel {
  int x = 0; // from the left
  int y = 0; // from the top
};

// The pixel under eye-space point q (in front of the eye) through the fixed
// frustum.
inline Pixel eyeToPixel(Vec3 q, int width, int height) {
  const float xNdc = (q.x / -q.z) / 0.4f;
  const float yNdc = (q.y / -q.z) / 0.3f;
  return Pixel{static_cast<int>((xNdc + 1.0f) * 0.5f * static_cast<float>(width)),
               static_cast<int>((1.0f - yNdc) * 0.5f * static_cast<float>(height))};
}

inline Pixel worldToPixel(const CoordFrame& camera, Vec3 p, int width, int height) {
  return eyeToPixel(camera.toLocal(p), width, height);
}

inline int sumOfFrame(const OffscreenGl& gl) {
  int sum = 0;
  for (std::uint8_t v : gl.readRgb()) sum += v;
  return sum;
}

// Loads a size x size RGB picture whose pixel (x, y from the top) is
// colour(x, y, rgb).
template <typename Colour>
void loadSyntheticPicture(Texture& texture, int size, Colour colour) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(size * size * 3));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) colour(x, y, &rgb[static_cast<std::size_t>((y * size + x) * 3)]);
  }
  texture.loadPicture(rgb.data(), size, size);
}

inline void loadWhitePicture(Texture& texture) {
  loadSyntheticPicture(texture, 16, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 255; });
}

} // namespace render_test
} // namespace starbloom
