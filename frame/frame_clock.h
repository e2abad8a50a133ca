#pragma once
// The frame clock: the time step of every frame from the millisecond tick
// count, and the frames-per-second figure drawn in the top-left corner until
// the frame driver hides it.
#include <cstdint>

namespace starbloom {

constexpr int FPS_TEXT_CAPACITY = 12; // 11 characters and the terminator

struct FrameClock {
  bool started = false;
  bool showOverlay = true;
  std::uint32_t lastTick = 0;   // milliseconds, wraps at 2^32
  int frameCount = 0;           // frames since the figure was last computed
  int fpsPeriod = 1000;         // milliseconds between figure updates
  int accumulatedMs = 0;        // milliseconds since the figure was last computed
  char fpsText[FPS_TEXT_CAPACITY] = {}; // the figure as last formatted
  bool overlayDue = false;      // tick asked for the text in this frame

  // Seconds since the previous tick (0.033 on the first call).
  float tick();
  // The next tick answers as the first does; the time until then counts
  // neither as a step nor in the frame-rate figure.
  void restart() { started = false; }
  bool setOverlay(bool show, int period);
};

// rate with five significant digits: "59.524", "60.", "1.2346e+005".
void formatFps(double rate, char (&out)[FPS_TEXT_CAPACITY]);

// Draws fpsText at (20, 20) and "(fps)" at (70, 20), window pixels from the
// top left, in white, leaving the GL state as it found it.
void drawFpsOverlay(const FrameClock& clock, int width, int height);

// The one frame clock; defined with the other program objects.
extern FrameClock frameClock;

} // namespace starbloom
