// STUB: replaced by the frame-clock work.
#include "frame/frame_clock.h"

namespace starbloom {
float FrameClock::tick(NativeWindow) { return 0.033f; }
bool FrameClock::setOverlay(bool show, int period) { showOverlay = show; fpsPeriod = period; return true; }
void formatFps(double, char (&out)[FPS_TEXT_CAPACITY]) { out[0] = '\0'; }
void drawFpsOverlay(const FrameClock&, int, int) {}
} // namespace starbloom
