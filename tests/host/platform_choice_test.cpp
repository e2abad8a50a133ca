// The choice of window system: named, forced, and only for its modes.
#include <gtest/gtest.h>

#include "host/platform_choice.h"

namespace starbloom {
namespace {

TEST(PlatformChoice, WaylandWhenNamedOrForcedAndOnlyForItsModes) {
  struct Case {
    PlatformRequest request;
    bool waylandMode;          // /s, --window or --wallpaper
    const char* waylandSocket;
    const char* waylandDisplay;
    bool tryWayland;
    bool tryX11;
  };
  const Case cases[] = {
      {PlatformRequest::Any, true, nullptr, "wayland-1", true, true},
      {PlatformRequest::Any, true, nullptr, nullptr, false, true},
      {PlatformRequest::Any, true, "", "", false, true},
      {PlatformRequest::Wayland, true, nullptr, nullptr, true, false},
      {PlatformRequest::X11, true, nullptr, "wayland-1", false, true},
      {PlatformRequest::Any, false, nullptr, "wayland-1", false, true},
      {PlatformRequest::Wayland, false, nullptr, "wayland-1", false, true},
      {PlatformRequest::Any, true, "5", nullptr, true, false}, // handed down by a locker
      {PlatformRequest::Any, true, "5", "wayland-1", true, false},
      {PlatformRequest::X11, true, "5", nullptr, false, true},
      {PlatformRequest::Any, false, "5", nullptr, false, true},
  };
  for (const Case& c : cases) {
    const PlatformPlan plan = planPlatform(c.request, c.waylandMode, c.waylandSocket, c.waylandDisplay);
    EXPECT_EQ(plan.tryWayland, c.tryWayland) << static_cast<int>(c.request) << c.waylandMode;
    EXPECT_EQ(plan.tryX11, c.tryX11) << static_cast<int>(c.request) << c.waylandMode;
  }
}

} // namespace
} // namespace starbloom
