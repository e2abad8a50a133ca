#pragma once
// Reading a key out of the keymap a Wayland compositor sends (XKB's text
// format): which key makes a given keysym, without a keyboard library.
#include <cstddef>

namespace starbloom {

// The Linux input code (the XKB keycode less 8) of the first key whose
// first symbol is keysym ("Escape", "q"), or -1 when the keymap has none or
// cannot be read. text need not end with a NUL.
int keymapKeyCode(const char* text, std::size_t length, const char* keysym);

} // namespace starbloom
