#pragma once
// The saver's modes: full screen, preview, configuration and password from
// its own switches, and the hosted and try-out modes of the long options.
#include "host/command_line.h"

namespace starbloom {

// Runs the mode options ask for (Saver, Hosted or Window) and returns the
// exit status; the --set overrides apply every time the settings are read.
int runSaverModes(const LaunchOptions& options);

// The saver's own command line (/s, /p N, /c ...); the exit code. platform
// chooses the window system of full screen.
int saverMain(const char* commandLine, PlatformRequest platform = PlatformRequest::Any);

} // namespace starbloom
