#pragma once
// --idle: a resident process that shows the full-screen saver after a time
// without input, on any desktop.
#include "host/command_line.h"

namespace starbloom {

// Runs until SIGTERM or SIGINT (status 0, its saver ended with it); 0 at
// once when another trigger runs in this session, 1 when no idle source
// can be had. program is the path to run the saver from.
int runIdleTrigger(const LaunchOptions& options, const char* program);

} // namespace starbloom
