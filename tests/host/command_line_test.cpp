#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/command_line.h"

namespace starbloom {
namespace {

LaunchOptions parse(std::vector<std::string> args) {
  std::vector<const char*> argv{"starbloom"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parseLaunchOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, RenderOptions) {
  const LaunchOptions o =
      parse({"--render", "out.png", "--size", "640x480", "--seconds", "2.5", "--fps", "30",
             "--seed", "4294967295", "--set", "lens=1", "--set", "detail=4"});
  ASSERT_EQ(o.mode, LaunchMode::Render);
  EXPECT_EQ(o.output, "out.png");
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_DOUBLE_EQ(o.seconds, 2.5);
  EXPECT_DOUBLE_EQ(o.fps, 30.0);
  EXPECT_TRUE(o.haveSeed);
  EXPECT_EQ(o.seed, 4294967295u);
  ASSERT_EQ(o.overrides.size(), 2u);
  EXPECT_EQ(o.overrides[1], "detail=4");

  const LaunchOptions defaults = parse({"--bench"});
  ASSERT_EQ(defaults.mode, LaunchMode::Bench);
  EXPECT_EQ(defaults.width, 1280);
  EXPECT_EQ(defaults.height, 720);
  EXPECT_DOUBLE_EQ(defaults.seconds, 10.0);
  EXPECT_DOUBLE_EQ(defaults.fps, 60.0);
  EXPECT_FALSE(defaults.haveSeed);
}

TEST(CommandLine, SaverSwitchesPassThroughJoinedByBlanks) {
  const LaunchOptions o = parse({"/p", "12345", "--set", "move=0"});
  EXPECT_EQ(o.mode, LaunchMode::Saver);
  EXPECT_EQ(o.saverCommandLine, "/p 12345");
  EXPECT_EQ(parse({}).saverCommandLine, "");
  EXPECT_EQ(parse({"--help"}).mode, LaunchMode::Help);
  EXPECT_EQ(parse({"--version", "/s"}).mode, LaunchMode::Version);
}

// Hosted mode takes -root or -window-id (decimal or hex; the id wins),
// --window an optional size, --wallpaper an output (Wayland only); none of
// them takes saver switches. The edits of XScreenSaver's list stand alone.
// --wayland-shell goes with any mode.
TEST(CommandLine, HostedTryOutAndWallpaperModes) {
  const struct {
    std::vector<std::string> args;
    LaunchMode mode;
    bool haveId;
    unsigned long id;
    int width, height;
  } cases[] = {
      {{"-root"}, LaunchMode::Hosted, false, 0, 1280, 720},
      {{"--root", "--set", "lens=1"}, LaunchMode::Hosted, false, 0, 1280, 720},
      {{"-window-id", "0x2a00007"}, LaunchMode::Hosted, true, 0x2a00007, 1280, 720},
      {{"--root", "--window-id", "4242"}, LaunchMode::Hosted, true, 4242, 1280, 720},
      {{"--window"}, LaunchMode::Window, false, 0, 1280, 720},
      {{"--window", "800x600"}, LaunchMode::Window, false, 0, 800, 600},
      {{"--window", "--set", "half=1"}, LaunchMode::Window, false, 0, 1280, 720},
      {{"-window-id", "0"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"-window-id", "0x100000000"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"-window-id", "12ab"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"-window-id"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--window", "0x600"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--window", "-root"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"-root", "/s"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--add-to-xscreensaver"}, LaunchMode::AddToXScreenSaver, false, 0, 1280, 720},
      {{"--remove-from-xscreensaver"}, LaunchMode::RemoveFromXScreenSaver, false, 0, 1280, 720},
      {{"--add-to-xscreensaver", "--root"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--remove-from-xscreensaver", "--add-to-xscreensaver"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--wallpaper"}, LaunchMode::Wallpaper, false, 0, 1280, 720},
      {{"--wallpaper", "--output", "DP-1", "--set", "land=1"}, LaunchMode::Wallpaper, false, 0, 1280, 720},
      {{"--wallpaper", "--platform", "wayland"}, LaunchMode::Wallpaper, false, 0, 1280, 720},
      {{"--wallpaper", "--platform", "x11"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--wallpaper", "--window"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--wallpaper", "/s"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--output", "DP-1", "/s"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--wallpaper", "--output", ""}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--wayland-shell", "xdg", "/s"}, LaunchMode::Saver, false, 0, 1280, 720},
      {{"--wayland-shell", "layer", "--window"}, LaunchMode::Window, false, 0, 1280, 720},
      {{"--wayland-shell", "gtk", "/s"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "300"}, LaunchMode::Idle, false, 0, 1280, 720},
      {{"--idle", "300", "--lock-after", "60", "swaylock -f"}, LaunchMode::Idle, false, 0, 1280, 720},
      {{"--idle", "0"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "86401"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "300", "/s"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "300", "--wallpaper"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--lock-after", "60", "swaylock"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "300", "--lock-after", "60"}, LaunchMode::Invalid, false, 0, 1280, 720},
      {{"--idle", "300", "--lock-after", "60", ""}, LaunchMode::Invalid, false, 0, 1280, 720},
  };
  for (const auto& c : cases) {
    const LaunchOptions o = parse(c.args);
    EXPECT_EQ(o.mode, c.mode) << c.args[0] << " " << o.error;
    if (c.mode == LaunchMode::Invalid) continue;
    EXPECT_EQ(o.haveWindowId, c.haveId) << c.args[0];
    EXPECT_EQ(o.windowId, c.id) << c.args[0];
    EXPECT_EQ(o.windowWidth * 10000 + o.windowHeight, c.width * 10000 + c.height) << c.args[0];
    EXPECT_EQ(o.outputName, c.args.size() > 2 && c.args[1] == "--output" ? c.args[2] : "") << c.args[0];
    const bool locks = c.args.size() == 5 && c.args[2] == "--lock-after";
    EXPECT_EQ(o.lockAfterSeconds, locks ? 60 : 0) << c.args[0];
    EXPECT_EQ(o.lockCommand, locks ? c.args[4] : "") << c.args[0];
    EXPECT_EQ(o.idleSeconds, c.args[0] == "--idle" ? 300 : 0) << c.args[0];
    const bool xdg = c.args.size() > 1 && c.args[0] == "--wayland-shell" && c.args[1] == "xdg";
    EXPECT_EQ(o.shell, xdg ? WaylandShellRequest::Xdg
                           : c.args[0] == "--wayland-shell" ? WaylandShellRequest::Layer : WaylandShellRequest::Any);
  }
}

TEST(CommandLine, BadArgumentsGiveOneLineErrorsQuotingAShortPrefix) {
  const std::string x48(48, 'x');
  const std::string huge(120000, 'x');
  const std::string digits(120000, '1');
  // An "e" with an acute accent in bytes 48 and 49: the cut goes before it.
  const std::string accent = std::string(47, 'x') + "\xc3\xa9" + huge;
  struct Case {
    std::vector<std::string> args;
    std::string shown; // the quoted argument in the message, "" for none
  };
  const Case cases[] = {
      {{"--render"}, ""},
      {{"--render", ""}, ""},
      {{"--render", "a.png", "--size", "0x720"}, "'0x720'"},
      {{"--render", "a.png", "--size", "100000x720"}, "'100000x720'"},
      {{"--render", "a.png", "--size", "640"}, "'640'"},
      {{"--render", "a.png", "--size", "640x480x2"}, "'640x480x2'"},
      {{"--render", "a.png", "--size", "-640x480"}, "'-640x480'"},
      {{"--render", "a.png", "--size", "64\n0x480"}, "'64?0x480'"},
      {{"--render", "a.png", "--size", x48}, "'" + x48 + "'"},
      {{"--render", "a.png", "--size", x48 + "x"}, "'" + x48 + "...'"},
      {{"--render", "a.png", "--size", huge}, "'" + x48 + "...'"},
      {{"--render", "a.png", "--size", accent}, "'" + std::string(47, 'x') + "...'"},
      {{"--render", "a.png", "--seconds", "0"}, "'0'"},
      {{"--render", "a.png", "--seconds", "nan"}, "'nan'"},
      {{"--render", "a.png", "--seconds", "2s"}, "'2s'"},
      {{"--render", "a.png", "--seconds", digits}, "'" + digits.substr(0, 48) + "...'"},
      {{"--render", "a.png", "--fps", "0"}, "'0'"},
      {{"--render", "a.png", "--fps", digits}, "'" + digits.substr(0, 48) + "...'"},
      {{"--render", "a.png", "--seed", "-1"}, "'-1'"},
      {{"--render", "a.png", "--seed", "4294967296"}, "'4294967296'"},
      {{"--render", "a.png", "--seed", digits}, "'" + digits.substr(0, 48) + "...'"},
      {{"--render", "a.png", "--bench"}, ""},
      {{"--render", "a.png", "/s"}, "'/s'"},
      {{"--render", "a.png", huge}, "'" + x48 + "...'"},
      {{"--size", "640x480"}, ""},
      {{"--frobnicate"}, "'--frobnicate'"},
      {{"--" + huge}, "'--" + x48.substr(2) + "...'"},
  };
  for (const Case& c : cases) {
    const LaunchOptions o = parse(c.args);
    std::string joined;
    for (const auto& a : c.args) joined += a.substr(0, 60) + " ";
    EXPECT_EQ(o.mode, LaunchMode::Invalid) << joined;
    EXPECT_FALSE(o.error.empty()) << joined;
    EXPECT_EQ(o.error.find('\n'), std::string::npos) << joined;
    EXPECT_LE(o.error.size(), 160u) << joined;
    if (!c.shown.empty()) {
      EXPECT_NE(o.error.find(c.shown), std::string::npos) << o.error;
    }
  }
}

} // namespace
} // namespace starbloom
