#pragma once
// The programs list of XScreenSaver's preferences (the "programs:" resource
// of ~/.xscreensaver, "*programs:" in its app-defaults file), read the way
// XScreenSaver reads it and edited as text: Starbloom's entry added, enabled
// or taken out, every other byte of the file kept. Plain functions on text;
// the files themselves are xscreensaver_setup.h's business.
#include <cstddef>
#include <string>
#include <vector>

namespace starbloom {

// What --add-to-xscreensaver puts in the list.
constexpr const char* STARBLOOM_PROGRAMS_ENTRY = "GL: starbloom --root";

// One program of the list, as byte positions in the file's text.
struct ProgramsEntry {
  std::size_t leadBegin = 0;    // the blanks before it: the previous separator's end, or the value's start
  std::size_t begin = 0;        // its first byte that is not a blank
  std::size_t end = 0;          // one past its last byte that is not a blank
  std::size_t separatorEnd = 0; // one past the "\n" that ends it; 0 when none follows
  std::size_t dash = 0;         // its leading "-", when disabled and a blank there would
                                // enable it (not so when another "-" follows); else 0
  bool enabled = true;          // no leading "-"
  bool starbloom = false;       // its program is starbloom, from any folder
};

struct ProgramsList {
  bool found = false;            // the text has the resource (the last one counts)
  std::size_t valueBegin = 0;    // just after the resource's ":"
  std::size_t valueEnd = 0;      // the line feed that ends the resource, or the text's size
  std::vector<ProgramsEntry> entries; // in order
};

// The list under key ("programs" in ~/.xscreensaver, "*programs" in the
// app-defaults file; matched case-insensitively). Not found in a text that
// holds NUL bytes, which XScreenSaver would read only up to the first.
ProgramsList readProgramsList(const std::string& text, const char* key);

enum class ProgramsEdit {
  Added,      // the entry was appended to the list
  Enabled,    // the list held Starbloom only disabled: the first such entry lost its "-"
  Removed,    // Starbloom's entries were taken out
  Unchanged,  // Starbloom was there already, or was not there to take out
  NoList,     // no "programs:" resource (or NUL bytes): text left alone
};

// Adds STARBLOOM_PROGRAMS_ENTRY after the last program of ~/.xscreensaver's
// text, in the layout of the lines around it; enables the first disabled
// Starbloom entry instead when there is no enabled one; does nothing when
// there is.
ProgramsEdit addStarbloomProgram(std::string& text);

// Takes every Starbloom entry out of ~/.xscreensaver's text, whatever its
// flags, prefix or state; removed counts them.
ProgramsEdit removeStarbloomPrograms(std::string& text, int& removed);

// A new ~/.xscreensaver: a comment, then "programs:" with the list of the
// app-defaults text byte for byte, with Starbloom's entry added. False when
// defaults has no "*programs:" list.
bool preferencesFromDefaults(const std::string& defaults, std::string& preferences);

} // namespace starbloom
