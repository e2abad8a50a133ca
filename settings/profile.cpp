// Private-profile files: "[section]" header lines, "key=value" lines, and
// anything else, which is kept but never interpreted. The text is scanned
// line by line with memchr; nothing is cached, so one lookup costs one pass
// over the file (a settings file is a few hundred bytes; the 25 reads at
// start-up share one load). Lines end at "\n"; a "\r" before it belongs to
// the line break, so CRLF files read and edit like LF files. Bytes are
// compared as unsigned ASCII, so NUL bytes and binary garbage are just
// characters that match nothing.
//
// Writes edit the text in memory and hand the whole file to the atomic
// replacement of file_replace.cpp, so the file is never edited in place.
#include "settings/profile.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "settings/file_replace.h"

namespace starbloom {

namespace {

// One line of text: its content without the line break, and where the next
// line starts.
struct LineSpan {
  std::size_t begin = 0;  // first byte of the content
  std::size_t end = 0;    // one past the content; a "\r" before "\n" is excluded
  std::size_t next = 0;   // first byte of the next line; text size at the last line
  bool hasBreak = false;  // the line ends with "\n"
};

enum class LineKind { Other, Section, Key };

// Names and values are trimmed spans of the text.
struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::size_t nameBegin = 0;   // section or key name
  std::size_t nameEnd = 0;
  std::size_t valueBegin = 0;  // key value; an empty value sits right after "="
  std::size_t valueEnd = 0;
  bool blank = true;           // nothing but blanks
};

// Where a key is, or where it would go.
struct KeyLocation {
  bool sectionFound = false;
  std::size_t sectionInsert = 0;    // after the section's last non-blank line
  bool insertNeedsBreak = false;    // that line is the last one and has no line break
  bool keyFound = false;
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool nextLine(const std::string& text, std::size_t pos, LineSpan& line) {
  if (pos >= text.size()) return false;
  line.begin = pos;
  const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
  if (found) {
    line.end = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    line.next = line.end + 1;
    line.hasBreak = true;
    if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
  } else {
    line.end = text.size();
    line.next = text.size();
    line.hasBreak = false;
  }
  // A byte-order mark some editors put first would otherwise hide the first header.
  if (pos == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) line.begin = line.end < 3 ? line.end : 3;
  return true;
}

ParsedLine parseLine(const std::string& text, const LineSpan& line) {
  ParsedLine parsed;
  std::size_t b = line.begin;
  std::size_t e = line.end;
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  parsed.blank = b == e;
  if (parsed.blank) return parsed;

  if (text[b] == '[') {
    const void* close = std::memchr(text.data() + b + 1, ']', e - b - 1);
    if (close) {
      std::size_t nb = b + 1;
      std::size_t ne = static_cast<std::size_t>(static_cast<const char*>(close) - text.data());
      while (nb < ne && isBlank(text[nb])) ++nb;
      while (ne > nb && isBlank(text[ne - 1])) --ne;
      parsed.kind = LineKind::Section;
      parsed.nameBegin = nb;
      parsed.nameEnd = ne;
      return parsed;
    }
  }

  const void* equals = std::memchr(text.data() + b, '=', e - b);
  if (!equals) return parsed;
  const std::size_t eq = static_cast<std::size_t>(static_cast<const char*>(equals) - text.data());
  std::size_t ne = eq;
  while (ne > b && isBlank(text[ne - 1])) --ne;
  std::size_t vb = eq + 1;
  while (vb < e && isBlank(text[vb])) ++vb;
  parsed.kind = LineKind::Key;
  parsed.nameBegin = b;
  parsed.nameEnd = ne;
  parsed.valueBegin = vb;
  parsed.valueEnd = vb < e ? e : vb;
  return parsed;
}

bool nameEquals(const std::string& text, std::size_t begin, std::size_t end, const char* name) {
  const std::size_t length = std::strlen(name);
  if (end - begin != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (asciiLower(text[begin + i]) != asciiLower(name[i])) return false;
  }
  return true;
}

// Only the first section of the name counts: its keys are the ones read and
// the ones written, so a later duplicate can never shadow an edit.
KeyLocation locateKey(const std::string& text, const char* section, const char* key) {
  KeyLocation at;
  bool inSection = false;
  LineSpan line;
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    const ParsedLine parsed = parseLine(text, line);
    if (parsed.kind == LineKind::Section) {
      if (inSection) break;
      if (nameEquals(text, parsed.nameBegin, parsed.nameEnd, section)) {
        inSection = true;
        at.sectionFound = true;
        at.sectionInsert = line.next;
        at.insertNeedsBreak = !line.hasBreak;
      }
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == LineKind::Key && nameEquals(text, parsed.nameBegin, parsed.nameEnd, key)) {
      at.keyFound = true;
      at.valueBegin = parsed.valueBegin;
      at.valueEnd = parsed.valueEnd;
      return at;
    }
    if (!parsed.blank) {
      at.sectionInsert = line.next;
      at.insertNeedsBreak = !line.hasBreak;
    }
  }
  return at;
}

// New lines copy the file's own line break, judged by its first line.
const char* lineBreakOf(const std::string& text) {
  const std::size_t nl = text.find('\n');
  return (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

// A name must read back as itself: one line, no surrounding blanks, and
// none of the characters that end it.
bool storableName(const char* name, const char* forbidden) {
  if (!name || !*name) return false;
  const std::size_t length = std::strlen(name);
  if (isBlank(name[0]) || isBlank(name[length - 1])) return false;
  return std::strpbrk(name, forbidden) == nullptr;
}

} // namespace

unsigned char asciiLower(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

ProfileInt parseProfileInt(const char* text, std::size_t length) {
  ProfileInt parsed;
  std::size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing it once it is past
  // the 32-bit range, so any number of digits saturates without overflow.
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
  std::int64_t magnitude = 0;
  const std::size_t firstDigit = i;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[i] - '0');
    ++i;
  }
  if (i == firstDigit) return parsed;
  if (magnitude > limit) magnitude = limit;
  parsed.value = static_cast<int>(negative ? -magnitude : magnitude);
  parsed.used = i;
  parsed.hasDigits = true;
  return parsed;
}

int profileReadIntFrom(const std::string& text, const char* section, const char* key,
                       int defaultValue) {
  if (!section || !key) return defaultValue;
  const KeyLocation at = locateKey(text, section, key);
  if (!at.keyFound || at.valueBegin == at.valueEnd) return defaultValue;
  return parseProfileInt(text.data() + at.valueBegin, at.valueEnd - at.valueBegin).value;
}

int profileReadInt(const char* path, const char* section, const char* key, int defaultValue) {
  std::string text;
  loadWholeFile(path, text); // an unreadable file reads as empty: every key takes its default
  return profileReadIntFrom(text, section, key, defaultValue);
}

bool profileSetInText(std::string& text, const char* section, const char* key, const char* value) {
  // A key starting with "[" could read back as a section header.
  if (!storableName(section, "]\r\n") || !storableName(key, "=\r\n") || key[0] == '[') return false;
  if (!value || std::strpbrk(value, "\r\n")) return false;

  const KeyLocation at = locateKey(text, section, key);
  if (at.keyFound) {
    text.replace(at.valueBegin, at.valueEnd - at.valueBegin, value);
    return true;
  }
  const char* lineBreak = lineBreakOf(text);
  std::string keyLine = std::string(key) + "=" + value + lineBreak;
  if (at.sectionFound) {
    if (at.insertNeedsBreak) keyLine.insert(0, lineBreak);
    text.insert(at.sectionInsert, keyLine);
    return true;
  }
  if (!text.empty() && text.back() != '\n') text += lineBreak;
  text += "[";
  text += section;
  text += "]";
  text += lineBreak;
  text += keyLine;
  return true;
}

bool profileWriteString(const char* path, const char* section, const char* key,
                        const char* value) {
  std::string text;
  // Rewriting a file that could not be read whole would lose its other lines.
  if (loadWholeFile(path, text) == FileLoad::Failed) return false;
  if (!profileSetInText(text, section, key, value)) return false;
  return replaceFile(path, text);
}

} // namespace starbloom
