#pragma once
// The saver's modes: full screen, preview, configuration and password from
// its own switches, and the hosted, try-out and wallpaper modes of the long
// options.
#include "host/command_line.h"

namespace starbloom {

// Runs the mode options ask for (Saver, Hosted, Window or Wallpaper) and returns the
// exit status; the --set overrides apply every time the settings are read.
int runSaverModes(const LaunchOptions& options);

// The saver's own command line (/s, /p N, /c ...); the exit code. platform
// chooses the window system of full screen.
int saverMain(const char* commandLine, PlatformRequest platform = PlatformRequest::Any,
              WaylandShellRequest shell = WaylandShellRequest::Any);

} // namespace starbloom
