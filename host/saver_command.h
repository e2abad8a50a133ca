#pragma once
// The saver's own command line: /s, /p N, /l N, /c, /c:N, /a and the empty
// line, scanned as the screen-saver convention has them.
#include <cstdint>

namespace starbloom {

enum class SaverSwitch : std::uint8_t {
  Config,   // /c, /c:N or nothing at all: the configuration dialog
  Saver,    // /s: full screen
  Preview,  // /p N or /l N: inside window N
  Password, // /a [N]: change the password
  Invalid,  // anything else: exit code -1
};

struct SaverCommand {
  SaverSwitch kind = SaverSwitch::Config;
  unsigned long window = 0; // the window read after the switch, 0 for none
};

// Window handles are decimal digits up to the first other character; no
// digits give 0, and so does a number beyond 32 bits (no X window has it).
unsigned long readWindowHandle(const char*& text);

// Scans the text after the program name: blanks, '-' and '/' are skipped,
// letters are case-insensitive, the first other character decides.
SaverCommand scanSaverCommandLine(const char* text);

} // namespace starbloom
