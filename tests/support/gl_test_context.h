#pragma once
// An off-screen OpenGL context for the GL tests: the program's rendering
// context on an EGL pbuffer (llvmpipe), created for one test and released at
// its end, with helpers to read pixels back.
#include <cstdint>
#include <vector>

#include "frame/render_context.h"

namespace starbloom {

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
};

class OffscreenGl {
 public:
  // Resets the program objects and initialises the rendering context off
  // screen at width x height; resets them again when it goes.
  explicit OffscreenGl(int width = 64, int height = 64);
  ~OffscreenGl();
  OffscreenGl(const OffscreenGl&) = delete;
  OffscreenGl& operator=(const OffscreenGl&) = delete;

  bool ok() const; // the context exists and is current
  // Finishes drawing and reads the whole surface (top row first).
  std::vector<std::uint8_t> readRgb() const;
  // The pixel at (x, y) from the top left, after glFinish.
  Rgb pixel(int x, int y) const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
};

} // namespace starbloom
