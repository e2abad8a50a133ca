// The scan of the saver's command line. One pass over the text: blanks,
// '-' and '/' are skipped; the first other character picks the mode, and a
// preview, configuration or password switch reads the window handle after
// it (blanks first for /p, /l and /a; directly after the ':' for /c:).
// Handles accumulate decimal digits; a number past 32 bits stops being a
// window at all instead of wrapping round to some other window's id.
#include "host/saver_command.h"

namespace starbloom {

namespace {

constexpr unsigned long long LARGEST_WINDOW = 0xFFFFFFFFull; // X ids have 32 bits

void skipBlanks(const char*& text) {
  while (*text == ' ') ++text;
}

} // namespace

unsigned long readWindowHandle(const char*& text) {
  unsigned long long value = 0;
  bool oversized = false;
  while (*text >= '0' && *text <= '9') {
    if (!oversized) {
      value = value * 10u + static_cast<unsigned long long>(*text - '0');
      if (value > LARGEST_WINDOW) oversized = true;
    }
    ++text;
  }
  return oversized ? 0ul : static_cast<unsigned long>(value);
}

SaverCommand scanSaverCommandLine(const char* text) {
  SaverCommand command;
  if (text == nullptr) return command;
  for (;; ++text) {
    switch (*text) {
      case '\0':
        command.kind = SaverSwitch::Config;
        return command;
      case ' ':
      case '-':
      case '/':
        continue;
      case 'S':
      case 's':
        command.kind = SaverSwitch::Saver;
        return command;
      case 'P':
      case 'p':
      case 'L':
      case 'l':
        ++text;
        skipBlanks(text);
        command.kind = SaverSwitch::Preview;
        command.window = readWindowHandle(text);
        return command;
      case 'C':
      case 'c':
        ++text;
        command.kind = SaverSwitch::Config;
        if (*text == ':') {
          ++text;
          command.window = readWindowHandle(text);
        }
        return command;
      case 'A':
      case 'a':
        ++text;
        skipBlanks(text);
        command.kind = SaverSwitch::Password;
        command.window = readWindowHandle(text);
        return command;
      default:
        command.kind = SaverSwitch::Invalid;
        return command;
    }
  }
}

} // namespace starbloom
