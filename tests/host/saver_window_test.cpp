// End-to-end tests of the saver on X: each test starts a private Xvfb (and,
// for two monitors, a nested Xephyr with Xinerama), runs the real program in
// it, looks at its windows and pixels with Xlib and sends input with
// xdotool. A private server per test keeps the grabs and full-screen windows
// of one test away from every other test running beside it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <stb_image.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource_data.h"

namespace starbloom {
namespace {

constexpr int SCREEN_W = 1280;
constexpr int SCREEN_H = 720;

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A server program started for a test, ended with it.
struct Server {
  pid_t pid = -1;
  std::string name; // ":N"

  // The server picks a free display itself and writes its number to a pipe
  // (-displayfd), so tests running side by side never race for one.
  bool start(const std::vector<std::string>& args, const char* display = nullptr) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid = fork();
    if (pid == 0) {
      if (display != nullptr) setenv("DISPLAY", display, 1);
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      std::vector<std::string> all = args;
      all.push_back("-displayfd");
      all.push_back(std::to_string(fds[1]));
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string number;
    for (int waited = 0; waited < 10000 && number.find('\n') == std::string::npos; waited += 20) {
      char buffer[16];
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n > 0) number.append(buffer, static_cast<std::size_t>(n));
      if (n <= 0) pause(20);
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return false;
    name = ":" + number.substr(0, number.find('\n'));
    return true;
  }
  ~Server() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

struct Saver {
  pid_t pid = -1;
  int status = 0;
  bool ended = false;
  std::string errors; // its stderr, read at the end

  int errorFd = -1;

  // The exit status, or -1 while it runs after timeoutMs.
  int wait(int timeoutMs) {
    for (int waited = 0; !ended; waited += 20) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      if (waited >= timeoutMs) return -1;
      pause(20);
    }
    char buffer[512];
    ssize_t n = 0;
    while (errorFd >= 0 && (n = read(errorFd, buffer, sizeof buffer)) > 0) errors.append(buffer, n);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  bool running() { return wait(0) == -1; }
  ~Saver() {
    if (pid > 0 && !ended) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (errorFd >= 0) close(errorFd);
  }
};

class SaverOnX : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/starbloom-x-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    configHome = pattern;
    ASSERT_TRUE(xvfb.start({"Xvfb", "-screen", "0", "1280x720x24", "-nolisten", "tcp"}))
        << "Xvfb did not start";
    display = XOpenDisplay(xvfb.name.c_str());
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    if (display != nullptr) XCloseDisplay(display);
    std::system(("rm -rf '" + configHome + "'").c_str());
  }

  // Starts the program on server (the test's Xvfb unless named), with extra
  // environment entries NAME=VALUE; NAME= alone removes the variable.
  void start(Saver& s, const std::vector<std::string>& args,
             const std::vector<std::string>& environment = {}, const std::string& server = "") {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    s.pid = fork();
    if (s.pid == 0) {
      setenv("DISPLAY", (server.empty() ? xvfb.name : server).c_str(), 1);
      setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
      setenv("STARBLOOM_MESSAGE_BOX", "stderr", 1);
      unsetenv("XSCREENSAVER_WINDOW");
      for (const std::string& e : environment) {
        const std::size_t eq = e.find('=');
        if (eq + 1 == e.size()) {
          unsetenv(e.substr(0, eq).c_str());
        } else {
          setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
      }
      dup2(pipeFds[1], 2);
      close(pipeFds[0]);
      std::vector<std::string> all = args;
      all.insert(all.begin(), STARBLOOM_BINARY_PATH);
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    s.errorFd = pipeFds[0];
  }

  void xdotool(const std::string& args) {
    const std::string command = "DISPLAY=" + xvfb.name + " xdotool " + args + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    XSync(display, False);
  }

  // Top-level (or child of parent) windows of the saver's class.
  std::vector<Window> saverWindows(Display* d, Window parent) {
    std::vector<Window> found;
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, parent, &root, &up, &children, &count) == 0) return found;
    for (unsigned i = 0; i < count; ++i) {
      XClassHint hint{};
      if (XGetClassHint(d, children[i], &hint) == 0) continue;
      if (hint.res_class != nullptr && std::strcmp(hint.res_class, "WindowsScreenSaverClass") == 0) {
        found.push_back(children[i]);
      }
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  Window waitForSaverWindow(Display* d, Window parent, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      const std::vector<Window> found = saverWindows(d, parent);
      if (!found.empty()) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, found[0], &a) != 0 && a.map_state == IsViewable) return found[0];
      }
      pause(50);
    }
    return 0;
  }

  Window makeWindow(int w, int h, bool overrideRedirect) {
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect ? True : False;
    a.background_pixel = WhitePixel(display, DefaultScreen(display));
    const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0,
                                        static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                        CopyFromParent, InputOutput, CopyFromParent,
                                        CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(display, window);
    XSync(display, False);
    pause(200);
    return window;
  }

  // Pixels of window as 0xRRGGBB, row by row.
  std::vector<unsigned> pixels(Display* d, Window window, int x, int y, int w, int h) {
    std::vector<unsigned> out;
    XImage* image = XGetImage(d, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                              AllPlanes, ZPixmap);
    if (image == nullptr) return out;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) out.push_back(static_cast<unsigned>(XGetPixel(image, i, j)) & 0xFFFFFFu);
    }
    XDestroyImage(image);
    return out;
  }

  int litPixels(const std::vector<unsigned>& p) {
    int lit = 0;
    for (unsigned v : p) lit += v != 0 ? 1 : 0;
    return lit;
  }

  // The preview picture as 0xRRGGBB.
  std::vector<unsigned> previewPicture() {
    std::vector<unsigned> out;
    const ResourceData* r = findResource(105);
    if (r == nullptr) return out;
    int w = 0, h = 0, n = 0;
    unsigned char* rgb = stbi_load_from_memory(r->bytes, static_cast<int>(r->size), &w, &h, &n, 3);
    if (rgb == nullptr) return out;
    for (int i = 0; i < w * h; ++i) {
      out.push_back((unsigned{rgb[3 * i]} << 16) | (unsigned{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2]);
    }
    stbi_image_free(rgb);
    return out;
  }

  Server xvfb;
  Display* display = nullptr;
  std::string configHome;
};

