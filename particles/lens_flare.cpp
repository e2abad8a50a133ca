// The lens flare: a row of ten textured squares laid out in eye space on the
// line from a particle's point on the screen through the view centre and
// beyond, as a camera lens throws ghosts of a bright light.
//
// The layout works on the plane 1.5 units in front of the eye. A particle at
// eye coordinates q projects to (a, b) = (q.x / q.z, q.y / q.z) at unit
// distance, and lands on that plane at (-1.5 a, -1.5 b), which is position
// factor -1 of the flare line; the view centre is factor 0, and positive
// factors lie on the far side of it. Each element's side is the flare's scale
// times its size factor. A flare is laid out only for a particle in front of
// the eye and inside the side planes of the program's fixed view frustum
// (VIEW_FRUSTUM), so a particle off screen never has one.
//
// Nothing here draws: the particle pass adds the squares to its eye-space
// sprite batches, drawn under the identity model-view without fog or depth
// test, so that flares lie on top of everything.
//
// Cost: one projection and ten element placements per flare.
#include "particles/lens_flare.h"

#include <cmath>

#include "math/frustum.h"

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
// Side planes of the view frustum at unit distance.
constexpr float VIEW_HALF_WIDTH = VIEW_FRUSTUM.halfWidth / VIEW_FRUSTUM.nearPlane;
constexpr float VIEW_HALF_HEIGHT = VIEW_FRUSTUM.halfHeight / VIEW_FRUSTUM.nearPlane;
// Brightness gain 20 / (1 + distance), capped for particles near the eye.
constexpr float NEAR_GAIN = 20.0f;
constexpr float MAX_GAIN = 2.0f;

} // namespace

bool layOutLensFlare(Vec3 p, const CoordFrame& view, float scale, Color4 color,
                     FlareLayout& out) {
  const Vec3 q = view.toLocal(p);
  // Written as "not in front" so that a NaN depth has no flare either.
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

} // namespace starbloom
