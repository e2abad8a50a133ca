// The model reads physical lines one at a time into a growing string, as a
// line reader with fgets would, and works on copies: slow and obvious.
#include "support/xscreensaver_model.h"

namespace starbloom_fuzz {

namespace {

bool space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool strippable(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string strip(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && strippable(s[b])) ++b;
  while (e > b && strippable(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

ModelEntry parseEntry(const std::string& s) {
  ModelEntry e;
  std::size_t p = 0;
  while (p < s.size() && space(s[p])) ++p;
  if (p < s.size() && s[p] == '-') {
    e.enabled = false;
    ++p;
    while (p < s.size() && space(s[p])) ++p;
    e.twoDashes = p < s.size() && s[p] == '-';
  }
  std::size_t q = p;
  while (q < s.size() && s[q] != ':' && s[q] != '"' && !space(s[q])) ++q;
  if (q < s.size() && s[q] == ':') {
    e.visual = s.substr(p, q - p);
    p = q + 1;
    while (p < s.size() && space(s[p])) ++p;
  }
  if (p < s.size() && s[p] == '"') {
    const std::size_t close = s.find('"', p + 1);
    p = close == std::string::npos ? s.size() : close + 1;
    while (p < s.size() && space(s[p])) ++p;
  }
  e.command = s.substr(p);
  while (!e.command.empty() && space(e.command.back())) e.command.pop_back();
  std::size_t wordEnd = 0;
  while (wordEnd < e.command.size() && !space(e.command[wordEnd])) ++wordEnd;
  const std::string word = e.command.substr(0, wordEnd);
  const std::size_t slash = word.rfind('/');
  e.starbloom = (slash == std::string::npos ? word : word.substr(slash + 1)) == "starbloom";
  return e;
}

} // namespace

std::vector<std::string> modelLogicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::string joined;
    bool first = true;
    while (pos < text.size()) {
      const std::size_t nl = text.find('\n', pos);
      const std::string physical =
          nl == std::string::npos ? text.substr(pos) : text.substr(pos, nl - pos + 1);
      pos += physical.size();
      const bool goesOn = physical.size() >= 2 && physical.back() == '\n' &&
                          physical[physical.size() - 2] == '\\' && !(first && physical.size() == 2);
      first = false;
      if (!goesOn) {
        joined += physical;
        break;
      }
      joined += physical.substr(0, physical.size() - 2);
    }
    if (!joined.empty() && joined.back() == '\n') joined.pop_back();
    std::string decoded;
    for (std::size_t i = 0; i < joined.size(); ++i) {
      if (joined[i] != '\\') {
        decoded += joined[i];
      } else if (i + 1 < joined.size()) {
        const char n = joined[++i];
        decoded += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n;
      }
    }
    lines.push_back(decoded);
  }
  return lines;
}

ModelPrograms modelPrograms(const std::vector<std::string>& lines, const std::string& key) {
  ModelPrograms found;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line = strip(lines[i]);
    if (line.empty() || line[0] == '#' || line[0] == '!' || line[0] == ';') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || !sameIgnoringCase(strip(line.substr(0, colon)), key)) continue;
    found = ModelPrograms();
    found.found = true;
    found.line = i;
    const std::string value = strip(line.substr(colon + 1));
    std::size_t start = 0;
    while (start < value.size()) {
      while (start < value.size() && space(value[start])) ++start; // white space is no entry
      if (start >= value.size()) break;
      std::size_t end = value.find('\n', start);
      if (end == std::string::npos) end = value.size();
      found.entries.push_back(parseEntry(value.substr(start, end - start)));
      start = end + 1;
    }
  }
  return found;
}

} // namespace starbloom_fuzz
