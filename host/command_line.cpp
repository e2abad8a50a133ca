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

#include "settings/quoted_text.h"

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
  std::string rest;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const bool takesValue = arg == "--render" || arg == "--size" || arg == "--seconds" ||
                            arg == "--fps" || arg == "--seed" || arg == "--set";
    if (takesValue && value == nullptr) return invalid(arg + " needs a value");
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--bench") {
      bench = true;
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
    } else if (arg == "--set") {
      options.overrides.push_back(value);
      ++i;
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
  } else if (render && bench) {
    return invalid("--render and --bench cannot be combined");
  } else if (render || bench) {
    if (!rest.empty()) {
      return invalid("unexpected argument " + quotedText(rest) + " with --render/--bench");
    }
    options.mode = render ? LaunchMode::Render : LaunchMode::Bench;
  } else if (headlessOnly) {
    return invalid("--size, --seconds, --fps and --seed need --render FILE.png or --bench");
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
         "  /c, /c:ID          configuration dialog (owned by window ID)\n"
         "  (none)             configuration dialog\n"
         "\n"
         "Options:\n"
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
