// XScreenSaver's preferences are X resource lines, "key: value", read the
// way its own reader reads them: a backslash right before a line feed joins
// the next line, then "\n", "\r" and "\t" become line feed, return and tab
// and a backslash before any other character stands for that character; the
// line is stripped of blanks, returns and line feeds; lines starting with
// "#", "!" or ";" are comments; the last "programs" key wins. The programs
// value is split at its line feeds into entries, each
// "[-] [VISUAL:] ["Name"] command": a leading "-" disables it, and an entry
// is Starbloom's when its command's first word, past the last "/", is
// starbloom.
//
// Every decoded character remembers the file bytes it came from (an escape
// is two bytes, and a joined line break may fall between them), so an edit
// works on the file's own text: one insertion, one byte turned from "-" to a
// blank, or the removal of whole entries, and nothing else moves. Where the
// list is laid out one entry per line, as XScreenSaver writes it, a new entry
// gets a line of its own and a removed one takes its line with it; elsewhere
// the edit stays on the line. One pass over the file, no allocation beyond
// one decoded line and the entry list; the files are a few kilobytes.
//
// Three corner cases of XScreenSaver's reader are not followed: a last line
// without a line feed whose last-but-one byte is a backslash (XScreenSaver
// drops those two bytes), a line that fills its 1 KB read buffer just after a
// backslash, and a piece of the list holding only white space other than
// blanks (an escaped return, say), which XScreenSaver lists as a program
// without a command and which is no entry here. None occurs in a file it
// wrote.
#include "install/xscreensaver_programs.h"

#include <cstring>

#include "settings/profile.h"

