// End-to-end tests of the configuration dialogs: each test starts a private
// Xvfb, runs the real program in it with a scratch settings folder, finds
// the dialogs by their captions and clicks their controls with xdotool at
// the places the templates give, converted with the program's own
// dialog-unit conversion and the font measurements that the window's size
// gives away.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/config_dialog_model.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace starbloom {
namespace {

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A child process with its stderr on a pipe, killed if the test leaves it.
struct Child {
  pid_t pid = -1;
  int errorFd = -1;
  std::string errors;
  int endSignal = SIGKILL; // sent if it still runs at the end of the test

  // Runs args with the given NAME=VALUE environment entries added; stdout
  // goes nowhere.
  void start(std::vector<std::string> args, const std::vector<std::string>& environment) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid = fork();
    if (pid == 0) {
      for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(fds[1], 2);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    errorFd = fds[0];
  }
  // The exit status, or -1 while it still runs after timeoutMs.
  int wait(int timeoutMs) {
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) != pid; waited += 20) {
      if (waited >= timeoutMs) return -1;
      pause(20);
    }
    pid = -1;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(errorFd, buffer, sizeof buffer)) > 0) errors.append(buffer, static_cast<std::size_t>(n));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  ~Child() {
    if (pid > 0) {
      kill(pid, endSignal);
      waitpid(pid, nullptr, 0);
    }
    if (errorFd >= 0) close(errorFd);
  }
};

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}

class ConfigDialogOnX : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/starbloom-dialog-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    configHome = pattern;
    settingsPath = configHome + "/starbloom/Sbconfig.ini";
    // Xvfb picks a free display and writes its number to a pipe
    // (-displayfd), so tests running side by side never race for one.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    xvfb.endSignal = SIGTERM;
    xvfb.pid = fork();
    if (xvfb.pid == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-screen", "0", "1280x720x24", "-nolisten", "tcp", "-displayfd",
             fd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    xvfb.errorFd = fds[0];
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    displayName = ":" + number;
    display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    if (display != nullptr) XCloseDisplay(display);
    std::system(("chmod -R u+w '" + configHome + "'; rm -rf '" + configHome + "'").c_str());
  }

  void startDialog(Child& program, const std::string& args) {
    std::vector<std::string> all = {STARBLOOM_BINARY_PATH};
    if (!args.empty()) all.push_back(args);
    program.start(all, {"DISPLAY=" + displayName, "XDG_CONFIG_HOME=" + configHome,
                        "STARBLOOM_MESSAGE_BOX=stderr"});
  }

  // The viewable top-level window with that title, waiting for it.
  Window waitForTitle(const char* title, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      Window root = 0, up = 0, *children = nullptr;
      unsigned count = 0;
      Window found = 0;
      XQueryTree(display, DefaultRootWindow(display), &root, &up, &children, &count);
      for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        XWindowAttributes a{};
        if (XFetchName(display, children[i], &name) != 0 && std::strcmp(name, title) == 0 &&
            XGetWindowAttributes(display, children[i], &a) != 0 && a.map_state == IsViewable) {
          found = children[i];
        }
        XFree(name);
      }
      if (children != nullptr) XFree(children);
      if (found != 0) return found;
      pause(50);
    }
    return 0;
  }

  PixelRect placeOf(Window window) {
    XWindowAttributes a{};
    XGetWindowAttributes(display, window, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return PixelRect{x, y, a.width, a.height};
  }

  // The dialog font's measurements, found from the window's size: each
  // character width and height gives a different size.
  DialogFontMetrics fontOf(Window window, const DialogTemplate& dialog) {
    const PixelRect place = placeOf(window);
    DialogFontMetrics font;
    for (int width = 1; width < 40; ++width) {
      for (int height = 1; height < 60; ++height) {
        const PixelRect size =
            dialogUnitsToPixels({width, height}, DialogRect{0, 0, dialog.width, dialog.height});
        if (size.w == place.w && size.h == place.h) font = DialogFontMetrics{width, height};
      }
    }
    return font;
  }

  void click(Window window, const DialogTemplate& dialog, int id) {
    const DialogFontMetrics font = fontOf(window, dialog);
    ASSERT_GT(font.charWidth, 0) << dialog.caption;
    const int index = controlIndex(dialog, id);
    ASSERT_GE(index, 0) << id;
    const PixelRect place = placeOf(window);
    const PixelRect r = dialogUnitsToPixels(font, dialog.controls[index].rect);
    const std::string command = "DISPLAY=" + displayName + " xdotool mousemove --sync " +
                                std::to_string(place.x + r.x + r.w / 2) + " " +
                                std::to_string(place.y + r.y + r.h / 2) + " click 1 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    pause(150);
  }

  Window transientFor(Window window) {
    Window owner = 0;
    return XGetTransientForHint(display, window, &owner) != 0 ? owner : 0;
  }

  Child xvfb;
  std::string displayName;
  Display* display = nullptr;
  std::string configHome;
  std::string settingsPath;
};


