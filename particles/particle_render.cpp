// The particle drawing pass: every live particle, in store order, becomes
// up to three camera-facing sprites added onto the frame (blend GL_ONE,
// GL_ONE): its core, a streak along its motion or a diamond; an approach
// glow; and a dim halo about shells and halo stars. With lens flares on,
// every halo and every flash particle also throws a flare of ten squares.
// All of them are queued into sprite batches (sprite_batch) and drawn a few
// vertex arrays at a time.
//
// Invariants: sprites test depth when zbuffer is on but never write it, so
// with additive blending their order changes the picture only by 8-bit
// rounding; each sprite goes to the batch of the texture binding that store
// order has in force at it, so it is drawn as it would be on its own. The
// first flare turns depth testing off for the rest of the pass, and the
// sprites queued before it are drawn first. The pass leaves blending on,
// lighting off, fog on, depth writes restored, and the texture binding and
// colour of its last sprite.
//
// Cost: per particle one design read, a few vector operations and 6 to 18
// vertices queued (six a sprite), plus 60 for a flare's ten squares; a
// handful of vertex-array draws a frame. The pass allocates nothing.
#include "particles/particle_render.h"

#include <GL/gl.h>

#include <cmath>

#include "particles/lens_flare.h"
#include "particles/sprite_batch.h"
#include "scene/texture.h"
#include "settings/settings.h"

