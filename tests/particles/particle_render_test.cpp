#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <memory>

#include "particles/particle_render.h"
#include "particles/particle_store.h"
#include "render_scene.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

constexpr int W = 200; // 25 pixels per world unit at the origin, seen from 10 units
constexpr int H = 150;
const Vec3 UP{0.0f, 1.0f, 0.0f};
const Vec3 RIGHT{1.0f, 0.0f, 0.0f};
constexpr float HALF = 0.707f; // half-diagonal of a sprite one unit across

// Design traits and pass switches of a case, or-ed together.
enum : unsigned {
  SHELL = 1u << 0, SPARK = 1u << 1, EMITTER = 1u << 2, TWINKLER = 1u << 3, HALO = 1u << 4,
  FLASH = 1u << 5, BLUR = 1u << 6, BLIGHT = 1u << 7, LENS = 1u << 8, ZBUFFER = 1u << 9,
  LAND = 1u << 10, FOG = 1u << 11,
};

void expectGrey(Rgb got, int want, int tolerance = 2) {
  for (int v : {got.r, got.g, got.b}) {
    EXPECT_LE(std::abs(v - want), tolerance) << "a channel is " << v << ", want " << want;
  }
}

// The pass leaves blending and fog on, lighting off and depth writes on.
void expectStateAfterPass(bool depthTest) {
  GLboolean writes = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
  EXPECT_TRUE(writes);
  EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE, depthTest);
  EXPECT_TRUE(glIsEnabled(GL_FOG) && glIsEnabled(GL_BLEND) && !glIsEnabled(GL_LIGHTING));
}

class ParticleRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl.ok());
    for (Texture* t : {&spriteTexture, &glowTexture, &ringTexture}) {
      render_test::loadFlatPicture(*t, 255);
    }
  }
  void TearDown() override { settings = Settings{}; }

  void reset(unsigned flags) {
    settings = Settings{};
    settings.tex = false;
    settings.sizeBase = 1.0f;
    settings.blur = flags & BLUR;
    settings.blight = flags & BLIGHT;
    settings.lens = flags & LENS;
    settings.zbuffer = flags & ZBUFFER;
    settings.land = flags & LAND;
    settings.fog = flags & FOG;
    store->count = 0;
    render_test::prepareFrame(W, H);
    render_test::loadView(camera);
  }

  // A grey particle aged 1.1 s of 2 s; all particles of a case share one design.
  Particle& add(unsigned flags, Vec3 position, float grey, float size = 1.0f) {
    design = ShellDesign{};
    design.size = size;
    design.childCountMin = flags & SHELL ? 1 : 0;
    design.emitsSparks = flags & EMITTER;
    design.twinkles = flags & TWINKLER;
    design.halo = flags & HALO;
    design.isFlash = flags & FLASH;
    Particle& p = store->particles[store->count++];
    p = Particle{};
    p.active = true;
    p.isSpark = flags & SPARK;
    p.position = position;
    p.color = Color4{grey, grey, grey, 1.0f};
    p.age = 1.1f;
    p.lifetime = 2.0f;
    p.design = &design;
    return p;
  }

  void draw() { drawParticles(*store, camera, renderContext.textureTarget()); }
  Rgb at(Vec3 world) const { return render_test::pixelAtEye(gl, camera.toLocal(world)); }

  OffscreenGl gl{W, H};
  std::unique_ptr<ParticleStore> store = std::make_unique<ParticleStore>();
  CoordFrame camera = render_test::testCamera();
  ShellDesign design;
};

