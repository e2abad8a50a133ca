#pragma once
// The screen-saver host on X11: the saver's modes (full screen, preview,
// configuration, password), the hosted and try-out modes, the saver window's
// message loop and the dismissal of the saver on input.
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/monitor_layout.h"

namespace starbloom {

// Runs the mode options ask for (Saver, Hosted or Window) and returns the
// exit status; the --set overrides apply every time the settings are read.
int runSaverModes(const LaunchOptions& options);

// Keeps this run's --set assignments for every later read of the settings.
void keepSettingOverrides(const std::vector<std::string>& overrides);
// The settings file, then this run's --set overrides; false (with a message
// on stderr) when an override is bad.
bool readSaverSettings();

// The saver's own command line (/s, /p N, /c ...); the exit code.
int saverMain(const char* commandLine);

// The owner of a configuration dialog on display (a Display*): requested
// when that window exists, else the foreground window (the window
// manager's _NET_ACTIVE_WINDOW, else the input focus), else 0 for none.
// The root window, the desktop itself, owns nothing.
unsigned long configDialogOwner(void* display, unsigned long requested);

// The monitors of the default screen of display (a Display*), in screen
// coordinates.
MonitorLayout queryMonitors(void* display);

} // namespace starbloom
