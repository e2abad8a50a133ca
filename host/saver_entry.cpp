// Program entry. The long options are handled first (--help, --version,
// headless --render/--bench, --set overrides, the edits of XScreenSaver's
// list, the idle trigger); what remains is the saver's own command line,
// or the hosted, try-out and wallpaper modes. Settings are read from the settings file in every mode,
// then the --set overrides are applied.
#include "host/saver_entry.h"

#include <cstdio>
#include <string>

#include "host/command_line.h"
#include "host/headless.h"
#include "host/idle_trigger.h"
#include "host/saver_modes.h"
#include "host/setting_overrides.h"
#include "install/xscreensaver_setup.h"

namespace starbloom {

int programMain(int argc, char** argv) {
  const LaunchOptions options = parseLaunchOptions(argc, argv);
  keepSettingOverrides(options.overrides);
  switch (options.mode) {
    case LaunchMode::Invalid:
      std::fprintf(stderr, "starbloom: %s\n", options.error.c_str());
      return 2;
    case LaunchMode::Help:
      std::fputs(usageText(), stdout);
      return 0;
    case LaunchMode::Version:
      std::puts("Starbloom " STARBLOOM_VERSION);
      std::puts("Firework screen saver (OpenGL)");
      return 0;
    case LaunchMode::AddToXScreenSaver:
      return runXScreenSaverSetup(XScreenSaverAction::Add);
    case LaunchMode::RemoveFromXScreenSaver:
      return runXScreenSaverSetup(XScreenSaverAction::Remove);
    case LaunchMode::Render:
    case LaunchMode::Bench:
      if (!readSaverSettings()) return 2;
      return runHeadless(options);
    case LaunchMode::Idle:
      if (!readSaverSettings()) return 2;
      return runIdleTrigger(options, "/proc/self/exe");
    case LaunchMode::Saver:
    case LaunchMode::Hosted:
    case LaunchMode::Window:
    case LaunchMode::Wallpaper:
      break;
  }
  return runSaverModes(options);
}

} // namespace starbloom
