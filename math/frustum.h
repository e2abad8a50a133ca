#pragma once
// The program's fixed view volume, and a test that a set of points lies
// wholly outside it.
#include "math/vector.h"

namespace starbloom {

// A symmetric perspective view volume in eye coordinates (the eye at the
// origin looking down -z): half the width and height of the near plane, and
// the distances of the near and far planes.
struct ViewFrustum {
  float halfWidth = 0.0f;
  float halfHeight = 0.0f;
  float nearPlane = 0.0f;
  float farPlane = 0.0f;
};

// glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 400): every picture is drawn with it.
constexpr ViewFrustum VIEW_FRUSTUM{0.4f, 0.3f, 1.0f, 400.0f};

// Whether all count points (eye coordinates) lie outside one and the same
// plane of frustum, by a margin, so that nothing drawn between them can show.
// A frustum of zero size never culls.
bool allOutside(const ViewFrustum& frustum, const Vec3* points, int count);

} // namespace starbloom
