// End-to-end tests of the saver on X: each test starts a private Xvfb (and,
// for two monitors, a nested Xephyr with Xinerama), runs the real program in
// it, looks at its windows and pixels with Xlib and sends input with
// xdotool (see x_test_server.h).
#include "host/x_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace starbloom {
namespace {

class SaverOnX : public XTestServer {};

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

// CPU seconds a process has used, all its threads, user and system.
double cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2)); // the name may hold blanks
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stod(field); // utime, stime
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Nobody sees a window that another covers whole: /s draws nothing then,
// and draws again once the cover is unmapped. Its own CPU time tells, since
// drawing on llvmpipe costs far more than waiting.
TEST_F(SaverOnX, FullScreenDrawsNothingWhileCovered) {
  Saver saver;
  start(saver, {"/s"});
  ASSERT_NE(waitForSaverWindow(display, DefaultRootWindow(display)), 0u) << saver.errors;
  pause(1000);
  const auto usedInTwoSeconds = [&] {
    const double before = cpuSeconds(saver.pid);
    pause(2000);
    return cpuSeconds(saver.pid) - before;
  };
  const double drawing = usedInTwoSeconds();
  const Window cover = makeWindow(SCREEN_W, SCREEN_H, true);
  const double covered = usedInTwoSeconds();
  XUnmapWindow(display, cover);
  XSync(display, False);
  pause(200);
  const double uncovered = usedInTwoSeconds();
  EXPECT_GT(drawing, 0.1);
  EXPECT_LT(covered, drawing / 5) << "drawing " << drawing;
  EXPECT_GT(uncovered, drawing / 5) << "covered " << covered;
  ASSERT_TRUE(saver.running()) << saver.errors;
  kill(saver.pid, SIGTERM);
  EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  XDestroyWindow(display, cover);
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
// hex) gets fireworks, input does not end it, SIGTERM kills it; so does a
// small one, a settings program's preview pane.
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
      // Grown again, the picture covers the whole window: the part the
      // small one left out is mostly the OpenGL window's black, not the
      // host's white background.
      XResizeWindow(display, host, SCREEN_W, SCREEN_H);
      XSync(display, False);
      pause(1000);
      const std::vector<unsigned> grown = pixels(display, host, 640, 360, 640, 360);
      EXPECT_GT(std::count(grown.begin(), grown.end(), 0u), 640 * 360 / 2);
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

  // A settings program's preview pane: moving fireworks, lit beyond the
  // still picture's corner; /p in the same window shows the picture.
  const Window pane = makeWindow(640, 360, true);
  Saver hosted;
  start(hosted, {"--root", "-window-id", std::to_string(pane)});
  const auto sky = [](const std::vector<unsigned>& p, bool lit) { // the pane's own white is neither
    return std::count_if(p.begin(), p.end(), [lit](unsigned v) { return v != 0xFFFFFFu && (v != 0) == lit; });
  };
  std::vector<unsigned> before, after;
  long litBeyond = 0;
  for (int shot = 0; shot < 10 && (litBeyond == 0 || before == after); ++shot) {
    before = pixels(display, pane, 0, 0, 640, 360);
    pause(1000);
    after = pixels(display, pane, 0, 0, 640, 360);
    litBeyond = sky(pixels(display, pane, 0, 120, 640, 240), true) +
                sky(pixels(display, pane, 130, 0, 510, 120), true);
  }
  EXPECT_GT(litBeyond, 0) << hosted.errors;
  EXPECT_GT(sky(after, false), 640 * 360 / 2) << "the night sky covers the pane";
  EXPECT_TRUE(before != after) << "the fireworks do not move";
  kill(hosted.pid, SIGTERM);
  EXPECT_EQ(hosted.wait(10000), 1000 + SIGTERM) << hosted.errors;
  Saver preview;
  start(preview, {"/p", std::to_string(pane)});
  pause(2500);
  EXPECT_EQ(pixels(display, pane, 25, 10, 100, 100), previewPicture());
  XDestroyWindow(display, pane);
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
