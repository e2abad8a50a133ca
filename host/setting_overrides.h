#pragma once
// This run's --set overrides, applied every time the saver reads its
// settings.
#include <string>
#include <vector>

namespace starbloom {

// Keeps this run's --set assignments for every later read of the settings.
void keepSettingOverrides(const std::vector<std::string>& overrides);
// The settings file, then this run's --set overrides; false (with a message
// on stderr) when an override is bad.
bool readSaverSettings();

} // namespace starbloom
