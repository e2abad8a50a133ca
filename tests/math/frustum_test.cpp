#include <gtest/gtest.h>

#include <cmath>

#include "math/frustum.h"

namespace starbloom {
namespace {

// Pairs of points (eye coordinates) against the fixed frustum: culled only
// when both lie beyond one and the same plane.
TEST(Frustum, PointsAreCulledOnlyWhenAllLieBeyondOnePlane) {
  const float nan = std::nanf("");
  const struct {
    const char* name;
    Vec3 a, b;
    bool culled;
  } cases[] = {
      {"both ahead in view", {0, 0, -10}, {1, 1, -20}, false},
      {"both right of the view", {5, 0, -10}, {9, 2, -20}, true},
      {"both left", {-5, 0, -10}, {-9, -2, -20}, true},
      {"both above", {0, 4, -10}, {1, 7, -20}, true},
      {"both below", {0, -4, -10}, {1, -7, -20}, true},
      {"both behind the eye", {0, 0, 5}, {1, 1, 0.5f}, true},
      {"both nearer than the near plane", {0, 0, -0.5f}, {0.1f, 0, -0.9f}, true},
      {"both beyond the far plane", {0, 0, -401}, {5, 5, -500}, true},
      {"one right, one left: the edge between crosses the view", {5, 0, -10}, {-5, 0, -10}, false},
      {"one right, one above", {5, 0, -10}, {0, 4, -10}, false},
      {"on the right plane itself", {4, 0, -10}, {8, 0, -20}, false},
      {"just beyond the right plane, within the margin", {4.005f, 0, -10}, {8.01f, 0, -20}, false},
      {"a NaN point keeps the pair", {5, 0, -10}, {nan, 0, -10}, false},
  };
  for (const auto& c : cases) {
    const Vec3 points[2] = {c.a, c.b};
    EXPECT_EQ(allOutside(VIEW_FRUSTUM, points, 2), c.culled) << c.name;
  }
  const Vec3 right[2] = {{5, 0, -10}, {9, 2, -20}};
  EXPECT_FALSE(allOutside(ViewFrustum{}, right, 2)) << "a frustum of zero size culls nothing";
  EXPECT_FALSE(allOutside(VIEW_FRUSTUM, right, 0)) << "no points";
}

} // namespace
} // namespace starbloom
