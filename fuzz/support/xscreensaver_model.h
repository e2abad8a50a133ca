#pragma once
// A plain reference model of XScreenSaver's preferences for the fuzz targets:
// the file read line by line into strings the way XScreenSaver's own reader
// goes (backslash-newline joins, escapes, stripping, comments, "key: value"),
// the programs value split into entries at its line feeds (a piece of white
// space only is no entry). No byte positions are kept, so the editor's
// results can be judged by what XScreenSaver would see.
#include <cstddef>
#include <string>
#include <vector>

namespace starbloom_fuzz {

// The file's logical lines after joining and escapes, without line feeds.
std::vector<std::string> modelLogicalLines(const std::string& text);

struct ModelEntry {
  bool enabled = true;
  std::string visual;  // before the ":", empty when none
  std::string command; // the rest, without its surrounding blanks
  bool starbloom = false;
  bool twoDashes = false; // disabled, and the text after the "-" starts with another
};

struct ModelPrograms {
  bool found = false;
  std::size_t line = 0; // index of the resource's logical line (the last one with the key)
  std::vector<ModelEntry> entries;
};

ModelPrograms modelPrograms(const std::vector<std::string>& lines, const std::string& key);

} // namespace starbloom_fuzz
