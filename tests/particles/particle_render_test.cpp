#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "particles/particle_render.h"
#include "particles/particle_store.h"
#include "render_scene.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

using render_test::Pixel;

constexpr int W = 200; // 25 pixels per world unit at the origin, seen from 10 units
constexpr int H = 150;
const Vec3 ORIGIN{0.0f, 0.0f, 0.0f};
const Vec3 UP{0.0f, 1.0f, 0.0f};
const Vec3 RIGHT{1.0f, 0.0f, 0.0f};

void expectNear(Rgb got, Rgb want, int tolerance) {
  EXPECT_LE(std::abs(got.r - want.r), tolerance) << "red " << got.r << " want " << want.r;
  EXPECT_LE(std::abs(got.g - want.g), tolerance) << "green " << got.g << " want " << want.g;
  EXPECT_LE(std::abs(got.b - want.b), tolerance) << "blue " << got.b << " want " << want.b;
}

Rgb grey(int v) { return Rgb{v, v, v}; }

ShellDesign plainStar() {
  ShellDesign design;
  design.size = 1.0f;
  return design;
}

// One camera at (0, 0, 10) looking at the origin, a hand-filled store and
// plain settings: no textures, streaks, halos, flares or depth test, and
// sprites one world unit across (half-diagonal 0.707).
class ParticleRender : public ::testing::Test {
 protected:
  ParticleRender() : gl(W, H), store(std::make_unique<ParticleStore>()) {}

  void SetUp() override {
    ASSERT_TRUE(gl.ok());
    render_test::loadWhitePicture(spriteTexture);
    render_test::loadWhitePicture(glowTexture);
    render_test::loadWhitePicture(ringTexture);
    reset();
  }
  void TearDown() override { settings = Settings{}; }

  void reset() {
    settings = Settings{};
    settings.tex = false;
    settings.blur = false;
    settings.blight = false;
    settings.lens = false;
    settings.zbuffer = false;
    settings.sizeBase = 1.0f;
    store->count = 0;
    render_test::prepareFrame(W, H);
    render_test::loadView(camera);
  }

  Particle& add(const ShellDesign& design, Vec3 position, Color4 colour) {
    Particle& p = store->particles[store->count++];
    p = Particle{};
    p.active = true;
    p.position = position;
    p.color = colour;
    p.age = 1.1f;
    p.lifetime = 2.0f;
    p.design = &design;
    return p;
  }

  void draw() { drawParticles(*store, camera); }
  Rgb at(Vec3 world) const {
    const Pixel p = render_test::worldToPixel(camera, world, W, H);
    return gl.pixel(p.x, p.y);
  }

  OffscreenGl gl;
  std::unique_ptr<ParticleStore> store;
  CoordFrame camera = render_test::cameraAt(Vec3{0.0f, 0.0f, 10.0f}, ORIGIN);
  ShellDesign star = plainStar();
};

