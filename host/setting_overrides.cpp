// The --set overrides of this run. The saver reads its settings when its
// window is made, long after the command line was parsed, so the
// assignments are kept here and applied after every read of the file,
// with the file's own rules (bit 0 of the switches, the clamps).
#include "host/setting_overrides.h"

#include <cstdio>

#include "frame/program_objects.h"
#include "settings/settings_store.h"

namespace starbloom {

namespace {
std::vector<std::string> runOverrides; // written once, by keepSettingOverrides at start-up
} // namespace

void keepSettingOverrides(const std::vector<std::string>& overrides) { runOverrides = overrides; }

bool readSaverSettings() {
  readSettings();
  for (const std::string& assignment : runOverrides) {
    std::string error;
    if (!applySettingOverride(settings, assignment.c_str(), error)) {
      std::fprintf(stderr, "starbloom: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

} // namespace starbloom
