// The random generator: state = state * 214013 + 2531011 (mod 2^32), output
// bits 16..30. The vector ring is built from the unseeded generator, so its
// 1000 entries (points in the unit ball with uniformly distributed length)
// are the same in every run while everything drawn after seeding differs.
// Cost: one multiply-add per draw; a ring vector costs an index step.
#include "math/random.h"

#include <cmath>

namespace starbloom {

namespace {
constexpr float INV_32767 = 3.0518509e-05f;
constexpr float PI = 3.1415925f;
constexpr float INV_32768 = 1.0f / 32768.0f;
} // namespace

void seedRandom(std::uint32_t s) { randomState = s; }

int rand15() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

float unitDraw() { return static_cast<float>(rand15()) * INV_32768; }

float randomRange(float a, float b) {
  return a + static_cast<float>(rand15()) * (b - a) * INV_32767;
}

Vec3 randomUnitDirection() {
  const float theta = static_cast<float>(rand15()) * INV_32767 * PI;
  const float phi = static_cast<float>(rand15()) * INV_32767 * FULL_TURN;
  return Vec3{std::cos(phi) * std::sin(theta), std::sin(phi) * std::sin(theta), std::cos(theta)};
}

void buildRandomRing() {
  for (Vec3& entry : randomRing) {
    const Vec3 d = randomUnitDirection();
    const float k = randomRange(0.0f, 1.0f);
    entry = Vec3{d.x * k, d.y * k, d.z * k};
  }
}

Vec3 nextRandomVector() {
  ringCursor += 1;
  if (ringCursor > RANDOM_RING_SIZE - 1) ringCursor = 0;
  return randomRing[ringCursor];
}

} // namespace starbloom
