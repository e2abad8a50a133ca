#pragma once
// A private X server per test and the saver run in it: the server (Xvfb, or
// Xephyr nested in one) picks a free display itself, the program runs with a
// scratch settings folder and its stderr on a pipe, and the fixture looks at
// windows and pixels with Xlib and sends input with xdotool. A private server
// per test keeps the grabs and full-screen windows of one test away from
// every other test running beside it.
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

constexpr int SCREEN_W = 1280;
constexpr int SCREEN_H = 720;

inline void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
  // Ends the server with signal and waits for it.
  void stop(int signal = SIGTERM) {
    if (pid <= 0) return;
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  ~Server() { stop(); }
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

class XTestServer : public ::testing::Test {
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

} // namespace starbloom
