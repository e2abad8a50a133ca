// Culling against the view volume: a group of points is outside when every
// point is beyond the same one of the six planes. Each side plane passes
// through the eye, so a point (x, y, z) at distance d = -z ahead is beyond the
// right plane when x > (halfWidth / near) d, and likewise for the others.
// The test keeps a margin of a thousandth of a unit plus a thousandth of the
// point's size, so rounding in the caller's transform (not the same as
// OpenGL's) can only keep a group that is just outside, never drop one that
// is just inside. NaN coordinates fail every comparison and so keep the group.
#include "math/frustum.h"

#include <cmath>

namespace starbloom {

namespace {

constexpr float MARGIN = 1.0e-3f;

} // namespace

bool allOutside(const ViewFrustum& f, const Vec3* points, int count) {
  if (!(f.nearPlane > 0.0f) || count <= 0) return false;
  const float sx = f.halfWidth / f.nearPlane;
  const float sy = f.halfHeight / f.nearPlane;
  // One bit per plane: left, right, bottom, top, near, far.
  unsigned outside = 0x3fu;
  for (int i = 0; i < count && outside != 0; ++i) {
    const Vec3 p = points[i];
    const float d = -p.z;
    const float slack = MARGIN * (1.0f + std::fabs(p.x) + std::fabs(p.y) + std::fabs(d));
    unsigned here = 0;
    if (p.x < -sx * d - slack) here |= 1u;
    if (p.x > sx * d + slack) here |= 2u;
    if (p.y < -sy * d - slack) here |= 4u;
    if (p.y > sy * d + slack) here |= 8u;
    if (d < f.nearPlane - slack) here |= 16u;
    if (d > f.farPlane + slack) here |= 32u;
    outside &= here;
  }
  return outside != 0;
}

} // namespace starbloom
