// The program's long options, one row of a table each (names, value, what
// it sets, help text), from which --help is written too. They are
// recognised first and removed; what is left is joined with single blanks
// into the command line that the saver's switch scan reads. Every value is checked completely (no trailing
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

// What the options have set so far, and what decides the mode at the end.
struct OptionParse {
  LaunchOptions options;
  bool render = false;
  bool bench = false;
  bool help = false;
  bool version = false;
  bool headlessOnly = false; // --size, --seconds, --fps or --seed: only with --render or --bench
  bool hosted = false;
  bool window = false;
  bool wallpaper = false;
  bool output = false;       // --output: only with --wallpaper
  bool idle = false;
  bool lockAfter = false;    // --lock-after: only with --idle
  const char* secondValue = nullptr; // the second value of a two-value option
  bool addTo = false;
  bool removeFrom = false;
};

enum class OptionValue : std::uint8_t {
  None,
  Required,     // the next argument, whatever it is
  TwoRequired,  // the next two arguments (the second in OptionParse::secondValue)
  OptionalSize, // the next argument when it looks like WxH
};

// Where --help lists an option.
enum class HelpSection : std::uint8_t { Hosted, XScreenSaver, Options };

// One option: its names, its value, what it does to the parse (an error
// message, empty when it took the value), and its lines in --help.
struct OptionRow {
  const char* name;
  const char* alias; // another spelling, not shown in --help; nullptr for none
  OptionValue value;
  std::string (*apply)(OptionParse& p, const char* value, const std::string& arg);
  HelpSection section;
  const char* usage; // as --help shows it
  const char* help;  // its lines, '\n' between them
};

std::string noSize(const char* what, const char* value) {
  return std::string(what) + " WIDTHxHEIGHT with each side from 1 to " + std::to_string(MAX_RENDER_DIMENSION) +
         ", not " + quotedText(value);
}

