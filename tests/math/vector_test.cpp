#include <gtest/gtest.h>

#include <cmath>

#include "math/coord_frame.h"
#include "math/random.h"
#include "math/vector.h"

namespace starbloom {
namespace {

constexpr float PI = 3.1415925f;

float angleBetween(Vec3 a, Vec3 b) {
  float c = dot(a, b) / (length(a) * length(b));
  c = std::fmax(-1.0f, std::fmin(1.0f, c));
  return std::acos(c);
}

TEST(VectorMath, RotateAboutAxisKeepsDistanceAndHeight) {
  const Vec3 axis = normalize(Vec3{1.0f, 2.0f, -0.5f});
  const Vec3 p{3.0f, -1.0f, 2.0f};
  const float height = dot(p, axis);
  const float distance = length(p - height * axis);
  for (float angle : {0.3f, 1.0f, 2.5f, -1.2f, 6.0f}) {
    const Vec3 q = rotateAboutAxis(p, axis, angle);
    EXPECT_NEAR(dot(q, axis), height, 1e-4f);
    EXPECT_NEAR(length(q - dot(q, axis) * axis), distance, 1e-4f);
    // The turn itself is the requested angle (for angles within one half turn).
    const Vec3 before = p - height * axis;
    const Vec3 after = q - dot(q, axis) * axis;
    const float expected = std::fabs(std::remainder(angle, 2.0f * PI));
    EXPECT_NEAR(angleBetween(before, after), expected, 1e-3f);
  }
  // Right-hand rule: x turned a quarter about z is y.
  const Vec3 y = rotateAboutAxis(Vec3{1, 0, 0}, Vec3{0, 0, 1}, PI / 2);
  EXPECT_NEAR(y.x, 0.0f, 1e-6f);
  EXPECT_NEAR(y.y, 1.0f, 1e-6f);
  // Points on the axis, the origin included, come back unchanged.
  for (Vec3 onAxis : {Vec3{0, 0, 0}, Vec3{0, 0, 5}, Vec3{0, 0, -2}}) {
    const Vec3 r = rotateAboutAxis(onAxis, Vec3{0, 0, 1}, 1.0f);
    EXPECT_EQ(r.x, onAxis.x);
    EXPECT_EQ(r.y, onAxis.y);
    EXPECT_EQ(r.z, onAxis.z);
  }
}

TEST(VectorMath, RandomInConeLengthAndAngle) {
  seedRandom(2024);
  struct Case {
    Vec3 axis;
    float speedMin, speedMax, angleMin, angleMax;
  };
  const Case cases[] = {
      {{0, 1, 0}, 1.0f, 3.0f, 0.2f, 0.9f},
      {{0, 0, -4}, 2.0f, 2.0f, 1.0f, 2.0f},
      {{0.3f, 1, 0.2f}, 0.5f, 4.0f, 0.0f, PI},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 300; ++i) {
      const Vec3 v = randomInCone(c.axis, c.speedMin, c.speedMax, c.angleMin, c.angleMax);
      const float len = length(v);
      // For an axis perpendicular to x the sideways part is full length.
      if (c.axis.x == 0.0f) {
        ASSERT_GE(len, c.speedMin - 1e-4f);
        ASSERT_LE(len, c.speedMax + 1e-4f);
        const float a = angleBetween(v, c.axis);
        ASSERT_GE(a, c.angleMin - 2e-3f);
        ASSERT_LE(a, c.angleMax + 2e-3f);
      } else {
        ASSERT_LE(len, c.speedMax + 1e-4f);
      }
    }
  }
  // Zero angle: straight along the axis at the drawn speed.
  const Vec3 straight = randomInCone(Vec3{0, 2, 0}, 3.0f, 3.0f, 0.0f, 0.0f);
  EXPECT_NEAR(straight.x, 0.0f, 1e-6f);
  EXPECT_NEAR(straight.y, 3.0f, 1e-5f);
  // A standing parent (zero axis) bursts about straight up, never into NaNs.
  for (int i = 0; i < 50; ++i) {
    const Vec3 v = randomInCone(Vec3{0, 0, 0}, 1.0f, 2.0f, 0.5f, 0.5f);
    ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    ASSERT_NEAR(angleBetween(v, Vec3{0, 1, 0}), 0.5f, 2e-3f);
  }
  // Axis along x: no sideways part whatever the turn; s * cos(alpha) along x.
  for (int i = 0; i < 50; ++i) {
    const Vec3 v = randomInCone(Vec3{1, 0, 0}, 2.0f, 2.0f, 1.0f, 1.0f);
    ASSERT_NEAR(v.x, 2.0f * std::cos(1.0f), 1e-5f);
    ASSERT_EQ(v.y, 0.0f);
    ASSERT_EQ(v.z, 0.0f);
  }
}

TEST(VectorMath, ClampIntAndTranspose) {
  EXPECT_EQ(clampInt(7, 1, 4), 4);
  EXPECT_EQ(clampInt(0, 1, 4), 1);
  EXPECT_EQ(clampInt(3, 5, 2), 2);
  Mat4 m;
  m.set(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const Mat4 t = transpose(m);
  EXPECT_EQ(t.m[1], 5.0f);
  EXPECT_EQ(t.m[4], 2.0f);
  EXPECT_EQ(t.m[15], 16.0f);
  const Mat4 back = transpose(t);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(back.m[i], m.m[i]);
}

TEST(CoordFrameMath, ConstrainWrapsAndClamps) {
  struct Case {
    SphericalCoord in;
    SphericalCoord out;
  };
  const Case cases[] = {
      {{5, 1, 7.0f}, {5, 1, 0.716815f}},
      {{5, 1, -7.0f}, {5, 1, -0.716815f}}, // one turn only
      {{5, 0, 1}, {5, 0.01f, 1}},
      {{5, 3.2f, 1}, {5, 3.1315925f, 1}},
      {{-2, 1, 1}, {0, 1, 1}},
      {{1, 1, 6.283185f}, {1, 1, 6.283185f}}, // strict comparison: exactly one turn stays
  };
  for (const Case& c : cases) {
    SphericalCoord s = c.in;
    s.constrain();
    EXPECT_NEAR(s.radius, c.out.radius, 1e-5f);
    EXPECT_NEAR(s.polar, c.out.polar, 1e-5f);
    EXPECT_NEAR(s.azimuth, c.out.azimuth, 1e-5f);
  }
  const Vec3 p = SphericalCoord{30, 1.5707963f, 0}.toCartesian();
  EXPECT_NEAR(p.x, 0.0f, 1e-5f);
  EXPECT_NEAR(p.y, 0.0f, 1e-4f);
  EXPECT_NEAR(p.z, 30.0f, 1e-5f);
}

TEST(CoordFrameMath, AimAtMakesAnOrthonormalFrameLookingAtTarget) {
  CoordFrame f;
  f.origin = Vec3{0, 12, 30};
  f.aimAt(Vec3{0, 10, 0});
  EXPECT_NEAR(length(f.xAxis), 1.0f, 1e-5f);
  EXPECT_NEAR(length(f.yAxis), 1.0f, 1e-5f);
  EXPECT_NEAR(length(f.zAxis), 1.0f, 1e-5f);
  EXPECT_NEAR(dot(f.xAxis, f.yAxis), 0.0f, 1e-5f);
  EXPECT_NEAR(dot(f.yAxis, f.zAxis), 0.0f, 1e-5f);
  // The target lies straight ahead: on the -z axis of the frame.
  const Vec3 t = f.toLocal(Vec3{0, 10, 0});
  EXPECT_NEAR(t.x, 0.0f, 1e-5f);
  EXPECT_NEAR(t.y, 0.0f, 1e-4f);
  EXPECT_LT(t.z, 0.0f);
  EXPECT_GT(f.yAxis.y, 0.0f); // up stays up
  // The view rotation maps world directions to the frame's axes.
  const Mat4 r = viewRotation(f);
  // glMultMatrixf reads column-major: element (row i, col j) is m[4j + i].
  const Vec3 d{0.3f, -0.2f, 1.0f};
  const float x = r.m[0] * d.x + r.m[4] * d.y + r.m[8] * d.z;
  EXPECT_NEAR(x, dot(d, f.xAxis), 1e-5f);
}

} // namespace
} // namespace starbloom
