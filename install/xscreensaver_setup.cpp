// Adding Starbloom to XScreenSaver's list and taking it out again, as one
// read, one edit of the text (xscreensaver_programs.h) and one atomic
// replacement of the file (file_replace.h). Nothing is written when nothing
// changes, so XScreenSaver, which reloads the file when its time stamp
// moves, sees no change either. A missing ~/.xscreensaver gets the system's
// default list with Starbloom added: XScreenSaver reads the file's list
// instead of its defaults, so a file with Starbloom alone would hide every
// other saver. Every refusal names the file and the reason in one line.
#include "install/xscreensaver_setup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "install/xscreensaver_programs.h"
#include "settings/file_replace.h"
#include "settings/settings_store.h"

namespace starbloom {

namespace {

constexpr const char* NEXT_ACTIVATION = "; XScreenSaver reads it when it next activates";

XScreenSaverSetup done(bool ok, std::string line) { return XScreenSaverSetup{ok, std::move(line)}; }

std::string reason() { return std::strerror(errno); }

XScreenSaverSetup writeBack(const std::string& path, const std::string& text, std::string line) {
  if (!replaceFile(path.c_str(), text)) {
    return done(false, "cannot write " + path + ": " + reason() + "; it is unchanged");
  }
  return done(true, line + NEXT_ACTIVATION);
}

XScreenSaverSetup startPreferences(const std::string& path, const char* defaultsPath) {
  std::string defaults;
  const FileLoad load = loadWholeFile(defaultsPath, defaults);
  if (load != FileLoad::Loaded) {
    const std::string why = load == FileLoad::Missing ? "there is none: is xscreensaver installed?" : reason();
    return done(false, "no " + path + ", and XScreenSaver's default list in " + defaultsPath +
                           " cannot be read (" + why + "); nothing written");
  }
  std::string text;
  if (!preferencesFromDefaults(defaults, text)) {
    return done(false, "no " + path + ", and " + defaultsPath +
                           " has no *programs: list to start one from; nothing written");
  }
  const std::size_t count = readProgramsList(text, "programs").entries.size();
  return writeBack(path, text,
                   "Wrote " + path + " with XScreenSaver's default list and " +
                       STARBLOOM_PROGRAMS_ENTRY + " (" + std::to_string(count) + " programs)");
}

} // namespace

XScreenSaverSetup editXScreenSaverPreferences(XScreenSaverAction action, const std::string& path,
                                              const char* defaultsPath) {
  std::string text;
  switch (loadWholeFile(path.c_str(), text)) {
    case FileLoad::Failed:
      return done(false, "cannot read " + path + ": " + reason() + "; it is unchanged");
    case FileLoad::Missing:
      if (action == XScreenSaverAction::Add) return startPreferences(path, defaultsPath);
      return done(true, "There is no " + path + ", so Starbloom is in no list there; nothing changed");
    case FileLoad::Loaded:
      break;
  }
  if (text.find('\0') != std::string::npos) {
    return done(false, path + " is not a text file (it holds NUL bytes); it is unchanged");
  }
  int removed = 0;
  const ProgramsEdit edit =
      action == XScreenSaverAction::Add ? addStarbloomProgram(text) : removeStarbloomPrograms(text, removed);
  switch (edit) {
    case ProgramsEdit::NoList:
      return done(false, path + " has no programs: list that XScreenSaver would read; it is unchanged");
    case ProgramsEdit::Unchanged:
      return done(true, action == XScreenSaverAction::Add
                            ? "Starbloom is in the programs list of " + path + " already; nothing changed"
                            : "Starbloom is not in the programs list of " + path + "; nothing changed");
    case ProgramsEdit::Added:
      return writeBack(path, text,
                       "Added " + std::string(STARBLOOM_PROGRAMS_ENTRY) + " to the programs list of " + path);
    case ProgramsEdit::Enabled:
      return writeBack(path, text, "Enabled Starbloom's disabled entry in the programs list of " + path);
    case ProgramsEdit::Removed:
      break;
  }
  return writeBack(path, text,
                   "Removed " + std::to_string(removed) + (removed == 1 ? " Starbloom entry" : " Starbloom entries") +
                       " from the programs list of " + path);
}

int runXScreenSaverSetup(XScreenSaverAction action) {
  const std::string home = homeFolder();
  XScreenSaverSetup result;
  if (home.empty()) {
    result.line = "cannot find the home folder (HOME is unset and the password database has none)";
  } else {
    const std::string path = (home == "/" ? std::string() : home) + "/.xscreensaver";
    result = editXScreenSaverPreferences(action, path, XSCREENSAVER_DEFAULTS_PATH);
  }
  if (result.ok) {
    std::printf("%s.\n", result.line.c_str());
    return 0;
  }
  std::fprintf(stderr, "starbloom: %s\n", result.line.c_str());
  return 1;
}

} // namespace starbloom