// /s: one override-redirect window of the screen's size, class
// "WindowsScreenSaverClass", title "Screen Saver"; a move of 4 pixels keeps
// it, 5 end it with status 0; a key or a click ends it; a second /s exits 0
// without a window of its own.
TEST_F(SaverOnX, FullScreenWindowEndsOnInputPastTheThreshold) {
  const char* endings[] = {"mousemove 603 302", "key a", "click 1", "click 3"};
  for (const char* ending : endings) {
    SCOPED_TRACE(ending);
    xdotool("mousemove 600 300");
    Saver saver;
    start(saver, {"/s"});
    const Window w = waitForSaverWindow(display, DefaultRootWindow(display));
    ASSERT_NE(w, 0u) << saver.errors;
    XWindowAttributes a{};
    ASSERT_NE(XGetWindowAttributes(display, w, &a), 0);
    EXPECT_TRUE(a.override_redirect);
    EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height}), std::vector<int>({0, 0, SCREEN_W, SCREEN_H}));
    char* title = nullptr;
    ASSERT_NE(XFetchName(display, w, &title), 0);
    EXPECT_STREQ(title, "Screen Saver");
    XFree(title);
    pause(500);
    xdotool("mousemove 603 301"); // |dx| + |dy| = 4: not enough
    if (std::strcmp(ending, "mousemove 603 302") == 0) {
      Saver second;
      start(second, {"/s"});
      EXPECT_EQ(second.wait(10000), 0) << second.errors;
      EXPECT_EQ(saverWindows(display, DefaultRootWindow(display)).size(), 1u);
    }
    pause(700);
    ASSERT_TRUE(saver.running());
    xdotool(ending);
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
    EXPECT_TRUE(saverWindows(display, DefaultRootWindow(display)).empty());
  }
}

// SIGTERM ends /s like a close request: status 0, grabs released, so that
// another client can grab the keyboard; no display: status 1 and one line.
TEST_F(SaverOnX, SigtermReleasesTheGrabsAndNoDisplayIsOneClearLine) {
  Saver saver;
  start(saver, {"/s"});
  ASSERT_NE(waitForSaverWindow(display, DefaultRootWindow(display)), 0u) << saver.errors;
  pause(500);
  EXPECT_NE(XGrabKeyboard(display, DefaultRootWindow(display), True, GrabModeAsync, GrabModeAsync,
                          CurrentTime),
            GrabSuccess);
  kill(saver.pid, SIGTERM);
  EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  EXPECT_EQ(XGrabKeyboard(display, DefaultRootWindow(display), True, GrabModeAsync, GrabModeAsync,
                          CurrentTime),
            GrabSuccess);
  XUngrabKeyboard(display, CurrentTime);

  Saver blind;
  start(blind, {"/s"}, {"DISPLAY="});
  EXPECT_EQ(blind.wait(10000), 1);
  EXPECT_NE(blind.errors.find("starbloom: "), std::string::npos) << blind.errors;
  EXPECT_EQ(blind.errors.find('\n'), blind.errors.size() - 1) << blind.errors;
}

