// The choice of window system: named, forced, and only for its modes.
#include <gtest/gtest.h>

#include "host/platform_choice.h"

namespace starbloom {
namespace {

TEST(PlatformChoice, WaylandWhenNamedOrForcedAndOnlyForItsModes) {
  struct Case {
    PlatformRequest request;
    bool waylandMode;          // /s or --window
    const char* waylandDisplay;
    bool tryWayland;
    bool tryX11;
  };
  const Case cases[] = {
      {PlatformRequest::Any, true, "wayland-1", true, true},
      {PlatformRequest::Any, true, nullptr, false, true},
      {PlatformRequest::Any, true, "", false, true},
      {PlatformRequest::Wayland, true, nullptr, true, false},
      {PlatformRequest::X11, true, "wayland-1", false, true},
      {PlatformRequest::Any, false, "wayland-1", false, true},
      {PlatformRequest::Wayland, false, "wayland-1", false, true},
  };
  for (const Case& c : cases) {
    const PlatformPlan plan = planPlatform(c.request, c.waylandMode, c.waylandDisplay);
    EXPECT_EQ(plan.tryWayland, c.tryWayland) << static_cast<int>(c.request) << c.waylandMode;
    EXPECT_EQ(plan.tryX11, c.tryX11) << static_cast<int>(c.request) << c.waylandMode;
  }
}

} // namespace
} // namespace starbloom
