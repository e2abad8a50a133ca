#pragma once
// Coordinate frames (the camera basis, object bases) and spherical
// coordinates (the camera orbit).
#include "math/vector.h"

namespace starbloom {

struct CoordFrame {
  Vec3 origin;
  Vec3 xAxis; // right; unit length after setIdentityAxes or aimAt
  Vec3 yAxis; // up
  Vec3 zAxis; // back: from the aim point towards the origin

  void setIdentityAxes();
  // p in this frame's coordinates: (d.xAxis, d.yAxis, d.zAxis), d = p - origin.
  Vec3 toLocal(Vec3 p) const;
  // Turns the axes so that -zAxis points at target, with world up (0, 1, 0).
  // A target straight above or below the origin is not a valid input.
  bool aimAt(Vec3 target);
};

// The matrix rows (xAxis, 0), (yAxis, 0), (zAxis, 0), (0, 0, 0, 1),
// transposed, ready for glMultMatrixf; followed by a translation by
// -origin it maps a world point p to toLocal(p).
Mat4 viewRotation(const CoordFrame& frame);

struct SphericalCoord {
  float radius = 0.0f;  // world units, >= 0 after constrain
  float polar = 0.0f;   // radians from +Y, 0.01..pi-0.01 after constrain
  float azimuth = 0.0f; // radians about Y, 0 on +Z, growing towards +X

  Vec3 toCartesian() const;
  // Clamps radius and polar; wraps azimuth back by at most one turn.
  void constrain();
};

} // namespace starbloom
