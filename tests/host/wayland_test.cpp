// End-to-end tests of the saver on Wayland, on a private headless sway or
// weston (sway_test_server.h).
#include "host/sway_test_server.h"

#include <algorithm>
#include <cstdlib>

namespace starbloom {
namespace {

// The wl_shm formats of the buffers that a WAYLAND_DEBUG log shows made
// (the last argument of each create_buffer request).
std::vector<long> bufferFormats(const std::string& log) {
  std::vector<long> formats;
  for (std::size_t at = log.find(".create_buffer("); at != std::string::npos;
       at = log.find(".create_buffer(", at + 1)) {
    const std::size_t close = log.find(')', at);
    const std::size_t comma = log.rfind(',', close);
    if (close == std::string::npos || comma == std::string::npos || comma < at) break;
    formats.push_back(std::strtol(log.c_str() + comma + 1, nullptr, 10));
  }
  return formats;
}

constexpr long WL_SHM_XRGB8888 = 1;

// Full screen made of layer-shell surfaces (sway offers them), and of
// xdg-shell full-screen toplevels when asked for, as on a compositor
// without layer-shell.
class SaverOnWaylandShells : public SaverOnWayland, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Shells, SaverOnWaylandShells, ::testing::Values("layer", "xdg"));

// Full screen on two outputs, both drawn with opaque 8-bit buffers, and on
// a third plugged in while it runs; as layer surfaces it stays over a
// window opened after it; a second /s leaves at once; the pointer ends it
// past 4 pixels, and a key, a click and SIGTERM end it too, each with
// status 0. Each input is sent once the saver has what it needs (the
// pointer or the keyboard on its surface), as its WAYLAND_DEBUG log shows.
TEST_P(SaverOnWaylandShells, FullScreenOnEveryOutputEndsOnInputAndSignals) {
  const std::string shell = GetParam();
  const std::vector<std::string> fullScreen = {"--wayland-shell", shell, "/s"};
  ASSERT_EQ(run({"swaymsg", "create_output"}), 0);
  addPointer();
  addKeyboard();
  run({"swaymsg", "seat", "seat0", "cursor", "set", "640", "360"});
  {
    Saver saver;
    startSaver(saver, fullScreen, {"WAYLAND_DEBUG=1"});
    EXPECT_TRUE(litWithin("HEADLESS-1", 15000)) << tail(saver.errors);
    EXPECT_TRUE(litWithin("HEADLESS-2", 15000)) << tail(saver.errors);
    readLog(saver);
    const bool layered = saver.errors.find("zwlr_layer_shell_v1@") != std::string::npos &&
                         saver.errors.find(".get_layer_surface(") != std::string::npos;
    EXPECT_EQ(layered, shell == "layer") << tail(saver.errors);
    EXPECT_EQ(saver.errors.find(".set_fullscreen(") != std::string::npos, shell == "xdg");
    if (shell == "layer") {
      // A window opened over full screen stays under it: where it lies, the
      // outputs still show the night sky.
      const pid_t window = openPlainWindow();
      EXPECT_GT(window, 0);
      EXPECT_GT(std::min(blackShareUnderTitle("HEADLESS-1"), blackShareUnderTitle("HEADLESS-2")), 0.9);
      kill(window, SIGTERM);
      waitpid(window, nullptr, 0);
    }
    // An output plugged in gets a surface of its own; one taken away loses
    // its surface, and the saver goes on.
    ASSERT_EQ(run({"swaymsg", "create_output"}), 0);
    EXPECT_TRUE(litWithin("HEADLESS-3", 15000)) << tail(saver.errors);
    ASSERT_EQ(run({"swaymsg", "output", "HEADLESS-3", "disable"}), 0);
    pause(500);
    ASSERT_TRUE(saver.running()) << tail(saver.errors);
    // Three surfaces, each opaque, their buffers XRGB8888.
    readLog(saver);
    std::size_t opaque = 0;
    for (std::size_t at = saver.errors.find(".set_opaque_region(wl_region@"); at != std::string::npos;
         at = saver.errors.find(".set_opaque_region(wl_region@", at + 1)) {
      ++opaque;
    }
    EXPECT_GE(opaque, 3u);
    const std::vector<long> formats = bufferFormats(saver.errors);
    EXPECT_FALSE(formats.empty());
    EXPECT_EQ(std::count(formats.begin(), formats.end(), WL_SHM_XRGB8888), static_cast<long>(formats.size()))
        << "a buffer is not XRGB8888 (format " << (formats.empty() ? -1 : formats[0]) << ")";
    Saver second;
    startSaver(second, fullScreen);
    EXPECT_EQ(second.wait(10000), 0) << second.errors;
    // The pointer's position on the saver is the reference of the moves
    // that follow. A 3-pixel move keeps it: it goes on drawing afterwards.
    ASSERT_TRUE(waitForEntry(saver, "wl_pointer")) << tail(saver.errors);
    std::size_t mark = saver.errors.size();
    run({"swaymsg", "seat", "seat0", "cursor", "move", "3", "0"});
    ASSERT_TRUE(logShows(saver, ".motion(", mark)) << tail(saver.errors);
    mark = saver.errors.find(".motion(", mark);
    EXPECT_TRUE(logShows(saver, ".commit()", mark)) << "a 3-pixel move ended it: " << tail(saver.errors);
    run({"swaymsg", "seat", "seat0", "cursor", "move", "10", "0"});
    EXPECT_EQ(saver.wait(10000), 0) << tail(saver.errors);
  }
  struct Ending {
    const char* name;
    const char* device; // what must be on the saver first
    std::vector<std::string> client;
  };
  const Ending endings[] = {
      {"a key", "wl_keyboard", {"wtype", "a"}},
      {"a click", "wl_pointer", {"swaymsg", "seat", "seat0", "cursor", "press", "button1"}},
  };
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.name);
    Saver saver;
    startSaver(saver, fullScreen, {"WAYLAND_DEBUG=1"});
    ASSERT_TRUE(waitForEntry(saver, e.device)) << tail(saver.errors);
    run(e.client);
    if (e.client[0] == "swaymsg") run({"swaymsg", "seat", "seat0", "cursor", "release", "button1"});
    EXPECT_EQ(saver.wait(10000), 0) << tail(saver.errors);
  }
  // SIGTERM ends it at once, not after a frame or a timeout that never
  // comes: gone within 3 s even on a loaded machine, under the sanitizers.
  Saver saver;
  startSaver(saver, fullScreen, {"WAYLAND_DEBUG=1"});
  // Its first frame (the outputs may still show the last saver's).
  ASSERT_TRUE(logShows(saver, ".attach(wl_buffer@")) << tail(saver.errors);
  kill(saver.pid, SIGTERM);
  EXPECT_EQ(saver.wait(3000), 0) << tail(saver.errors);
}

