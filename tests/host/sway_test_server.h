#pragma once
// The fixture of the end-to-end tests on Wayland: each test starts a private
// headless sway (software rendering, no input devices, a runtime folder of
// its own) and runs the real program on it. sway refuses to run as root, so
// when the suite runs as root the compositor, the saver and every client
// run as nobody. A virtual pointer (tests/tools/virtual_pointer.cpp) gives
// the seat the pointer that swaymsg's cursor commands move and click; wtype
// types keys; grim photographs each output. A fixture may start weston
// instead, for what differs there.
#include "host/x_test_server.h"

#include <dirent.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace starbloom {

constexpr uid_t NOBODY = 65534;
constexpr gid_t NOGROUP = 65534;

// In a forked child: become nobody when running as root.
inline void dropToNobody() {
  if (getuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(NOGROUP) != 0 || setuid(NOBODY) != 0) _exit(126);
}

class SaverOnWayland : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/starbloom-wl-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    runtime = pattern;
    chmod(runtime.c_str(), 0700);
    if (getuid() == 0) {
      ASSERT_EQ(chown(runtime.c_str(), NOBODY, NOGROUP), 0);
    }
    const std::string config = runtime + "/sway.conf";
    FILE* f = std::fopen(config.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(swayConfig.c_str(), f);
    std::fclose(f);
    chmod(config.c_str(), 0644);
    // nobody may not reach the build folder (a clone in root's home): the
    // programs and the leak checker's suppressions go to the runtime folder.
    saverPath = copyIn(STARBLOOM_BINARY_PATH, "starbloom");
    pointerPath = copyIn(STARBLOOM_VIRTUAL_POINTER, "virtual_pointer");
    if (const char* lsan = std::getenv("LSAN_OPTIONS")) {
      std::string options = lsan;
      const std::size_t at = options.find("suppressions=");
      if (at != std::string::npos) {
        const std::size_t end = options.find(':', at);
        const std::string file = options.substr(at + 13, end == std::string::npos ? end : end - at - 13);
        options.replace(at + 13, file.size(), copyIn(file, "lsan.supp"));
      }
      lsanOptions = "LSAN_OPTIONS=" + options;
    }
    startCompositor(config);
  }

  std::string copyIn(const std::string& from, const char* name) {
    const std::string to = runtime + "/" + name;
    std::system(("cp '" + from + "' '" + to + "' && chmod a+rx '" + to + "'").c_str());
    return to;
  }

  void TearDown() override {
    if (pointerInput >= 0) close(pointerInput);
    if (pointer > 0) {
      kill(pointer, SIGTERM);
      waitpid(pointer, nullptr, 0);
    }
    if (keyboard > 0) {
      kill(keyboard, SIGTERM);
      waitpid(keyboard, nullptr, 0);
    }
    if (sway > 0) {
      kill(sway, SIGTERM);
      waitpid(sway, nullptr, 0);
    }
    std::system(("rm -rf '" + runtime + "'").c_str());
  }

  // The clients' environment; the compositor's, before it has sockets.
  std::vector<std::string> environment() const {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + runtime,
                                    "XDG_CONFIG_HOME=" + runtime};
    if (!socket.empty()) env.push_back("WAYLAND_DISPLAY=" + socket);
    if (!ipc.empty()) env.push_back("SWAYSOCK=" + ipc);
    if (!lsanOptions.empty()) env.push_back(lsanOptions);
    return env;
  }

  // Forks args as nobody with the compositor's environment plus extra
  // entries (a bare NAME takes NAME out); stderr to errorFd when given, else
  // nowhere. Descriptors without close-on-exec are inherited.
  pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& extra, int errorFd = -1,
              int inputFd = -1) {
    std::vector<std::string> env;
    for (const std::string& e : environment()) {
      bool replaced = false;
      for (const std::string& x : extra) replaced = replaced || x.substr(0, x.find('=')) == e.substr(0, e.find('='));
      if (!replaced) env.push_back(e);
    }
    for (const std::string& x : extra) {
      if (x.find('=') != std::string::npos) env.push_back(x);
    }
    const pid_t pid = fork();
    if (pid == 0) {
      dropToNobody();
      const int null = open("/dev/null", O_RDWR);
      dup2(inputFd >= 0 ? inputFd : null, 0);
      dup2(null, 1);
      dup2(errorFd >= 0 ? errorFd : null, 2);
      std::vector<char*> argv, envp;
      for (std::string& a : args) argv.push_back(&a[0]);
      for (std::string& e : env) envp.push_back(&e[0]);
      argv.push_back(nullptr);
      envp.push_back(nullptr);
      execvpe(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    return pid;
  }

  // Runs a client to its end; its exit status.
  int run(const std::vector<std::string>& args) {
    const pid_t pid = spawn(args, {});
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Starts sway, or weston where the fixture asks for it (its headless
  // backend, no input devices), and waits for its sockets.
  void startCompositor(const std::string& config) {
    const int log = open((runtime + "/compositor.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (onWeston) {
      sway = spawn({"weston", "--backend=headless-backend.so", "--use-pixman", "--socket=wayland-weston",
                    "--width=1024", "--height=768", "--idle-time=0"}, {}, log);
    } else {
      sway = spawn({"sway", "-c", config},
                   {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"}, log);
    }
    close(log);
    for (int waited = 0; waited < 10000 && (socket.empty() || (ipc.empty() && !onWeston)); waited += 50) {
      pause(50);
      DIR* dir = opendir(runtime.c_str());
      for (dirent* e = dir ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos) socket = name;
        if (name.rfind("sway-ipc.", 0) == 0) ipc = runtime + "/" + name;
      }
      if (dir != nullptr) closedir(dir);
    }
    const bool started = !socket.empty() && (onWeston || !ipc.empty());
    if (!started) std::system(("tail -5 " + runtime + "/compositor.log").c_str());
    ASSERT_TRUE(started) << "the compositor did not start";
  }

  // A virtual pointer device for the seat, held until the test ends.
  void addPointer() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pointer = spawn({pointerPath}, {}, -1, fds[0]);
    close(fds[0]);
    pointerInput = fds[1]; // never written: closing it ends the helper
    for (int waited = 0; waited < 5000 && run({"sh", "-c", "swaymsg -t get_seats | grep -q pointer"}) != 0;
         waited += 100) {
      pause(100);
    }
  }

  // Starts the saver; its stderr goes to a file of its own, read as it
  // grows (a pipe would fill up and stall a saver run with WAYLAND_DEBUG).
  // A virtual keyboard for the seat, held until the test ends: a saver's
  // surface gets the keyboard focus before any key is typed.
  void addKeyboard() {
    keyboard = spawn({"wtype", "-s", "3600000"}, {});
    for (int waited = 0; waited < 5000 && run({"sh", "-c", "swaymsg -t get_seats | grep -q keyboard"}) != 0;
         waited += 100) {
      pause(100);
    }
  }

  void startSaver(Saver& s, const std::vector<std::string>& args, const std::vector<std::string>& extra = {}) {
    const std::string log = runtime + "/saver-" + std::to_string(++saversStarted) + ".log";
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    ASSERT_GE(out, 0);
    std::vector<std::string> all = {saverPath};
    all.insert(all.end(), args.begin(), args.end());
    s.pid = spawn(all, extra, out);
    close(out);
    s.errorFd = open(log.c_str(), O_RDONLY);
  }

  // Reads what the saver has written to stderr since the last read.
  static void readLog(Saver& s) {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(s.errorFd, buffer, sizeof buffer)) > 0) s.errors.append(buffer, static_cast<std::size_t>(n));
  }

  // Waits until the saver's stderr shows text after its first `from`
  // characters (WAYLAND_DEBUG=1 logs every request and event); whether it
  // did within timeoutMs.
  static bool logShows(Saver& s, const std::string& text, std::size_t from = 0, int timeoutMs = 15000) {
    for (int waited = 0;; waited += 50) {
      readLog(s);
      if (s.errors.find(text, from) != std::string::npos) return true;
      if (!s.running()) return s.errors.find(text, from) != std::string::npos; // its last words read
      if (waited >= timeoutMs) return false;
      pause(50);
    }
  }

  // Whether the last enter or leave event of a device (wl_pointer,
  // wl_keyboard) in a WAYLAND_DEBUG log is an enter: the device is on one
  // of the saver's surfaces.
  static bool entered(const std::string& log, const std::string& device) {
    bool in = false;
    for (std::size_t at = log.find(device + "@"); at != std::string::npos; at = log.find(device + "@", at + 1)) {
      const std::size_t dot = log.find('.', at);
      if (dot == std::string::npos) break;
      if (log.compare(dot, 7, ".enter(") == 0) in = true;
      if (log.compare(dot, 7, ".leave(") == 0) in = false;
    }
    return in;
  }

  // Waits until the device is on the saver (run with WAYLAND_DEBUG=1). The
  // compositor sends the pointer's entry when the cursor next moves, so a
  // move of nothing is made while it waits.
  bool waitForEntry(Saver& s, const std::string& device, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs && s.running(); waited += 200) {
      readLog(s);
      if (entered(s.errors, device)) return true;
      if (device == "wl_pointer") run({"swaymsg", "seat", "seat0", "cursor", "move", "0", "0"});
      pause(200);
    }
    return false;
  }

  // The end of a long log, for a failure message.
  static std::string tail(const std::string& log) {
    return log.size() <= 2000 ? log : "..." + log.substr(log.size() - 2000);
  }

  // A connection to the compositor, as a locker makes one to hand down to
  // its plugin in WAYLAND_SOCKET; -1 on failure.
  int connectToCompositor() const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/%s", runtime.c_str(), socket.c_str());
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
  }

  // Opens weston-clickdot, which sway tiles over its whole output: under
  // sway's title bar it draws one of its own, white and opaque (the rest of
  // it is translucent). Its pid once sway shows it, -1 when it does not.
  pid_t openPlainWindow() {
    const pid_t window = spawn({"weston-clickdot"}, {});
    for (int waited = 0; waited < 10000; waited += 200) {
      if (run({"sh", "-c", "swaymsg -t get_tree | grep -q '\"name\": \"Wayland ClickDot\"'"}) == 0) {
        pause(500); // drawn
        return window;
      }
      pause(200);
    }
    kill(window, SIGTERM);
    waitpid(window, nullptr, 0);
    return -1;
  }

  // The share of black pixels of the output's picture where the plain
  // window's white title bar lies (400 x 12 pixels); -1 without a picture.
  double blackShareUnderTitle(const std::string& output) {
    const std::string file = runtime + "/" + output + "-title.png";
    if (run({"grim", "-o", output, file}) != 0) return -1;
    int w = 0, h = 0, n = 0;
    unsigned char* rgb = stbi_load(file.c_str(), &w, &h, &n, 3);
    if (rgb == nullptr || w < 500 || h < 44) return -1;
    long black = 0;
    for (int y = 32; y < 44; ++y) {
      for (int x = 100; x < 500; ++x) {
        const unsigned char* p = rgb + 3 * (y * w + x);
        black += p[0] + p[1] + p[2] == 0 ? 1 : 0;
      }
    }
    stbi_image_free(rgb);
    return black / 4800.0;
  }

  // Lit pixels of the output's picture below its top quarter (where sway
  // draws a window's title bar), -1 without one: neither black nor the
  // grey that sway shows where no window is.
  long litPixels(const std::string& output) {
    const std::string file = runtime + "/" + output + ".png";
    if (run({"grim", "-o", output, file}) != 0) return -1;
    int w = 0, h = 0, n = 0;
    unsigned char* rgb = stbi_load(file.c_str(), &w, &h, &n, 3);
    if (rgb == nullptr) return -1;
    long lit = 0;
    for (int i = w * (h / 4); i < w * h; ++i) {
      const unsigned char* p = rgb + 3 * i;
      const bool background = p[0] == p[1] && p[1] == p[2] && (p[0] == 0 || p[0] == EMPTY_GREY);
      lit += background ? 0 : 1;
    }
    stbi_image_free(rgb);
    return lit;
  }

  bool litWithin(const std::string& output, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 500) {
      if (litPixels(output) > 0) return true;
      pause(500);
    }
    return false;
  }

  // What sway is started with, or weston instead of sway; a fixture may
  // change them before SetUp.
  bool onWeston = false;
  std::string swayConfig = "output HEADLESS-1 resolution 1280x720\noutput HEADLESS-2 resolution 1024x768\n";
  static constexpr unsigned char EMPTY_GREY = 63; // sway's background without a wallpaper
  int sway = -1;
  int saversStarted = 0;
  int pointer = -1;
  int keyboard = -1;
  int pointerInput = -1;
  std::string runtime;
  std::string saverPath;   // copies in the runtime folder
  std::string pointerPath;
  std::string lsanOptions; // LSAN_OPTIONS=..., with the suppressions' copy
  std::string socket;
  std::string ipc;
};

} // namespace starbloom
