// The light table as the rendering context applies it to OpenGL's lights.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

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

} // namespace
} // namespace starbloom
