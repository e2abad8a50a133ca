// Fuzz target: the long options. The input is split at NUL bytes into
// arguments (an empty piece is an empty argument) after the program name.
// A plain walk over the arguments, knowing only which options take a value,
// says which words are option values, which --set assignments there are and
// what is left for the saver's switch scan. The parse must then hold to its
// documented contract: an Invalid result carries one short line (no control
// characters, bounded length whatever the arguments); any other result has
// every size from 1 to 8192, seconds in (0, 86400], fps from 1 to 1000, a
// window id from 1 to 0xFFFFFFFF exactly when one was given, the --set
// values in their order, the --platform, --wayland-shell and --output
// values, and the mode the walk's options call for (the edits of
// XScreenSaver's list only alone, --output only with --wallpaper, which
// takes no window, host or X11, --lock-after and its two values only with
// --idle, whose times lie from 1 to 86400 s).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "support/check.h"

using namespace starbloom;

namespace {

constexpr std::size_t MAX_ERROR_BYTES = 200;

struct Walk {
  bool missingValue = false;
  bool help = false, version = false, render = false, bench = false, hosted = false,
       window = false, wallpaper = false, idle = false, lockAfter = false, addTo = false, removeFrom = false;
  std::vector<std::string> overrides;
  std::vector<std::string> rest;
  std::string platform; // the last --platform value
  std::string shell;    // the last --wayland-shell value
  std::string output;   // the last --output value
};

Walk walk(const std::vector<std::string>& args) {
  static const char* const TAKES_VALUE[] = {"--render", "--size", "--seed", "--seconds",
                                            "--fps", "--set", "-window-id", "--window-id",
                                            "--platform", "--wayland-shell", "--output", "--idle"};
  Walk w;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool takes = false;
    for (const char* option : TAKES_VALUE) takes = takes || a == option;
    if (takes) {
      if (i + 1 == args.size()) {
        w.missingValue = true;
        return w;
      }
      const std::string& value = args[++i];
      if (a == "--set") w.overrides.push_back(value);
      if (a == "--platform") w.platform = value;
      if (a == "--wayland-shell") w.shell = value;
      if (a == "--output") w.output = value;
      if (a == "--idle") w.idle = true;
      if (a == "--render") w.render = true;
      if (a == "-window-id" || a == "--window-id") w.hosted = true;
    } else if (a == "--help" || a == "-h") {
      w.help = true;
    } else if (a == "--version") {
      w.version = true;
    } else if (a == "--bench") {
      w.bench = true;
    } else if (a == "--add-to-xscreensaver") {
      w.addTo = true;
    } else if (a == "--remove-from-xscreensaver") {
      w.removeFrom = true;
    } else if (a == "--lock-after") {
      if (i + 2 >= args.size()) {
        w.missingValue = true;
        return w;
      }
      w.lockAfter = true;
      i += 2;
    } else if (a == "--wallpaper") {
      w.wallpaper = true;
    } else if (a == "-root" || a == "--root") {
      w.hosted = true;
    } else if (a == "--window") {
      w.window = true;
      if (i + 1 < args.size() && args[i + 1].find('x') != std::string::npos &&
          args[i + 1][0] >= '0' && args[i + 1][0] <= '9') {
        ++i;
      }
    } else {
      w.rest.push_back(a);
    }
  }
  return w;
}

