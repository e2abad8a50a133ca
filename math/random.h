#pragma once
// The program's one random generator (15-bit linear congruential) and the
// ring of 1000 precomputed random vectors that trail sparks draw from.
#include <cstdint>

#include "math/vector.h"

namespace starbloom {

constexpr int RANDOM_RING_SIZE = 1000;

// Generator state; 1 at program start. Written by seedRandom and rand15.
extern std::uint32_t randomState;
// Filled once by buildRandomRing, before the generator is seeded.
extern Vec3 randomRing[RANDOM_RING_SIZE];
// Index of the ring entry returned last; 0 at program start.
extern int ringCursor;

void seedRandom(std::uint32_t s);
int rand15(); // 0..32767
// rand15() / 32768: [0, 1), 1 never drawn.
float unitDraw();
// a + rand15() * (b - a) / 32767: both ends possible.
float randomRange(float a, float b);
// A unit vector; theta from +Z is uniform, so directions gather at the poles.
Vec3 randomUnitDirection();
void buildRandomRing();
// Entry 1 on the first call after start; the ring repeats every 1000 calls.
Vec3 nextRandomVector();

} // namespace starbloom