TEST_F(ParticleRender, ParticlesAddUpHiddenOnlyByNearerSurfacesOrFogWithLand) {
  // occluder: a surface writing depth at z = 5; pair: one more particle at
  // the origin. Start-up's fog runs from 20 to 200 towards violet; with land
  // the pass ends it at landsi + 40 = 60 and fades to black, else turns it off.
  struct Case { const char* name; unsigned flags; bool occluder; float z; bool pair; int centre; };
  const Case cases[] = {
      {"one", 0, false, 0.0f, false, 102},
      {"two add up", 0, false, 0.0f, true, 204},
      {"hidden behind a nearer surface", ZBUFFER, true, 0.0f, false, 0},
      {"no depth test: not hidden", 0, true, 0.0f, false, 102},
      {"in front of the surface", ZBUFFER, true, 6.0f, false, 102},
      {"a near particle hides no far one", ZBUFFER, false, 5.0f, true, 204},
      {"beyond the fog end", LAND | FOG, false, -55.0f, false, 0},
      {"half way through the fog", LAND | FOG, false, -30.0f, false, 51},
      {"before the fog starts", LAND | FOG, false, 5.0f, false, 102},
      {"land without fog", LAND, false, -55.0f, false, 102},
      {"fog without land", FOG, false, -55.0f, false, 102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset(c.flags);
    settings.landsi = 20;
    if (c.occluder) {
      glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
      glTranslatef(0.0f, 0.0f, 5.0f);
      glRectf(-1.0f, -1.0f, 1.0f, 1.0f);
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
      render_test::loadView(camera);
    }
    add(0, Vec3{0.0f, 0.0f, c.z}, 0.4f, 3.0f);
    if (c.pair) add(0, Vec3{}, 0.4f, 3.0f);
    draw();
    expectGrey(at(Vec3{}), c.centre, 3);
    expectGrey(gl.pixel(0, 0), 0, 0);
    expectStateAfterPass(c.flags & ZBUFFER);
  }
}

TEST_F(ParticleRender, StreakTrailsTheScreenMotionAndGlowsWhenApproaching) {
  // The nose reaches HALF ahead, the tail `behind` half-diagonals back; with
  // no screen-plane motion to follow the sprite is the diamond, nose up. The
  // approach glow brightens the centre.
  struct Case {
    const char* name; unsigned flags; Vec3 velocity; float age;
    Vec3 ahead; float behind; int centre;
  };
  const Case cases[] = {
      {"grown star", BLUR, {0.5f, 0.0f, 0.0f}, 1.1f, RIGHT, 2.5f, 51},
      {"growing star", BLUR, {0.5f, 0.0f, 0.0f}, 0.6f, RIGHT, 1.75f, 51},
      {"star at 0.1 s, no tail yet", BLUR, {2.0f, 0.0f, 0.0f}, 0.1f, RIGHT, 1.0f, 51},
      {"shell: three times as long", BLUR | SHELL, {0.2f, 0.0f, 0.0f}, 1.1f, RIGHT, 2.8f, 51},
      {"falling star", BLUR, {0.0f, -0.5f, 0.0f}, 1.1f, -UP, 2.5f, 51},
      {"receding star", BLUR, {0.5f, 0.0f, -2.0f}, 1.1f, RIGHT, 2.5f, 51},
      {"approaching star", BLUR, {0.5f, 0.0f, 4.0f}, 1.1f, RIGHT, 2.5f, 153},
      {"approaching spark", BLUR | SPARK, {0.5f, 0.0f, 4.0f}, 1.1f, RIGHT, 1.0f, 153},
      {"approaching spark emitter", BLUR | EMITTER, {0.5f, 0.0f, 4.0f}, 1.1f, RIGHT, 1.0f, 51},
      {"twinkler", BLUR | TWINKLER, {0.5f, 0.0f, 0.0f}, 1.1f, RIGHT, 1.0f, 51},
      {"approaching, blur off", 0, {0.5f, 0.0f, 4.0f}, 1.1f, RIGHT, 1.0f, 51},
      {"towards the eye at 4", BLUR, {0.0f, 0.0f, 4.0f}, 1.1f, UP, 1.0f, 153},
      {"still", BLUR, {0.0f, 0.0f, 0.0f}, 1.1f, UP, 1.0f, 51},
      {"underflowing speed", BLUR, {1e-30f, 0.0f, -1.0f}, 1.1f, UP, 1.0f, 51},
      {"overflowing speed", BLUR, {3e38f, 0.0f, 0.0f}, 1.1f, UP, 1.0f, 51},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset(c.flags);
    Particle& p = add(c.flags, Vec3{}, 0.2f);
    p.velocity = c.velocity;
    p.age = c.age;
    draw();
    expectGrey(at(Vec3{}), c.centre);
    EXPECT_GT(at(0.85f * HALF * c.ahead).r, 40) << "nose";
    EXPECT_LT(at(1.2f * HALF * c.ahead).r, 3) << "ahead of the nose";
    EXPECT_GT(at(-0.85f * HALF * c.behind * c.ahead).r, 40) << "tail";
    EXPECT_LT(at(-1.15f * HALF * c.behind * c.ahead).r, 3) << "behind the tail";
  }
}

// Sprites are drawn in batches, but what the depth test hides follows the
// drawing order: a particle behind a nearer surface is hidden when it comes
// before the first lens flare of the pass and shows when it comes after it.
// And a sky full of sprites of several textures, many batches' worth, shows
// every one of them.
TEST_F(ParticleRender, BatchedSpritesKeepTheDrawingOrderAndAllShow) {
  // Particles of a case share one design, so each kind gets its own here.
  ShellDesign plain;
  plain.size = 1.0f;
  ShellDesign halo = plain;
  halo.size = 0.1f;
  halo.halo = true;
  ShellDesign flash = plain;
  flash.size = 0.1f;
  flash.isFlash = true;
  const auto put = [this](const ShellDesign& d, Vec3 where, float grey) -> Particle& {
    Particle& p = add(0, where, grey);
    p.design = &d;
    return p;
  };

  const Vec3 hiddenFirst{-1.0f, 0.0f, 0.0f};
  const Vec3 flared{2.0f, 2.0f, 0.0f};
  const Vec3 shownAfter{1.0f, 0.0f, 0.0f};
  reset(ZBUFFER | BLIGHT | LENS);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glTranslatef(0.0f, 0.0f, 5.0f);
  glRectf(-1.5f, -1.0f, 1.5f, 1.0f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  render_test::loadView(camera);
  put(plain, hiddenFirst, 0.4f);
  put(halo, flared, 0.4f);
  put(plain, shownAfter, 0.4f);
  draw();
  expectGrey(at(hiddenFirst), 0, 3);
  expectGrey(at(shownAfter), 102, 3);
  expectStateAfterPass(false);

  // 30 x 20 particles 6 pixels apart, every third a flash (the glow
  // picture), the rest plain sprites, textures on.
  reset(0);
  settings.tex = true;
  plain.size = 0.2f;
  constexpr int COLUMNS = 30, ROWS = 20;
  const auto place = [](int i, int j) {
    return Vec3{0.24f * static_cast<float>(i - COLUMNS / 2), 0.24f * static_cast<float>(j - ROWS / 2),
                0.0f};
  };
  for (int j = 0; j < ROWS; ++j) {
    for (int i = 0; i < COLUMNS; ++i) {
      put((i + j * COLUMNS) % 3 == 0 ? flash : plain, place(i, j), 1.0f).age = 0.5f;
    }
  }
  draw();
  int dark = 0;
  for (int j = 0; j < ROWS; ++j) {
    for (int i = 0; i < COLUMNS; ++i) dark += at(place(i, j)).r < 100 ? 1 : 0;
  }
  EXPECT_EQ(dark, 0) << "particles not drawn";
}

TEST_F(ParticleRender, HalosAndFlashesWithTheirLensFlares) {
  // A white particle 2 right of the centre, 10 in front of the eye; extent:
  // the sprite's half-diagonal in world units (the halo's, where it has one);
  // flare: the fourth element (position factor 1), as far left of the centre.
  struct Case { const char* name; unsigned flags; float size, age, extent; int value, flare; };
  const Case cases[] = {
      {"halo star", HALO | BLIGHT | LENS, 0.1f, 1.1f, 0.601f, 51, 23},
      {"halo star with blur", HALO | BLIGHT | BLUR | LENS, 0.1f, 1.1f, 1.202f, 51, 23},
      {"halo shell", HALO | BLIGHT | SHELL | LENS, 0.1f, 1.1f, 0.781f, 102, 46},
      {"halo spark emitter", HALO | BLIGHT | EMITTER | LENS, 0.1f, 1.1f, 1.406f, 71, 32},
      {"halo star without lens", HALO | BLIGHT, 0.1f, 1.1f, 0.601f, 51, 0},
      {"halo star, blight off", HALO | LENS, 0.1f, 1.1f, 0.601f, 0, 0},
      {"plain star", BLIGHT | LENS, 0.1f, 1.1f, 0.601f, 0, 0},
      {"flash at a quarter of its life", FLASH | LENS, 1.0f, 0.5f, 1.06f, 191, 87},
      {"flash half way", FLASH | LENS, 1.0f, 1.0f, 0.707f, 128, 58},
      {"flash without lens", FLASH, 1.0f, 1.0f, 0.707f, 128, 0},
      {"flash at the end", FLASH, 1.0f, 2.0f, 0.0f, 0, 0},
  };
  const Vec3 where{2.0f, 0.0f, 0.0f};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset(c.flags | ZBUFFER);
    add(c.flags, where, 1.0f, c.size).age = c.age;
    draw();
    expectGrey(at(where + 0.85f * c.extent * UP), c.value);
    expectGrey(at(where + c.extent * (0.5f * UP - 0.25f * RIGHT)), c.value);
    expectGrey(at(where + 1.15f * c.extent * UP), 0);
    expectGrey(at(-1.0f * where), c.flare);
    expectStateAfterPass(c.flare == 0); // a flare leaves the depth test off
  }
}

} // namespace
} // namespace starbloom
