#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

LightSource lightAt(float x) {
  LightSource s;
  s.position = Vec3{x, 2.0f, 3.0f};
  s.colour = Color4{0.5f, 0.25f, 1.0f, 0.75f};
  s.setAttenuation(1.0f, 0.05f, 0.002f);
  return s;
}

// Texture parameters and the texture environment have getters of their own.
void readState(GLenum name, GLfloat* out) {
  if (name == GL_TEXTURE_ENV_MODE) return glGetTexEnvfv(GL_TEXTURE_ENV, name, out);
  if (name >= GL_TEXTURE_MAG_FILTER && name <= GL_TEXTURE_WRAP_T) {
    return glGetTexParameterfv(GL_TEXTURE_2D, name, out);
  }
  glGetFloatv(name, out);
}

TEST(RenderContext, InitSetsDefaultStateAndAFrustumThatIgnoresTheAspectRatio) {
  // glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 400) by columns, whatever the size.
  const double frustum[16] = {2.5, 0, 0, 0, 0, 1 / 0.3, 0, 0,
                              0, 0, -401.0 / 399, -1, 0, 0, -800.0 / 399, 0};
  // Values not listed are 0, also for states with fewer than four.
  const struct { GLenum name; GLfloat value[4]; } states[] = {
      {GL_MATRIX_MODE, {GL_MODELVIEW}}, {GL_SHADE_MODEL, {GL_SMOOTH}}, {GL_DEPTH_TEST, {1}},
      {GL_DEPTH_FUNC, {GL_LEQUAL}}, {GL_LIGHTING, {1}}, {GL_UNPACK_ALIGNMENT, {1}},
      {GL_TEXTURE_WRAP_S, {GL_REPEAT}}, {GL_TEXTURE_WRAP_T, {GL_REPEAT}},
      {GL_TEXTURE_MAG_FILTER, {GL_NEAREST}}, {GL_TEXTURE_MIN_FILTER, {GL_NEAREST}},
      {GL_TEXTURE_ENV_MODE, {GL_MODULATE}}, {GL_COLOR_CLEAR_VALUE, {0.3f, 0, 0.8f, 1}},
      {GL_ACCUM_CLEAR_VALUE, {0, 0, 0, 0}}, {GL_FOG, {1}}, {GL_FOG_MODE, {GL_LINEAR}},
      {GL_FOG_COLOR, {0.3f, 0, 0.8f, 1}}, {GL_FOG_START, {20}}, {GL_FOG_END, {200}}};
  using Floats = std::vector<GLfloat>;
  for (const Floats& viewport : {Floats{0, 0, 200, 100}, Floats{0, 0, 40, 90}}) {
    OffscreenGl gl(static_cast<int>(viewport[2]), static_cast<int>(viewport[3]));
    ASSERT_TRUE(gl.ok());
    GLfloat projection[16], got[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_VIEWPORT, got);
    EXPECT_EQ(Floats(got, got + 4), viewport);
    for (int i = 0; i < 16; ++i) {
      EXPECT_NEAR(projection[i], frustum[i], 1e-6) << "element " << i << ", width " << viewport[2];
    }
    for (const auto& s : states) {
      GLfloat value[4] = {};
      readState(s.name, value);
      for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(value[i], s.value[i]) << std::hex << s.name;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

// The table is plain data: a removal only marks the slot, and the rendering
// context switches off the OpenGL lights of the removed slots when it
// applies the table.
TEST(LightTable, HandsOutSlotsZeroToSevenAndRemovedSlotsSwitchOffOnlyTheirGlLights) {
  OffscreenGl gl(8, 8);
  ASSERT_TRUE(gl.ok());
  LightTable& table = renderContext.lights;
  for (int i = 0; i < 9; ++i) { // the ninth is refused with 9 and stored nowhere
    EXPECT_EQ(table.addLight(lightAt(static_cast<float>(i))), i < 8 ? i : 9) << "call " << i;
    glEnable(static_cast<GLenum>(GL_LIGHT0 + i % 8));
  }
  for (int removed : {0, 3, 7}) EXPECT_TRUE(table.removeLight(removed));
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i)));
  renderContext.applyLightChanges();
  for (int i = 0; i < 8; ++i) {
    const bool on = glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i)) == GL_TRUE;
    EXPECT_EQ(on, i != 0 && i != 3 && i != 7) << "light " << i;
  }
  // Freed, never handed out and outside slots are refused and touch neither
  // the record nor a GL light someone switched on again.
  glEnable(GL_LIGHT3);
  for (int i : {3, 8, 9, -1, 10}) {
    LightSource out = lightAt(-7.0f);
    EXPECT_FALSE(table.getLight(i, out)) << "slot " << i;
    EXPECT_FALSE(table.setLight(i, lightAt(99.0f)) || table.removeLight(i)) << "slot " << i;
    EXPECT_FLOAT_EQ(out.position.x, -7.0f) << "slot " << i;
  }
  renderContext.applyLightChanges();
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  EXPECT_FALSE(table.slots[3].inUse || table.slots[8].inUse || table.slots[9].inUse);
  EXPECT_FLOAT_EQ(table.slots[3].position.x, 3.0f); // setLight wrote nothing
  // Added and overwritten records are whole copies, in use although the
  // source says it is not.
  EXPECT_EQ(table.addLight(lightAt(42.0f)), 0);
  EXPECT_TRUE(table.setLight(1, lightAt(9.0f)));
  for (int i : {0, 1}) {
    LightSource out;
    ASSERT_TRUE(table.getLight(i, out));
    EXPECT_TRUE(out.inUse);
    EXPECT_EQ(std::vector<float>({out.position.x, out.colour.a, out.attenuation[2]}),
              std::vector<float>({i == 0 ? 42.0f : 9.0f, 0.75f, 0.002f}));
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
