// The reference model of the settings file. The text is first cut into
// lines at each "\n"; each line is then trimmed of blanks (space, tab,
// carriage return) and classified: "[name]" opens a section, "name=value"
// is a key, anything else is kept and ignored. A byte-order mark at the
// start of the file belongs to no line. Lookups walk the lines of the first
// matching section only; edits rebuild the line list and join it again, so
// every untouched line is copied whole. Nothing here shares code with the
// reader and writer it checks.
#include "support/profile_model.h"

namespace starbloom_fuzz {

namespace {

const std::string BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct Parsed {
  enum Kind { Other, Section, Key } kind = Other;
  bool isBlank = true;
  std::string name;
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
};

Parsed parse(const std::string& content, std::size_t start) {
  Parsed p;
  std::size_t b = start, e = content.size();
  while (b < e && blank(content[b])) ++b;
  while (e > b && blank(content[e - 1])) --e;
  if (b == e) return p;
  p.isBlank = false;
  const std::string inner = content.substr(b, e - b);
  if (inner[0] == '[') {
    const std::size_t close = inner.find(']');
    if (close != std::string::npos) {
      std::string name = inner.substr(1, close - 1);
      while (!name.empty() && blank(name.front())) name.erase(0, 1);
      while (!name.empty() && blank(name.back())) name.pop_back();
      p.kind = Parsed::Section;
      p.name = name;
      return p;
    }
  }
  const std::size_t eq = inner.find('=');
  if (eq == std::string::npos) return p;
  std::string name = inner.substr(0, eq);
  while (!name.empty() && blank(name.back())) name.pop_back();
  std::size_t vb = b + eq + 1;
  while (vb < e && blank(content[vb])) ++vb;
  p.kind = Parsed::Key;
  p.name = name;
  p.valueBegin = vb;
  p.valueEnd = vb < e ? e : vb;
  return p;
}

std::size_t startOf(const std::vector<ModelLine>& lines, std::size_t index) {
  return index == 0 && lines[0].content.compare(0, 3, BYTE_ORDER_MARK) == 0 ? 3 : 0;
}

std::string lineBreak(const std::string& text) {
  const std::size_t nl = text.find('\n');
  return nl != std::string::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

} // namespace

bool modelSameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<ModelLine> modelSplit(const std::string& text) {
  std::vector<ModelLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t nl = text.find('\n', pos);
    ModelLine line;
    if (nl == std::string::npos) {
      line.content = text.substr(pos);
      pos = text.size();
    } else {
      line.content = text.substr(pos, nl - pos);
      line.hasBreak = true;
      pos = nl + 1;
    }
    lines.push_back(line);
  }
  return lines;
}

std::string modelJoin(const std::vector<ModelLine>& lines) {
  std::string text;
  for (const ModelLine& line : lines) {
    text += line.content;
    if (line.hasBreak) text += '\n';
  }
  return text;
}

ModelLocation modelLocate(const std::vector<ModelLine>& lines, const std::string& section,
                          const std::string& key) {
  ModelLocation at;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Parsed p = parse(lines[i].content, startOf(lines, i));
    if (p.kind == Parsed::Section) {
      if (inside) break;
      if (modelSameName(p.name, section)) {
        inside = true;
        at.sectionFound = true;
        at.insertAfter = i;
      }
      continue;
    }
    if (!inside) continue;
    if (p.kind == Parsed::Key && modelSameName(p.name, key)) {
      at.keyFound = true;
      at.keyLine = i;
      at.valueBegin = p.valueBegin;
      at.valueEnd = p.valueEnd;
      return at;
    }
    if (!p.isBlank) at.insertAfter = i;
  }
  return at;
}

ModelInt modelParseInt(const std::string& text) {
  ModelInt out;
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++];
  if (digits.empty()) return out;
  out.hasDigits = true;
  while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
  const long long limit = negative ? 2147483648LL : 2147483647LL;
  long long magnitude = limit;
  if (digits.size() <= 10) magnitude = std::stoll(digits);
  if (magnitude > limit) magnitude = limit;
  out.value = negative ? -magnitude : magnitude;
  return out;
}

long long modelReadInt(const std::string& text, const std::string& section,
                       const std::string& key, long long defaultValue) {
  return modelReadInt(modelSplit(text), section, key, defaultValue);
}

long long modelReadInt(const std::vector<ModelLine>& lines, const std::string& section,
                       const std::string& key, long long defaultValue) {
  const ModelLocation at = modelLocate(lines, section, key);
  if (!at.keyFound || at.valueBegin == at.valueEnd) return defaultValue;
  const std::string& content = lines[at.keyLine].content;
  return modelParseInt(content.substr(at.valueBegin, at.valueEnd - at.valueBegin)).value;
}

bool modelStorable(const std::string& section, const std::string& key, const std::string& value) {
  const auto nameOk = [](const std::string& name, const std::string& forbidden) {
    return !name.empty() && !blank(name.front()) && !blank(name.back()) &&
           name.find_first_of(forbidden) == std::string::npos &&
           name.find('\0') == std::string::npos;
  };
  return nameOk(section, "]\r\n") && nameOk(key, "=\r\n") && key[0] != '[' &&
         value.find_first_of("\r\n") == std::string::npos && value.find('\0') == std::string::npos;
}

std::string modelSet(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value) {
  std::vector<ModelLine> lines = modelSplit(text);
  const ModelLocation at = modelLocate(lines, section, key);
  const std::string br = lineBreak(text);
  // A "\r\n" break is "\r" kept in the line plus the "\n".
  const std::string brBody = br.substr(0, br.size() - 1);
  if (at.keyFound) {
    std::string& content = lines[at.keyLine].content;
    content = content.substr(0, at.valueBegin) + value + content.substr(at.valueEnd);
    return modelJoin(lines);
  }
  ModelLine keyLine;
  keyLine.content = key + "=" + value + brBody;
  keyLine.hasBreak = true;
  if (at.sectionFound) {
    ModelLine& before = lines[at.insertAfter];
    if (!before.hasBreak) {
      before.content += brBody;
      before.hasBreak = true;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at.insertAfter + 1), keyLine);
    return modelJoin(lines);
  }
  if (!lines.empty() && !lines.back().hasBreak) {
    lines.back().content += brBody;
    lines.back().hasBreak = true;
  }
  ModelLine header;
  header.content = "[" + section + "]" + brBody;
  header.hasBreak = true;
  lines.push_back(header);
  lines.push_back(keyLine);
  return modelJoin(lines);
}

} // namespace starbloom_fuzz