// The wallpaper started as swaylock-plugin starts its background: the
// connection handed down in WAYLAND_SOCKET, no WAYLAND_DISPLAY or DISPLAY.
// It lights both outputs, no input ends it, a window opened over it covers
// it, and the compositor closing ends it with status 0 and not a word;
// --output keeps it to one output, and an output the locker names that is
// not there is one line and status 1.
TEST_F(SaverOnWayland, WallpaperHandedDownByALockerStaysUnderWindowsUntilTheEnd) {
  ASSERT_EQ(run({"swaymsg", "create_output"}), 0);
  addPointer();
  addKeyboard();
  // The cursor where "lit" does not look (the top quarter), since nothing
  // hides it over a wallpaper.
  run({"swaymsg", "seat", "seat0", "cursor", "set", "10", "10"});
  // The locker's way: WAYLAND_SOCKET names a connection made for the plugin.
  auto startHandedDown = [&](Saver& saver, std::vector<std::string> args, std::vector<std::string> extra) {
    const int connection = connectToCompositor();
    ASSERT_GE(connection, 0);
    extra.insert(extra.end(), {"WAYLAND_SOCKET=" + std::to_string(connection), "WAYLAND_DISPLAY", "DISPLAY"});
    startSaver(saver, args, extra);
    close(connection);
  };
  {
    Saver wallpaper;
    startHandedDown(wallpaper, {"--wallpaper"}, {"WAYLAND_DEBUG=1"});
    EXPECT_TRUE(litWithin("HEADLESS-1", 15000)) << tail(wallpaper.errors);
    EXPECT_TRUE(litWithin("HEADLESS-2", 15000)) << tail(wallpaper.errors);
    ASSERT_TRUE(waitForEntry(wallpaper, "wl_pointer")) << tail(wallpaper.errors);
    std::size_t mark = wallpaper.errors.size();
    run({"wtype", "a"});
    run({"swaymsg", "seat", "seat0", "cursor", "move", "10", "0"});
    ASSERT_TRUE(logShows(wallpaper, ".motion(", mark)) << tail(wallpaper.errors);
    mark = wallpaper.errors.find(".motion(", mark);
    EXPECT_TRUE(logShows(wallpaper, ".commit()", mark)) << "input ended it: " << tail(wallpaper.errors);
    // A window covers it where it opens: its title bar shows, not the sky.
    const pid_t window = openPlainWindow();
    EXPECT_GT(window, 0);
    EXPECT_LT(std::min(blackShareUnderTitle("HEADLESS-1"), blackShareUnderTitle("HEADLESS-2")), 0.5);
    kill(window, SIGTERM);
    waitpid(window, nullptr, 0);
    ASSERT_TRUE(wallpaper.running()) << tail(wallpaper.errors);
    kill(wallpaper.pid, SIGTERM);
    EXPECT_EQ(wallpaper.wait(10000), 0) << tail(wallpaper.errors);
  }
  // One output only: the other keeps sway's grey.
  for (int waited = 0; waited < 15000 && litPixels("HEADLESS-1") != 0; waited += 200) pause(200);
  Saver one;
  startHandedDown(one, {"--wallpaper", "--output", "HEADLESS-2"}, {});
  EXPECT_TRUE(litWithin("HEADLESS-2", 15000)) << one.errors;
  EXPECT_EQ(litPixels("HEADLESS-1"), 0);
  // An output the locker names that is not there: one line, status 1.
  Saver unknown;
  startHandedDown(unknown, {"--wallpaper"}, {"SWAYLOCK_PLUGIN_OUTPUT_NAME=HEADLESS-9"});
  EXPECT_EQ(unknown.wait(10000), 1) << unknown.errors;
  EXPECT_NE(unknown.errors.find("'HEADLESS-9'"), std::string::npos) << unknown.errors;
  EXPECT_EQ(unknown.errors.find('\n'), unknown.errors.size() - 1) << unknown.errors;
  kill(sway, SIGTERM);
  waitpid(sway, nullptr, 0);
  sway = -1;
  EXPECT_EQ(one.wait(10000), 0) << one.errors;
  EXPECT_EQ(one.errors, "");
}

