#pragma once
// The saver window's message loop and the host's handling of its messages
// (hostWindowProc in front of the window procedure, defaultSaverProc behind
// it), the same on every window system.
#include "host/saver_window.h"

namespace starbloom {

// Delivers one message now: through the host's handling to the window
// procedure. The window systems hand their translated events to these.
void dispatchEvent(SaverWindow& w, const SaverEvent& event);
void dispatchMessage(SaverWindow& w, SaverMessage message);
void dispatchInput(SaverWindow& w, InputEvent input, int x = 0, int y = 0);

// Runs a window the window system has made: creation, showing it, the loop
// until the quit message, the release of the window and the display.
// Returns the quit message's code; a hosted saver ended by a signal dies by
// that signal instead.
int runSaverWindow(SaverWindow& w);

} // namespace starbloom
