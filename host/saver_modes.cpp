// The saver's modes. Its switches pick one: full screen (/s), preview in a
// foreign window (/p N, /l N), the configuration dialog (/c, /c:N, nothing)
// or the password change (/a, which Linux lacks: exit code -1). Hosted mode
// (-root, -window-id, XSCREENSAVER_WINDOW) draws into a window a
// screen-saver daemon or locker made, --window into a normal window for
// trying the saver out, and --wallpaper into Wayland background layers.
//
// Full screen and the try-out run on Wayland or X11 (platform_choice.h);
// the display is opened once, and an automatic choice that finds no
// compositor answering falls back to X11 quietly. Previews, hosted mode and
// the dialog are X11's: their hosts are X11 programs.
#include "host/saver_modes.h"

#include <cstdio>
#include <cstdlib>

#include "host/platform_choice.h"
#include "host/saver_command.h"
#include "host/saver_loop.h"
#include "host/setting_overrides.h"
#include "host/window_system.h"
#include "host/x11/x11_services.h"
#include "settings/config_dialog.h"
#include "report/quoted_text.h"

namespace starbloom {

namespace {

// Opens the window system the plan names for w: Wayland first when it may
// be, then X11 when it may follow.
bool openPlannedDisplay(SaverWindow& w, PlatformRequest request) {
  const PlatformPlan plan =
      planPlatform(request, true, std::getenv("WAYLAND_SOCKET"), std::getenv("WAYLAND_DISPLAY"));
  if (plan.tryWayland) {
    w.platform = Platform::Wayland;
    if (openWindowSystem(w, !plan.tryX11)) return true;
    if (!plan.tryX11) return false;
  }
  w.platform = Platform::X11;
  return openWindowSystem(w, true);
}

// Makes the window of w's role and runs it; the exit code.
int createAndRun(SaverWindow& w, unsigned long parent, int width, int height) {
  if (!createSaverWindow(w, parent, width, height)) {
    closeWindowSystem(w);
    return 1;
  }
  return runSaverWindow(w);
}

int runFullScreen(PlatformRequest platform, WaylandShellRequest shell) {
  SaverWindow w;
  w.role = WindowRole::FullScreen;
  w.shell = shell;
  if (!openPlannedDisplay(w, platform)) return 1;
  if (fullScreenSaverRuns(w)) {
    closeWindowSystem(w);
    return 0;
  }
  return createAndRun(w, 0, 0, 0);
}

int runPreview(unsigned long parent) {
  SaverWindow w;
  w.role = WindowRole::Preview;
  w.host.childMode = true;
  if (!openWindowSystem(w, true)) return 1;
  if (!x11WindowExists(w, parent)) {
    closeWindowSystem(w);
    return -1;
  }
  return createAndRun(w, parent, 0, 0);
}

int runHosted(const LaunchOptions& options) {
  unsigned long target = 0; // the root window
  if (options.haveWindowId) {
    target = options.windowId;
  } else if (const char* named = std::getenv("XSCREENSAVER_WINDOW")) {
    char* end = nullptr;
    const unsigned long long id = std::strtoull(named, &end, 0);
    if (end == named || *end != '\0' || id == 0 || id > 0xFFFFFFFFull) {
      std::fprintf(stderr, "starbloom: XSCREENSAVER_WINDOW is not a window id: %s\n",
                   quotedText(named).c_str());
      return 1;
    }
    target = static_cast<unsigned long>(id);
  }
  SaverWindow w;
  w.role = WindowRole::Hosted;
  w.host.childMode = true; // the host owns input and dismissal
  if (!openWindowSystem(w, true)) return 1;
  return createAndRun(w, target, 0, 0);
}

int runTryOut(const LaunchOptions& options) {
  SaverWindow w;
  w.role = WindowRole::TryOut;
  w.host.childMode = true; // only Esc, q and closing the window end it
  if (!openPlannedDisplay(w, options.platform)) return 1;
  return createAndRun(w, 0, options.windowWidth, options.windowHeight);
}

// The wallpaper: on the output named by --output or by the locker that
// started it (swaylock-plugin's SWAYLOCK_PLUGIN_OUTPUT_NAME), else on
// every output. No input ends it; a second one on the same outputs leaves
// as a second /s does.
int runWallpaper(const LaunchOptions& options) {
  SaverWindow w;
  w.role = WindowRole::Wallpaper;
  w.host.childMode = true;
  const char* named = std::getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
  if (!options.outputName.empty()) {
    w.outputName = options.outputName.c_str();
  } else if (named != nullptr && *named != '\0') {
    w.outputName = named;
  }
  w.platform = Platform::Wayland;
  if (!openWindowSystem(w, true)) return 1;
  if (fullScreenSaverRuns(w)) {
    closeWindowSystem(w);
    return 0;
  }
  return createAndRun(w, 0, 0, 0);
}

int runConfigDialog(unsigned long owner) {
  void* display = openX11Display();
  if (display == nullptr) return 1;
  return showConfigDialog(display, configDialogOwner(display, owner));
}

} // namespace

int saverMain(const char* commandLine, PlatformRequest platform, WaylandShellRequest shell) {
  const SaverCommand command = scanSaverCommandLine(commandLine);
  switch (command.kind) {
    case SaverSwitch::Saver:
      return runFullScreen(platform, shell);
    case SaverSwitch::Preview:
      if (command.window == 0) return -1;
      return runPreview(command.window);
    case SaverSwitch::Config:
      return runConfigDialog(command.window);
    case SaverSwitch::Password: // no password services on Linux
    case SaverSwitch::Invalid:
      return -1;
  }
  return -1;
}

int runSaverModes(const LaunchOptions& options) {
  if (!readSaverSettings()) return 2;
  switch (options.mode) {
    case LaunchMode::Hosted:
      return runHosted(options);
    case LaunchMode::Window:
      return runTryOut(options);
    case LaunchMode::Wallpaper:
      return runWallpaper(options);
    default:
      return saverMain(options.saverCommandLine.c_str(), options.platform, options.shell);
  }
}

} // namespace starbloom
