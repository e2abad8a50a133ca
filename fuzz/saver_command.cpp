// Fuzz target: the scan of the saver's own switches. The input bytes, cut at
// the first NUL as a C string would be, are the command line after the
// program name. The scan must give exactly what a plain model of its rules
// gives: blanks, '-' and '/' are skipped; the first other character, in
// either case, picks the mode (s full screen, p or l preview, c dialog, a
// password, nothing at all the dialog, anything else invalid); p, l and a
// skip blanks and read a window; c reads one only right after ':'. The
// model reads windows as digit strings, so a number past 32 bits is no
// window (0) whatever its length, and readWindowHandle on the raw bytes
// must agree with it and stop exactly at the first non-digit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/saver_command.h"
#include "support/check.h"

using namespace starbloom;

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// The window at text[i...]: its digits without leading zeros, compared as
// text with the largest 32-bit number.
unsigned long modelWindow(const std::string& text, std::size_t i) {
  std::string digits;
  while (i < text.size() && digit(text[i])) digits += text[i++];
  while (!digits.empty() && digits[0] == '0') digits.erase(0, 1);
  if (digits.empty()) return 0;
  const std::string largest = "4294967295";
  if (digits.size() > largest.size() || (digits.size() == largest.size() && digits > largest)) {
    return 0;
  }
  unsigned long value = 0;
  for (char c : digits) value = value * 10 + static_cast<unsigned long>(c - '0');
  return value;
}

SaverCommand model(const std::string& text) {
  SaverCommand command;
  std::size_t i = text.find_first_not_of(" -/");
  if (i == std::string::npos) return command; // the dialog, no window
  const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
  ++i;
  if (c == 's') {
    command.kind = SaverSwitch::Saver;
  } else if (c == 'p' || c == 'l' || c == 'a') {
    while (i < text.size() && text[i] == ' ') ++i;
    command.kind = c == 'a' ? SaverSwitch::Password : SaverSwitch::Preview;
    command.window = modelWindow(text, i);
  } else if (c == 'c') {
    command.kind = SaverSwitch::Config;
    if (i < text.size() && text[i] == ':') command.window = modelWindow(text, i + 1);
  } else {
    command.kind = SaverSwitch::Invalid;
  }
  return command;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input plus its terminator, so ASan sees any read past it.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = bytes.substr(0, bytes.find('\0'));

  const SaverCommand got = scanSaverCommandLine(bytes.c_str());
  const SaverCommand expected = model(text);
  FUZZ_CHECK(got.kind == expected.kind && got.window == expected.window,
             "scan gave mode %d window %lu, the model mode %d window %lu",
             static_cast<int>(got.kind), got.window, static_cast<int>(expected.kind),
             expected.window);
  FUZZ_CHECK(got.window <= 0xFFFFFFFFul, "window %lu has more than 32 bits", got.window);

  const char* cursor = bytes.c_str();
  const unsigned long window = readWindowHandle(cursor);
  std::size_t digits = 0;
  while (digits < text.size() && digit(text[digits])) ++digits;
  FUZZ_CHECK(window == modelWindow(text, 0), "readWindowHandle gave %lu, the model %lu", window,
             modelWindow(text, 0));
  FUZZ_CHECK(cursor == bytes.c_str() + digits, "readWindowHandle stopped after %td bytes, not %zu",
             cursor - bytes.c_str(), digits);

  FUZZ_CHECK(scanSaverCommandLine(nullptr).kind == SaverSwitch::Config, "a null line is not the dialog");
  return 0;
}
