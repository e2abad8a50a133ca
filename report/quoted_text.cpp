// Quoting of user text for error messages: whatever arrives (a 120 KB
// argument, a newline, a cut UTF-8 sequence), the quote stays one short line
// of at most QUOTED_TEXT_MAX bytes of the text plus quotes and "...".
#include "report/quoted_text.h"

namespace starbloom {

std::string quotedText(const char* text, std::size_t length) {
  std::size_t shown = length;
  if (shown > QUOTED_TEXT_MAX) {
    shown = QUOTED_TEXT_MAX;
    // Back up to the start of a character: continuation bytes are 10xxxxxx.
    while (shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  }
  std::string out = "'";
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    out += c < 0x20 || c == 0x7f ? '?' : text[i];
  }
  if (shown < length) out += "...";
  return out + "'";
}

std::string quotedText(const std::string& text) { return quotedText(text.data(), text.size()); }

} // namespace starbloom
