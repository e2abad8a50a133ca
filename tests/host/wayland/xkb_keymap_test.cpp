// The keys the try-out window finds in a compositor's keymap.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/wayland/xkb_keymap.h"

namespace starbloom {
namespace {

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