namespace starbloom {

namespace {

// The entry in XScreenSaver's own layout: "GL:" then tabs to column 32, the
// command, tabs to column 75, then the separator.
constexpr const char* STARBLOOM_PROGRAMS_LINE = "  GL: \t\t\t\tstarbloom --root\t\t\t    \\n";

constexpr const char* PREFERENCES_HEADER =
    "# XScreenSaver's preferences, begun by starbloom --add-to-xscreensaver with\n"
    "# the system's default list of programs and Starbloom. xscreensaver-settings\n"
    "# adds every other setting when it saves this file.\n"
    "\n";

// A character of a resource line after decoding, with the bytes it came from.
struct DecodedChar {
  char c = 0;
  std::size_t rawBegin = 0; // its first byte in the file
  std::size_t rawEnd = 0;   // one past its last byte
};

struct LogicalLine {
  std::size_t end = 0;  // the line feed that ends it, or the text's size
  std::size_t next = 0; // where the next one starts
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isStripped(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char escaped(char c) {
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
  }
}

// Decodes the logical line that starts at pos into line (cleared first).
LogicalLine decodeLine(const std::string& text, std::size_t pos, std::vector<DecodedChar>& line) {
  line.clear();
  bool escape = false;
  std::size_t escapeBegin = 0;
  std::size_t i = pos;
  while (i < text.size() && text[i] != '\n') {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
      i += 2; // a joined line break
      continue;
    }
    if (escape) {
      line.push_back(DecodedChar{escaped(c), escapeBegin, i + 1});
      escape = false;
    } else if (c == '\\') {
      escape = true;
      escapeBegin = i;
    } else {
      line.push_back(DecodedChar{c, i, i + 1});
    }
    ++i;
  }
  // A backslash with nothing after it stands for nothing.
  return LogicalLine{i, i < text.size() ? i + 1 : i};
}

// Whether line[begin, end) spells name, letter case ignored or not.
bool spells(const std::vector<DecodedChar>& line, std::size_t begin, std::size_t end,
            const char* name, bool ignoreCase) {
  if (end - begin != std::strlen(name)) return false;
  for (std::size_t i = begin; i < end; ++i) {
    const char a = line[i].c, b = name[i - begin];
    if (ignoreCase ? asciiLower(a) != asciiLower(b) : a != b) return false;
  }
  return true;
}

// One entry of the value, the characters [begin, end) of line without line feeds.
ProgramsEntry parseEntry(const std::vector<DecodedChar>& line, std::size_t begin, std::size_t end) {
  ProgramsEntry entry;
  entry.begin = line[begin].rawBegin;
  entry.end = line[begin].rawEnd;
  for (std::size_t i = begin; i < end; ++i) {
    if (!isSpace(line[i].c)) entry.end = line[i].rawEnd;
  }
  std::size_t p = begin;
  auto skipSpace = [&] {
    while (p < end && isSpace(line[p].c)) ++p;
  };
  skipSpace();
  if (p < end && line[p].c == '-') {
    entry.enabled = false;
    const std::size_t dash = line[p].rawEnd - 1; // an escaped "-" ends with the "-" itself
    ++p;
    skipSpace();
    if (p == end || line[p].c != '-') entry.dash = dash;
  }
  const std::size_t visual = p;
  while (p < end && line[p].c != ':' && line[p].c != '"' && !isSpace(line[p].c)) ++p;
  if (p < end && line[p].c == ':') {
    ++p;
    skipSpace();
  } else {
    p = visual;
  }
  if (p < end && line[p].c == '"') { // a name for the settings' list
    ++p;
    while (p < end && line[p].c != '"') ++p;
    if (p < end) ++p;
    skipSpace();
  }
  std::size_t word = p;
  std::size_t wordEnd = p;
  while (wordEnd < end && !isSpace(line[wordEnd].c)) {
    if (line[wordEnd].c == '/') word = wordEnd + 1;
    ++wordEnd;
  }
  entry.starbloom = spells(line, word, wordEnd, "starbloom", false);
  return entry;
}

// The entries of the value that starts at line[from], as XScreenSaver splits
// it: the pieces between line feeds, white space before each skipped.
void parseValue(const std::vector<DecodedChar>& line, std::size_t from, ProgramsList& list) {
  list.entries.clear();
  std::size_t valueEnd = line.size();
  while (valueEnd > from && isStripped(line[valueEnd - 1].c)) --valueEnd;
  std::size_t lead = list.valueBegin;
  std::size_t p = from;
  while (p < valueEnd && isStripped(line[p].c)) ++p;
  while (p < valueEnd) {
    while (p < valueEnd && isSpace(line[p].c)) ++p;
    if (p >= valueEnd) break;
    std::size_t end = p;
    while (end < valueEnd && line[end].c != '\n') ++end;
    ProgramsEntry entry = parseEntry(line, p, end);
    entry.leadBegin = lead;
    std::size_t separator = end;
    while (separator < line.size() && line[separator].c != '\n') ++separator;
    if (separator < line.size()) entry.separatorEnd = lead = line[separator].rawEnd;
    list.entries.push_back(entry);
    p = end;
  }
}

std::size_t skipBlanks(const std::string& text, std::size_t from, std::size_t limit) {
  while (from < limit && isBlank(text[from])) ++from;
  return from;
}

// The bytes that taking Starbloom's entry i out removes. An entry on a line of its own
// (blanks, the joined line break, blanks before it) takes its line: with the
// line break below it when the list goes on, with the one above it when it
// ends the list. Otherwise it goes with the blanks before it and its
// separator; the last entry without a separator takes the previous entry's,
// unless that entry goes too.
// Each range starts and ends between whole decoded characters, and never
// leaves a backslash before a line feed, which would join two lines.
void removalRange(const std::string& text, const ProgramsList& list, std::size_t i,
                  std::size_t& from, std::size_t& to) {
  const ProgramsEntry& entry = list.entries[i];
  const std::size_t end = entry.separatorEnd != 0 ? entry.separatorEnd : entry.end;
  const std::size_t joint = skipBlanks(text, entry.leadBegin, entry.begin);
  const bool ownLine = joint + 1 < entry.begin && text[joint] == '\\' && text[joint + 1] == '\n' &&
                       skipBlanks(text, joint + 2, entry.begin) == entry.begin;
  const std::size_t after = skipBlanks(text, end, text.size());
  const bool listGoesOn = after + 1 < text.size() && text[after] == '\\' && text[after + 1] == '\n';
  const bool listEnds = after == text.size() || text[after] == '\n';
  from = entry.leadBegin;
  to = end;
  if (ownLine && listGoesOn) {
    from = joint + 2;
    to = after + 2;
  } else if (ownLine && listEnds) {
    from = joint;
    to = after;
  } else if (entry.separatorEnd == 0 && i > 0 && !list.entries[i - 1].starbloom) {
    const std::size_t previousEnd = list.entries[i - 1].end;
    const bool joins = text[previousEnd - 1] == '\\' && to < text.size() && text[to] == '\n';
    if (!joins) from = previousEnd;
  }
}

} // namespace

ProgramsList readProgramsList(const std::string& text, const char* key) {
  ProgramsList list;
  if (text.find('\0') != std::string::npos) return list;
  std::vector<DecodedChar> line;
  for (std::size_t pos = 0; pos < text.size();) {
    const LogicalLine at = decodeLine(text, pos, line);
    pos = at.next;
    std::size_t begin = 0;
    while (begin < line.size() && isStripped(line[begin].c)) ++begin;
    if (begin == line.size() || std::strchr("#!;", line[begin].c) != nullptr) continue;
    std::size_t colon = begin;
    while (colon < line.size() && line[colon].c != ':') ++colon;
    if (colon == line.size()) continue; // XScreenSaver skips a line without a colon
    std::size_t keyEnd = colon;
    while (keyEnd > begin && isStripped(line[keyEnd - 1].c)) --keyEnd;
    if (!spells(line, begin, keyEnd, key, true)) continue;
    list.found = true;
    list.valueBegin = line[colon].rawEnd;
    list.valueEnd = at.end;
    parseValue(line, colon + 1, list);
  }
  return list;
}

ProgramsEdit addStarbloomProgram(std::string& text) {
  const ProgramsList list = readProgramsList(text, "programs");
  if (!list.found) return ProgramsEdit::NoList;
  const ProgramsEntry* disabled = nullptr;
  for (const ProgramsEntry& entry : list.entries) {
    if (!entry.starbloom) continue;
    if (entry.enabled) return ProgramsEdit::Unchanged;
    if (!disabled && entry.dash != 0) disabled = &entry;
  }
  if (disabled) {
    text[disabled->dash] = ' ';
    return ProgramsEdit::Enabled;
  }
  const std::string entry = STARBLOOM_PROGRAMS_ENTRY;
  if (list.entries.empty()) {
    text.insert(list.valueBegin, " " + entry + " \\n");
    return ProgramsEdit::Added;
  }
  const ProgramsEntry& last = list.entries.back();
  if (last.separatorEnd == 0) {
    text.insert(last.end, " \\n " + entry);
    return ProgramsEdit::Added;
  }
  std::size_t after = last.separatorEnd;
  while (after < text.size() && isBlank(text[after])) ++after;
  if (after + 1 < text.size() && text[after] == '\\' && text[after + 1] == '\n') {
    text.insert(after + 2, std::string(STARBLOOM_PROGRAMS_LINE) + "\\\n");
  } else if (after < text.size() && text[after] == '\n') {
    text.insert(after, std::string("\\\n") + STARBLOOM_PROGRAMS_LINE);
  } else {
    text.insert(last.separatorEnd, " " + entry + " \\n");
  }
  return ProgramsEdit::Added;
}

ProgramsEdit removeStarbloomPrograms(std::string& text, int& removed) {
  removed = 0;
  const ProgramsList list = readProgramsList(text, "programs");
  if (!list.found) return ProgramsEdit::NoList;
  // From the last to the first, so that the positions still to use stay put.
  for (std::size_t i = list.entries.size(); i-- > 0;) {
    if (!list.entries[i].starbloom) continue;
    std::size_t from = 0, to = 0;
    removalRange(text, list, i, from, to);
    text.erase(from, to - from);
    ++removed;
  }
  return removed > 0 ? ProgramsEdit::Removed : ProgramsEdit::Unchanged;
}

bool preferencesFromDefaults(const std::string& defaults, std::string& preferences) {
  const ProgramsList list = readProgramsList(defaults, "*programs");
  if (!list.found) return false;
  preferences = PREFERENCES_HEADER;
  preferences += "programs:";
  preferences.append(defaults, list.valueBegin, list.valueEnd - list.valueBegin);
  // A list that ends the defaults file may end with a backslash, which would
  // join the line feed after it; a blank keeps them apart.
  if (preferences.back() == '\\') preferences += ' ';
  preferences += "\n";
  addStarbloomProgram(preferences);
  return true;
}

} // namespace starbloom
