// Per-pass timing: each mark calls glFinish and books the wall-clock time
// since the previous mark to the pass that just ended, so the passes of a
// frame add up to the frame (nothing is counted twice or lost between
// marks). Costs nothing but a flag test while off.
#include "scene/pass_timer.h"

#include <GL/gl.h>

#include <chrono>

namespace starbloom {

PassTimes passTimes;

namespace {
std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
} // namespace

void startPassTimes() {
  for (double& ms : passTimes.ms) ms = 0.0;
  passTimes.lastNs = nowNs();
}

void bookPass(FramePass pass) {
  glFinish();
  const std::int64_t now = nowNs();
  passTimes.ms[static_cast<int>(pass)] += static_cast<double>(now - passTimes.lastNs) * 1.0e-6;
  passTimes.lastNs = now;
}

} // namespace starbloom
