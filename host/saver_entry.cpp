// Program entry. The long options are handled first (--help, --version,
// headless --render/--bench, --set overrides); what remains is the saver's
// own command line. Settings are read from the settings file in every mode,
// then the --set overrides are applied.
#include "host/saver_entry.h"

#include <cstdio>
#include <string>

#include "host/command_line.h"
#include "host/headless.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace starbloom {

namespace {

bool loadSettings(const LaunchOptions& options) {
  readSettings();
  for (const std::string& assignment : options.overrides) {
    std::string error;
    if (!applySettingOverride(settings, assignment.c_str(), error)) {
      std::fprintf(stderr, "starbloom: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

} // namespace

int programMain(int argc, char** argv) {
  const LaunchOptions options = parseLaunchOptions(argc, argv);
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
    case LaunchMode::Render:
    case LaunchMode::Bench:
      if (!loadSettings(options)) return 2;
      return runHeadless(options);
    case LaunchMode::Saver:
      break;
  }
  if (!loadSettings(options)) return 2;
  std::fprintf(stderr,
               "starbloom: the saver window, the preview and the dialogs are not built yet; "
               "use --render FILE.png to render fireworks off screen\n");
  return 1;
}

} // namespace starbloom
