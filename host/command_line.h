#pragma once
// The program's long options (--render, --bench, --set, ...), recognised
// before the saver's own switches (/s, /p N, /c ...) are scanned.
#include <cstdint>
#include <string>
#include <vector>

namespace starbloom {

enum class LaunchMode : std::uint8_t {
  Saver,   // the saver's own switches decide (full screen, preview, dialog)
  Help,
  Version,
  Render,  // headless: frames off screen, last frame to a PNG
  Bench,   // headless: frames off screen, figures only
  Hosted,  // -root / -window-id: drawing into a window of a host program
  Window,  // --window: a normal top-level window for trying the saver out
  Wallpaper, // --wallpaper: a Wayland background layer under every window
  Idle,    // --idle: a resident trigger that shows the saver after idle time
  AddToXScreenSaver,      // --add-to-xscreensaver: Starbloom into ~/.xscreensaver's list
  RemoveFromXScreenSaver, // --remove-from-xscreensaver: Starbloom out of it
  Invalid, // error holds the message
};

// --platform: the window system of /s and --window.
enum class PlatformRequest : std::uint8_t {
  Any,     // Wayland when WAYLAND_DISPLAY names a compositor that answers, else X11
  X11,
  Wayland,
};

// --wayland-shell: what /s is made of on Wayland.
enum class WaylandShellRequest : std::uint8_t {
  Any,   // layer-shell overlay surfaces where offered, else xdg-shell full-screen toplevels
  Layer,
  Xdg,
};

struct LaunchOptions {
  LaunchMode mode = LaunchMode::Saver;
  std::string output;                   // --render FILE.png
  int width = 1280;                     // --size WxH, pixels
  int height = 720;
  double seconds = 10.0;                // --seconds, simulated time
  double fps = 60.0;                    // --fps, fixed time step 1/fps
  bool haveSeed = false;                // --seed given
  std::uint32_t seed = 0;
  std::vector<std::string> overrides;   // --set KEY=VALUE, in order
  bool haveWindowId = false;            // -window-id given (wins over -root)
  unsigned long windowId = 0;           // -window-id ID, decimal or 0x hex
  int windowWidth = 1280;               // --window WxH
  int windowHeight = 720;
  PlatformRequest platform = PlatformRequest::Any; // --platform wayland|x11
  WaylandShellRequest shell = WaylandShellRequest::Any; // --wayland-shell layer|xdg
  std::string outputName;               // --wallpaper --output NAME; empty: every output
  int idleSeconds = 0;                  // --idle SECONDS
  int lockAfterSeconds = 0;             // --lock-after SECONDS COMMAND; 0: no lock command
  std::string lockCommand;
  std::string saverCommandLine;         // remaining arguments joined by blanks
  std::string error;                    // Invalid: one line, no trailing newline
};

constexpr int MAX_RENDER_DIMENSION = 8192;

// Parses argv[1..argc-1]. Long options may come in any order; everything else
// is passed on to the saver's switch scan. --size, --seconds, --fps and
// --seed only make sense with --render or --bench; --add-to-xscreensaver and
// --remove-from-xscreensaver stand alone.
LaunchOptions parseLaunchOptions(int argc, const char* const* argv);

// "Usage: ..." text for --help.
const char* usageText();

} // namespace starbloom
