#include <gtest/gtest.h>

#include <GL/gl.h>

#include "particles/lens_flare.h"
#include "render_scene.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

constexpr int W = 400; // 333 pixels per unit on the flare plane
constexpr int H = 300;

// Flares drawn as the particle pass draws them: identity model-view and
// additive blending, with white pictures.
class LensFlare : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl.ok());
    settings = Settings{};
    settings.tex = false; // the particle texture switch plays no part in a flare
    render_test::loadFlatPicture(glowTexture, 255);
    render_test::loadFlatPicture(ringTexture, 255);
  }
  void TearDown() override { settings = Settings{}; }

  void reset() {
    render_test::prepareFrame(W, H);
    glBlendFunc(GL_ONE, GL_ONE);
  }

  // The flare of a particle at eye coordinates q.
  void flare(Vec3 q, float scale, Color4 colour) {
    drawLensFlare(q + camera.origin, camera, scale, glowTexture, ringTexture, colour,
                  renderContext.textureTarget());
  }

  OffscreenGl gl{W, H};
  CoordFrame camera = render_test::testCamera();
};

TEST_F(LensFlare, ElementsLieOnTheLineThroughTheViewCentre) {
  // 10 in front of the eye the gain is 20 / 11, so each element shows 0.91
  // times the colour; the seventh, the ring, takes the second (black) picture.
  render_test::loadFlatPicture(ringTexture, 0);
  for (Vec3 q : {Vec3{2.0f, 0.0f, -10.0f}, Vec3{0.0f, 1.5f, -10.0f}, Vec3{-1.0f, 0.5f, -10.0f}}) {
    SCOPED_TRACE(::testing::Message() << "particle at " << q.x << ", " << q.y);
    reset();
    flare(q, 0.15f, Color4{0.6f, 0.4f, 0.2f, 1.0f});
    for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
      SCOPED_TRACE(k + 1);
      const float f = 1.5f * FLARE_ELEMENTS[k].position;
      const Rgb p = render_test::pixelAtEye(gl, Vec3{f * q.x / q.z, f * q.y / q.z, -1.5f});
      const Rgb want = k == 6 ? Rgb{} : Rgb{139, 93, 46};
      EXPECT_NEAR(p.r, want.r, 3);
      EXPECT_NEAR(p.g, want.g, 3);
      EXPECT_NEAR(p.b, want.b, 3);
    }
    EXPECT_EQ(gl.pixel(W / 2, H / 2).r, 0) << "no element at the view centre";
  }
}

TEST_F(LensFlare, NoFlareBehindTheEyeOrOffScreenAndNoDepthTestAfterOne) {
  struct Case { const char* name; Vec3 q; bool drawn; };
  const Case cases[] = {
      {"in front", {0.0f, 0.0f, -10.0f}, true},
      {"behind the eye", {0.0f, 0.0f, 5.0f}, false},
      {"in the eye plane", {1.0f, 0.0f, 0.0f}, false},
      {"on the right edge", {4.0f, 0.0f, -10.0f}, false},
      {"on the left edge", {-4.0f, 0.0f, -10.0f}, false},
      {"on the top edge", {0.0f, 3.0f, -10.0f}, false},
      {"just inside the right edge", {3.9f, 0.0f, -10.0f}, true},
      {"just inside the bottom edge", {0.0f, -2.9f, -10.0f}, true},
  };
  const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    // Fog that would blacken anything beyond 1 unit, with start-up's depth
    // test and lighting on; drawing nothing leaves them alone.
    glFogfv(GL_FOG_COLOR, black);
    glFogf(GL_FOG_START, 0.0f);
    glFogf(GL_FOG_END, 1.0f);
    flare(c.q, 0.15f, Color4{1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(render_test::sumOfFrame(gl) > 0, c.drawn) << "drawn, unfogged";
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_FALSE, c.drawn);
    EXPECT_EQ(glIsEnabled(GL_LIGHTING) == GL_FALSE, c.drawn);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
  }
}

TEST_F(LensFlare, ElementsStackBrighterForNearerParticles) {
  // Every element adds 12 * gain to the pixels it covers, the gain being
  // 20 / (1 + distance) up to 2. Half-sides (pixels) at scale 1: 66.7, 50,
  // 33.3, 16.7, 11.7 and 8.3 for sizes 0.4, 0.3, 0.2, 0.1, 0.07 and 0.05.
  struct Case { float distance; int offset; int value; };
  const Case cases[] = {{19.0f, 0, 120}, {19.0f, 10, 108}, {19.0f, 20, 72}, {19.0f, 40, 48},
                        {19.0f, 60, 36}, {19.0f, 80, 0},   {4.0f, 0, 240},  {39.0f, 0, 60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.distance << " away, " << c.offset << " px right");
    reset();
    const float v = 24.0f / 255.0f;
    flare(Vec3{0.0f, 0.0f, -c.distance}, 1.0f, Color4{v, v, v, 1.0f});
    EXPECT_NEAR(gl.pixel(W / 2 + c.offset, H / 2).g, c.value, 3);
  }
}

} // namespace
} // namespace starbloom
