#pragma once
// Scene helpers for the particle and lens-flare drawing tests: start-up's
// state on a black frame, a camera's view loaded as the frame driver loads
// it, and point-to-pixel projection through the fixed frustum.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "frame/render_context.h"
#include "math/coord_frame.h"
#include "scene/texture.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace render_test {

// The state start-up leaves (depth test, lighting and fog on), cleared to black.
inline void prepareFrame(int width, int height) {
  applyDefaultGlState(width, height);
  glLoadIdentity();
  glDepthMask(GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// A camera at (0, 0, 10) looking at the origin.
inline CoordFrame testCamera() {
  CoordFrame camera;
  camera.origin = Vec3{0.0f, 0.0f, 10.0f};
  camera.aimAt(Vec3{});
  return camera;
}

inline void loadView(const CoordFrame& camera) {
  glLoadIdentity();
  glMultMatrixf(viewRotation(camera).m);
  glTranslatef(-camera.origin.x, -camera.origin.y, -camera.origin.z);
}

// The pixel (x, y from the top left) under eye-space point q, in front of the eye.
inline Rgb pixelAtEye(const OffscreenGl& gl, Vec3 q) {
  const float x = (q.x / -q.z) / 0.4f;
  const float y = (q.y / -q.z) / 0.3f;
  return gl.pixel(static_cast<int>((x + 1.0f) * 0.5f * static_cast<float>(gl.width())),
                  static_cast<int>((1.0f - y) * 0.5f * static_cast<float>(gl.height())));
}

inline int sumOfFrame(const OffscreenGl& gl) {
  int sum = 0;
  for (std::uint8_t v : gl.readRgb()) sum += v;
  return sum;
}

inline void loadFlatPicture(Texture& texture, std::uint8_t value) {
  const std::vector<std::uint8_t> rgb(16 * 16 * 3, value);
  texture.loadPicture(rgb.data(), 16, 16);
}

} // namespace render_test
} // namespace starbloom