const OptionRow OPTIONS[] = {
    {"-root", "--root", OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.hosted = true;
       return std::string();
     },
     HelpSection::Hosted, "-root, --root",
     "draw into the window named by XSCREENSAVER_WINDOW (decimal or\n0x hex), or the root window when it is unset"},
    {"-window-id", "--window-id", OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string& arg) {
       unsigned long long id = 0;
       if (!parseWindowId(value, id)) {
         return arg + " must be an X window id (decimal or 0x hex), not " + quotedText(value);
       }
       p.hosted = true;
       p.options.haveWindowId = true;
       p.options.windowId = static_cast<unsigned long>(id);
       return std::string();
     },
     HelpSection::Hosted, "-window-id ID",
     "draw into the X window ID (wins over -root)\nEither way the fireworks fill the window, whatever its size."},
    {"--add-to-xscreensaver", nullptr, OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.addTo = true;
       return std::string();
     },
     HelpSection::XScreenSaver, "--add-to-xscreensaver",
     "add \"GL: starbloom --root\" to it (or enable Starbloom's\ndisabled entry); a missing file starts from the "
     "defaults"},
    {"--remove-from-xscreensaver", nullptr, OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.removeFrom = true;
       return std::string();
     },
     HelpSection::XScreenSaver, "--remove-from-xscreensaver", "take Starbloom's entries out of it"},
    {"--window", nullptr, OptionValue::OptionalSize,
     [](OptionParse& p, const char* value, const std::string&) {
       p.window = true;
       if (value != nullptr && !parseSize(value, p.options.windowWidth, p.options.windowHeight)) {
         return noSize("--window takes", value);
       }
       return std::string();
     },
     HelpSection::Options, "--window [WxH]",
     "run in a normal window (default 1280x720) to try it out;\nEsc, q or closing the window end it"},
    {"--platform", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       if (std::strcmp(value, "wayland") == 0) {
         p.options.platform = PlatformRequest::Wayland;
       } else if (std::strcmp(value, "x11") == 0) {
         p.options.platform = PlatformRequest::X11;
       } else {
         return "--platform must be wayland or x11, not " + quotedText(value);
       }
       return std::string();
     },
     HelpSection::Options, "--platform NAME",
     "window system of /s and --window: wayland or x11 (default:\nWayland through WAYLAND_SOCKET, or where\n"
     "WAYLAND_DISPLAY names a compositor that answers)"},
    {"--wayland-shell", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       if (std::strcmp(value, "layer") == 0) {
         p.options.shell = WaylandShellRequest::Layer;
       } else if (std::strcmp(value, "xdg") == 0) {
         p.options.shell = WaylandShellRequest::Xdg;
       } else {
         return "--wayland-shell must be layer or xdg, not " + quotedText(value);
       }
       return std::string();
     },
     HelpSection::Options, "--wayland-shell KIND",
     "what /s is made of on Wayland: layer (surfaces over every\nwindow, wlroots compositors and KWin) or xdg "
     "(full-screen\nwindows); default: layer where the compositor offers it"},
    {"--wallpaper", nullptr, OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.wallpaper = true;
       return std::string();
     },
     HelpSection::Options, "--wallpaper",
     "fireworks as the background of every Wayland output, under\nthe windows (layer-shell); input never ends "
     "it, SIGTERM\ndoes; the background of swaylock-plugin"},
    {"--output", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.output = true;
       p.options.outputName = value;
       return p.options.outputName.empty() ? std::string("--output needs an output name") : std::string();
     },
     HelpSection::Options, "--output NAME",
     "with --wallpaper: that output only (default: the one named\nby SWAYLOCK_PLUGIN_OUTPUT_NAME, else every "
     "output)"},
    {"--idle", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       unsigned long long seconds = 0;
       if (!parseWholeUnsigned(value, 86400, seconds) || seconds == 0) {
         return "--idle must be a whole number of seconds from 1 to 86400, not " + quotedText(value);
       }
       p.idle = true;
       p.options.idleSeconds = static_cast<int>(seconds);
       return std::string();
     },
     HelpSection::Options, "--idle SECONDS",
     "stay resident and show the saver full screen after SECONDS\nwithout input, again after every "
     "return (GNOME, Wayland\nidle notification or X11)"},
    {"--lock-after", nullptr, OptionValue::TwoRequired,
     [](OptionParse& p, const char* value, const std::string&) {
       unsigned long long seconds = 0;
       if (!parseWholeUnsigned(value, 86400, seconds) || seconds == 0) {
         return "--lock-after must be a whole number of seconds from 1 to 86400, not " + quotedText(value);
       }
       p.lockAfter = true;
       p.options.lockAfterSeconds = static_cast<int>(seconds);
       p.options.lockCommand = p.secondValue;
       return p.options.lockCommand.empty() ? std::string("--lock-after needs a command") : std::string();
     },
     HelpSection::Options, "--lock-after SECONDS COMMAND",
     "with --idle: once the saver has shown for SECONDS, run\nCOMMAND (say 'swaylock -f') and end the saver "
     "when it\nreturns"},
    {"--render", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.render = true;
       p.options.output = value;
       return p.options.output.empty() ? std::string("--render needs a file name") : std::string();
     },
     HelpSection::Options, "--render FILE.png",
     "render off screen, no display needed, and write the last frame"},
    {"--bench", nullptr, OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.bench = true;
       return std::string();
     },
     HelpSection::Options, "--bench", "render off screen and print the figures only"},
    {"--size", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.headlessOnly = true;
       return parseSize(value, p.options.width, p.options.height) ? std::string() : noSize("--size must be", value);
     },
     HelpSection::Options, "--size WxH", "picture size for --render/--bench (default 1280x720)"},
    {"--seconds", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.headlessOnly = true;
       double& s = p.options.seconds;
       if (!parseWholeDouble(value, s) || s <= 0.0 || s > 86400.0) {
         return "--seconds must be a number above 0 and at most 86400, not " + quotedText(value);
       }
       return std::string();
     },
     HelpSection::Options, "--seconds S", "simulated seconds to render (default 10)"},
    {"--fps", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.headlessOnly = true;
       double& f = p.options.fps;
       if (!parseWholeDouble(value, f) || f < 1.0 || f > 1000.0) {
         return "--fps must be a number from 1 to 1000, not " + quotedText(value);
       }
       return std::string();
     },
     HelpSection::Options, "--fps F", "frames per simulated second (default 60)"},
    {"--seed", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.headlessOnly = true;
       unsigned long long seed = 0;
       if (!parseWholeUnsigned(value, 0xFFFFFFFFull, seed)) {
         return "--seed must be a whole number from 0 to 4294967295, not " + quotedText(value);
       }
       p.options.haveSeed = true;
       p.options.seed = static_cast<std::uint32_t>(seed);
       return std::string();
     },
     HelpSection::Options, "--seed N", "random seed; equal seeds give equal pictures"},
    {"--set", nullptr, OptionValue::Required,
     [](OptionParse& p, const char* value, const std::string&) {
       p.options.overrides.push_back(value);
       return std::string();
     },
     HelpSection::Options, "--set KEY=VALUE", "override one setting for this run (repeatable)"},
    {"--help", "-h", OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.help = true;
       return std::string();
     },
     HelpSection::Options, "--help", "show this text"},
    {"--version", nullptr, OptionValue::None,
     [](OptionParse& p, const char*, const std::string&) {
       p.version = true;
       return std::string();
     },
     HelpSection::Options, "--version", "show the version"},
};

const OptionRow* findOption(const std::string& arg) {
  for (const OptionRow& row : OPTIONS) {
    if (arg == row.name || (row.alias != nullptr && arg == row.alias)) return &row;
  }
  return nullptr;
}

// A value that --window takes as its size: digits first, an x in it.
bool looksLikeSize(const char* text) {
  return text != nullptr && std::strchr(text, 'x') != nullptr && text[0] >= '0' && text[0] <= '9';
}