// half: the drawing area is 1280 x 720 times 0.7072135785007072, centred;
// nothing is drawn outside it but the frames-per-second text.
TEST_F(SaverOnX, HalfDrawsOnlyInTheCentredArea) {
  Saver saver;
  start(saver, {"/s", "--set", "half=1"});
  const Window w = waitForSaverWindow(display, DefaultRootWindow(display));
  ASSERT_NE(w, 0u) << saver.errors;
  const int left = 187, top = 106, right = 187 + 905, bottom = 106 + 509;
  int insideLit = 0, outsideLit = 0;
  for (int shot = 0; shot < 8 && insideLit == 0; ++shot) {
    pause(1000);
    const std::vector<unsigned> p = pixels(display, DefaultRootWindow(display), 0, 0, SCREEN_W, SCREEN_H);
    ASSERT_EQ(p.size(), static_cast<std::size_t>(SCREEN_W * SCREEN_H));
    for (int y = 0; y < SCREEN_H; ++y) {
      for (int x = 0; x < SCREEN_W; ++x) {
        const bool lit = p[y * SCREEN_W + x] != 0;
        const bool inside = x >= left && x < right && y >= top && y < bottom;
        const bool text = x < 130 && y < 40;
        if (lit && inside) insideLit += 1;
        if (lit && !inside && !text) outsideLit += 1;
      }
    }
  }
  EXPECT_GT(insideLit, 0);
  EXPECT_EQ(outsideLit, 0);
  kill(saver.pid, SIGTERM);
  EXPECT_EQ(saver.wait(10000), 0);
}

// /p N and -lN inside a window of the test: the 100 x 100 picture at
// (25, 10), no OpenGL window, input ignored, the end with the parent; bad
// previews and unknown switches exit with 255.
TEST_F(SaverOnX, PreviewShowsThePictureIgnoresInputAndEndsWithItsParent) {
  const std::vector<unsigned> picture = previewPicture();
  ASSERT_EQ(picture.size(), 10000u) << "picture 105 is missing";
  const Window parent = makeWindow(300, 200, true);
  const std::string id = std::to_string(parent);
  Saver p, l;
  start(p, {"/p", id});
  start(l, {"-l" + id});
  pause(2500);
  const std::vector<Window> previews = saverWindows(display, parent);
  ASSERT_EQ(previews.size(), 2u) << p.errors << l.errors;
  for (const Window w : previews) {
    char* title = nullptr;
    XFetchName(display, w, &title);
    EXPECT_STREQ(title, "Preview");
    XFree(title);
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, w, &root, &up, &children, &count);
    EXPECT_EQ(count, 0u) << "an OpenGL window in a preview";
    if (children != nullptr) XFree(children);
  }
  EXPECT_EQ(pixels(display, parent, 25, 10, 100, 100), picture);
  EXPECT_EQ(litPixels(pixels(display, parent, 130, 120, 100, 60)), 0);
  xdotool("mousemove 50 50 click 1 key a mousemove 250 150");
  pause(800);
  EXPECT_TRUE(p.running() && l.running());
  XDestroyWindow(display, parent);
  XSync(display, False);
  EXPECT_EQ(p.wait(10000), 0) << p.errors;
  EXPECT_EQ(l.wait(10000), 0) << l.errors;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/p", "0"}, {"/p", "123456789"}, {"/p"}, {"/x"}, {"/a"}}) {
    Saver bad;
    start(bad, args);
    EXPECT_EQ(bad.wait(10000), 255) << args[0] << bad.errors;
  }
}

// Hosted: a screen-sized window named by XSCREENSAVER_WINDOW (decimal, then
// hex) gets fireworks, input does not end it, SIGTERM kills it; a small
// window gets the preview picture.
TEST_F(SaverOnX, HostedModeDrawsIntoTheHostsWindowAndDiesBySigterm) {
  const Window host = makeWindow(SCREEN_W, SCREEN_H, true);
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(host));
  for (const std::string& id : {std::to_string(host), std::string(hex)}) {
    SCOPED_TRACE(id);
    Saver saver;
    start(saver, {"--root"}, {"XSCREENSAVER_WINDOW=" + id});
    int lit = 0;
    for (int shot = 0; shot < 10 && lit == 0; ++shot) {
      pause(1000);
      lit = litPixels(pixels(display, host, 0, 100, SCREEN_W, SCREEN_H - 100));
    }
    EXPECT_GT(lit, 0) << saver.errors;
    if (id == std::to_string(host)) {
      // Resized by its host, the drawing window follows.
      XResizeWindow(display, host, 640, 360);
      XSync(display, False);
      pause(1000);
      Window root = 0, up = 0, *children = nullptr;
      unsigned count = 0;
      XQueryTree(display, host, &root, &up, &children, &count);
      ASSERT_EQ(count, 1u);
      XWindowAttributes a{};
      XGetWindowAttributes(display, children[0], &a);
      XFree(children);
      EXPECT_EQ(a.width * 10000 + a.height, 640 * 10000 + 360);
      XResizeWindow(display, host, SCREEN_W, SCREEN_H);
      XSync(display, False);
    }
    xdotool("mousemove 10 10 click 1 key a mousemove 600 400");
    pause(500);
    ASSERT_TRUE(saver.running()) << saver.errors;
    kill(saver.pid, SIGTERM);
    EXPECT_EQ(saver.wait(10000), 1000 + SIGTERM) << saver.errors;
  }
  // The host's window destroyed under a running saver: a quiet exit.
  XDestroyWindow(display, host);
  const Window again = makeWindow(SCREEN_W, SCREEN_H, true);
  Saver orphan;
  start(orphan, {"-window-id", std::to_string(again)});
  pause(3000);
  ASSERT_TRUE(orphan.running()) << orphan.errors;
  XDestroyWindow(display, again);
  XSync(display, False);
  EXPECT_EQ(orphan.wait(10000), 0);
  EXPECT_EQ(orphan.errors, "");

  const Window small = makeWindow(320, 240, true);
  Saver preview;
  start(preview, {"-window-id", std::to_string(small)});
  pause(2500);
  EXPECT_EQ(pixels(display, small, 25, 10, 100, 100), previewPicture());
  XDestroyWindow(display, small);
  XSync(display, False);
  EXPECT_EQ(preview.wait(10000), 0) << preview.errors;
}