bool between(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  if (size > 0) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (;;) {
      const std::size_t nul = bytes.find('\0', start);
      args.push_back(bytes.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
      if (nul == std::string::npos) break;
      start = nul + 1;
    }
  }
  std::vector<const char*> argv{"starbloom"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const LaunchOptions got = parseLaunchOptions(static_cast<int>(argv.size()), argv.data());
  const Walk w = walk(args);

  if (got.mode == LaunchMode::Invalid) {
    FUZZ_CHECK(!got.error.empty(), "an Invalid result without a message");
    FUZZ_CHECK(got.error.size() <= MAX_ERROR_BYTES, "a message of %zu bytes", got.error.size());
    for (char c : got.error) {
      const unsigned char u = static_cast<unsigned char>(c);
      FUZZ_CHECK(u >= 0x20 && u != 0x7f, "a control byte 0x%02x in the message: %s", u,
                 got.error.c_str());
    }
    return 0;
  }
  FUZZ_CHECK(!w.missingValue, "an option without its value was accepted");
  FUZZ_CHECK(got.error.empty(), "a valid result with a message: %s", got.error.c_str());
  FUZZ_CHECK(got.width >= 1 && got.width <= MAX_RENDER_DIMENSION && got.height >= 1 &&
                 got.height <= MAX_RENDER_DIMENSION,
             "size %dx%d", got.width, got.height);
  FUZZ_CHECK(got.windowWidth >= 1 && got.windowWidth <= MAX_RENDER_DIMENSION &&
                 got.windowHeight >= 1 && got.windowHeight <= MAX_RENDER_DIMENSION,
             "window size %dx%d", got.windowWidth, got.windowHeight);
  FUZZ_CHECK(std::isfinite(got.seconds) && got.seconds > 0.0 && got.seconds <= 86400.0,
             "seconds %g", got.seconds);
  FUZZ_CHECK(between(got.fps, 1.0, 1000.0), "fps %g", got.fps);
  if (got.haveWindowId) {
    FUZZ_CHECK(got.windowId >= 1 && got.windowId <= 0xFFFFFFFFul, "window id %lu", got.windowId);
  } else {
    FUZZ_CHECK(got.windowId == 0, "window id %lu without -window-id", got.windowId);
  }
  const PlatformRequest platform = w.platform == "wayland" ? PlatformRequest::Wayland
                                   : w.platform == "x11"   ? PlatformRequest::X11
                                                           : PlatformRequest::Any;
  FUZZ_CHECK(w.platform.empty() || platform != PlatformRequest::Any, "--platform %s accepted",
             w.platform.c_str());
  FUZZ_CHECK(got.platform == platform, "platform %d, the walk says %s", static_cast<int>(got.platform),
             w.platform.c_str());
  const WaylandShellRequest shell = w.shell == "layer" ? WaylandShellRequest::Layer
                                    : w.shell == "xdg"   ? WaylandShellRequest::Xdg
                                                         : WaylandShellRequest::Any;
  FUZZ_CHECK(w.shell.empty() || shell != WaylandShellRequest::Any, "--wayland-shell %s accepted",
             w.shell.c_str());
  FUZZ_CHECK(got.shell == shell, "shell %d, the walk says %s", static_cast<int>(got.shell), w.shell.c_str());
  FUZZ_CHECK(got.outputName == w.output, "output '%s', the walk says '%s'", got.outputName.c_str(),
             w.output.c_str());
  FUZZ_CHECK(got.overrides == w.overrides, "%zu --set values kept, %zu given (or out of order)",
             got.overrides.size(), w.overrides.size());

  LaunchMode expected = LaunchMode::Saver;
  if (w.help) {
    expected = LaunchMode::Help;
  } else if (w.version) {
    expected = LaunchMode::Version;
  } else if (w.addTo || w.removeFrom) {
    FUZZ_CHECK(args.size() == 1, "an edit of XScreenSaver's list taken with %zu arguments",
               args.size());
    expected = w.addTo ? LaunchMode::AddToXScreenSaver : LaunchMode::RemoveFromXScreenSaver;
  } else if (w.render || w.bench) {
    expected = w.render ? LaunchMode::Render : LaunchMode::Bench;
  } else if (w.idle) {
    FUZZ_CHECK(!w.hosted && !w.window && !w.wallpaper, "--idle taken with a window, a host or a wallpaper");
    expected = LaunchMode::Idle;
  } else if (w.wallpaper) {
    FUZZ_CHECK(!w.hosted && !w.window && platform != PlatformRequest::X11,
               "--wallpaper taken with a window, a host or X11");
    expected = LaunchMode::Wallpaper;
  } else if (w.hosted || w.window) {
    expected = w.hosted ? LaunchMode::Hosted : LaunchMode::Window;
  }
  FUZZ_CHECK(w.output.empty() || expected == LaunchMode::Wallpaper, "--output taken without --wallpaper");
  FUZZ_CHECK(!w.lockAfter || expected == LaunchMode::Idle, "--lock-after taken without --idle");
  if (got.mode == LaunchMode::Idle) {
    FUZZ_CHECK(got.idleSeconds >= 1 && got.idleSeconds <= 86400, "--idle %d", got.idleSeconds);
    FUZZ_CHECK(!w.lockAfter || (got.lockAfterSeconds >= 1 && got.lockAfterSeconds <= 86400 &&
                                !got.lockCommand.empty()),
               "--lock-after %d '%s'", got.lockAfterSeconds, got.lockCommand.c_str());
  }
  FUZZ_CHECK(got.mode == expected, "mode %d, the walk says %d", static_cast<int>(got.mode),
             static_cast<int>(expected));
  if (got.mode == LaunchMode::Render) FUZZ_CHECK(!got.output.empty(), "--render without a file");
  // What is left goes to the switch scan joined with single blanks (an empty
  // argument adds nothing of its own); no unknown long option is passed on,
  // and the headless, hosted and window modes take nothing to pass on.
  std::string joined;
  for (const std::string& r : w.rest) {
    FUZZ_CHECK(!(r.size() > 2 && r[0] == '-' && r[1] == '-'), "unknown option %s accepted", r.c_str());
    if (!joined.empty()) joined += ' ';
    joined += r;
  }
  if (got.mode == LaunchMode::Render || got.mode == LaunchMode::Bench ||
      got.mode == LaunchMode::Hosted || got.mode == LaunchMode::Window || got.mode == LaunchMode::Wallpaper ||
      got.mode == LaunchMode::Idle ||
      got.mode == LaunchMode::AddToXScreenSaver || got.mode == LaunchMode::RemoveFromXScreenSaver) {
    FUZZ_CHECK(joined.empty(), "stray arguments '%s' accepted with mode %d", joined.c_str(),
               static_cast<int>(got.mode));
  }
  FUZZ_CHECK(got.saverCommandLine == joined, "saver command line '%s', expected '%s'",
             got.saverCommandLine.c_str(), joined.c_str());
  return 0;
}
