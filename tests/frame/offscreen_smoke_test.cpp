#include <gtest/gtest.h>

#include <GL/gl.h>

#include "support/gl_test_context.h"

namespace starbloom {
namespace {

TEST(OffscreenSurface, ClearsToTheRequestedColour) {
  OffscreenGl gl(32, 16);
  ASSERT_TRUE(gl.ok());
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const Rgb p = gl.pixel(5, 5);
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.g, 0);
  EXPECT_EQ(gl.readRgb().size(), 32u * 16u * 3u);
}

} // namespace
} // namespace starbloom
