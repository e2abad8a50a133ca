// End-to-end tests of the saver on Wayland: each test starts a private
// headless sway (software rendering, no input devices, a runtime folder of
// its own) and runs the real program on it. sway refuses to run as root, so
// when the suite runs as root the compositor, the saver and every client
// run as nobody. A virtual pointer (tests/tools/virtual_pointer.cpp) gives
// the seat the pointer that swaymsg's cursor commands move and click; wtype
// types keys; grim photographs each output.
#include "host/x_test_server.h"

#include <grp.h>
#include <sys/stat.h>

#include <chrono>
#include <dirent.h>

namespace starbloom {
namespace {

constexpr uid_t NOBODY = 65534;
constexpr gid_t NOGROUP = 65534;

// In a forked child: become nobody when running as root.
void dropToNobody() {
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
    std::fputs("output HEADLESS-1 resolution 1280x720\noutput HEADLESS-2 resolution 1024x768\n", f);
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
  // entries; stderr to errorFd when given, else nowhere.
  pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& extra, int errorFd = -1,
              int inputFd = -1) {
    std::vector<std::string> env;
    for (const std::string& e : environment()) {
      bool replaced = false;
      for (const std::string& x : extra) replaced = replaced || x.substr(0, x.find('=') + 1) == e.substr(0, e.find('=') + 1);
      if (!replaced) env.push_back(e);
    }
    env.insert(env.end(), extra.begin(), extra.end());
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

  void startCompositor(const std::string& config) {
    const int log = open((runtime + "/sway.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    sway = spawn({"sway", "-c", config},
                 {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"}, log);
    close(log);
    for (int waited = 0; waited < 10000 && (socket.empty() || ipc.empty()); waited += 50) {
      pause(50);
      DIR* dir = opendir(runtime.c_str());
      for (dirent* e = dir ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos) socket = name;
        if (name.rfind("sway-ipc.", 0) == 0) ipc = runtime + "/" + name;
      }
      if (dir != nullptr) closedir(dir);
    }
    if (socket.empty() || ipc.empty()) std::system(("tail -5 " + runtime + "/sway.log").c_str());
    ASSERT_FALSE(socket.empty() || ipc.empty()) << "sway did not start";
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

  void startSaver(Saver& s, const std::vector<std::string>& args, const std::vector<std::string>& extra = {}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::string> all = {saverPath};
    all.insert(all.end(), args.begin(), args.end());
    s.pid = spawn(all, extra, fds[1]);
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    s.errorFd = fds[0];
  }

  // Lit pixels of the output's picture, -1 without one.
  long litPixels(const std::string& output) {
    const std::string file = runtime + "/" + output + ".png";
    if (run({"grim", "-o", output, file}) != 0) return -1;
    int w = 0, h = 0, n = 0;
    unsigned char* rgb = stbi_load(file.c_str(), &w, &h, &n, 3);
    if (rgb == nullptr) return -1;
    long lit = 0;
    for (int i = 0; i < w * h; ++i) lit += (rgb[3 * i] | rgb[3 * i + 1] | rgb[3 * i + 2]) != 0 ? 1 : 0;
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

  int sway = -1;
  int pointer = -1;
  int pointerInput = -1;
  std::string runtime;
  std::string saverPath;   // copies in the runtime folder
  std::string pointerPath;
  std::string lsanOptions; // LSAN_OPTIONS=..., with the suppressions' copy
  std::string socket;
  std::string ipc;
};

// Full screen on two outputs, both drawn, and on a third plugged in while
// it runs; a second /s leaves at once; the pointer ends it past 4 pixels,
// and a key, a click and SIGTERM end it too, each with status 0.
TEST_F(SaverOnWayland, FullScreenOnEveryOutputEndsOnInputAndSignals) {
  ASSERT_EQ(run({"swaymsg", "create_output"}), 0);
  addPointer();
  run({"swaymsg", "seat", "seat0", "cursor", "set", "640", "360"});
  {
    Saver saver;
    startSaver(saver, {"/s"});
    EXPECT_TRUE(litWithin("HEADLESS-1", 15000)) << saver.errors;
    EXPECT_TRUE(litWithin("HEADLESS-2", 15000)) << saver.errors;
    // An output plugged in gets a surface of its own; one taken away loses
    // its surface, and the saver goes on.
    ASSERT_EQ(run({"swaymsg", "create_output"}), 0);
    EXPECT_TRUE(litWithin("HEADLESS-3", 15000)) << saver.errors;
    ASSERT_EQ(run({"swaymsg", "output", "HEADLESS-3", "disable"}), 0);
    pause(500);
    ASSERT_TRUE(saver.running()) << saver.errors;
    Saver second;
    startSaver(second, {"/s"});
    EXPECT_EQ(second.wait(5000), 0) << second.errors;
    // A move of nothing makes sure the pointer has entered the saver: its
    // position there is the reference of the moves that follow.
    run({"swaymsg", "seat", "seat0", "cursor", "move", "0", "0"});
    pause(300);
    run({"swaymsg", "seat", "seat0", "cursor", "move", "3", "0"});
    pause(500);
    ASSERT_TRUE(saver.running()) << "a 3-pixel move ended it: " << saver.errors;
    run({"swaymsg", "seat", "seat0", "cursor", "move", "10", "0"});
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  }
  struct Ending {
    const char* name;
    std::vector<std::string> client;
  };
  const Ending endings[] = {
      {"a key", {"wtype", "-s", "500", "a"}},
      {"a click", {"swaymsg", "seat", "seat0", "cursor", "press", "button1"}},
  };
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.name);
    Saver saver;
    startSaver(saver, {"/s"});
    ASSERT_TRUE(litWithin("HEADLESS-1", 15000)) << saver.errors;
    pause(500); // the pointer's entry, which a click before it would miss
    run(e.client);
    if (e.client[0] == "swaymsg") run({"swaymsg", "seat", "seat0", "cursor", "release", "button1"});
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  }
  // SIGTERM, timed until the process is gone; the median of three, since a
  // loaded machine may hold up any one of them.
  std::vector<double> delays;
  for (int attempt = 0; attempt < 3; ++attempt) {
    Saver saver;
    startSaver(saver, {"/s"});
    ASSERT_TRUE(litWithin("HEADLESS-1", 15000)) << saver.errors;
    const auto sent = std::chrono::steady_clock::now();
    kill(saver.pid, SIGTERM);
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
    delays.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
  }
  std::sort(delays.begin(), delays.end());
  EXPECT_LT(delays[1], 300.0) << delays[0] << " " << delays[1] << " " << delays[2];
}

// The try-out window ends on Esc; the compositor going away ends full
// screen with one line and status 1 within a second.
TEST_F(SaverOnWayland, TryOutEndsOnEscapeAndALostCompositorIsOneLine) {
  Saver window;
  startSaver(window, {"--window", "640x480"});
  EXPECT_TRUE(litWithin("HEADLESS-1", 15000)) << window.errors;
  run({"wtype", "-s", "500", "a"});
  pause(500);
  ASSERT_TRUE(window.running()) << window.errors;
  run({"wtype", "-s", "500", "-k", "Escape"});
  EXPECT_EQ(window.wait(10000), 0) << window.errors;

  Saver saver;
  startSaver(saver, {"/s"});
  ASSERT_TRUE(litWithin("HEADLESS-1", 15000)) << saver.errors;
  kill(sway, SIGKILL);
  waitpid(sway, nullptr, 0);
  sway = -1;
  EXPECT_EQ(saver.wait(1000), 1) << saver.errors;
  EXPECT_NE(saver.errors.find("starbloom: lost the connection to the Wayland display"), std::string::npos)
      << saver.errors;
  EXPECT_EQ(saver.errors.find('\n'), saver.errors.size() - 1) << saver.errors;

  // Forced onto Wayland with none there: one line, status 1.
  Saver forced;
  startSaver(forced, {"--platform", "wayland", "/s"}, {"WAYLAND_DISPLAY=wayland-none"});
  EXPECT_EQ(forced.wait(10000), 1) << forced.errors;
  EXPECT_EQ(forced.errors.find('\n'), forced.errors.size() - 1) << forced.errors;
}

} // namespace
} // namespace starbloom
