// The program's long options. They are recognised first and removed;
// what is left is joined with single blanks into the command line that the
// saver's switch scan reads. Every value is checked completely (no trailing
// characters, no overflow, sane ranges) so that bad input gets one clear
// line and a non-zero exit instead of a surprising run.
#include "host/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "report/quoted_text.h"

namespace starbloom {

namespace {

bool parseWholeDouble(const char* text, double& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value)) return false;
  out = value;
  return true;
}

bool parseWholeUnsigned(const char* text, unsigned long long limit, unsigned long long& out) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  unsigned long long value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<unsigned long long>(*p - '0');
    if (value > limit) return false;
  }
  out = value;
  return true;
}

bool parseSize(const char* text, int& width, int& height) {
  if (text == nullptr) return false;
  const char* x = std::strpbrk(text, "xX");
  if (x == nullptr) return false;
  const std::string w(text, static_cast<std::size_t>(x - text));
  unsigned long long wv = 0, hv = 0;
  if (!parseWholeUnsigned(w.c_str(), MAX_RENDER_DIMENSION, wv) ||
      !parseWholeUnsigned(x + 1, MAX_RENDER_DIMENSION, hv) || wv == 0 || hv == 0) {
    return false;
  }
  width = static_cast<int>(wv);
  height = static_cast<int>(hv);
  return true;
}

// An X window id in decimal or 0x hexadecimal, 1 to 0xFFFFFFFF.
bool parseWindowId(const char* text, unsigned long long& out) {
  if (text == nullptr || *text == '\0' || *text == '-' || *text == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || v == 0 || v > 0xFFFFFFFFull) return false;
  out = v;
  return true;
}

LaunchOptions invalid(std::string message) {
  LaunchOptions options;
  options.mode = LaunchMode::Invalid;
  options.error = std::move(message);
  return options;
}

} // namespace

LaunchOptions parseLaunchOptions(int argc, const char* const* argv) {
  LaunchOptions options;
  bool render = false, bench = false, help = false, version = false, headlessOnly = false;
  bool hosted = false, window = false, addTo = false, removeFrom = false;
  std::string rest;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const bool takesValue = arg == "--render" || arg == "--size" || arg == "--seconds" ||
                            arg == "--fps" || arg == "--seed" || arg == "--set" ||
                            arg == "-window-id" || arg == "--window-id" || arg == "--platform";
    if (takesValue && value == nullptr) return invalid(arg + " needs a value");
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--bench") {
      bench = true;
    } else if (arg == "--add-to-xscreensaver") {
      addTo = true;
    } else if (arg == "--remove-from-xscreensaver") {
      removeFrom = true;
    } else if (arg == "--render") {
      render = true;
      options.output = value;
      if (options.output.empty()) return invalid("--render needs a file name");
      ++i;
    } else if (arg == "--size") {
      if (!parseSize(value, options.width, options.height)) {
        return invalid("--size must be WIDTHxHEIGHT with each side from 1 to " +
                       std::to_string(MAX_RENDER_DIMENSION) + ", not " + quotedText(value));
      }
      headlessOnly = true;
      ++i;
    } else if (arg == "--seconds") {
      if (!parseWholeDouble(value, options.seconds) || options.seconds <= 0.0 ||
          options.seconds > 86400.0) {
        return invalid("--seconds must be a number above 0 and at most 86400, not " +
                       quotedText(value));
      }
      headlessOnly = true;
      ++i;
    } else if (arg == "--fps") {
      if (!parseWholeDouble(value, options.fps) || options.fps < 1.0 || options.fps > 1000.0) {
        return invalid("--fps must be a number from 1 to 1000, not " + quotedText(value));
      }
      headlessOnly = true;
      ++i;
    } else if (arg == "--seed") {
      unsigned long long seed = 0;
      if (!parseWholeUnsigned(value, 0xFFFFFFFFull, seed)) {
        return invalid("--seed must be a whole number from 0 to 4294967295, not " + quotedText(value));
      }
      options.haveSeed = true;
      options.seed = static_cast<std::uint32_t>(seed);
      headlessOnly = true;
      ++i;
    } else if (arg == "--platform") {
      if (std::strcmp(value, "wayland") == 0) {
        options.platform = PlatformRequest::Wayland;
      } else if (std::strcmp(value, "x11") == 0) {
        options.platform = PlatformRequest::X11;
      } else {
        return invalid("--platform must be wayland or x11, not " + quotedText(value));
      }
      ++i;
    } else if (arg == "--set") {
      options.overrides.push_back(value);
      ++i;
    } else if (arg == "-root" || arg == "--root") {
      hosted = true;
    } else if (arg == "-window-id" || arg == "--window-id") {
      unsigned long long id = 0;
      if (!parseWindowId(value, id)) {
        return invalid(arg + " must be an X window id (decimal or 0x hex), not " + quotedText(value));
      }
      hosted = true;
      options.haveWindowId = true;
      options.windowId = static_cast<unsigned long>(id);
      ++i;
    } else if (arg == "--window") {
      window = true;
      // The size is optional: a following WxH is taken as it.
      if (value != nullptr && std::strchr(value, 'x') != nullptr && value[0] >= '0' && value[0] <= '9') {
        if (!parseSize(value, options.windowWidth, options.windowHeight)) {
          return invalid("--window takes WIDTHxHEIGHT with each side from 1 to " +
                         std::to_string(MAX_RENDER_DIMENSION) + ", not " + quotedText(value));
        }
        ++i;
      }
    } else if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
      return invalid("unknown option " + quotedText(arg) + " (see --help)");
    } else {
      if (!rest.empty()) rest += ' ';
      rest += arg;
    }
  }
  if (help) {
    options.mode = LaunchMode::Help;
  } else if (version) {
    options.mode = LaunchMode::Version;
  } else if (addTo || removeFrom) {
    if (argc != 2) {
      return invalid(std::string(addTo ? "--add-to-xscreensaver" : "--remove-from-xscreensaver") +
                     " takes no other arguments");
    }
    options.mode = addTo ? LaunchMode::AddToXScreenSaver : LaunchMode::RemoveFromXScreenSaver;
  } else if (render && bench) {
    return invalid("--render and --bench cannot be combined");
  } else if (render || bench) {
    if (!rest.empty()) {
      return invalid("unexpected argument " + quotedText(rest) + " with --render/--bench");
    }
    options.mode = render ? LaunchMode::Render : LaunchMode::Bench;
  } else if (headlessOnly) {
    return invalid("--size, --seconds, --fps and --seed need --render FILE.png or --bench");
  } else if (hosted || window) {
    if (hosted && window) return invalid("--window cannot be combined with -root or -window-id");
    if (!rest.empty()) {
      return invalid("unexpected argument " + quotedText(rest) + " with " +
                     (hosted ? "-root/-window-id" : "--window"));
    }
    options.mode = hosted ? LaunchMode::Hosted : LaunchMode::Window;
  }
  options.saverCommandLine = rest;
  return options;
}