// "/c" opens the dialog centred on the screen, with no owner; "Texture"
// cleared and "OK" write the eight keys in their order and end it with 0.
TEST_F(ConfigDialogOnX, OkWritesTheEightKeys) {
  Child program;
  startDialog(program, "/c");
  const Window dialog = waitForTitle("STARBLOOM v1.60 (OPENGL)");
  ASSERT_NE(dialog, 0u);
  const PixelRect place = placeOf(dialog);
  EXPECT_NEAR(place.x + place.w / 2.0, 640, 1);
  EXPECT_NEAR(place.y + place.h / 2.0, 360, 1);
  EXPECT_EQ(transientFor(dialog), 0u);
  click(dialog, CONFIG_DIALOG, 1000); // "Texture"
  EXPECT_EQ(readFile(settingsPath), "<missing>");
  click(dialog, CONFIG_DIALOG, 1005); // "OK"
  EXPECT_EQ(program.wait(10000), 0) << program.errors;
  EXPECT_EQ(readFile(settingsPath),
            "[param]\ntex=0\nblur=1\nliner=0\nblight=1\ndetail=2\nttime=10\nbig=0\nhalf=0\n");
}

// "/c:N" makes the dialog transient for window N; "More" opens "MORE ",
// owned by the dialog, around the mouse; "Cancel" in both writes nothing.
TEST_F(ConfigDialogOnX, MoreOpensOwnedAndCancelWritesNothing) {
  const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 50, 50, 0, 0, 0);
  XMapWindow(display, owner);
  XSync(display, False);
  Child program;
  startDialog(program, "/c:" + std::to_string(owner));
  const Window dialog = waitForTitle("STARBLOOM v1.60 (OPENGL)");
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(transientFor(dialog), owner);
  click(dialog, CONFIG_DIALOG, 1026); // "More"
  const Window more = waitForTitle("MORE ");
  ASSERT_NE(more, 0u);
  EXPECT_EQ(transientFor(more), dialog);
  Window root = 0, child = 0;
  int mouseX = 0, mouseY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &root, &child, &mouseX, &mouseY, &x, &y, &mask);
  const PixelRect place = placeOf(more);
  EXPECT_NEAR(place.x + place.w / 2.0, mouseX, 1); // "More" is far enough from the edges
  EXPECT_NEAR(place.y + place.h / 2.0, mouseY, 1);
  click(more, MORE_DIALOG, 2); // "Cancel"
  for (int waited = 0; waited < 5000 && waitForTitle("MORE ", 0) != 0; waited += 50) pause(50);
  EXPECT_EQ(waitForTitle("MORE ", 0), 0u);
  click(dialog, CONFIG_DIALOG, 1006); // "Cancel"
  EXPECT_EQ(program.wait(10000), 0) << program.errors;
  struct stat st;
  EXPECT_NE(stat((configHome + "/starbloom").c_str(), &st), 0) << "nothing is written";
}

