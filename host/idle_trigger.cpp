// The idle trigger. It keeps one idle source open (a Wayland idle
// notification, Mutter's idle monitor, or the X server's idle time; the
// first of them that the session has) and sleeps in poll on it and on a
// pipe that its signals write to. When the source says the user has been
// away long enough, and nothing inhibits it, it starts the saver as a
// child (this program, as "starbloom /s" with the trigger's own --set,
// --platform and --wayland-shell), which ends itself on input as it always
// does; the
// source is asked again once it has. With --lock-after, the lock command
// runs (through /bin/sh) once the saver has shown for that long, and the
// saver is ended when the command returns: `swaylock -f` returns once the
// lock is up, so the user who unlocks finds the desktop.
//
// One trigger per session: an flock on a file in $XDG_RUNTIME_DIR named
// after the session's display; a second trigger says so and leaves with
// status 0. SIGTERM, SIGINT and SIGHUP end the trigger and its saver.
#include "host/idle_trigger.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/platform_time.h"
#include "host/idle_source.h"
#include "host/session_lock.h"

namespace starbloom {

namespace {

int signalPipe[2] = {-1, -1};                // written by the handlers, read by the loop
volatile std::sig_atomic_t endSignal = 0;    // the ending signal, 0 for none

void onEndSignal(int signal) {
  endSignal = signal;
  const int saved = errno;
  (void)!write(signalPipe[1], "", 1);
  errno = saved;
}

void onChild(int) {
  const int saved = errno;
  (void)!write(signalPipe[1], "", 1);
  errno = saved;
}

void catchSignals() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = onEndSignal;
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
  action.sa_handler = onChild;
  action.sa_flags = SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, nullptr);
}

// The session's one trigger, named after its display: false when another
// holds the lock, which this one then holds until it ends.
bool takeTriggerLock() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  const std::string session = wayland != nullptr && *wayland != '\0' ? wayland
                              : x11 != nullptr && *x11 != '\0'       ? x11
                                                                     : "session";
  int fd = -1;
  return takeSessionLock("idle-" + session, fd);
}

// Runs path with args (args[0] the name it shows). The argument list is
// made before the fork: the child of a process with threads (GDBus has one)
// calls nothing but what is safe there before exec.
pid_t spawn(const char* path, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGCHLD, SIG_DFL);
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) signal(s, SIG_DFL);
    execv(path, argv.data());
    static const char FAILED[] = "starbloom: cannot start a program of the idle trigger\n";
    (void)!write(2, FAILED, sizeof FAILED - 1);
    _exit(127);
  }
  return pid;
}

// The saver as this program runs it: full screen, with the trigger's own
// settings overrides and window-system choices.
std::vector<std::string> saverCommand(const LaunchOptions& options) {
  std::vector<std::string> args = {"starbloom", "/s"};
  for (const std::string& o : options.overrides) args.insert(args.end(), {"--set", o});
  if (options.platform != PlatformRequest::Any) {
    args.insert(args.end(), {"--platform", options.platform == PlatformRequest::X11 ? "x11" : "wayland"});
  }
  if (options.shell != WaylandShellRequest::Any) {
    args.insert(args.end(), {"--wayland-shell", options.shell == WaylandShellRequest::Xdg ? "xdg" : "layer"});
  }
  return args;
}

void endChild(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = 0;
}

} // namespace

bool openIdleSource(IdleSourceKind kind, int seconds, std::string& why, bool& fatal) {
  switch (kind) {
    case IdleSourceKind::Wayland: return openWaylandIdle(seconds, why, fatal);
    case IdleSourceKind::Gnome: return openGnomeIdle(seconds, why, fatal);
    case IdleSourceKind::X11: return openX11Idle(seconds, why, fatal);
  }
  return false;
}

void idleSourcePoll(IdleSourceKind kind, IdlePoll& poll) {
  switch (kind) {
    case IdleSourceKind::Wayland: waylandIdlePoll(poll); return;
    case IdleSourceKind::Gnome: gnomeIdlePoll(poll); return;
    case IdleSourceKind::X11: x11IdlePoll(poll); return;
  }
}

IdleChange idleSourceChange(IdleSourceKind kind, const IdlePoll& poll) {
  switch (kind) {
    case IdleSourceKind::Wayland: return waylandIdleChange(poll);
    case IdleSourceKind::Gnome: return gnomeIdleChange(poll);
    case IdleSourceKind::X11: return x11IdleChange(poll);
  }
  return IdleChange::Unchanged;
}