const char* usageText() {
  return "Usage: starbloom [SWITCH] [OPTIONS]\n"
         "Firework screen saver (OpenGL).\n"
         "\n"
         "Saver switches (case-insensitive, '-' or '/' prefix):\n"
         "  /s                 run the saver full screen\n"
         "  /p ID, /l ID       preview inside the X11 window ID (decimal)\n"
         "  /c, /c:ID          configuration dialog, owned by window ID (else the active window)\n"
         "  (none)             configuration dialog\n"
         "\n"
         "Hosted by a screen saver daemon or locker (XScreenSaver, xsecurelock):\n"
         "  -root, --root      draw into the window named by XSCREENSAVER_WINDOW (decimal or\n"
         "                     0x hex), or the root window when it is unset\n"
         "  -window-id ID      draw into the X window ID (wins over -root)\n"
         "                     Either way the fireworks fill the window, whatever its size.\n"
         "\n"
         "XScreenSaver's list of programs in ~/.xscreensaver:\n"
         "  --add-to-xscreensaver\n"
         "                     add \"GL: starbloom --root\" to it (or enable Starbloom's\n"
         "                     disabled entry); a missing file starts from the defaults\n"
         "  --remove-from-xscreensaver\n"
         "                     take Starbloom's entries out of it\n"
         "\n"
         "Options:\n"
         "  --window [WxH]     run in a normal window (default 1280x720) to try it out;\n"
         "                     Esc, q or closing the window end it\n"
         "  --platform NAME    window system of /s and --window: wayland or x11 (default:\n"
         "                     Wayland when WAYLAND_DISPLAY names a compositor that answers)\n"
         "  --render FILE.png  render off screen, no display needed, and write the last frame\n"
         "  --bench            render off screen and print the figures only\n"
         "  --size WxH         picture size for --render/--bench (default 1280x720)\n"
         "  --seconds S        simulated seconds to render (default 10)\n"
         "  --fps F            frames per simulated second (default 60)\n"
         "  --seed N           random seed; equal seeds give equal pictures\n"
         "  --set KEY=VALUE    override one setting for this run (repeatable)\n"
         "  --help             show this text\n"
         "  --version          show the version\n";
}

} // namespace starbloom
