#pragma once
// Time spent in each drawing pass of a frame, for the benchmark. Off in the
// saver: each mark is then a single test. On, every mark waits for OpenGL to
// finish (glFinish), so the frame is drawn one pass at a time and the figures
// say where a frame's time goes, not how long a frame takes.
#include <cstdint>

namespace starbloom {

enum class FramePass : std::uint8_t {
  Other,            // clearing, presenting, the update and sprite set-up
  LandscapeFirst,   // the lit, textured ground
  LandscapeSecond,  // its additive second pass
  Sprites,          // particle cores, streaks and approach glows
  Halos,            // halos and flashes (the glow picture, in the scene)
  Flares,           // lens flares, over everything
};
constexpr int FRAME_PASS_COUNT = 6;

struct PassTimes {
  bool enabled = false;
  double ms[FRAME_PASS_COUNT] = {}; // this frame's time per pass so far
  std::int64_t lastNs = 0;          // when the last mark was made
};

extern PassTimes passTimes;

// Starts a frame's figures: every pass at zero, the clock read now.
void startPassTimes();
// Finishes the drawing so far and books the time since the last mark to
// pass.
void bookPass(FramePass pass);
// bookPass with timing on; nothing otherwise.
inline void markPass(FramePass pass) {
  if (passTimes.enabled) bookPass(pass);
}

} // namespace starbloom
