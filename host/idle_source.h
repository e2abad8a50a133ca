#pragma once
// Where the idle trigger learns that the user has been away: a seam of plain
// functions with one implementation per source, each in its window
// system's folder (host/wayland/wayland_idle.cpp, host/gnome/gnome_idle.cpp,
// host/x11/x11_idle.cpp). The trigger tries them in the order of
// IdleSourceKind and keeps the first that opens; it polls their
// descriptors beside its own and asks them what changed.
#include <poll.h>

#include <cstdint>
#include <string>

namespace starbloom {

enum class IdleSourceKind : std::uint8_t {
  Wayland, // ext_idle_notifier_v1, else org_kde_kwin_idle (wlroots compositors, KWin)
  Gnome,   // Mutter's org.gnome.Mutter.IdleMonitor on the session bus
  X11,     // the MIT-SCREEN-SAVER extension's idle time
};

enum class IdleChange : std::uint8_t {
  Unchanged,
  Idle,   // the user has been away for the time asked for
  Active, // the user is back
};

constexpr int MAX_IDLE_FDS = 8;

// What the trigger polls for a source, and for how long at most.
struct IdlePoll {
  pollfd fds[MAX_IDLE_FDS] = {};
  int count = 0;
  int timeoutMs = -1; // -1: only when a descriptor is ready
};

// Opens a source that reports idle after seconds without input. false
// with why set (one phrase: what is missing) when it cannot; fatal set as
// well when the trigger must not go on with another source (an XScreenSaver
// daemon already runs: two savers would fight).
bool openWaylandIdle(int seconds, std::string& why, bool& fatal);
bool openGnomeIdle(int seconds, std::string& why, bool& fatal);
bool openX11Idle(int seconds, std::string& why, bool& fatal);

// The source's descriptors and time limit for the next poll.
void waylandIdlePoll(IdlePoll& poll);
void gnomeIdlePoll(IdlePoll& poll);
void x11IdlePoll(IdlePoll& poll);

// What changed, after a poll of the source's descriptors (their revents
// filled in); a source that lost its connection ends the program with one
// line and status 1.
IdleChange waylandIdleChange(const IdlePoll& poll);
IdleChange gnomeIdleChange(const IdlePoll& poll);
IdleChange x11IdleChange(const IdlePoll& poll);

// Whether something asks that no saver come now (GNOME: the session
// manager's idle inhibition); the others leave inhibitors to the
// compositor or the server.
bool gnomeIdleInhibited();

void closeWaylandIdle();
void closeGnomeIdle();
void closeX11Idle();

// What the trigger calls: dispatch by kind.
bool openIdleSource(IdleSourceKind kind, int seconds, std::string& why, bool& fatal);
void idleSourcePoll(IdleSourceKind kind, IdlePoll& poll);
IdleChange idleSourceChange(IdleSourceKind kind, const IdlePoll& poll);
bool idleSourceInhibited(IdleSourceKind kind);
void closeIdleSource(IdleSourceKind kind);
const char* idleSourceName(IdleSourceKind kind);

} // namespace starbloom
