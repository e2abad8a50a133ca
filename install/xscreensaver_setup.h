#pragma once
// --add-to-xscreensaver and --remove-from-xscreensaver: Starbloom's entry in
// the programs list of the user's ~/.xscreensaver, put there or taken out.
#include <string>

namespace starbloom {

// Where XScreenSaver keeps its default settings on Debian, "*programs:" among them.
constexpr const char* XSCREENSAVER_DEFAULTS_PATH = "/etc/X11/app-defaults/XScreenSaver";

enum class XScreenSaverAction { Add, Remove };

struct XScreenSaverSetup {
  bool ok = false;  // done, or nothing to do; false: nothing was changed
  std::string line; // what was done, or why nothing was: one line, no line feed
};

// Edits the preferences file at path (the defaults file gives the list of a
// new one) and replaces it atomically; an unreadable, unwritable or
// unintelligible file is left as it was.
XScreenSaverSetup editXScreenSaverPreferences(XScreenSaverAction action, const std::string& path,
                                              const char* defaultsPath);

// The action on ~/.xscreensaver: prints the line (on stderr after
// "starbloom: " when not ok) and returns the exit status, 0 or 1.
int runXScreenSaverSetup(XScreenSaverAction action);

} // namespace starbloom
