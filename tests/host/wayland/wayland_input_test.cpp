// The Wayland seat's events under the dismissal rules.
#include <gtest/gtest.h>

#include <vector>

#include "host/wayland/wayland_input.h"

namespace starbloom {
namespace {

// Each sequence of seat events, fed through the dismissal rules of a full
// screen saver: the index of the first event that asks to close, -1 none.
TEST(SeatInput, DismissalRulesFedFromWaylandEvents) {
  using K = SeatEventKind;
  struct Case {
    const char* name;
    std::vector<SeatEvent> events;
    int closesAt;
  };
  const Case cases[] = {
      {"entry far away is the reference", {{K::PointerEnter, 500, 300}, {K::PointerMotion, 503, 301}}, -1},
      {"3 right 2 down", {{K::PointerEnter, 10, 10}, {K::PointerMotion, 13, 12}}, 1},
      {"small moves keep the reference",
       {{K::PointerEnter, 10, 10}, {K::PointerMotion, 12, 10}, {K::PointerMotion, 14, 10}, {K::PointerMotion, 15, 10}},
       3},
      {"a new surface's entry resets it", {{K::PointerEnter, 10, 10}, {K::PointerEnter, 900, 10}, {K::PointerMotion, 902, 11}}, -1},
      {"wheel and side button", {{K::PointerAxis}, {K::PointerButton, 0, 0, 0x113, true}}, -1},
      {"left press", {{K::PointerButton, 0, 0, BUTTON_LEFT, true}}, 0},
      {"right press", {{K::PointerButton, 0, 0, BUTTON_RIGHT, true}}, 0},
      {"middle released, then pressed",
       {{K::PointerButton, 0, 0, BUTTON_MIDDLE, false}, {K::PointerButton, 0, 0, BUTTON_MIDDLE, true}}, 1},
      {"a key released, then pressed", {{K::Key, 0, 0, 30, false}, {K::Key, 0, 0, 30, true}}, 1},
      {"focus left before it came", {{K::KeyboardLeave}}, -1},
      {"focus came and left", {{K::KeyboardEnter}, {K::KeyboardLeave}}, 1},
  };
  for (const Case& c : cases) {
    HostState host;
    SeatState seat;
    int closesAt = -1;
    for (std::size_t i = 0; i < c.events.size() && closesAt < 0; ++i) {
      InputEvent input = InputEvent::KeyDown;
      const SeatEvent& e = c.events[i];
      if (seatInput(e, seat, input) && inputAsksToClose(host, input, e.x, e.y)) {
        closesAt = static_cast<int>(i);
      }
    }
    EXPECT_EQ(closesAt, c.closesAt) << c.name;
  }
}

} // namespace
} // namespace starbloom
