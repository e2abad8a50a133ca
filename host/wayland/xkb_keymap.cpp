// A small reader of XKB keymaps, enough to find the key of a keysym. The
// keymap is the compositor's (or a virtual keyboard's) text: sections in
// braces, among them xkb_keycodes, which names each keycode
// ("<AD01> = 24;", "alias <LatQ> = <AD01>;"), and xkb_symbols, which gives
// each named key its symbols ("key <AD01> { [ q, Q ] };", or with a type
// and "symbols[1]= [ q, Q ]"). The first symbol of a key's first group is
// what it types unshifted. Everything else (types, compatibility,
// modifier maps) is skipped. The text is untrusted: every scan is bounded
// by its length, and anything that does not parse just matches nothing.
// Cost: a few linear scans of the keymap, once per keymap.
#include "host/wayland/xkb_keymap.h"

#include <cstring>

namespace starbloom {

namespace {

constexpr std::size_t MAX_NAME = 32; // key names are 4 characters; aliases a few more

struct Text {
  const char* begin;
  const char* end;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const char* skipBlanks(const char* p, const char* end) {
  while (p < end && isBlank(*p)) ++p;
  return p;
}

// The first occurrence of what in text, or nullptr.
const char* findText(Text text, const char* what) {
  const std::size_t n = std::strlen(what);
  for (const char* p = text.begin; p + n <= text.end; ++p) {
    if (std::memcmp(p, what, n) == 0) return p;
  }
  return nullptr;
}

// The first occurrence of word in text at a word boundary, or nullptr.
const char* findWord(Text text, const char* word) {
  const std::size_t n = std::strlen(word);
  for (const char* p = text.begin; p + n <= text.end; ++p) {
    if (std::memcmp(p, word, n) != 0) continue;
    const bool startsWord = p == text.begin || isBlank(p[-1]) || p[-1] == ';' || p[-1] == '{';
    const bool endsWord = p + n == text.end || isBlank(p[n]) || p[n] == '"' || p[n] == '{';
    if (startsWord && endsWord) return p;
  }
  return nullptr;
}

// The inside of the braces that start at or after from, or an empty text.
Text block(const char* from, const char* end) {
  const char* open = from;
  while (open < end && *open != '{') ++open;
  if (open == end) return Text{end, end};
  int depth = 0;
  for (const char* p = open; p < end; ++p) {
    if (*p == '{') ++depth;
    if (*p == '}' && --depth == 0) return Text{open + 1, p};
  }
  return Text{end, end};
}

Text section(Text keymap, const char* name) {
  const char* at = findWord(keymap, name);
  return at != nullptr ? block(at, keymap.end) : Text{keymap.end, keymap.end};
}

// Reads "<NAME>" at p into name; the position after it, or nullptr.
const char* readName(const char* p, const char* end, char (&name)[MAX_NAME]) {
  p = skipBlanks(p, end);
  if (p >= end || *p != '<') return nullptr;
  std::size_t n = 0;
  for (++p; p < end && *p != '>'; ++p) {
    if (n + 1 >= MAX_NAME || isBlank(*p)) return nullptr;
    name[n++] = *p;
  }
  name[n] = '\0';
  return p < end ? p + 1 : nullptr;
}

// Whether the word before p is "alias".
bool followsAlias(const char* p, const char* begin) {
  while (p > begin && isBlank(p[-1])) --p;
  return p - begin >= 5 && std::memcmp(p - 5, "alias", 5) == 0;
}

// The keycode xkb_keycodes gives the key name, following aliases a few
// levels deep; -1 when none.
int keycodeOf(Text keycodes, const char* name, int aliasDepth = 0) {
  char found[MAX_NAME];
  for (const char* p = keycodes.begin; p < keycodes.end; ++p) {
    if (*p != '<') continue;
    const bool alias = followsAlias(p, keycodes.begin);
    const char* after = readName(p, keycodes.end, found);
    if (after == nullptr || std::strcmp(found, name) != 0) continue;
    after = skipBlanks(after, keycodes.end);
    if (after >= keycodes.end || *after != '=') continue;
    after = skipBlanks(after + 1, keycodes.end);
    if (alias) {
      char target[MAX_NAME];
      if (aliasDepth < 4 && readName(after, keycodes.end, target) != nullptr) {
        return keycodeOf(keycodes, target, aliasDepth + 1);
      }
      continue;
    }
    int code = 0;
    bool digits = false;
    for (; after < keycodes.end && *after >= '0' && *after <= '9' && code < 100000; ++after) {
      code = code * 10 + (*after - '0');
      digits = true;
    }
    if (digits) return code;
  }
  return -1;
}

// Whether the key's block (the text inside its braces) has keysym as the
// first symbol of its first group: the list after "symbols[...]=", or the
// block's first list when it names none.
bool firstSymbolIs(Text key, const char* keysym) {
  const char* p = key.begin;
  if (const char* named = findText(key, "symbols[")) {
    p = named;
    while (p < key.end && *p != '=') ++p;
  }
  while (p < key.end && *p != '[') ++p;
  if (p == key.end) return false;
  p = skipBlanks(p + 1, key.end);
  const char* symbolEnd = p;
  while (symbolEnd < key.end && *symbolEnd != ',' && *symbolEnd != ']' && !isBlank(*symbolEnd)) {
    ++symbolEnd;
  }
  const std::size_t n = static_cast<std::size_t>(symbolEnd - p);
  return n == std::strlen(keysym) && std::memcmp(p, keysym, n) == 0;
}

} // namespace

int keymapKeyCode(const char* text, std::size_t length, const char* keysym) {
  if (text == nullptr || keysym == nullptr) return -1;
  const Text keymap{text, text + length};
  const Text keycodes = section(keymap, "xkb_keycodes");
  const Text symbols = section(keymap, "xkb_symbols");
  for (const char* p = symbols.begin; p < symbols.end;) {
    const char* key = findWord(Text{p, symbols.end}, "key");
    if (key == nullptr) break;
    char name[MAX_NAME];
    const char* after = readName(key + 3, symbols.end, name);
    if (after == nullptr) {
      p = key + 3;
      continue;
    }
    const Text body = block(after, symbols.end);
    if (body.begin == symbols.end) break;
    if (firstSymbolIs(body, keysym)) {
      const int code = keycodeOf(keycodes, name);
      if (code >= 8) return code - 8;
    }
    p = body.end;
  }
  return -1;
}

} // namespace starbloom
