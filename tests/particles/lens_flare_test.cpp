#include <gtest/gtest.h>

#include <GL/gl.h>

#include <memory>

#include "particles/lens_flare.h"
#include "particles/particle_render.h"
#include "particles/particle_store.h"
#include "render_scene.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

constexpr int W = 400; // 333 pixels per unit on the flare plane
constexpr int H = 300;

// Flares as the particle pass draws them, of one halo star with white
// pictures. The star is so small that its own sprites cover no pixel
// centre, while its flare keeps the halo's scale: 0.2125, or 0.425 with blur.
// Its flare takes a tenth of its colour, times half the gain.
class LensFlare : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl.ok());
    for (Texture* t : {&spriteTexture, &glowTexture, &ringTexture}) {
      render_test::loadFlatPicture(*t, 255);
    }
    design.size = 0.0001f;
    design.halo = true;
  }
  void TearDown() override { settings = Settings{}; }

  // The pass over the star at eye coordinates q, with depth testing on.
  void flare(Vec3 q, Color4 colour, bool blur) {
    settings = Settings{};
    settings.tex = false; // the particle texture switch plays no part in a flare
    settings.sizeBase = 1.0f;
    settings.blur = blur;
    settings.blight = true;
    settings.lens = true;
    settings.zbuffer = true;
    store->count = 1;
    Particle& p = store->particles[0];
    p = Particle{};
    p.active = true;
    p.position = q + camera.origin;
    p.color = colour;
    p.design = &design;
    render_test::prepareFrame(W, H);
    render_test::loadView(camera);
    drawParticles(*store, camera, renderContext.textureTarget());
  }

  OffscreenGl gl{W, H};
  std::unique_ptr<ParticleStore> store = std::make_unique<ParticleStore>();
  ShellDesign design;
  CoordFrame camera = render_test::testCamera();
};

TEST_F(LensFlare, ElementsLieOnTheLineThroughTheViewCentre) {
  // 10 in front of the eye the gain is 20 / 11, so each element shows 0.091
  // times the star's colour; the seventh, the ring, takes the ring picture
  // (black here).
  render_test::loadFlatPicture(ringTexture, 0);
  for (Vec3 q : {Vec3{2.0f, 0.0f, -10.0f}, Vec3{0.0f, 1.5f, -10.0f}, Vec3{-2.0f, 1.0f, -10.0f}}) {
    SCOPED_TRACE(::testing::Message() << "particle at " << q.x << ", " << q.y);
    flare(q, Color4{6.0f, 4.0f, 2.0f, 1.0f}, false);
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    flare(c.q, Color4{10.0f, 10.0f, 10.0f, 1.0f}, false);
    EXPECT_EQ(render_test::sumOfFrame(gl) > 0, c.drawn);
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_FALSE, c.drawn);
  }
}

TEST_F(LensFlare, ElementsStackBrighterForNearerParticles) {
  // With blur the scale is 0.425. Every element adds 12 * gain to the pixels
  // it covers, the gain being 20 / (1 + distance) up to 2. Half-sides
  // (pixels): 28.3, 21.3, 14.2, 7.1, 5.0 and 3.5 for sizes 0.4, 0.3, 0.2, 0.1,
  // 0.07 and 0.05; the pixel `offset` right of the centre lies 0.5 further.
  struct Case { float distance; int offset; int value; };
  const Case cases[] = {{19.0f, 0, 120}, {19.0f, 4, 108}, {19.0f, 5, 96}, {19.0f, 10, 72},
                        {19.0f, 17, 48}, {19.0f, 24, 36}, {19.0f, 30, 0},  {4.0f, 0, 240},
                        {39.0f, 0, 60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.distance << " away, " << c.offset << " px right");
    const float v = 240.0f / 255.0f;
    flare(Vec3{0.0f, 0.0f, -c.distance}, Color4{v, v, v, 1.0f}, true);
    EXPECT_NEAR(gl.pixel(W / 2 + c.offset, H / 2).g, c.value, 3);
  }
}

} // namespace
} // namespace starbloom