// The section's options as --help lists them: the usage in a column of 19,
// the help beside it, or below it when the usage fills the column.
void appendHelp(std::string& text, HelpSection section) {
  constexpr std::size_t COLUMN = 19;
  const std::string indent(COLUMN + 2, ' ');
  for (const OptionRow& row : OPTIONS) {
    if (row.section != section) continue;
    std::string usage = std::string("  ") + row.usage;
    usage += std::strlen(row.usage) < COLUMN ? std::string(COLUMN - std::strlen(row.usage), ' ') : "\n" + indent;
    text += usage;
    for (const char* line = row.help; *line != '\0';) {
      const char* end = std::strchr(line, '\n');
      const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line);
      if (line != row.help) text += indent;
      text.append(line, length);
      text += '\n';
      line += length + (end != nullptr ? 1 : 0);
    }
  }
}

std::string buildUsage() {
  std::string text =
      "Usage: starbloom [SWITCH] [OPTIONS]\n"
      "Firework screen saver (OpenGL).\n"
      "\n"
      "Saver switches (case-insensitive, '-' or '/' prefix):\n"
      "  /s                 run the saver full screen\n"
      "  /p ID, /l ID       preview inside the X11 window ID (decimal)\n"
      "  /c, /c:ID          configuration dialog, owned by window ID (else the active window)\n"
      "  (none)             configuration dialog\n"
      "\n"
      "Hosted by a screen saver daemon or locker (XScreenSaver, xsecurelock):\n";
  appendHelp(text, HelpSection::Hosted);
  text += "\nXScreenSaver's list of programs in ~/.xscreensaver:\n";
  appendHelp(text, HelpSection::XScreenSaver);
  text += "\nOptions:\n";
  appendHelp(text, HelpSection::Options);
  return text;
}

} // namespace

LaunchOptions parseLaunchOptions(int argc, const char* const* argv) {
  OptionParse p;
  std::string rest;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    const OptionRow* row = findOption(arg);
    if (row == nullptr) {
      if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
        return invalid("unknown option " + quotedText(arg) + " (see --help)");
      }
      if (!rest.empty()) rest += ' ';
      rest += arg;
      continue;
    }
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    const char* value = nullptr;
    if (row->value == OptionValue::Required) {
      if (next == nullptr) return invalid(arg + " needs a value");
      value = next;
      ++i;
    } else if (row->value == OptionValue::TwoRequired) {
      if (next == nullptr || i + 2 >= argc || argv[i + 2] == nullptr) return invalid(arg + " needs two values");
      value = next;
      p.secondValue = argv[i + 2];
      i += 2;
    } else if (row->value == OptionValue::OptionalSize && looksLikeSize(next)) {
      value = next;
      ++i;
    }
    const std::string error = row->apply(p, value, arg);
    if (!error.empty()) return invalid(error);
  }
  LaunchOptions& options = p.options;
  if (p.help) {
    options.mode = LaunchMode::Help;
  } else if (p.version) {
    options.mode = LaunchMode::Version;
  } else if (p.addTo || p.removeFrom) {
    if (argc != 2) {
      return invalid(std::string(p.addTo ? "--add-to-xscreensaver" : "--remove-from-xscreensaver") +
                     " takes no other arguments");
    }
    options.mode = p.addTo ? LaunchMode::AddToXScreenSaver : LaunchMode::RemoveFromXScreenSaver;
  } else if (p.render && p.bench) {
    return invalid("--render and --bench cannot be combined");
  } else if (p.render || p.bench) {
    if (!rest.empty()) {
      return invalid("unexpected argument " + quotedText(rest) + " with --render/--bench");
    }
    options.mode = p.render ? LaunchMode::Render : LaunchMode::Bench;
  } else if (p.headlessOnly) {
    return invalid("--size, --seconds, --fps and --seed need --render FILE.png or --bench");
  } else if (p.idle) {
    if (p.hosted || p.window || p.wallpaper) {
      return invalid("--idle cannot be combined with --window, --wallpaper, -root or -window-id");
    }
    if (!rest.empty()) return invalid("unexpected argument " + quotedText(rest) + " with --idle");
    options.mode = LaunchMode::Idle;
  } else if (p.wallpaper) {
    if (p.hosted || p.window) return invalid("--wallpaper cannot be combined with --window, -root or -window-id");
    if (!rest.empty()) return invalid("unexpected argument " + quotedText(rest) + " with --wallpaper");
    if (options.platform == PlatformRequest::X11) return invalid("--wallpaper needs Wayland, not --platform x11");
    options.mode = LaunchMode::Wallpaper;
  } else if (p.hosted || p.window) {
    if (p.hosted && p.window) return invalid("--window cannot be combined with -root or -window-id");
    if (!rest.empty()) {
      return invalid("unexpected argument " + quotedText(rest) + " with " +
                     (p.hosted ? "-root/-window-id" : "--window"));
    }
    options.mode = p.hosted ? LaunchMode::Hosted : LaunchMode::Window;
  }
  if (p.output && options.mode != LaunchMode::Wallpaper) return invalid("--output needs --wallpaper");
  if (p.lockAfter && options.mode != LaunchMode::Idle) return invalid("--lock-after needs --idle");
  options.saverCommandLine = rest;
  return options;
}

const char* usageText() {
  static const std::string text = buildUsage();
  return text.c_str();
}

} // namespace starbloom
