#include <gtest/gtest.h>

#include <GL/gl.h>

#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

LightSource lightAt(float x) {
  LightSource s;
  s.resetLight(false);
  s.position = Vec3{x, 2.0f, 3.0f};
  s.colour = Color4{0.5f, 0.25f, 1.0f, 0.75f};
  s.unusedScale = 8.0f;
  s.ambientFactor = 0.1f;
  s.setAttenuation(1.0f, 0.05f, 0.002f);
  return s;
}

// The frustum matrix of glFrustum, column-major, computed independently.
void frustumMatrix(double l, double r, double b, double t, double n, double f, double out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = 0.0;
  out[0] = 2.0 * n / (r - l);
  out[5] = 2.0 * n / (t - b);
  out[8] = (r + l) / (r - l);
  out[9] = (t + b) / (t - b);
  out[10] = -(f + n) / (f - n);
  out[11] = -1.0;
  out[14] = -2.0 * f * n / (f - n);
}

TEST(RenderContext, InitAppliesDefaultStateAndFixedProjection) {
  OffscreenGl gl(200, 100);
  ASSERT_TRUE(gl.ok());
  EXPECT_EQ(renderContext.width, 200);
  EXPECT_EQ(renderContext.height, 100);

  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  double expected[16];
  frustumMatrix(-0.4f, 0.4f, -0.3f, 0.3f, 1.0, 400.0, expected);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(projection[i], expected[i], 1e-6) << "element " << i;

  GLfloat modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
  }

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[2], 200);
  EXPECT_EQ(viewport[3], 100);

  struct IntegerState {
    GLenum name;
    GLint value;
  };
  const IntegerState integers[] = {
      {GL_MATRIX_MODE, GL_MODELVIEW}, {GL_SHADE_MODEL, GL_SMOOTH}, {GL_DEPTH_FUNC, GL_LEQUAL},
      {GL_UNPACK_ALIGNMENT, 1},       {GL_FOG_MODE, GL_LINEAR},
  };
  for (const IntegerState& s : integers) {
    GLint value = -1;
    glGetIntegerv(s.name, &value);
    EXPECT_EQ(value, s.value) << "state 0x" << std::hex << s.name;
  }
  for (GLenum on : {GL_DEPTH_TEST, GL_LIGHTING, GL_FOG}) {
    EXPECT_TRUE(glIsEnabled(on)) << "0x" << std::hex << on;
  }

  GLint texture = -1;
  const struct {
    GLenum name;
    GLint value;
  } textureParameters[] = {{GL_TEXTURE_WRAP_S, GL_REPEAT},
                           {GL_TEXTURE_WRAP_T, GL_REPEAT},
                           {GL_TEXTURE_MAG_FILTER, GL_NEAREST},
                           {GL_TEXTURE_MIN_FILTER, GL_NEAREST}};
  for (const auto& p : textureParameters) {
    glGetTexParameteriv(GL_TEXTURE_2D, p.name, &texture);
    EXPECT_EQ(texture, p.value) << "texture parameter 0x" << std::hex << p.name;
  }
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &texture);
  EXPECT_EQ(texture, GL_MODULATE);

  const GLfloat violet[4] = {0.3f, 0.0f, 0.8f, 1.0f};
  GLfloat clear[4];
  GLfloat fog[4];
  GLfloat accum[4] = {1, 1, 1, 1};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_FOG_COLOR, fog);
  glGetFloatv(GL_ACCUM_CLEAR_VALUE, accum);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(clear[i], violet[i]);
    EXPECT_FLOAT_EQ(fog[i], violet[i]);
    EXPECT_FLOAT_EQ(accum[i], 0.0f);
  }
  GLfloat fogStart = 0;
  GLfloat fogEnd = 0;
  glGetFloatv(GL_FOG_START, &fogStart);
  glGetFloatv(GL_FOG_END, &fogEnd);
  EXPECT_FLOAT_EQ(fogStart, 20.0f);
  EXPECT_FLOAT_EQ(fogEnd, 200.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(RenderContext, ProjectionIgnoresTheAspectRatio) {
  // A wide and a tall surface get the same frustum; only the viewport follows.
  const int sizes[][2] = {{320, 60}, {40, 90}};
  for (const auto& size : sizes) {
    OffscreenGl gl(size[0], size[1]);
    ASSERT_TRUE(gl.ok());
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], 2.5f, 1e-6f);
    EXPECT_NEAR(projection[5], 1.0f / 0.3f, 1e-5f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], size[0]);
    EXPECT_EQ(viewport[3], size[1]);
  }
}

