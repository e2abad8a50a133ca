#pragma once
// Private-profile (INI) files: integers read from and strings written to
// "key=value" lines under "[section]" headers of a small text file.
//
// Reading forgives anything: section and key names match case-insensitively,
// blanks around names and values are ignored, the first of duplicate
// sections or keys wins, and binary garbage, NUL bytes, CRLF line ends or a
// missing final newline never hurt. Writing edits one value and keeps every
// other byte of the file, and replaces the file atomically (file_replace.h):
// a failed write leaves the old file as it was.
#include <cstddef>
#include <string>

namespace starbloom {

// A decimal integer at the start of a value: optional sign, then digits up
// to the first other character, saturated to the 32-bit range.
struct ProfileInt {
  int value = 0;         // 0 when there are no digits
  std::size_t used = 0;  // characters taken, sign included; 0 when no digits
  bool hasDigits = false;
};

ProfileInt parseProfileInt(const char* text, std::size_t length);

// A byte as section and key names compare it: ASCII letters in lower case,
// every other byte as it is.
unsigned char asciiLower(char c);

// The integer under [section] key in profile text already loaded; the default
// when the section or key is missing or the value is empty after trimming.
int profileReadIntFrom(const std::string& text, const char* section, const char* key,
                       int defaultValue);

// One read: loads the file and looks the key up. A missing or unreadable
// file gives the default.
int profileReadInt(const char* path, const char* section, const char* key, int defaultValue);

// Sets [section] key to value in profile text: replaces the first such key's
// value in place, or adds "key=value" after the last non-blank line of the
// first such section, or appends the section with the key. Returns false and
// leaves text alone for names or values that cannot be stored on one line
// (empty names, line breaks, "=" in a key, "]" in a section name).
bool profileSetInText(std::string& text, const char* section, const char* key, const char* value);

// One write: load, set, replace. Fails without touching anything when the
// existing file cannot be read back whole.
bool profileWriteString(const char* path, const char* section, const char* key,
                        const char* value);

} // namespace starbloom