bool idleSourceInhibited(IdleSourceKind kind) { return kind == IdleSourceKind::Gnome && gnomeIdleInhibited(); }

void closeIdleSource(IdleSourceKind kind) {
  switch (kind) {
    case IdleSourceKind::Wayland: closeWaylandIdle(); return;
    case IdleSourceKind::Gnome: closeGnomeIdle(); return;
    case IdleSourceKind::X11: closeX11Idle(); return;
  }
}

const char* idleSourceName(IdleSourceKind kind) {
  switch (kind) {
    case IdleSourceKind::Wayland: return "Wayland";
    case IdleSourceKind::Gnome: return "GNOME";
    case IdleSourceKind::X11: return "X11";
  }
  return "";
}

int runIdleTrigger(const LaunchOptions& options, const char* program) {
  if (!takeTriggerLock()) {
    std::fprintf(stderr, "starbloom: an idle trigger already runs in this session\n");
    return 0;
  }
  IdleSourceKind source = IdleSourceKind::Wayland;
  bool opened = false;
  std::string missing;
  for (const IdleSourceKind kind : {IdleSourceKind::Wayland, IdleSourceKind::Gnome, IdleSourceKind::X11}) {
    std::string why;
    bool fatal = false;
    if (openIdleSource(kind, options.idleSeconds, why, fatal)) {
      source = kind;
      opened = true;
      break;
    }
    if (fatal) {
      std::fprintf(stderr, "starbloom: %s\n", why.c_str());
      return 1;
    }
    missing += (missing.empty() ? "" : "; ") + std::string(idleSourceName(kind)) + ": " + why;
  }
  if (!opened) {
    std::fprintf(stderr, "starbloom: no idle time to watch (%s)\n", missing.c_str());
    return 1;
  }
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::fprintf(stderr, "starbloom: cannot make a pipe for the idle trigger\n");
    return 1;
  }
  catchSignals();

  const std::vector<std::string> saver = saverCommand(options);
  pid_t saverPid = 0;
  pid_t lockPid = 0;
  bool lockRan = false;               // the lock command ran during this showing
  std::uint32_t shownAt = 0;
  const std::uint32_t lockAfterMs = static_cast<std::uint32_t>(options.lockAfterSeconds) * 1000u;
  while (endSignal == 0) {
    IdlePoll poll;
    idleSourcePoll(source, poll);
    int timeout = poll.timeoutMs;
    if (saverPid > 0 && lockAfterMs > 0 && !lockRan) {
      const std::uint32_t shown = tickCount() - shownAt;
      const int left = shown >= lockAfterMs ? 0 : static_cast<int>(lockAfterMs - shown);
      timeout = timeout < 0 || left < timeout ? left : timeout;
    }
    pollfd fds[MAX_IDLE_FDS + 1];
    fds[0] = pollfd{signalPipe[0], POLLIN, 0};
    for (int i = 0; i < poll.count; ++i) fds[i + 1] = poll.fds[i];
    ::poll(fds, static_cast<nfds_t>(poll.count + 1), timeout);
    for (int i = 0; i < poll.count; ++i) poll.fds[i].revents = fds[i + 1].revents;
    char drained[64];
    while (read(signalPipe[0], drained, sizeof drained) > 0) {
    }
    // Children that ended: the saver (the user came back), or the lock
    // command (the lock is up: the saver goes).
    for (pid_t ended; (ended = waitpid(-1, nullptr, WNOHANG)) > 0;) {
      if (ended == saverPid) saverPid = 0;
      if (ended == lockPid) {
        lockPid = 0;
        endChild(saverPid);
      }
    }
    const IdleChange change = idleSourceChange(source, poll);
    if (change == IdleChange::Idle && saverPid == 0 && !idleSourceInhibited(source)) {
      saverPid = spawn(program, saver);
      shownAt = tickCount();
      lockRan = false;
    }
    if (saverPid > 0 && lockAfterMs > 0 && !lockRan && tickCount() - shownAt >= lockAfterMs) {
      lockRan = true;
      lockPid = spawn("/bin/sh", {"sh", "-c", options.lockCommand});
    }
  }
  endChild(saverPid);
  closeIdleSource(source);
  return 0;
}

} // namespace starbloom