// The try-out window asks for the compositor's title bar and borders, is
// opaque, keeps going on a key and ends on Esc; the compositor going away
// ends full screen with one line and status 1 within a second.
TEST_F(SaverOnWayland, TryOutEndsOnEscapeAndALostCompositorIsOneLine) {
  addKeyboard();
  Saver window;
  startSaver(window, {"--window", "640x480"}, {"WAYLAND_DEBUG=1"});
  EXPECT_TRUE(litWithin("HEADLESS-1", 15000)) << tail(window.errors);
  ASSERT_TRUE(waitForEntry(window, "wl_keyboard")) << tail(window.errors);
  // The title bar and borders asked of the compositor (mode 2: server side).
  ASSERT_TRUE(logShows(window, ".set_mode(2)")) << "no decoration asked for: " << tail(window.errors);
  const std::size_t mode = window.errors.find(".set_mode(2)");
  EXPECT_NE(window.errors.rfind("-> zxdg_toplevel_decoration_v1@", mode), std::string::npos);
  EXPECT_NE(window.errors.find(".set_opaque_region(wl_region@"), std::string::npos);
  std::size_t mark = window.errors.size();
  run({"wtype", "a"});
  ASSERT_TRUE(logShows(window, ".key(", mark)) << tail(window.errors);
  mark = window.errors.find(".key(", mark);
  EXPECT_TRUE(logShows(window, ".commit()", mark)) << "a key ended it: " << tail(window.errors);
  run({"wtype", "-k", "Escape"});
  EXPECT_EQ(window.wait(10000), 0) << tail(window.errors);

  // Lit again once the window's picture has gone: the saver has drawn.
  for (int waited = 0; waited < 15000 && litPixels("HEADLESS-1") != 0; waited += 200) pause(200);
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

// weston draws no title bars for its clients: the try-out window has
// libdecor's (subsurfaces of the window: the bar and its shadow), its own
// buffers are XRGB8888, and SIGTERM ends it with status 0. weston offers no
// layer-shell either: the wallpaper says so in one line, status 1.
class SaverOnWeston : public SaverOnWayland {
 protected:
  SaverOnWeston() { onWeston = true; }
};

TEST_F(SaverOnWeston, TryOutWindowHasLibdecorsTitleBarAndThereIsNoWallpaper) {
  Saver wallpaper;
  startSaver(wallpaper, {"--wallpaper"});
  EXPECT_EQ(wallpaper.wait(10000), 1) << wallpaper.errors;
  EXPECT_NE(wallpaper.errors.find("layer-shell"), std::string::npos) << wallpaper.errors;
  EXPECT_EQ(wallpaper.errors.find('\n'), wallpaper.errors.size() - 1) << wallpaper.errors;

  Saver window;
  startSaver(window, {"--window", "640x480"}, {"WAYLAND_DEBUG=1"});
  // The window's own first buffer, after the title bar's.
  ASSERT_TRUE(logShows(window, ", 640, 480, 2560, 1)")) << "no 640x480 XRGB8888 buffer: " << tail(window.errors);
  EXPECT_NE(window.errors.find("set_title(\"Starbloom\")"), std::string::npos);
  EXPECT_NE(window.errors.find(".get_subsurface("), std::string::npos) << "no title bar";
  EXPECT_EQ(window.errors.find(".get_toplevel_decoration("), std::string::npos);
  EXPECT_EQ(window.errors.find(", 640, 480, 2560, 0)"), std::string::npos) << "a 640x480 buffer with alpha";
  kill(window.pid, SIGTERM);
  EXPECT_EQ(window.wait(10000), 0) << tail(window.errors);
}

} // namespace
} // namespace starbloom
