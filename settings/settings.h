#pragma once
// The 25 user settings, read once from the settings file when the saver
// starts. Fields are named exactly as their keys in section [param].
#include <string>

namespace starbloom {

struct Settings {
  bool tex = true;           // particle and landscape textures
  bool liner = false;        // linear filtering of the particle texture
  bool blight = true;        // halos
  int detail = 2;            // 1..4 as stored; 4 becomes 6 at scene set-up
  int ttime = 10;            // launch cadence, 5..20
  bool blur = true;          // streaks and approach glow
  bool directx = true;       // read, never used
  int ress = 2;              // read, never used
  bool big = true;           // false: particles 1.4 times larger
  bool half = false;         // drawing area of about half the screen
  bool flash = true;         // twinkling stars
  bool move = true;          // camera moves along its orbit
  bool diffuse = true;       // trailing shells
  int spread = 15;           // burst speed factor
  int airreg = 9;            // air resistance, tenths per second
  bool land = false;         // landscape
  bool zbuffer = true;       // depth test for particles
  int landres = 24;          // landscape grid resolution
  int landsi = 20;           // landscape size
  bool flash_effect = false; // burst flashes with lights
  int lcolor = 1;            // landscape colour: 0 red, 1 green, 2 blue, 3 white
  bool multipass = true;     // second additive landscape pass
  bool fog = false;          // fog
  int gamma = 10;            // firework colour gain, tenths
  bool lens = false;         // lens flares
  float sizeBase = 0.15f * 0.71428573f; // derived: particle picture size unit (blur on)
};

// The running saver's settings. Written by readSettings at window creation,
// by --set overrides and by the scene set-up's two adjustments.
extern Settings settings;

} // namespace starbloom
