#pragma once
// Small value types of the program: 3-vectors, RGBA colours and 4x4
// matrices, in single precision. World space has +Y up; angles are radians.

namespace starbloom {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct Color4 {
  float r = 0.0f; // nominally 0..1; gamma can push colours above 1
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f; // carried along; rarely meaningful
};

// 16 floats in the order given to set(). Users fill a matrix row by row,
// transpose it and hand it to glMultMatrixf, which reads column 0 first.
struct Mat4 {
  float m[16] = {};

  bool set(float m00, float m01, float m02, float m03,
           float m10, float m11, float m12, float m13,
           float m20, float m21, float m22, float m23,
           float m30, float m31, float m32, float m33);
};

// One turn in radians, in the single precision every angle of the program uses.
constexpr float FULL_TURN = 6.283185f;

// c with red, green and blue times s; alpha unchanged.
inline Color4 scaleRgb(Color4 c, float s) { return Color4{c.r * s, c.g * s, c.b * s, c.a}; }

inline Vec3 operator+(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return Vec3{-a.x, -a.y, -a.z}; }
inline Vec3 operator*(float s, Vec3 v) { return Vec3{s * v.x, s * v.y, s * v.z}; }
inline Vec3 operator*(Vec3 v, float s) { return Vec3{v.x * s, v.y * s, v.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { a = a + b; return a; }
inline Vec3& operator-=(Vec3& a, Vec3 b) { a = a - b; return a; }

inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float length(Vec3 v);

// v divided by its length; a zero vector gives NaNs (callers guard).
Vec3 normalize(Vec3 v);
Vec3 cross(Vec3 a, Vec3 b);

// p rotated about the line through the origin along the unit vector axis,
// counter-clockwise seen from the axis tip; a point on the axis is returned
// unchanged.
Vec3 rotateAboutAxis(Vec3 p, Vec3 axis, float angle);

// A random vector of length in [speedMin, speedMax] at an angle in
// [angleMin, angleMax] to axis (three draws of the program's generator).
// A zero axis stands for straight up.
Vec3 randomInCone(Vec3 axis, float speedMin, float speedMax, float angleMin, float angleMax);

// v raised to lo, then lowered to hi (hi wins when lo > hi).
int clampInt(int v, int lo, int hi);

// out[4i + j] = m[4j + i].
Mat4 transpose(Mat4 m);

} // namespace starbloom
