#pragma once
// Firework designs: each launch composes ten linked stage records, written at
// the same index of ten tables of DESIGN_SLOTS records. Particles point into
// the tables; a record is rewritten only 50 launches later.
#include <cstdint>

#include "math/vector.h"

namespace starbloom {

struct ShellDesign {
  Vec3 initialVelocity;       // launched stage: launch velocity; child stage: added to each child
  float speedMin = 0.0f;      // child speed range before the spread factor; sparks: velocity scale
  float speedMax = 0.0f;
  float angleMin = 0.0f;      // radians from the parent's flight direction
  float angleMax = 0.0f;      // radians, at most pi
  Vec3 launchPosition;        // world position of a launched stage
  float gravity = 0.0f;       // units per second squared, downwards
  bool bursts = false;
  bool hasSecondary = false;
  bool emitsSparks = false;
  bool twinkles = false;
  bool isFlash = false;
  float burstAgeMin = 0.0f;   // seconds
  float burstAgeMax = 0.0f;
  float lifetimeMin = 0.0f;   // seconds
  float lifetimeMax = 0.0f;
  float sparkInterval = 0.0f; // seconds between trail sparks, > 0 when emitsSparks
  float size = 0.0f;          // sprite size factor
  Color4 startColor;
  Color4 endColor;
  std::int32_t childCountMin = 0; // >= 1 for every shell stage, 0 otherwise
  std::int32_t childCountMax = 0;
  const ShellDesign* childDesign = nullptr;
  const ShellDesign* secondaryDesign = nullptr;
  const ShellDesign* sparkDesign = nullptr;
  const ShellDesign* flashDesign = nullptr;
  bool halo = false;
};

constexpr int DESIGN_SLOTS = 50;

// The ten design tables and the cursor; written only by designNextShell.
extern ShellDesign shellTable[DESIGN_SLOTS];
extern ShellDesign starTable[DESIGN_SLOTS];
extern ShellDesign subStarTable[DESIGN_SLOTS];
extern ShellDesign secondaryTable[DESIGN_SLOTS];
extern ShellDesign shellFlashTable[DESIGN_SLOTS];
extern ShellDesign starFlashTable[DESIGN_SLOTS];
extern ShellDesign shellSparkTable[DESIGN_SLOTS];
extern ShellDesign starSparkTable[DESIGN_SLOTS];
extern ShellDesign subStarSparkTable[DESIGN_SLOTS];
extern ShellDesign secondarySparkTable[DESIGN_SLOTS];
extern int designCursor; // index written last, 0..49

// Composes the next firework at designCursor + 1 (wrapping after 49) from
// the settings detail, spread, gamma, diffuse and flash.
void designNextShell();

} // namespace starbloom
