#pragma once
// The table of lights shared by launches, particles and the landscape: plain
// data. Slots 0..7 stand for GL_LIGHT0..GL_LIGHT7; the rendering context
// applies the table to OpenGL.
#include <cstdint>

#include "math/vector.h"

namespace starbloom {

struct LightSource {
  bool inUse = false;
  Vec3 position;                  // world position
  Color4 colour;                  // r, g, b: light colour; a carried along
  float unusedScale = 1.0f;       // kept with the record, read by no one
  float ambientFactor = 0.0f;     // ambient colour = colour * factor
  float attenuation[3] = {1.0f, 0.0f, 0.0f}; // constant, linear, quadratic

  void resetLight(bool use);
  void setAttenuation(float constant, float linear, float quadratic);
};

constexpr int LIGHT_TABLE_SLOTS = 10; // 0..7 map to GL_LIGHT0..7; 8, 9 stay free
constexpr int GL_LIGHT_SLOTS = 8;
constexpr int NO_LIGHT_SLOT = 9;      // what addLight answers on a full table

struct LightTable {
  LightSource slots[LIGHT_TABLE_SLOTS];
  std::uint8_t switchedOff = 0;   // bit i: slot i was freed since OpenGL last heard of it

  // First free slot of 0..7, filled with source; 9 when all eight are taken.
  int addLight(const LightSource& source);
  bool getLight(int i, LightSource& out) const;
  bool setLight(int i, const LightSource& source);
  // Frees the slot and marks its OpenGL light to be switched off; false for
  // a free slot.
  bool removeLight(int i);
};

} // namespace starbloom