TEST_F(ParticleRender, ParticlesAtTheViewCentreAddUp) {
  const Color4 quarter{0.25f, 0.25f, 0.25f, 1.0f};
  struct Case {
    const char* name;
    std::vector<Color4> colours;
    bool zbuffer;
    Rgb centre;
  };
  const Case cases[] = {
      {"one", {quarter}, false, grey(64)},
      {"two", {quarter, quarter}, false, grey(128)},
      {"two with depth test", {quarter, quarter}, true, grey(128)},
      {"red and blue", {{0.5f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.5f, 1.0f}}, false, {128, 0, 128}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.zbuffer = c.zbuffer;
    for (Color4 colour : c.colours) add(star, ORIGIN, colour);
    draw();
    expectNear(at(ORIGIN), c.centre, 2);
    expectNear(gl.pixel(0, 0), grey(0), 0);
  }
}

TEST_F(ParticleRender, StreakTailTrailsTheScreenMotion) {
  // behind: how far the sprite reaches back along the screen-plane motion
  // (world units); it always reaches 0.707 ahead.
  struct Case {
    const char* name;
    Vec3 velocity;
    float age;
    int childCountMin;
    bool isSpark, emitsSparks, twinkles, blur;
    float behind;
  };
  const Case cases[] = {
      {"grown star tail", {0.5f, 0.0f, 0.0f}, 1.1f, 0, false, false, false, true, 2.5f * 0.707f},
      {"growing star tail", {0.5f, 0.0f, 0.0f}, 0.6f, 0, false, false, false, true, 1.75f * 0.707f},
      {"star at 0.1 s, no tail", {2.0f, 0.0f, 0.0f}, 0.1f, 0, false, false, false, true, 0.707f},
      {"star tail starting", {2.0f, 0.0f, 0.0f}, 0.15f, 0, false, false, false, true, 1.3f * 0.707f},
      {"shell tail three times", {0.2f, 0.0f, 0.0f}, 1.1f, 1, false, false, false, true, 2.8f * 0.707f},
      {"falling star", {0.0f, -0.5f, 0.0f}, 1.1f, 0, false, false, false, true, 2.5f * 0.707f},
      {"receding star", {0.5f, 0.0f, -2.0f}, 1.1f, 0, false, false, false, true, 2.5f * 0.707f},
      {"spark: diamond", {0.5f, 0.0f, 0.0f}, 1.1f, 0, true, false, false, true, 0.707f},
      {"spark emitter: diamond", {0.5f, 0.0f, 0.0f}, 1.1f, 0, false, true, false, true, 0.707f},
      {"twinkler: diamond", {0.5f, 0.0f, 0.0f}, 1.1f, 0, false, false, true, true, 0.707f},
      {"blur off: diamond", {0.5f, 0.0f, 0.0f}, 1.1f, 0, false, false, false, false, 0.707f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.blur = c.blur;
    ShellDesign design = star;
    design.childCountMin = c.childCountMin;
    design.emitsSparks = c.emitsSparks;
    design.twinkles = c.twinkles;
    Particle& p = add(design, ORIGIN, {1.0f, 1.0f, 1.0f, 1.0f});
    p.velocity = c.velocity;
    p.age = c.age;
    p.isSpark = c.isSpark;
    draw();
    const Vec3 screenMotion{c.velocity.x, c.velocity.y, 0.0f};
    const Vec3 ahead = (1.0f / length(screenMotion)) * screenMotion;
    EXPECT_GT(at(0.85f * 0.707f * ahead).r, 200) << "nose";
    EXPECT_LT(at(1.2f * 0.707f * ahead).r, 8) << "ahead of the nose";
    EXPECT_GT(at(-0.85f * c.behind * ahead).r, 200) << "tail";
    EXPECT_LT(at(-1.15f * c.behind * ahead).r, 8) << "behind the tail";
  }
}

TEST_F(ParticleRender, ApproachGlowOnlyForParticlesComingCloser) {
  struct Case {
    const char* name;
    Vec3 velocity;
    bool isSpark, emitsSparks, blur;
    int centre;
  };
  const Case cases[] = {
      {"still", {0.0f, 0.0f, 0.0f}, false, false, true, 51},
      {"approaching at 4", {0.0f, 0.0f, 4.0f}, false, false, true, 153},
      {"approaching at 1", {0.0f, 0.0f, 1.0f}, false, false, true, 77},
      {"receding", {0.0f, 0.0f, -4.0f}, false, false, true, 51},
      {"approaching streak", {0.5f, 0.0f, 4.0f}, false, false, true, 153},
      {"approaching spark", {0.0f, 0.0f, 4.0f}, true, false, true, 153},
      {"approaching spark emitter", {0.0f, 0.0f, 4.0f}, false, true, true, 51},
      {"approaching, blur off", {0.0f, 0.0f, 4.0f}, false, false, false, 51},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.blur = c.blur;
    ShellDesign design = star;
    design.emitsSparks = c.emitsSparks;
    Particle& p = add(design, ORIGIN, {0.2f, 0.2f, 0.2f, 1.0f});
    p.velocity = c.velocity;
    p.isSpark = c.isSpark;
    draw();
    expectNear(at(ORIGIN), grey(c.centre), 2);
  }
}

TEST_F(ParticleRender, HaloOnlyWithBlight) {
  // extent: the halo's half-diagonal in world units for sprites of size 0.1.
  struct Case {
    const char* name;
    bool halo, blight, blur;
    int childCountMin;
    bool emitsSparks;
    float extent;
    int value;
  };
  const Case cases[] = {
      {"star", true, true, false, 0, false, 8.5f * 0.0707f, 26},
      {"star with blur", true, true, true, 0, false, 17.0f * 0.0707f, 26},
      {"shell", true, true, false, 1, false, 11.05f * 0.0707f, 51},
      {"spark emitter", true, true, false, 0, true, 19.89f * 0.0707f, 36},
      {"shell emitting sparks", true, true, false, 1, true, 25.857f * 0.0707f, 71},
      {"blight off", true, false, false, 0, false, 8.5f * 0.0707f, 0},
      {"design without halo", false, true, false, 0, false, 8.5f * 0.0707f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.blight = c.blight;
    settings.blur = c.blur;
    ShellDesign design = star;
    design.size = 0.1f;
    design.halo = c.halo;
    design.childCountMin = c.childCountMin;
    design.emitsSparks = c.emitsSparks;
    add(design, ORIGIN, {0.5f, 0.5f, 0.5f, 1.0f});
    draw();
    expectNear(at(0.85f * c.extent * UP), grey(c.value), 2);
    expectNear(at(-0.6f * c.extent * RIGHT), grey(c.value), 2);
    expectNear(at(1.15f * c.extent * UP), grey(0), 2);
  }
}

TEST_F(ParticleRender, ParticlesTestDepthButNeverWriteIt) {
  struct Case {
    const char* name;
    bool zbuffer;
    bool occluder; // a black square writing depth at z = 5
    std::vector<float> particleZ;
    int centre;
  };
  const Case cases[] = {
      {"hidden behind the occluder", true, true, {0.0f}, 0},
      {"no depth test: not hidden", false, true, {0.0f}, 64},
      {"in front of the occluder", true, true, {7.0f}, 64},
      {"a near particle hides no far one", true, false, {5.0f, 0.0f}, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.zbuffer = c.zbuffer;
    if (c.occluder) {
      glEnable(GL_DEPTH_TEST);
      glColor3f(0.0f, 0.0f, 0.0f);
      glBegin(GL_QUADS);
        glVertex3f(-1.0f, -1.0f, 5.0f);
        glVertex3f(1.0f, -1.0f, 5.0f);
        glVertex3f(1.0f, 1.0f, 5.0f);
        glVertex3f(-1.0f, 1.0f, 5.0f);
      glEnd();
      glDisable(GL_DEPTH_TEST);
    }
    for (float z : c.particleZ) add(star, {0.0f, 0.0f, z}, {0.25f, 0.25f, 0.25f, 1.0f});
    glFinish();
    float depthBefore = 0.0f;
    glReadPixels(W / 2, H / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthBefore);
    draw();
    expectNear(at(ORIGIN), grey(c.centre), 2);
    glFinish();
    float depthAfter = 0.0f;
    glReadPixels(W / 2, H / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    GLboolean writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    EXPECT_EQ(writes, GL_TRUE);
  }
}

TEST_F(ParticleRender, ParticleWithoutScreenMotionIsADiamond) {
  // Streak candidates whose motion across the screen is zero, too small for
  // a float, or too large for one: no direction to stretch along.
  struct Case {
    const char* name;
    Vec3 velocity;
  };
  const Case cases[] = {
      {"towards the eye", {0.0f, 0.0f, 3.0f}},
      {"away from the eye", {0.0f, 0.0f, -3.0f}},
      {"still", {0.0f, 0.0f, 0.0f}},
      {"underflowing speed", {1e-30f, 0.0f, -1.0f}},
      {"overflowing speed", {3e38f, 0.0f, 0.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.blur = true;
    add(star, ORIGIN, {0.2f, 0.2f, 0.2f, 1.0f}).velocity = c.velocity;
    draw();
    for (Vec3 axis : {UP, RIGHT, -UP, -RIGHT}) {
      EXPECT_GT(at(0.8f * 0.707f * axis).r, 40) << "inside a corner";
      EXPECT_LT(at(1.2f * 0.707f * axis).r, 3) << "beyond a corner";
    }
    for (Vec3 corner : {UP + RIGHT, UP - RIGHT, -UP + RIGHT, -UP - RIGHT}) {
      EXPECT_LT(at(0.65f * 0.707f * corner).r, 3) << "outside the diamond's edge";
    }
  }
}

TEST_F(ParticleRender, FlashShrinksAndDarkensOverItsLife) {
  struct Case {
    const char* name;
    float age, lifetime;
    float extent; // half-diagonal, world units
    int value;
  };
  const Case cases[] = {
      {"at birth", 0.0f, 1.0f, 1.414f, 204},
      {"half way", 0.5f, 1.0f, 0.707f, 102},
      {"three quarters", 0.75f, 1.0f, 0.3535f, 51},
      {"at the end", 1.0f, 1.0f, 0.0f, 0},
      {"without a life", 0.0f, 0.0f, 0.0f, 0},
  };
  ShellDesign flash = star;
  flash.isFlash = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    Particle& p = add(flash, ORIGIN, {0.8f, 0.8f, 0.8f, 1.0f});
    p.age = c.age;
    p.lifetime = c.lifetime;
    draw();
    if (c.extent == 0.0f) {
      EXPECT_EQ(render_test::sumOfFrame(gl), 0);
      continue;
    }
    expectNear(at(ORIGIN), grey(c.value), 2);
    expectNear(at(0.85f * c.extent * UP), grey(c.value), 2);
    expectNear(at(1.15f * c.extent * UP), grey(0), 0);
  }
}

TEST_F(ParticleRender, LensFlaresOnlyForHaloAndFlashParticles) {
  // The particle sits right of the centre, 10 in front of the eye, so the
  // fourth flare element (position factor 1) lies left of the centre with
  // gain s = 20 / 11.
  const Vec3 where{2.0f, 0.0f, 0.0f};
  const Pixel element4 = render_test::eyeToPixel({-0.3f, 0.0f, -1.5f}, W, H);
  struct Case {
    const char* name;
    bool isFlash, halo, blight, lens;
    int childCountMin;
    float size;
    int value;
  };
  const Case cases[] = {
      {"halo star", false, true, true, true, 0, 0.1f, 23},
      {"halo shell", false, true, true, true, 1, 0.1f, 46},
      {"flash", true, false, false, true, 0, 1.0f, 116},
      {"halo star without lens", false, true, true, false, 0, 0.1f, 0},
      {"halo star, blight off", false, true, false, true, 0, 0.1f, 0},
      {"flash without lens", true, false, false, false, 0, 1.0f, 0},
      {"plain star", false, false, true, true, 0, 1.0f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.blight = c.blight;
    settings.lens = c.lens;
    ShellDesign design = star;
    design.isFlash = c.isFlash;
    design.halo = c.halo;
    design.childCountMin = c.childCountMin;
    design.size = c.size;
    Particle& p = add(design, where, {1.0f, 1.0f, 1.0f, 1.0f});
    p.age = 0.0f;
    p.lifetime = 1.0f;
    draw();
    expectNear(gl.pixel(element4.x, element4.y), grey(c.value), 2);
  }
}

TEST_F(ParticleRender, PassLeavesBlendingFogAndDepthWritesSet) {
  const float purple[4] = {0.3f, 0.0f, 0.8f, 1.0f};
  struct Case {
    const char* name;
    bool zbuffer, land, fog, lens;
    bool flareParticle; // a halo star on screen
    bool depthTest;     // after the pass
    float fogEnd;
    bool blackFog;
  };
  const Case cases[] = {
      {"empty store", true, false, false, false, false, true, 200.0f, false},
      {"a flare turns depth test off", true, false, false, true, true, false, 200.0f, false},
      {"no depth test", false, false, false, false, false, false, 200.0f, false},
      {"land and fog", false, true, true, false, false, false, 75.0f, true},
      {"land only", false, true, false, false, false, false, 200.0f, false},
      {"fog only", false, false, true, false, false, false, 200.0f, false},
  };
  ShellDesign haloStar = star;
  haloStar.halo = true;
  haloStar.size = 0.1f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.zbuffer = c.zbuffer;
    settings.land = c.land;
    settings.fog = c.fog;
    settings.lens = c.lens;
    settings.blight = true;
    settings.landsi = 35;
    if (c.flareParticle) add(haloStar, {2.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 1.0f});
    glFogf(GL_FOG_END, 200.0f);
    glFogfv(GL_FOG_COLOR, purple);
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<float>(GL_REPLACE));
    draw();
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), c.depthTest ? GL_TRUE : GL_FALSE);
    GLboolean writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    EXPECT_EQ(writes, GL_TRUE);
    EXPECT_EQ(glIsEnabled(GL_FOG), GL_TRUE);
    EXPECT_EQ(glIsEnabled(GL_BLEND), GL_TRUE);
    EXPECT_EQ(glIsEnabled(GL_LIGHTING), GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_NORMALIZE), GL_FALSE);
    GLint src = 0, dst = 0, mode = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(mode, GL_MODULATE);
    float fogEnd = 0.0f;
    float fogColour[4] = {};
    glGetFloatv(GL_FOG_END, &fogEnd);
    glGetFloatv(GL_FOG_COLOR, fogColour);
    EXPECT_EQ(fogEnd, c.fogEnd);
    EXPECT_FLOAT_EQ(fogColour[0], c.blackFog ? 0.0f : purple[0]);
    EXPECT_FLOAT_EQ(fogColour[2], c.blackFog ? 0.0f : purple[2]);
  }
}

TEST_F(ParticleRender, FogWithLandFadesDistantParticles) {
  // Linear fog from 20 as the landscape leaves it; the pass ends it at
  // landsi + 40 = 60.
  struct Case {
    const char* name;
    bool land, fog;
    float depth; // in front of the eye
    int value;
  };
  const Case cases[] = {
      {"beyond the fog end", true, true, 65.0f, 0},
      {"half way through the fog", true, true, 40.0f, 102},
      {"before the fog starts", true, true, 15.0f, 204},
      {"land without fog", true, false, 65.0f, 204},
      {"fog without land", false, true, 65.0f, 204},
  };
  ShellDesign big = star;
  big.size = 3.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    settings.land = c.land;
    settings.fog = c.fog;
    settings.landsi = 20;
    if (c.fog) {
      glEnable(GL_FOG);
      glFogi(GL_FOG_MODE, GL_LINEAR);
      glFogf(GL_FOG_START, 20.0f);
      glFogf(GL_FOG_END, 200.0f);
    }
    const Vec3 where{0.0f, 0.0f, 10.0f - c.depth};
    add(big, where, {0.8f, 0.8f, 0.8f, 1.0f});
    draw();
    expectNear(at(where), grey(c.value), 3);
  }
}

TEST_F(ParticleRender, SpriteTextureTurnsWithTheDiamond) {
  // Red where the texture's s < 0.5, green where t < 0.5 (the picture's
  // lower half): the diamond's top corner has (s, t) = (0, 0), the right
  // (1, 0), the left (0, 1) and the bottom (1, 1).
  render_test::loadSyntheticPicture(spriteTexture, 64, [](int x, int y, std::uint8_t* p) {
    p[0] = x < 32 ? 255 : 0;
    p[1] = y >= 32 ? 255 : 0;
    p[2] = 0;
  });
  reset();
  settings.tex = true;
  settings.sizeBase = 2.0f;
  add(star, ORIGIN, {1.0f, 1.0f, 1.0f, 1.0f});
  draw();
  const float corner = 0.8f * 1.414f;
  struct Case {
    const char* name;
    Vec3 where;
    Rgb textured;
  };
  const Case cases[] = {
      {"top", corner * UP, {255, 255, 0}},
      {"right", corner * RIGHT, {0, 255, 0}},
      {"left", -corner * RIGHT, {255, 0, 0}},
      {"bottom", -corner * UP, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A texture without a picture cannot be bound, and the sprite stays a
    // flat white diamond.
    expectNear(at(c.where), spriteTexture.hasPixels ? c.textured : grey(255), 2);
  }
}

} // namespace
} // namespace starbloom
