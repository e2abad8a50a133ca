#pragma once
// A plain reference model of the settings file for the fuzz targets: the
// file as a list of lines, looked up and edited line by line, written for
// clarity rather than speed so that the real reader and writer can be
// compared against it byte for byte.
#include <cstddef>
#include <string>
#include <vector>

namespace starbloom_fuzz {

struct ModelLine {
  std::string content;  // without the "\n"; a "\r" before it stays here
  bool hasBreak = false;
};

std::vector<ModelLine> modelSplit(const std::string& text);
std::string modelJoin(const std::vector<ModelLine>& lines);

// Where [section] key is, as documented: the first section of that name
// (case-insensitive) and the first such key in it.
struct ModelLocation {
  bool sectionFound = false;
  std::size_t insertAfter = 0; // line index: the section's last non-blank line
  bool keyFound = false;
  std::size_t keyLine = 0;
  std::size_t valueBegin = 0;  // within the key line's content
  std::size_t valueEnd = 0;
};

ModelLocation modelLocate(const std::vector<ModelLine>& lines, const std::string& section,
                          const std::string& key);

// A decimal integer at the start of text: optional sign, digits, saturated
// to 32 bits; hasDigits false when there are none.
struct ModelInt {
  long long value = 0;
  bool hasDigits = false;
};
ModelInt modelParseInt(const std::string& text);

// The integer under [section] key, or the default when the key is missing
// or its value is empty.
long long modelReadInt(const std::vector<ModelLine>& lines, const std::string& section,
                       const std::string& key, long long defaultValue);
long long modelReadInt(const std::string& text, const std::string& section,
                       const std::string& key, long long defaultValue);

// Whether the writer must accept these names and value.
bool modelStorable(const std::string& section, const std::string& key, const std::string& value);

// The text after one documented write: the value replaced in place, or
// "key=value" after the section's last non-blank line, or the section
// appended with the key; new lines break like the file's first line.
std::string modelSet(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value);

bool modelSameName(const std::string& a, const std::string& b);

} // namespace starbloom_fuzz
