// The idle trigger's X11 source: the MIT-SCREEN-SAVER extension's idle
// time, the milliseconds since the server last saw input. It has no event
// for a time of our choosing, so the trigger sleeps until the idle time can
// first reach the threshold and asks again then (at most every half second
// while the saver shows, to see the user come back). A program that resets
// the server's screen saver (XResetScreenSaver: what mpv, VLC and
// xdg-screensaver reset do while a video plays) sets the idle time back to
// zero and so keeps the saver away.
//
// An XScreenSaver daemon watches the same idle time and would start its own
// saver beside ours: where one runs (its _SCREENSAVER_VERSION on the root
// window), the trigger says so and does not start.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/idle_source.h"

// Last: Xlib's macros would clash with the names above.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace starbloom {

namespace {

constexpr int ACTIVE_CHECK_MS = 500; // while idle has been reported
constexpr int SHORTEST_WAIT_MS = 50;

struct X11Idle {
  Display* display = nullptr;
  XScreenSaverInfo* info = nullptr;
  unsigned long thresholdMs = 0;
  bool reported = false; // Idle has been said, Active not yet
};

X11Idle idle; // written by the functions below; one a process

// The server's idle time in milliseconds.
unsigned long idleMs() {
  if (XScreenSaverQueryInfo(idle.display, DefaultRootWindow(idle.display), idle.info) == 0) return 0;
  return idle.info->idle;
}

} // namespace

bool openX11Idle(int seconds, std::string& why, bool& fatal) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    why = "no DISPLAY";
    return false;
  }
  idle = X11Idle{};
  idle.display = XOpenDisplay(nullptr);
  if (idle.display == nullptr) {
    why = std::string("cannot open the X display ") + name;
    return false;
  }
  int eventBase = 0;
  int errorBase = 0;
  if (XScreenSaverQueryExtension(idle.display, &eventBase, &errorBase) == 0) {
    why = "the X server has no MIT-SCREEN-SAVER extension";
    closeX11Idle();
    return false;
  }
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* version = nullptr;
  const Atom versionAtom = XInternAtom(idle.display, "_SCREENSAVER_VERSION", False);
  if (XGetWindowProperty(idle.display, DefaultRootWindow(idle.display), versionAtom, 0, 16, False,
                         AnyPropertyType, &type, &format, &count, &after, &version) == Success &&
      type != None) {
    if (version != nullptr) XFree(version);
    why = "an XScreenSaver daemon already runs on this display; use it, or stop it before --idle";
    fatal = true;
    closeX11Idle();
    return false;
  }
  if (version != nullptr) XFree(version);
  idle.info = XScreenSaverAllocInfo();
  idle.thresholdMs = static_cast<unsigned long>(seconds) * 1000ul;
  return idle.info != nullptr;
}

void x11IdlePoll(IdlePoll& poll) {
  if (idle.reported) {
    poll.timeoutMs = ACTIVE_CHECK_MS;
    return;
  }
  const unsigned long now = idleMs();
  const unsigned long left = now >= idle.thresholdMs ? 0 : idle.thresholdMs - now;
  poll.timeoutMs = left < SHORTEST_WAIT_MS ? SHORTEST_WAIT_MS : static_cast<int>(left);
}

IdleChange x11IdleChange(const IdlePoll&) {
  const unsigned long now = idleMs();
  if (!idle.reported && now >= idle.thresholdMs) {
    idle.reported = true;
    return IdleChange::Idle;
  }
  if (idle.reported && now < idle.thresholdMs) {
    idle.reported = false;
    return IdleChange::Active;
  }
  return IdleChange::Unchanged;
}

void closeX11Idle() {
  if (idle.info != nullptr) XFree(idle.info);
  if (idle.display != nullptr) XCloseDisplay(idle.display);
  idle = X11Idle{};
}

} // namespace starbloom