// A settings file that cannot be replaced: "OK" says so on stderr (the
// message box's unattended mode) with the file and the reason, the file
// keeps its bytes, and the dialog still ends with 0. An owner that does
// not exist leaves the dialog without one.
TEST_F(ConfigDialogOnX, FailedSaveNamesTheFileAndKeepsIt) {
  ASSERT_EQ(mkdir((configHome + "/starbloom").c_str(), 0700), 0);
  const std::string before = "; mine\n[param]\ntex=1\nttime=7\n";
  { std::ofstream(settingsPath) << before; }
  ASSERT_EQ(chmod(settingsPath.c_str(), 0444), 0);
  Child program;
  startDialog(program, "/c:4242");
  const Window dialog = waitForTitle("STARBLOOM v1.60 (OPENGL)");
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(transientFor(dialog), 0u);
  click(dialog, CONFIG_DIALOG, 1000); // "Texture"
  click(dialog, CONFIG_DIALOG, 1005); // "OK"
  EXPECT_EQ(program.wait(10000), 0) << program.errors;
  EXPECT_NE(program.errors.find(settingsPath), std::string::npos) << program.errors;
  EXPECT_NE(program.errors.find("Permission denied"), std::string::npos) << program.errors;
  EXPECT_EQ(readFile(settingsPath), before);
}

// Without an owner that exists, the foreground window owns the dialog: the
// window manager's active window, else the focus window, else none.
TEST_F(ConfigDialogOnX, ForegroundWindowOwnsADialogWithoutAnOwner) {
  const Window active = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 50, 50, 0, 0, 0);
  const Window focus = XCreateSimpleWindow(display, DefaultRootWindow(display), 60, 0, 50, 50, 0, 0, 0);
  XMapWindow(display, active);
  XMapWindow(display, focus);
  XSync(display, False);
  const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  const Window missing = 4242;
  struct Case {
    std::string args;
    Window active;    // _NET_ACTIVE_WINDOW, 0: not set
    Window focus;     // the input focus, 0: PointerRoot
    Window expected;  // the dialog's owner
  };
  const Case cases[] = {
      {"/c", active, focus, active},
      {"/c:0", 0, focus, focus},
      {"/c:4242", missing, focus, focus},
      {"/c:" + std::to_string(focus), active, 0, focus},
      {"/c:4242", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args + " active " + std::to_string(c.active) + " focus " + std::to_string(c.focus));
    if (c.active != 0) {
      XChangeProperty(display, DefaultRootWindow(display), activeAtom, XA_WINDOW, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&c.active), 1);
    } else {
      XDeleteProperty(display, DefaultRootWindow(display), activeAtom);
    }
    XSetInputFocus(display, c.focus != 0 ? c.focus : PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    Child program;
    startDialog(program, c.args);
    const Window dialog = waitForTitle("STARBLOOM v1.60 (OPENGL)");
    ASSERT_NE(dialog, 0u) << program.errors;
    EXPECT_EQ(transientFor(dialog), c.expected);
    kill(program.pid, SIGTERM);
    program.wait(10000);
    for (int waited = 0; waited < 5000 && waitForTitle("STARBLOOM v1.60 (OPENGL)", 0) != 0; waited += 50) {
      pause(50);
    }
  }
}

// A server that resets when its last client leaves (Xvfb's default) must
// still get the dialog every time: the program opens one connection and
// keeps it. The test holds no connection while the program starts.
TEST_F(ConfigDialogOnX, OpensOnAServerWithNoOtherClient) {
  XCloseDisplay(display);
  display = nullptr;
  for (int launch = 0; launch < 30; ++launch) {
    SCOPED_TRACE("launch " + std::to_string(launch));
    pause(300); // the server's reset after the last client left
    Child program;
    startDialog(program, "/c");
    const int early = program.wait(1000);
    ASSERT_EQ(early, -1) << program.errors;
    display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr);
    EXPECT_NE(waitForTitle("STARBLOOM v1.60 (OPENGL)"), 0u) << program.errors;
    kill(program.pid, SIGTERM);
    program.wait(10000);
    XCloseDisplay(display);
    display = nullptr;
  }
}

} // namespace
} // namespace starbloom
