// Coordinate frames and spherical coordinates: the camera orbits the scene in
// spherical coordinates and is turned towards its aim point with aimAt; the
// view matrix is the frame's axes as rows followed by a translation.
// constrain wraps the azimuth by one turn only, as the orbit never moves more
// than a fraction of a turn per frame.
#include "math/coord_frame.h"

#include <cmath>

namespace starbloom {

namespace {
constexpr float POLAR_MIN = 0.01f;
constexpr float POLAR_MAX = 3.1315925f;
} // namespace

void CoordFrame::setIdentityAxes() {
  xAxis = Vec3{1.0f, 0.0f, 0.0f};
  yAxis = Vec3{0.0f, 1.0f, 0.0f};
  zAxis = Vec3{0.0f, 0.0f, 1.0f};
}

Vec3 CoordFrame::toLocal(Vec3 p) const {
  const Vec3 d = p - origin;
  return Vec3{dot(d, xAxis), dot(d, yAxis), dot(d, zAxis)};
}

bool CoordFrame::aimAt(Vec3 target) {
  zAxis = normalize(origin - target);
  const Vec3 x = cross(Vec3{0.0f, 1.0f, 0.0f}, zAxis);
  yAxis = normalize(cross(zAxis, x));
  xAxis = cross(yAxis, zAxis);
  return true;
}

Mat4 viewRotation(const CoordFrame& frame) {
  Mat4 rows;
  rows.set(frame.xAxis.x, frame.xAxis.y, frame.xAxis.z, 0.0f,
           frame.yAxis.x, frame.yAxis.y, frame.yAxis.z, 0.0f,
           frame.zAxis.x, frame.zAxis.y, frame.zAxis.z, 0.0f,
           0.0f, 0.0f, 0.0f, 1.0f);
  return transpose(rows);
}

Vec3 SphericalCoord::toCartesian() const {
  return Vec3{radius * std::sin(polar) * std::sin(azimuth),
              radius * std::cos(polar),
              radius * std::sin(polar) * std::cos(azimuth)};
}

void SphericalCoord::constrain() {
  if (radius < 0.0f) radius = 0.0f;
  if (polar < POLAR_MIN) polar = POLAR_MIN;
  if (polar > POLAR_MAX) polar = POLAR_MAX;
  if (azimuth > FULL_TURN) azimuth -= FULL_TURN;
  if (azimuth < 0.0f) azimuth += FULL_TURN;
}

} // namespace starbloom
