#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {


// An eye-space rectangle at depth z (z < 0) from (x0, y0) to (x1, y1) in
// units of the view's half-size at that depth, with texture coordinates 0..2.
void eyeQuad(float x0, float y0, float x1, float y1, float z) {
  const float w = -z * 0.4f;
  const float h = -z * 0.3f;
  glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x0 * w, y0 * h, z);
    glTexCoord2f(2.0f, 0.0f);
    glVertex3f(x1 * w, y0 * h, z);
    glTexCoord2f(2.0f, 2.0f);
    glVertex3f(x1 * w, y1 * h, z);
    glTexCoord2f(0.0f, 2.0f);
    glVertex3f(x0 * w, y1 * h, z);
  glEnd();
}

void expectPixel(const OffscreenGl& gl, int x, int y, Rgb want, const char* what) {
  const Rgb got = gl.pixel(x, y);
  EXPECT_NEAR(got.r, want.r, 2) << what << " at " << x << "," << y;
  EXPECT_NEAR(got.g, want.g, 2) << what << " at " << x << "," << y;
  EXPECT_NEAR(got.b, want.b, 2) << what << " at " << x << "," << y;
}

// What a new context's default state does to a picture, for two window
// shapes: the fixed frustum maps 0.8 x 0.6 at unit distance onto the whole
// surface whatever its aspect; the clear colour is violet; lighting is on,
// so a white quad without lights shows only the global ambient; linear
// violet fog from 20 to 200 fades a quad at 110 halfway; depth testing with
// less-or-equal lets a second quad at the same depth replace the first and
// hides one behind; textures repeat, are magnified by nearest texels, read
// byte-packed rows and modulate the colour.
TEST(RenderContext, DefaultStateAndFixedFrustumShapeThePicture) {
  for (const int shape : {0, 1}) {
    const int w = shape == 0 ? 200 : 40;
    const int h = shape == 0 ? 100 : 96;
    SCOPED_TRACE(w);
    OffscreenGl gl(w, h);
    ASSERT_TRUE(gl.ok());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Rgb violet{77, 0, 204};

    // Lower left quarter (top-left pixel origin: x < w/2, y > h/2), lit.
    glColor3f(1.0f, 1.0f, 1.0f);
    eyeQuad(-1.0f, -1.0f, 0.0f, 0.0f, -10.0f);
    expectPixel(gl, 0, h - 1, {10, 10, 10}, "lit corner");
    expectPixel(gl, w / 2 - 2, h / 2 + 2, {10, 10, 10}, "lit, by the centre");
    expectPixel(gl, w / 2 + 2, h / 2 - 2, violet, "cleared, by the centre");
    expectPixel(gl, w - 1, 0, violet, "cleared corner");

    // Upper right quarter, unlit, halfway into the fog.
    glDisable(GL_LIGHTING);
    eyeQuad(0.0f, 0.0f, 1.0f, 1.0f, -110.0f);
    expectPixel(gl, 3 * w / 4, h / 4, {166, 128, 230}, "fogged");

    // Lower right quarter: red, then green at the same depth, then blue behind.
    glDisable(GL_FOG);
    for (const Rgb c : {Rgb{255, 0, 0}, Rgb{0, 255, 0}}) {
      glColor3ub(static_cast<GLubyte>(c.r), static_cast<GLubyte>(c.g), 0);
      eyeQuad(0.0f, -1.0f, 1.0f, 0.0f, -50.0f);
    }
    glColor3f(0.0f, 0.0f, 1.0f);
    eyeQuad(0.0f, -1.0f, 1.0f, 0.0f, -60.0f);
    expectPixel(gl, 3 * w / 4, 3 * h / 4, {0, 255, 0}, "same depth, drawn last");

    // Upper left quarter: a 2 x 2 checker in 6-byte rows, repeated twice each
    // way, so 4 x 4 cells; a pixel one fifth into a cell is still its texel.
    const GLubyte checker[12] = {0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, checker);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 0.5f, 1.0f);
    eyeQuad(-1.0f, 0.0f, 0.0f, 1.0f, -10.0f);
    glDisable(GL_TEXTURE_2D);
    const float cellW = static_cast<float>(w) / 8.0f;
    const float cellH = static_cast<float>(h) / 8.0f;
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        const bool white = (i + j) % 2 == 1; // texel (0, 0) is black
        const int x = static_cast<int>((static_cast<float>(i) + 0.2f) * cellW);
        const int y = static_cast<int>(static_cast<float>(h) / 2.0f - (static_cast<float>(j) + 0.2f) * cellH);
        expectPixel(gl, x, y, white ? Rgb{255, 128, 255} : Rgb{0, 0, 0}, "texel");
      }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

TEST(RenderContext, BeginFrameClearsColourAndDepthAndSetsFogToTheClearColour) {
  OffscreenGl gl(40, 30);
  ASSERT_TRUE(gl.ok());
  frameClock = FrameClock{};
  for (const Color4& colour : {Color4{1, 0, 0, 1}, Color4{0.2f, 0.4f, 0.6f, 0.5f}}) {
    glClearDepth(0.25); // an earlier frame's depth
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glColor3f(0.1f, 0.2f, 0.3f);
    renderContext.setClearColour(colour);
    renderContext.beginFrame();
    renderContext.endFrame();
    const Rgb rgb = gl.pixel(17, 17);
    EXPECT_NEAR(rgb.r, colour.r * 255, 1);
    EXPECT_NEAR(rgb.g, colour.g * 255, 1);
    EXPECT_NEAR(rgb.b, colour.b * 255, 1);
    GLfloat fog[4], current[4], depth = 0.0f;
    glGetFloatv(GL_FOG_COLOR, fog);
    glGetFloatv(GL_CURRENT_COLOR, current); // frames start drawing in white
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1.0f);
    EXPECT_EQ(std::vector<float>(fog, fog + 4),
              std::vector<float>({colour.r, colour.g, colour.b, colour.a}));
    EXPECT_EQ(std::vector<float>(current, current + 4), std::vector<float>(4, 1.0f));
  }
}

} // namespace
} // namespace starbloom
