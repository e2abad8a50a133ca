// The lens flare: a row of ten textured squares laid out in eye space on the
// line from a particle's point on the screen through the view centre and
// beyond, as a camera lens throws ghosts of a bright light.
//
// The layout works on the plane 1.5 units in front of the eye. A particle at
// eye coordinates q projects to (a, b) = (q.x / q.z, q.y / q.z) at unit
// distance, and lands on that plane at (-1.5 a, -1.5 b), which is position
// factor -1 of the flare line; the view centre is factor 0, and positive
// factors lie on the far side of it. Each element's side is the flare's scale
// times its size factor. The flare is drawn only for a particle in front of
// the eye and inside the side planes of the view (half-width 0.4 and
// half-height 0.3 at unit distance, the fixed frustum), so the visibility
// test rejects every particle off screen before any drawing.
//
// Invariants: the caller has loaded the identity model-view matrix (the
// coordinates given to OpenGL are eye coordinates) and chosen the blend
// function and texture environment. Each element saves and restores the fog
// state only: after a flare, depth testing stays off, blending on and
// lighting off, so that flares lie on top of everything.
//
// Cost: one projection and at most ten textured four-vertex polygons per
// call, each with one texture bind.
#include "particles/lens_flare.h"

#include <GL/gl.h>

#include <cmath>


namespace starbloom {

const float FLARE_TEXCOORDS[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

const FlareElement FLARE_ELEMENTS[FLARE_ELEMENT_COUNT] = {
    {0.5f, 0.4f, false},
    {0.25f, 0.07f, false},
    {0.75f, 0.2f, false},
    {1.0f, 0.4f, false},
    {-0.25f, 0.05f, false},
    {-0.5f, 0.1f, false},
    {-0.87f, 0.3f, true},
    {-1.25f, 0.2f, false},
    {-1.5f, 0.4f, false},
    {-1.75f, 0.1f, false},
};

namespace {

// Distance of the flare plane in front of the eye.
constexpr float FLARE_PLANE = 1.5f;
// Side planes of the fixed view frustum at unit distance.
constexpr float VIEW_HALF_WIDTH = 0.4f;
constexpr float VIEW_HALF_HEIGHT = 0.3f;
// Brightness gain 20 / (1 + distance), capped for particles near the eye.
constexpr float NEAR_GAIN = 20.0f;
constexpr float MAX_GAIN = 2.0f;

CoordFrame identityFrame() {
  CoordFrame frame;
  frame.setIdentityAxes();
  return frame;
}

} // namespace

bool layOutLensFlare(Vec3 p, const CoordFrame& view, float scale, Color4 color,
                     FlareLayout& out) {
  const Vec3 q = view.toLocal(p);
  // Written as "not in front" so that a NaN depth draws nothing as well.
  if (!(q.z < 0.0f)) return false;

  float s = NEAR_GAIN / (1.0f - q.z);
  if (s > MAX_GAIN) s = MAX_GAIN;

  const float a = q.x / q.z;
  const float b = q.y / q.z;
  if (!(std::fabs(a) < VIEW_HALF_WIDTH) || !(std::fabs(b) < VIEW_HALF_HEIGHT)) return false;

  // The alpha of the caller's colour plays no part: blending is additive.
  out.colour = Color4{0.5f * s * color.r, 0.5f * s * color.g, 0.5f * s * color.b, color.a};
  for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
    const FlareElement& element = FLARE_ELEMENTS[k];
    out.centres[k] = Vec3{FLARE_PLANE * element.position * a, FLARE_PLANE * element.position * b,
                          -FLARE_PLANE};
    out.sides[k] = scale * element.size;
  }
  return true;
}

void flareCorners(Vec3 centre, float side, const CoordFrame& frame, Vec3 (&corners)[4]) {
  const Vec3 c = frame.toLocal(centre);
  const float h = side * 0.5f;
  corners[0] = Vec3{c.x - h, c.y + h, c.z};
  corners[1] = Vec3{c.x + h, c.y + h, c.z};
  corners[2] = Vec3{c.x + h, c.y - h, c.z};
  corners[3] = Vec3{c.x - h, c.y - h, c.z};
}

void drawLensFlare(Vec3 p, const CoordFrame& view, float scale, Texture& first,
                   Texture& second, Color4 color, const TextureTarget& target) {
  FlareLayout layout;
  if (!layOutLensFlare(p, view, scale, color, layout)) return;
  const CoordFrame eye = identityFrame();
  for (int k = 0; k < FLARE_ELEMENT_COUNT; ++k) {
    drawFlareElement(layout.centres[k], layout.sides[k], eye,
                     FLARE_ELEMENTS[k].ring ? second : first, layout.colour, target);
  }
}

void drawFlareElement(Vec3 centre, float side, const CoordFrame& frame, Texture& texture,
                      Color4 color, const TextureTarget& target) {
  Vec3 corner[4];
  flareCorners(centre, side, frame, corner);

  // Flares use the rendering context's switches, so they stay textured and
  // smooth whatever the particle texture settings say.
  bindTexture(*target.textureCount, target.useTextures, texture, target.smoothTextures);

  glPushAttrib(GL_FOG_BIT);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glDisable(GL_LIGHTING);

  glBegin(GL_POLYGON);
    glColor3f(color.r, color.g, color.b);
    for (int k = 0; k < 4; ++k) {
      glTexCoord2f(FLARE_TEXCOORDS[k][0], FLARE_TEXCOORDS[k][1]);
      glVertex3f(corner[k].x, corner[k].y, corner[k].z);
    }
  glEnd();

  // Only fog comes back: the flare leaves depth testing off on purpose.
  glPopAttrib();
}

} // namespace starbloom