namespace starbloom {

namespace {

// Half-diagonal of a sprite, in sizes.
constexpr float HALF_DIAGONAL = 0.707f;
// Age at which a streak starts to grow its tail (seconds); the tail reaches
// full length one second later.
constexpr float TAIL_START_AGE = 0.1f;
// Fog end beyond the landscape's edge, so distant particles fade out.
constexpr float FOG_END_MARGIN = 40.0f;

// The corners of one sprite about its particle (world units).
struct SpriteCorners {
  Vec3 a; // nose: texture (0, 0)
  Vec3 b; // side: texture (1, 0); -b takes (0, 1)
  Vec3 t; // tail: texture (1, 1) of the core sprite
};

// What the pass reads from the settings, taken once per frame.
struct PassSwitches {
  bool tex = true;       // particle textures
  bool liner = false;    // linear filtering of the particle textures
  bool blur = true;      // streaks and approach glow
  bool blight = true;    // halos
  bool lens = false;     // lens flares
  bool zbuffer = true;   // depth test, no depth writes
  float sizeBase = 0.0f; // world units per design size unit
  TextureTarget target;  // where textures are bound; the flares' switches
};

// Where the pass stands in drawing order: the bindTexture call the sprites
// so far would have left in force.
struct PassState {
  Texture* texture = &spriteTexture;
  bool enable = false;
  bool linear = false;
  bool depthTested = false;     // no flare has turned depth testing off yet
  Color4 colour;                // the colour of the last sprite
  bool coloured = false;        // any sprite queued
};

// Sprite batches of the pass, written by drawParticles and the queue
// functions it calls: scratch memory, empty between passes.
SpriteBatches batches;

void bindAs(PassState& state, Texture& texture, bool enable, bool linear) {
  state.texture = &texture;
  state.enable = enable;
  state.linear = linear;
}

void useTexture(const PassSwitches& pass, PassState& state, Texture& texture) {
  bindAs(state, texture, pass.tex, pass.liner);
}

// One corner of a sprite: texture coordinates, colour and place.
void setCorner(SpriteVertex& v, float s, float t, Color4 colour, Vec3 p) {
  v = SpriteVertex{s, t, colour.r, colour.g, colour.b, p.x, p.y, p.z};
}

// Queues one sprite, the strip pos + a, pos + b, pos - b, pos + tail, into
// the batch of the binding in force. A sprite with no colour above zero adds
// nothing (OpenGL clamps negative colours to black, and the particles' fog
// colour is black): it is left out.
void queueSprite(PassState& state, Vec3 pos, const SpriteCorners& c, float r, float g, float b) {
  const Color4 colour{r, g, b, 1.0f};
  state.colour = colour;
  state.coloured = true;
  if (!(r > 0.0f || g > 0.0f || b > 0.0f)) return;
  SpriteVertex corners[4];
  setCorner(corners[0], 0.0f, 0.0f, colour,
            Vec3{pos.x + c.a.x, pos.y + c.a.y, pos.z + c.a.z});
  setCorner(corners[1], 1.0f, 0.0f, colour,
            Vec3{pos.x + c.b.x, pos.y + c.b.y, pos.z + c.b.z});
  setCorner(corners[2], 0.0f, 1.0f, colour,
            Vec3{pos.x - c.b.x, pos.y - c.b.y, pos.z - c.b.z});
  setCorner(corners[3], 1.0f, 1.0f, colour,
            Vec3{pos.x + c.t.x, pos.y + c.t.y, pos.z + c.t.z});
  addSprite(batches, spriteBinding(*state.texture, state.enable, state.linear, false), corners,
            STRIP_TRIANGLES);
}

// Queues the lens flare of a particle at pos, laid out in eye space, into
// the eye batches. The first flare shown ends depth testing for the rest of
// the pass, so the world batches queued before it are drawn first. The
// binding of its last square (the glow picture with the flares' switches)
// stays in force for the sprites after it.
void queueLensFlare(const PassSwitches& pass, PassState& state, Vec3 pos, const CoordFrame& camera,
                    float scale, float r, float g, float b) {
  FlareLayout layout;
  if (!layOutLensFlare(pos, camera, scale, Color4{r, g, b, 1.0f}, layout)) return;
  if (state.depthTested) {
    drawSpriteBatches(batches, false);
    glDisable(GL_DEPTH_TEST);
    state.depthTested = false;
  }
  CoordFrame eye;
  eye.setIdentityAxes();
  for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
    Texture& texture = FLARE_ELEMENTS[k].ring ? ringTexture : glowTexture;
    Vec3 p[4];
    flareCorners(layout.centres[k], layout.sides[k], eye, p);
    SpriteVertex corners[4];
    for (int c = 0; c < 4; ++c) {
      setCorner(corners[c], FLARE_TEXCOORDS[c][0], FLARE_TEXCOORDS[c][1], layout.colour, p[c]);
    }
    const TextureTarget& t = pass.target;
    addSprite(batches, spriteBinding(texture, t.useTextures, t.smoothTextures, true), corners,
              POLYGON_TRIANGLES);
    bindAs(state, texture, t.useTextures, t.smoothTextures);
  }
  state.colour = layout.colour;
  state.coloured = true;
}

// The kite of a moving particle, along its motion on the screen plane: the
// nose a points ahead with length half, b lies across it, and the tail
// grows with the screen-plane speed l and with age, from nothing at 0.1 s to
// full length at 1.1 s, three times as long for a shell stage. False when
// that motion is too small to give a direction (zero, below the normal
// floats, or not a number), so that no corner comes from a division by zero;
// the caller then draws the diamond.
bool streakCorners(const Particle& p, const ShellDesign& d, Vec3 back, float half,
                   SpriteCorners& out) {
  const Vec3 w = p.velocity - dot(back, p.velocity) * back;
  const float l = std::sqrt(dot(w, w));
  if (!std::isnormal(l)) return false;

  // w / l has components of at most 1, so no step can overflow.
  const float inverse = 1.0f / l;
  out.a = half * (inverse * w);
  out.b = cross(back, out.a);

  float k = p.age - TAIL_START_AGE;
  if (k < 0.0f) k = 0.0f;
  if (k > 1.0f) k = 1.0f;
  const float s = d.childCountMin != 0 ? 1.0f : 0.0f;
  out.t = -(1.0f + 3.0f * (2.0f * s + 1.0f) * l * k) * out.a;
  return true;
}

void beginPass(const PassSwitches& pass, PassState& state) {
  if (pass.tex) glEnable(GL_TEXTURE_2D);
  if (pass.zbuffer) glDepthMask(GL_FALSE);
  bindTexture(*pass.target.textureCount, pass.tex, spriteTexture, pass.liner);
  useTexture(pass, state, spriteTexture);
  state.depthTested = pass.zbuffer;
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<float>(GL_MODULATE));
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_LIGHTING);

  if (settings.land && settings.fog) {
    // Fog stays enabled as the landscape left it; distant particles fade to
    // black, which adds nothing.
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glFogfv(GL_FOG_COLOR, black);
    glFogf(GL_FOG_END, static_cast<float>(settings.landsi) + FOG_END_MARGIN);
  } else {
    glDisable(GL_FOG);
  }

  if (pass.zbuffer) {
    glEnable(GL_DEPTH_TEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDisable(GL_NORMALIZE);
}

void endPass(const PassSwitches& pass, PassState& state) {
  drawSpriteBatches(batches, false);
  drawSpriteBatches(batches, true);
  bindTexture(*pass.target.textureCount, state.enable, *state.texture, state.linear);
  if (state.coloured) glColor3f(state.colour.r, state.colour.g, state.colour.b);
  glEnable(GL_FOG);
  if (pass.zbuffer) glDepthMask(GL_TRUE);
}

// Queues the sprites of one particle: its core, a kite when it may streak
// (blur on, not a spark, a design that neither emits sparks nor twinkles)
// and else a diamond facing the camera; the approach glow, brighter the
// faster it comes towards the eye; its halo; and its lens flares.
void queueParticleSprites(const PassSwitches& pass, PassState& state, const Particle& p,
                          const ShellDesign& d, const CoordFrame& camera) {
  const Vec3 pos = p.position;
  const Vec3 back = camera.zAxis;
  float r = p.color.r;
  float g = p.color.g;
  float b = p.color.b;

  float size = pass.sizeBase * d.size;
  if (d.isFlash) {
    // A flash shrinks and darkens from twice the size to nothing over its
    // life; a flash without a life has nothing left to show.
    const float f = p.lifetime > 0.0f ? (p.lifetime - p.age) / p.lifetime : 0.0f;
    useTexture(pass, state, glowTexture);
    size = 2.0f * f * size;
    r *= f;
    g *= f;
    b *= f;
  }
  const float half = HALF_DIAGONAL * size;

  SpriteCorners c;
  const bool streak = pass.blur && !p.isSpark && !d.emitsSparks && !d.twinkles;
  if (!streak || !streakCorners(p, d, back, half, c)) {
    c.a = half * camera.yAxis;
    c.b = half * camera.xAxis;
    c.t = -c.a;
  }
  queueSprite(state, pos, c, r, g, b);

  SpriteCorners glow{c.a, c.b, -c.a};
  if (pass.blur && !d.emitsSparks) {
    // Negative for a receding particle; OpenGL clamps that colour to black.
    const float m = 0.5f * dot(back, p.velocity);
    queueSprite(state, pos, glow, m * r, m * g, m * b);
  }

  if (d.halo && pass.blight) {
    float k = (4.0f * (d.emitsSparks ? 1.0f : 0.0f) + 5.0f * (pass.blur ? 2.0f : 1.0f)) * 1.7f;
    useTexture(pass, state, glowTexture);
    if (d.childCountMin != 0) {
      r *= 2.0f;
      g *= 2.0f;
      b *= 2.0f;
      k *= 1.3f;
    }
    if (d.emitsSparks) {
      r *= 1.4f;
      g *= 1.4f;
      b *= 1.4f;
      k *= 1.3f;
    }
    if (pass.lens) queueLensFlare(pass, state, pos, camera, 0.025f * k, 0.1f * r, 0.1f * g, 0.1f * b);
    glow.a = k * glow.a;
    glow.b = k * glow.b;
    glow.t = -glow.a;
    queueSprite(state, pos, glow, 0.2f * r, 0.2f * g, 0.2f * b);
    useTexture(pass, state, spriteTexture);
  }

  if (d.isFlash) {
    if (pass.lens) queueLensFlare(pass, state, pos, camera, 0.1f * size, 0.5f * r, 0.5f * g, 0.5f * b);
    useTexture(pass, state, spriteTexture);
  }
}

} // namespace

void drawParticles(const ParticleStore& store, const CoordFrame& camera,
                   const TextureTarget& target) {
  PassSwitches pass;
  pass.target = target;
  pass.tex = settings.tex;
  pass.liner = settings.liner;
  pass.blur = settings.blur;
  pass.blight = settings.blight;
  pass.lens = settings.lens;
  pass.zbuffer = settings.zbuffer;
  pass.sizeBase = settings.sizeBase;

  batches.textureCount = target.textureCount;
  PassState state;
  beginPass(pass, state);
  const std::int32_t count = store.count < MAX_PARTICLES ? store.count : MAX_PARTICLES;
  for (std::int32_t i = 0; i < count; ++i) {
    const Particle& p = store.particles[i];
    // Every spawn sets a design; a record without one has nothing to draw.
    if (!p.active || p.design == nullptr) continue;
    queueParticleSprites(pass, state, p, *p.design, camera);
  }
  endPass(pass, state);
}

} // namespace starbloom
