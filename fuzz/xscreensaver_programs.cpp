// Fuzz target: the programs-list editor. The input is a ~/.xscreensaver file
// (and, read again, an app-defaults file). The editor's reading must list the
// entries a plain model of XScreenSaver's reader finds, with their "-" and
// whether each is Starbloom's. Adding must leave the file as the model says:
// untouched when Starbloom is there and enabled; one byte changed when it is
// there only disabled, and the first such entry enabled (one whose "-" is
// followed by another cannot be, and counts as absent); otherwise one
// insertion, after which the model reads the old entries plus
// "GL: starbloom --root" last. A second add changes nothing. Removing must
// only delete bytes and leave the old entries without Starbloom's; removing
// an added entry gives the file back. Every logical line but the programs
// one stays as it was, and a file with NUL bytes is refused. A new file made
// from the input as app-defaults reads as its *programs list plus Starbloom.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "install/xscreensaver_programs.h"
#include "support/check.h"
#include "support/xscreensaver_model.h"

using namespace starbloom;
using namespace starbloom_fuzz;

namespace {

const ModelEntry STARBLOOM_ENTRY{true, "GL", "starbloom --root", true, false};

bool sameEntries(const std::vector<ModelEntry>& a, const std::vector<ModelEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].enabled != b[i].enabled || a[i].visual != b[i].visual || a[i].command != b[i].command ||
        a[i].starbloom != b[i].starbloom) {
      return false;
    }
  }
  return true;
}

// What adding does to the list, as documented.
std::vector<ModelEntry> afterAdd(std::vector<ModelEntry> entries) {
  for (const ModelEntry& e : entries) {
    if (e.starbloom && e.enabled) return entries;
  }
  for (ModelEntry& e : entries) {
    if (e.starbloom && !e.twoDashes) {
      e.enabled = true;
      return entries;
    }
  }
  entries.push_back(STARBLOOM_ENTRY);
  return entries;
}

std::vector<ModelEntry> withoutStarbloom(const std::vector<ModelEntry>& entries) {
  std::vector<ModelEntry> kept;
  for (const ModelEntry& e : entries) {
    if (!e.starbloom) kept.push_back(e);
  }
  return kept;
}

// The editor's list against the model's.
void checkReading(const std::string& text, const char* key) {
  const ProgramsList list = readProgramsList(text, key);
  const ModelPrograms model = modelPrograms(modelLogicalLines(text), key);
  FUZZ_CHECK(list.found == model.found, "%s found %d, the model %d", key, list.found, model.found);
  FUZZ_CHECK(list.entries.size() == model.entries.size(), "%zu entries, the model %zu",
             list.entries.size(), model.entries.size());
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    FUZZ_CHECK(list.entries[i].enabled == model.entries[i].enabled &&
                   list.entries[i].starbloom == model.entries[i].starbloom,
               "entry %zu (%s): enabled %d starbloom %d, the model %d %d", i,
               model.entries[i].command.c_str(), list.entries[i].enabled, list.entries[i].starbloom,
               model.entries[i].enabled, model.entries[i].starbloom);
  }
}

// The edited file reads as expected, and every other logical line is kept.
void checkEdit(const std::string& before, const std::string& after,
               const std::vector<ModelEntry>& expected, const char* what) {
  const std::vector<std::string> oldLines = modelLogicalLines(before);
  const std::vector<std::string> newLines = modelLogicalLines(after);
  const ModelPrograms oldList = modelPrograms(oldLines, "programs");
  const ModelPrograms newList = modelPrograms(newLines, "programs");
  FUZZ_CHECK(newList.found && newList.line == oldList.line, "%s: the list moved or vanished", what);
  FUZZ_CHECK(sameEntries(newList.entries, expected), "%s: %zu entries read back, %zu expected", what,
             newList.entries.size(), expected.size());
  FUZZ_CHECK(newLines.size() == oldLines.size(), "%s: %zu logical lines became %zu", what,
             oldLines.size(), newLines.size());
  for (std::size_t i = 0; i < oldLines.size(); ++i) {
    FUZZ_CHECK(i == oldList.line || newLines[i] == oldLines[i], "%s: logical line %zu changed", what, i);
  }
}