// --window: a normal window, fireworks in it, input ignored but Esc and q.
TEST_F(SaverOnX, TryOutWindowEndsOnlyOnEscapeOrQ) {
  for (const char* ending : {"Escape", "q"}) {
    SCOPED_TRACE(ending);
    Saver saver;
    start(saver, {"--window", "480x360"});
    const Window w = waitForSaverWindow(display, DefaultRootWindow(display));
    ASSERT_NE(w, 0u) << saver.errors;
    XWindowAttributes a{};
    XGetWindowAttributes(display, w, &a);
    EXPECT_FALSE(a.override_redirect);
    EXPECT_EQ(a.width * 10000 + a.height, 480 * 10000 + 360);
    char* title = nullptr;
    XFetchName(display, w, &title);
    EXPECT_STREQ(title, "Starbloom");
    XFree(title);
    int lit = 0;
    for (int shot = 0; shot < 10 && lit == 0; ++shot) {
      pause(1000);
      lit = litPixels(pixels(display, w, 0, 60, 480, 300));
    }
    EXPECT_GT(lit, 0);
    xdotool("mousemove 100 100 click 1 key a mousemove 300 200");
    pause(500);
    ASSERT_TRUE(saver.running());
    xdotool(std::string("key ") + ending);
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  }
}

// Two monitors side by side (Xephyr with Xinerama on the test's Xvfb): the
// same scene in each, each in its own viewport, so the halves match (a
// picture stretched across both, or one half left black, would not).
TEST_F(SaverOnX, TwoMonitorsEachShowTheSceneInTheirOwnViewport) {
  Server nested;
  ASSERT_TRUE(nested.start({"Xephyr", "+xinerama", "-screen", "640x480", "-screen", "640x480",
                            "-nolisten", "tcp", "-ac"},
                           xvfb.name.c_str()))
      << "Xephyr did not start";
  Display* inner = XOpenDisplay(nested.name.c_str());
  ASSERT_NE(inner, nullptr);
  ASSERT_EQ(DisplayWidth(inner, DefaultScreen(inner)), 1280);
  Saver saver;
  start(saver, {"/s"}, {}, nested.name);
  ASSERT_NE(waitForSaverWindow(inner, DefaultRootWindow(inner)), 0u) << saver.errors;
  int leftLit = 0, rightLit = 0, differ = 0;
  for (int shot = 0; shot < 10 && (leftLit == 0 || rightLit == 0); ++shot) {
    pause(1000);
    const std::vector<unsigned> p = pixels(inner, DefaultRootWindow(inner), 0, 0, 1280, 480);
    ASSERT_EQ(p.size(), 1280u * 480u);
    leftLit = rightLit = differ = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        const unsigned a = p[y * 1280 + x], b = p[y * 1280 + 640 + x];
        leftLit += a != 0;
        rightLit += b != 0;
        if (a != b && !(x < 130 && y < 40)) differ += 1;
      }
    }
  }
  EXPECT_GT(leftLit, 0) << saver.errors;
  EXPECT_GT(rightLit, 0);
  // The same picture, one viewport 640 pixels further right: the rasteriser
  // may round an edge pixel or two differently there.
  EXPECT_LE(differ, 10 + leftLit / 100);
  kill(saver.pid, SIGTERM);
  EXPECT_EQ(saver.wait(10000), 0);
  XCloseDisplay(inner);
}

} // namespace
} // namespace starbloom