TEST(LightTable, NineAddsFillSlotsZeroToSevenThenAnswerNine) {
  LightTable table;
  int answers[9];
  for (int i = 0; i < 9; ++i) answers[i] = table.addLight(lightAt(static_cast<float>(i)));
  const int expected[9] = {0, 1, 2, 3, 4, 5, 6, 7, 9};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(answers[i], expected[i]) << "call " << i;
  // The refused light went nowhere: slots 8 and 9 are still free and the
  // eight taken slots hold the first eight lights.
  EXPECT_FALSE(table.slots[8].inUse);
  EXPECT_FALSE(table.slots[9].inUse);
  for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(table.slots[i].position.x, static_cast<float>(i));
}

TEST(LightTable, AddCopiesTheWholeRecordIntoTheFirstFreeSlot) {
  LightTable table;
  table.addLight(lightAt(0.0f));
  table.addLight(lightAt(1.0f));
  table.addLight(lightAt(2.0f));
  table.slots[1].inUse = false; // freed without GL, as a test shortcut

  const LightSource source = lightAt(42.0f); // inUse false in the source
  EXPECT_EQ(table.addLight(source), 1);
  LightSource out;
  ASSERT_TRUE(table.getLight(1, out));
  EXPECT_TRUE(out.inUse);
  EXPECT_FLOAT_EQ(out.position.x, 42.0f);
  EXPECT_FLOAT_EQ(out.colour.a, 0.75f);
  EXPECT_FLOAT_EQ(out.unusedScale, 8.0f);
  EXPECT_FLOAT_EQ(out.ambientFactor, 0.1f);
  EXPECT_FLOAT_EQ(out.attenuation[1], 0.05f);
  EXPECT_FLOAT_EQ(out.attenuation[2], 0.002f);
  EXPECT_EQ(table.addLight(source), 3);
}

TEST(LightTable, FreeSlotsRefuseGetSetAndRemove) {
  OffscreenGl gl(8, 8);
  ASSERT_TRUE(gl.ok());
  LightTable table;
  for (int i = 0; i < 8; ++i) table.addLight(lightAt(static_cast<float>(i)));
  ASSERT_TRUE(table.removeLight(5));

  const LightSource marker = lightAt(-7.0f);
  // Slot 5 was freed, 8 and 9 are never handed out; -1 and 10 are outside.
  for (int i : {5, 8, 9, -1, 10}) {
    LightSource out = marker;
    EXPECT_FALSE(table.getLight(i, out)) << "slot " << i;
    EXPECT_FLOAT_EQ(out.position.x, -7.0f) << "out was written for slot " << i;
    EXPECT_FALSE(table.setLight(i, lightAt(99.0f))) << "slot " << i;
    EXPECT_FALSE(table.removeLight(i)) << "slot " << i;
  }
  EXPECT_FALSE(table.slots[5].inUse);
  EXPECT_FALSE(table.slots[8].inUse);
  EXPECT_FALSE(table.slots[9].inUse);
  EXPECT_FLOAT_EQ(table.slots[5].position.x, 5.0f); // setLight left it alone
}

TEST(LightTable, SetLightOverwritesAndKeepsTheSlotInUse) {
  LightTable table;
  const int slot = table.addLight(lightAt(1.0f));
  LightSource changed = lightAt(9.0f);
  changed.inUse = false; // a record marked free still lands in use
  EXPECT_TRUE(table.setLight(slot, changed));
  LightSource out;
  ASSERT_TRUE(table.getLight(slot, out));
  EXPECT_TRUE(out.inUse);
  EXPECT_FLOAT_EQ(out.position.x, 9.0f);
}

