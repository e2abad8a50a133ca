#pragma once
// Which window system a run of the saver uses: X11 or Wayland, chosen once
// at start-up from --platform, the mode, WAYLAND_SOCKET and WAYLAND_DISPLAY.
#include <cstdint>

#include "host/command_line.h"

namespace starbloom {

enum class Platform : std::uint8_t { X11, Wayland };

// The window systems to try, in order: Wayland first when asked for, then
// X11 when it may follow.
struct PlatformPlan {
  bool tryWayland = false;
  bool tryX11 = true;
};

// waylandMode: the mode runs natively on Wayland (/s, --window); previews,
// hosted mode and the dialogs are X11 programs' guests and stay X11.
// waylandSocket, waylandDisplay: the WAYLAND_SOCKET and WAYLAND_DISPLAY
// variables, or nullptr. A socket handed down (a locker starting its
// plugin) is Wayland ahead of both displays, with no X11 to fall back on.
PlatformPlan planPlatform(PlatformRequest request, bool waylandMode, const char* waylandSocket,
                          const char* waylandDisplay);

} // namespace starbloom
