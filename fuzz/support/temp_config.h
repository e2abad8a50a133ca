#pragma once
// A private configuration folder for the settings targets: made once per
// process in memory-backed storage when there is some, named by
// XDG_CONFIG_HOME, and removed with its contents when the process exits.
#include <string>

namespace starbloom_fuzz {

// The settings file path inside the private folder (settingsFilePath() once
// XDG_CONFIG_HOME points there). Aborts when no folder can be made.
const std::string& tempSettingsPath();

// Replaces the file's content with text; aborts when that fails.
void writeWholeFile(const std::string& path, const std::string& text);

// The file's whole content; aborts when it cannot be read.
std::string readWholeFile(const std::string& path);

} // namespace starbloom_fuzz
