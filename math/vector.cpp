// Vector and matrix operations shared by every subsystem. Everything is
// single precision; intermediate results may be wider. rotateAboutAxis and
// randomInCone give the bursts their shapes: a child's direction is drawn at
// a random angle from the parent's flight direction and a random turn about
// it. The sideways part of randomInCone deliberately keeps the length of
// cross(axis, x): bursts flatten as the flight direction leans towards +-x.
#include "math/vector.h"

#include <cmath>

#include "math/random.h"

namespace starbloom {

namespace {
constexpr float UNIT_DRAW = 1.0f / 32767.0f; // rand15 to [0, 1], both ends possible
} // namespace

bool Mat4::set(float m00, float m01, float m02, float m03,
               float m10, float m11, float m12, float m13,
               float m20, float m21, float m22, float m23,
               float m30, float m31, float m32, float m33) {
  const float values[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                            m20, m21, m22, m23, m30, m31, m32, m33};
  for (int i = 0; i < 16; ++i) m[i] = values[i];
  return true;
}

float length(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Vec3 normalize(Vec3 v) {
  const float len = length(v);
  return Vec3{v.x / len, v.y / len, v.z / len};
}

Vec3 cross(Vec3 a, Vec3 b) {
  return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 rotateAboutAxis(Vec3 p, Vec3 axis, float angle) {
  const Vec3 foot = dot(axis, p) * axis;
  const Vec3 u = p - foot;
  const float r = length(u);
  const Vec3 n = Vec3{u.x / r, u.y / r, u.z / r};
  const Vec3 v = cross(axis, n);
  const float vLength = length(v);
  if (vLength == 0.0f || std::isnan(vLength)) return p;
  return foot + r * (std::cos(angle) * n + std::sin(angle) * v);
}

Vec3 randomInCone(Vec3 axis, float speedMin, float speedMax, float angleMin, float angleMax) {
  const float u1 = static_cast<float>(rand15()) * UNIT_DRAW;
  const float u2 = static_cast<float>(rand15()) * UNIT_DRAW;
  const float u3 = static_cast<float>(rand15()) * UNIT_DRAW;
  const float speed = speedMin + u1 * (speedMax - speedMin);
  const float alpha = angleMin + u2 * (angleMax - angleMin);
  const float beta = u3 * FULL_TURN;
  Vec3 n = normalize(axis);
  // A burst from a standing particle has no flight direction; up stands in
  // for it rather than filling the sky with NaN positions.
  if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) n = Vec3{0.0f, 1.0f, 0.0f};
  const Vec3 side = cross(n, Vec3{1.0f, 0.0f, 0.0f});
  const Vec3 q = rotateAboutAxis(side, n, beta);
  return speed * (std::cos(alpha) * n + std::sin(alpha) * q);
}

int clampInt(int v, int lo, int hi) {
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

Mat4 transpose(Mat4 m) {
  Mat4 out;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) out.m[4 * i + j] = m.m[4 * j + i];
  }
  return out;
}

} // namespace starbloom