TEST(LightTable, RemoveLightSwitchesOffItsGlLightOnly) {
  OffscreenGl gl(8, 8);
  ASSERT_TRUE(gl.ok());
  LightTable table;
  for (int i = 0; i < 8; ++i) {
    table.addLight(lightAt(static_cast<float>(i)));
    glEnable(static_cast<GLenum>(GL_LIGHT0 + i));
  }
  for (int removed : {0, 3, 7}) {
    EXPECT_TRUE(table.removeLight(removed));
    LightSource out;
    EXPECT_FALSE(table.getLight(removed, out));
  }
  for (int i = 0; i < 8; ++i) {
    const bool expectOn = i != 0 && i != 3 && i != 7;
    const bool on = glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i)) == GL_TRUE;
    EXPECT_EQ(on, expectOn) << "light " << i;
  }
  // A second removal of the same slot is refused and leaves a light that
  // someone switched on again untouched.
  glEnable(GL_LIGHT3);
  EXPECT_FALSE(table.removeLight(3));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  // The freed slot is the first one handed out again.
  EXPECT_EQ(table.addLight(lightAt(0.5f)), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(LightSource, ResetLightClearsAllButAlpha) {
  LightSource s = lightAt(4.0f);
  s.inUse = false;
  s.resetLight(true);
  EXPECT_TRUE(s.inUse);
  EXPECT_FLOAT_EQ(s.position.x, 0.0f);
  EXPECT_FLOAT_EQ(s.position.y, 0.0f);
  EXPECT_FLOAT_EQ(s.position.z, 0.0f);
  EXPECT_FLOAT_EQ(s.colour.r, 0.0f);
  EXPECT_FLOAT_EQ(s.colour.g, 0.0f);
  EXPECT_FLOAT_EQ(s.colour.b, 0.0f);
  EXPECT_FLOAT_EQ(s.colour.a, 0.75f);
  EXPECT_FLOAT_EQ(s.unusedScale, 1.0f);
  EXPECT_FLOAT_EQ(s.ambientFactor, 0.0f);
  EXPECT_FLOAT_EQ(s.attenuation[0], 1.0f);
  EXPECT_FLOAT_EQ(s.attenuation[1], 0.0f);
  EXPECT_FLOAT_EQ(s.attenuation[2], 0.0f);
  s.resetLight(false);
  EXPECT_FALSE(s.inUse);
}

TEST(RenderContext, BeginFrameClearsToTheClearColourAndSetsFogToIt) {
  OffscreenGl gl(40, 30);
  ASSERT_TRUE(gl.ok());
  frameClock = FrameClock{};
  const struct {
    Color4 colour;
    int r, g, b;
  } cases[] = {
      {{0.0f, 0.0f, 0.0f, 0.0f}, 0, 0, 0},
      {{1.0f, 0.0f, 0.0f, 1.0f}, 255, 0, 0},
      {{0.2f, 0.4f, 0.6f, 0.5f}, 51, 102, 153},
  };
  for (const auto& c : cases) {
    // Something drawn before must be gone, the depth buffer too.
    glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
    glClearDepth(0.25);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glColor3f(0.1f, 0.2f, 0.3f);

    renderContext.setClearColour(c.colour);
    renderContext.beginFrame();
    renderContext.endFrame();
    for (int p : {0, 17, 29}) {
      const Rgb rgb = gl.pixel(p, p);
      EXPECT_NEAR(rgb.r, c.r, 1);
      EXPECT_NEAR(rgb.g, c.g, 1);
      EXPECT_NEAR(rgb.b, c.b, 1);
    }
    GLfloat fog[4];
    glGetFloatv(GL_FOG_COLOR, fog);
    EXPECT_FLOAT_EQ(fog[0], c.colour.r);
    EXPECT_FLOAT_EQ(fog[1], c.colour.g);
    EXPECT_FLOAT_EQ(fog[2], c.colour.b);
    EXPECT_FLOAT_EQ(fog[3], c.colour.a);
    GLfloat depth = 0.0f;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1.0f);
    GLfloat current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_FLOAT_EQ(current[0], 1.0f);
    EXPECT_FLOAT_EQ(current[1], 1.0f);
    EXPECT_FLOAT_EQ(current[2], 1.0f);
  }
}

} // namespace
} // namespace starbloom