// Where after differs from before by one insertion: its position, or npos.
std::size_t insertionAt(const std::string& before, const std::string& after) {
  if (after.size() <= before.size()) return std::string::npos;
  std::size_t prefix = 0;
  while (prefix < before.size() && before[prefix] == after[prefix]) ++prefix;
  const std::size_t grown = after.size() - before.size();
  return before.compare(prefix, std::string::npos, after, prefix + grown, std::string::npos) == 0
             ? prefix
             : std::string::npos;
}

bool isSubsequence(const std::string& part, const std::string& whole) {
  std::size_t j = 0;
  for (std::size_t i = 0; i < whole.size() && j < part.size(); ++i) {
    if (whole[i] == part[j]) ++j;
  }
  return j == part.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string added = text, removed = text;
  int removedCount = 0;
  const ProgramsEdit add = addStarbloomProgram(added);
  const ProgramsEdit remove = removeStarbloomPrograms(removed, removedCount);
  std::string preferences;
  const bool started = preferencesFromDefaults(text, preferences);

  if (text.find('\0') != std::string::npos) {
    FUZZ_CHECK(add == ProgramsEdit::NoList && remove == ProgramsEdit::NoList && !started,
               "a text with NUL bytes was taken");
    FUZZ_CHECK(added == text && removed == text, "a text with NUL bytes was changed");
    return 0;
  }
  checkReading(text, "programs");
  checkReading(text, "*programs");

  const ModelPrograms model = modelPrograms(modelLogicalLines(text), "programs");
  if (!model.found) {
    FUZZ_CHECK(add == ProgramsEdit::NoList && remove == ProgramsEdit::NoList, "edits without a list");
    FUZZ_CHECK(added == text && removed == text, "a text without a list was changed");
  } else {
    const std::vector<ModelEntry> expected = afterAdd(model.entries);
    if (add == ProgramsEdit::Unchanged) {
      FUZZ_CHECK(sameEntries(expected, model.entries) && added == text, "an add that did nothing");
    } else if (add == ProgramsEdit::Enabled) {
      std::size_t changed = 0;
      for (std::size_t i = 0; i < text.size() && added.size() == text.size(); ++i) {
        changed += text[i] != added[i] ? 1 : 0;
      }
      FUZZ_CHECK(added.size() == text.size() && changed == 1, "enabling changed %zu bytes", changed);
      checkEdit(text, added, expected, "enable");
    } else {
      FUZZ_CHECK(add == ProgramsEdit::Added, "add returned %d", static_cast<int>(add));
      FUZZ_CHECK(insertionAt(text, added) != std::string::npos, "adding did more than one insertion");
      checkEdit(text, added, expected, "add");
    }
    std::string again = added;
    FUZZ_CHECK(addStarbloomProgram(again) == ProgramsEdit::Unchanged && again == added,
               "a second add changed the file");

    int expectedCount = 0;
    for (const ModelEntry& e : model.entries) expectedCount += e.starbloom ? 1 : 0;
    FUZZ_CHECK(removedCount == expectedCount, "removed %d entries of %d", removedCount, expectedCount);
    FUZZ_CHECK((remove == ProgramsEdit::Removed) == (expectedCount > 0) &&
                   (remove == ProgramsEdit::Removed || remove == ProgramsEdit::Unchanged),
               "remove returned %d", static_cast<int>(remove));
    FUZZ_CHECK(isSubsequence(removed, text), "removing did more than delete bytes");
    checkEdit(text, removed, withoutStarbloom(model.entries), "remove");

    // Removing what adding inserted into a file without Starbloom gives the
    // file back, except where the entry was inserted after a backslash: its separator then stays, since
    // taking it would put that backslash before a line feed.
    std::string back = added;
    removeStarbloomPrograms(back, removedCount);
    checkEdit(text, back, withoutStarbloom(model.entries), "remove after add");
    const std::size_t at = insertionAt(text, added);
    if (add == ProgramsEdit::Added && expectedCount == 0 && at > 0 && text[at - 1] != '\\') {
      FUZZ_CHECK(back == text, "removing after adding did not give the file back");
    }
  }

  const ModelPrograms defaults = modelPrograms(modelLogicalLines(text), "*programs");
  FUZZ_CHECK(started == defaults.found, "a new file %s without a *programs list",
             started ? "made" : "refused");
  if (started) {
    const ModelPrograms made = modelPrograms(modelLogicalLines(preferences), "programs");
    FUZZ_CHECK(made.found && sameEntries(made.entries, afterAdd(defaults.entries)),
               "the new file lists %zu programs, the defaults %zu", made.entries.size(),
               defaults.entries.size());
  }
  return 0;
}
