#pragma once
// X11 services of the modes that have no Wayland form: the preview's and
// the hosted mode's window check, the settings dialog's display and owner,
// and the screen's monitors. Defined with the X11 binding
// (window_system_x11.cpp); a Display* is passed as void*.
#include "host/monitor_layout.h"
#include "host/saver_window.h"

namespace starbloom {

void* openX11Display(); // with the one-line message when there is none
void closeX11Display(void* display);
bool x11WindowExists(void* display, unsigned long window);
// The same on the display of the saver window's X11 binding.
bool x11WindowExists(SaverWindow& w, unsigned long window);
// The owner of a configuration dialog: requested when that window exists,
// else the foreground window (the window manager's _NET_ACTIVE_WINDOW, else
// the input focus), else 0 for none. The root window, the desktop itself,
// owns nothing.
unsigned long configDialogOwner(void* display, unsigned long requested);
// The monitors of the display's default screen, in screen coordinates.
MonitorLayout queryMonitors(void* display);

} // namespace starbloom
