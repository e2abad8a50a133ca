// The choice of window system, the seat's events under the dismissal
// rules, and the keys the try-out window finds in a compositor's keymap.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/platform_choice.h"
#include "host/wayland/wayland_input.h"
#include "host/wayland/xkb_keymap.h"

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

// A compositor's keymap (as libxkbcommon writes it, trimmed) and a virtual
// keyboard's (as wtype writes it): the Linux input code of each keysym.
TEST(XkbKeymap, FindsTheKeyOfAKeysym) {
  const std::string compositor =
      "xkb_keymap {\nxkb_keycodes \"evdev+aliases(qwerty)\" {\n\tminimum = 8;\n\tmaximum = 255;\n"
      "\t<ESC>                = 9;\n\t<AD01>               = 24;\n\t<AC01>               = 38;\n"
      "\talias <LatQ>         = <AD01>;\n};\n"
      "xkb_types \"complete\" {\n\ttype \"ONE_LEVEL\" {\n\t\tmodifiers= none;\n"
      "\t\tlevel_name[Level1]= \"Any\";\n\t};\n};\n"
      "xkb_compatibility \"complete\" {\n\tinterpret Escape+AnyOfOrNone(all) {\n\t\taction= NoAction();\n\t};\n};\n"
      "xkb_symbols \"pc+us\" {\n\tname[group1]=\"English (US)\";\n"
      "\tkey <ESC>                {\t[          Escape ] };\n"
      "\tkey <LatQ>               {\ttype= \"ALPHABETIC\", symbols[1]= [ q, Q ] };\n"
      "\tkey <AC01>               {\t[               a,               A ] };\n"
      "\tmodifier_map Shift { <LFSH> };\n};\n};\n";
  const std::string virtualKeyboard =
      "xkb_keymap {\nxkb_keycodes \"(unnamed)\" {\nminimum = 8;\nmaximum = 11;\n<K1> = 9;\n<K2> = 10;\n};\n"
      "xkb_types \"(unnamed)\" { include \"complete\" };\n"
      "xkb_compatibility \"(unnamed)\" { include \"complete\" };\n"
      "xkb_symbols \"(unnamed)\" {\nkey <K1> {[a]};\nkey <K2> {[Escape]};\n};\n};\n";
  struct Case {
    const std::string* keymap;
    std::size_t length; // 0: all of it
    const char* keysym;
    int code;
  };
  const Case cases[] = {
      {&compositor, 0, "Escape", 1},   {&compositor, 0, "q", 16},   {&compositor, 0, "Q", -1},
      {&compositor, 0, "a", 30},       {&compositor, 0, "Any", -1}, {&virtualKeyboard, 0, "Escape", 2},
      {&virtualKeyboard, 0, "a", 1},   {&virtualKeyboard, 0, "q", -1},
      {&virtualKeyboard, virtualKeyboard.find("Escape") + 3, "Escape", -1}, // cut inside its symbols
  };
  for (const Case& c : cases) {
    const std::size_t length = c.length != 0 ? c.length : c.keymap->size();
    EXPECT_EQ(keymapKeyCode(c.keymap->data(), length, c.keysym), c.code) << c.keysym << " " << length;
  }
}

} // namespace
} // namespace starbloom
