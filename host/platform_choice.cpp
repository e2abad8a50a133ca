// The choice of window system. /s and --window run natively on Wayland when
// a connection was handed down in WAYLAND_SOCKET, and otherwise when
// WAYLAND_DISPLAY names a compositor (whether it answers is found by
// connecting, which the caller does once and keeps), else on X11;
// --platform forces one, and a forced one that is absent is an error, not
// a fall-back. Every other mode is X11's.
#include "host/platform_choice.h"

namespace starbloom {

namespace {

bool named(const char* variable) { return variable != nullptr && *variable != '\0'; }

} // namespace

PlatformPlan planPlatform(PlatformRequest request, bool waylandMode, const char* waylandSocket,
                          const char* waylandDisplay) {
  PlatformPlan plan;
  if (!waylandMode || request == PlatformRequest::X11) return plan;
  if (request == PlatformRequest::Wayland || named(waylandSocket)) {
    plan.tryWayland = true;
    plan.tryX11 = false;
    return plan;
  }
  plan.tryWayland = named(waylandDisplay);
  return plan;
}

} // namespace starbloom
