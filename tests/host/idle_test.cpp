// End-to-end tests of the idle trigger (--idle): on a headless sway (its
// idle notification), on Xvfb (the server's idle time) and on a session bus
// of the test's own that serves a fake of GNOME's idle monitor
// (tests/tools/fake_idle_monitor.cpp). The saver the trigger starts is its
// child, "starbloom /s".
#include "host/sway_test_server.h"

#include <X11/Xatom.h>
#include <dirent.h>

#include <fstream>
#include <sstream>

namespace starbloom {
namespace {

// The trigger's running saver (a child shown as "starbloom /s"), 0 for none.
pid_t saverOf(pid_t trigger) {
  DIR* proc = opendir("/proc");
  pid_t found = 0;
  for (dirent* e = proc != nullptr ? readdir(proc) : nullptr; e != nullptr && found == 0; e = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atol(e->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(text.substr(close + 2));
    std::string state;
    long parent = 0;
    fields >> state >> parent;
    if (parent != trigger || state == "Z") continue;
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    std::string args((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    if (args.rfind(std::string("starbloom\0/s", 12), 0) == 0) found = pid;
  }
  if (proc != nullptr) closedir(proc);
  return found;
}

// Waits for the trigger to have a saver (or none); the saver's pid.
pid_t waitForSaverOf(pid_t trigger, bool wanted, int timeoutMs) {
  for (int waited = 0;; waited += 100) {
    const pid_t saver = saverOf(trigger);
    if ((saver != 0) == wanted || waited >= timeoutMs) return saver;
    pause(100);
  }
}

// --idle 3 on sway (KDE's idle notification there): no saver at first, the
// saver after the idle time, a key ends it, it comes again after another
// idle time, a second trigger leaves, SIGTERM ends the trigger and its
// saver. While a client holds an idle inhibitor, no saver comes. --lock-after
// runs its command once and ends the saver when the command returns.
TEST_F(SaverOnWayland, IdleTriggerShowsTheSaverAfterIdleTimeAndAgainAfterEachReturn) {
  addKeyboard();
  Saver trigger;
  startSaver(trigger, {"--idle", "3"}, {"WAYLAND_DEBUG=1"});
  pause(1000);
  EXPECT_EQ(saverOf(trigger.pid), 0) << "a saver before the idle time";
  const pid_t first = waitForSaverOf(trigger.pid, true, 15000);
  ASSERT_NE(first, 0) << tail(trigger.errors);
  EXPECT_TRUE(litWithin("HEADLESS-1", 15000));
  ASSERT_TRUE(waitForEntry(trigger, "wl_keyboard")) << tail(trigger.errors);
  run({"wtype", "a"});
  EXPECT_EQ(waitForSaverOf(trigger.pid, false, 10000), 0) << "a key did not end the saver";
  const pid_t second = waitForSaverOf(trigger.pid, true, 15000);
  EXPECT_NE(second, 0) << "no saver after the next idle time";
  EXPECT_NE(second, first);

  Saver another;
  startSaver(another, {"--idle", "3"});
  EXPECT_EQ(another.wait(10000), 0);
  EXPECT_NE(another.errors.find("already runs"), std::string::npos) << another.errors;

  kill(trigger.pid, SIGTERM);
  EXPECT_EQ(trigger.wait(10000), 0);
  EXPECT_NE(kill(second, 0), 0) << "the saver outlived its trigger";

  // A client's idle inhibitor on a shown window (zwp_idle_inhibitor_v1, as
  // a video player holds one) keeps the saver away.
  int hold[2];
  ASSERT_EQ(pipe2(hold, O_CLOEXEC), 0); // the inhibitor keeps no write end of its own
  const pid_t inhibitor = spawn({copyIn(STARBLOOM_IDLE_INHIBITOR, "idle_inhibitor")}, {}, -1, hold[0]);
  close(hold[0]);
  bool shown = false;
  for (int waited = 0; waited < 10000 && !shown; waited += 200) {
    shown = run({"sh", "-c", "swaymsg -t get_tree | grep -q '\"name\": \"idle inhibitor\"'"}) == 0;
    pause(200);
  }
  ASSERT_TRUE(shown) << "the inhibitor's window did not show";
  Saver inhibited;
  startSaver(inhibited, {"--idle", "2"});
  EXPECT_EQ(waitForSaverOf(inhibited.pid, true, 6000), 0) << "a saver despite the inhibitor";
  kill(inhibited.pid, SIGTERM);
  EXPECT_EQ(inhibited.wait(10000), 0);
  close(hold[1]); // the inhibitor lets go and ends
  waitpid(inhibitor, nullptr, 0);

  // --lock-after: the command once, and the saver gone after it returns.
  const std::string locks = runtime + "/locks";
  Saver locking;
  startSaver(locking, {"--idle", "2", "--lock-after", "2", "echo locked >> '" + locks + "'"});
  ASSERT_NE(waitForSaverOf(locking.pid, true, 15000), 0) << locking.errors;
  EXPECT_EQ(waitForSaverOf(locking.pid, false, 15000), 0) << "the saver outlived the lock command";
  pause(3000);
  std::ifstream written(locks);
  std::string all((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "locked\n");
  kill(locking.pid, SIGTERM);
  EXPECT_EQ(locking.wait(10000), 0);
}

class IdleOnX : public XTestServer {
 protected:
  // No compositor and no session bus: the trigger has only the X server.
  std::vector<std::string> onlyX11() const {
    return {"WAYLAND_DISPLAY=", "WAYLAND_SOCKET=", "DBUS_SESSION_BUS_ADDRESS=", "XDG_RUNTIME_DIR=" + configHome};
  }
};

// --idle 3 on Xvfb (the MIT-SCREEN-SAVER idle time): the saver's window
// after the idle time, ended by a key, back after another idle time, and
// SIGTERM ends both. Where an XScreenSaver daemon has marked the root
// window, and where no idle source is there at all, one line and status 1.
TEST_F(IdleOnX, IdleTriggerWatchesTheServersIdleTime) {
  Saver trigger;
  start(trigger, {"--idle", "3"}, onlyX11());
  pause(1000);
  EXPECT_EQ(saverOf(trigger.pid), 0) << "a saver before the idle time";
  ASSERT_NE(waitForSaverWindow(display, DefaultRootWindow(display), 15000), 0u) << trigger.errors;
  pause(500);
  xdotool("key a");
  EXPECT_EQ(waitForSaverOf(trigger.pid, false, 10000), 0) << "a key did not end the saver";
  const pid_t again = waitForSaverOf(trigger.pid, true, 15000);
  EXPECT_NE(again, 0) << "no saver after the next idle time";
  kill(trigger.pid, SIGTERM);
  EXPECT_EQ(trigger.wait(10000), 0) << trigger.errors;
  EXPECT_NE(kill(again, 0), 0) << "the saver outlived its trigger";

  const Atom version = XInternAtom(display, "_SCREENSAVER_VERSION", False);
  const unsigned char text[] = "6.06";
  XChangeProperty(display, DefaultRootWindow(display), version, XA_STRING, 8, PropModeReplace, text, 4);
  XSync(display, False);
  Saver beside;
  start(beside, {"--idle", "3"}, onlyX11());
  EXPECT_EQ(beside.wait(10000), 1);
  EXPECT_NE(beside.errors.find("XScreenSaver"), std::string::npos) << beside.errors;
  EXPECT_EQ(beside.errors.find('\n'), beside.errors.size() - 1) << beside.errors;
  XDeleteProperty(display, DefaultRootWindow(display), version);
  XSync(display, False);

  std::vector<std::string> nothing = onlyX11();
  nothing.push_back("DISPLAY=");
  Saver alone;
  start(alone, {"--idle", "3"}, nothing);
  EXPECT_EQ(alone.wait(10000), 1);
  EXPECT_NE(alone.errors.find("no idle time to watch"), std::string::npos) << alone.errors;
  EXPECT_EQ(alone.errors.find('\n'), alone.errors.size() - 1) << alone.errors;
}

// A session bus of the test's own (dbus-daemon) with the fake idle monitor
// on it; the trigger there has the bus and the Xvfb, and takes GNOME's
// source first.
class IdleOnGnome : public IdleOnX {
 protected:
  void SetUp() override {
    IdleOnX::SetUp();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    bus = fork();
    if (bus == 0) {
      dup2(out[1], 1);
      execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr);
      _exit(127);
    }
    close(out[1]);
    address = readLine(out[0]);
    close(out[0]);
    ASSERT_FALSE(address.empty()) << "no dbus-daemon";
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    monitor = fork();
    if (monitor == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
      execl(STARBLOOM_FAKE_IDLE_MONITOR, "fake_idle_monitor", nullptr);
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    control = in[1];
    ASSERT_EQ(readLine(out[0]), "ready");
    close(out[0]);
  }

  void TearDown() override {
    if (control >= 0) close(control); // the fake ends with its input
    for (const pid_t pid : {monitor, bus}) {
      if (pid <= 0) continue;
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    IdleOnX::TearDown();
  }

  static std::string readLine(int fd) {
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  void tell(const std::string& line) { ASSERT_EQ(write(control, (line + "\n").c_str(), line.size() + 1), static_cast<ssize_t>(line.size() + 1)); }

  std::vector<std::string> onGnome() const {
    return {"WAYLAND_DISPLAY=", "WAYLAND_SOCKET=", "DBUS_SESSION_BUS_ADDRESS=" + address, "XDG_RUNTIME_DIR=" + configHome};
  }

  pid_t bus = -1;
  pid_t monitor = -1;
  int control = -1;
  std::string address;
};

// --idle 2 with GNOME's idle monitor: the saver once the monitor's idle
// watch fires, ended by a key, back once the watch fires again after the
// user's return; an inhibition that the session manager reports keeps it
// away.
TEST_F(IdleOnGnome, IdleTriggerFollowsMuttersIdleMonitorAndTheSessionsInhibitor) {
  Saver trigger;
  start(trigger, {"--idle", "2"}, onGnome());
  ASSERT_NE(waitForSaverOf(trigger.pid, true, 15000), 0) << trigger.errors;
  ASSERT_NE(waitForSaverWindow(display, DefaultRootWindow(display), 15000), 0u) << trigger.errors;
  pause(500);
  xdotool("key a");
  tell("input");
  EXPECT_EQ(waitForSaverOf(trigger.pid, false, 10000), 0) << "a key did not end the saver";
  EXPECT_NE(waitForSaverOf(trigger.pid, true, 15000), 0) << "no saver after the next idle time";
  ASSERT_NE(waitForSaverWindow(display, DefaultRootWindow(display), 15000), 0u) << trigger.errors;
  pause(500);
  xdotool("key a");
  tell("inhibit 1");
  tell("input");
  EXPECT_EQ(waitForSaverOf(trigger.pid, false, 10000), 0);
  EXPECT_EQ(waitForSaverOf(trigger.pid, true, 5000), 0) << "a saver despite the inhibition";
  kill(trigger.pid, SIGTERM);
  EXPECT_EQ(trigger.wait(10000), 0) << trigger.errors;
}

} // namespace
} // namespace starbloom
