#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>

#include "particles/lens_flare.h"
#include "render_scene.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

using render_test::Pixel;

constexpr int W = 400;
constexpr int H = 300;

// Flares drawn as the particle pass draws them: identity model-view,
// additive blending, for a camera at (0, 0, 10) looking at the origin.
class LensFlare : public ::testing::Test {
 protected:
  LensFlare() : gl(W, H) {}

  void SetUp() override {
    ASSERT_TRUE(gl.ok());
    // The particle texture switches play no part in a flare.
    settings = Settings{};
    settings.tex = false;
    settings.liner = false;
    render_test::loadWhitePicture(glowTexture);
    render_test::loadWhitePicture(ringTexture);
    reset();
  }
  void TearDown() override { settings = Settings{}; }

  void reset() {
    render_test::prepareFrame(W, H);
    glBlendFunc(GL_ONE, GL_ONE);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<float>(GL_MODULATE));
  }

  // Draws the flare of a particle at eye coordinates q.
  void flare(Vec3 q, float scale, Color4 colour) {
    const Vec3 world = q + camera.origin;
    drawLensFlare(world, camera, scale, glowTexture, ringTexture, colour);
  }

  Rgb at(Vec3 eye) const {
    const Pixel p = render_test::eyeToPixel(eye, W, H);
    return gl.pixel(p.x, p.y);
  }

  OffscreenGl gl;
  CoordFrame camera = render_test::cameraAt(Vec3{0.0f, 0.0f, 10.0f}, Vec3{});
};

// Where element k of a particle at (a, b) on the unit-distance screen lies.
Vec3 elementCentre(int k, float a, float b) {
  const float f = FLARE_ELEMENTS[k].position;
  return Vec3{1.5f * f * a, 1.5f * f * b, -1.5f};
}

TEST_F(LensFlare, ElementsLieOnTheLineThroughTheViewCentre) {
  // 10 in front of the eye: gain s = 20 / 11, so each element is 0.91 colour.
  const Color4 colour{0.6f, 0.4f, 0.2f, 1.0f};
  const Rgb expected{139, 93, 46};
  struct Case {
    const char* name;
    Vec3 q;
  };
  const Case cases[] = {
      {"right of the centre", {2.0f, 0.0f, -10.0f}},
      {"above the centre", {0.0f, 1.5f, -10.0f}},
      {"up and to the left", {-1.0f, 0.5f, -10.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    flare(c.q, 0.15f, colour);
    const float a = c.q.x / c.q.z;
    const float b = c.q.y / c.q.z;
    for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
      SCOPED_TRACE(k + 1);
      const Rgb p = at(elementCentre(k, a, b));
      EXPECT_LE(std::abs(p.r - expected.r), 3) << p.r;
      EXPECT_LE(std::abs(p.g - expected.g), 3) << p.g;
      EXPECT_LE(std::abs(p.b - expected.b), 3) << p.b;
    }
    EXPECT_EQ(gl.pixel(W / 2, H / 2).r, 0) << "no element at the view centre";
  }
}

TEST_F(LensFlare, NoFlareBehindTheEyeOrOffScreen) {
  struct Case {
    const char* name;
    Vec3 q;
    bool drawn;
  };
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    glEnable(GL_DEPTH_TEST);
    flare(c.q, 0.15f, {1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(render_test::sumOfFrame(gl) > 0, c.drawn);
    // Drawing nothing leaves the depth test alone.
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), c.drawn ? GL_FALSE : GL_TRUE);
  }
}

TEST_F(LensFlare, CentredParticleStacksAllTenElements) {
  // 19 in front of the eye (s = 1), scale 1: every element adds 12 to the
  // pixels it covers. Half-sides in pixels: 66.7 for size 0.4, 50 for 0.3,
  // 33.3 for 0.2, 16.7 for 0.1, 11.7 for 0.07, 8.3 for 0.05.
  struct Case {
    int offset; // pixels right of the centre
    int covering;
  };
  const Case cases[] = {{0, 10}, {10, 9}, {20, 6}, {40, 4}, {60, 3}, {80, 0}};
  const float c = 24.0f / 255.0f;
  flare({0.0f, 0.0f, -19.0f}, 1.0f, {c, c, c, 1.0f});
  for (const Case& k : cases) {
    SCOPED_TRACE(k.offset);
    EXPECT_NEAR(gl.pixel(W / 2 + k.offset, H / 2).g, 12 * k.covering, 3);
  }
}

TEST_F(LensFlare, NearerParticlesThrowBrighterFlares) {
  struct Case {
    float distance;
    float gain;
  };
  const Case cases[] = {{4.0f, 2.0f}, {9.0f, 2.0f}, {19.0f, 1.0f}, {39.0f, 0.5f}};
  const float c = 12.0f / 255.0f;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.distance);
    reset();
    flare({0.0f, 0.0f, -k.distance}, 1.0f, {c, c, c, 1.0f});
    // Ten elements stacked at the centre, 6 s each.
    EXPECT_NEAR(gl.pixel(W / 2, H / 2).r, 60.0f * k.gain, 3.0f);
  }
}

TEST_F(LensFlare, FlareLeavesDepthTestOffAndRestoresFog) {
  for (bool fogOn : {true, false}) {
    SCOPED_TRACE(fogOn ? "fog on" : "fog off");
    reset();
    // Fog that would blacken anything beyond 1 unit from the eye.
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, black);
    glFogf(GL_FOG_START, 0.0f);
    glFogf(GL_FOG_END, 1.0f);
    if (fogOn) glEnable(GL_FOG);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    flare({0.0f, 0.0f, -10.0f}, 1.0f, {0.2f, 0.2f, 0.2f, 1.0f});
    EXPECT_GT(gl.pixel(W / 2, H / 2).r, 100) << "drawn unfogged and unlit";
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
    EXPECT_EQ(glIsEnabled(GL_LIGHTING), GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_FOG), fogOn ? GL_TRUE : GL_FALSE);
    float fogEnd = 0.0f;
    glGetFloatv(GL_FOG_END, &fogEnd);
    EXPECT_EQ(fogEnd, 1.0f);
  }
}

TEST_F(LensFlare, RingElementTakesTheSecondTexture) {
  render_test::loadSyntheticPicture(ringTexture, 16,
                                    [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 0; });
  const Vec3 q{2.0f, 0.0f, -10.0f};
  flare(q, 0.15f, {1.0f, 1.0f, 1.0f, 1.0f});
  for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
    SCOPED_TRACE(k + 1);
    // Seventh element: the black ring picture; a texture without a picture
    // cannot be bound, and the element stays flat white like the others.
    const bool dark = k == 6 && ringTexture.hasPixels;
    const int value = at(elementCentre(k, q.x / q.z, q.y / q.z)).r;
    if (dark) {
      EXPECT_EQ(value, 0);
    } else {
      EXPECT_GT(value, 200);
    }
  }
}

} // namespace
} // namespace starbloom
