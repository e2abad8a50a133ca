// The settings store: everything that walks the table of the 25 keys. The
// start-up read loads the settings file once and looks each key up in table
// order; the two clamps and the blur factor on sizeBase happen at fixed
// points of that walk, found by key in the table at compile time, so
// reordering the table cannot silently move them. Writes go through the
// profile layer's atomic rewrite; a dialog's keys are edited in memory and
// written in one rewrite. Nothing here runs per frame.
#include "settings/settings_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pwd.h>
#include <unistd.h>

#include "math/vector.h"
#include "settings/file_replace.h"
#include "settings/profile.h"
#include "report/quoted_text.h"

namespace starbloom {

namespace {

// sizeBase restarts just before detail is read; the clamps and the blur
// factor follow half, which closes the first group of ten keys.
constexpr int DETAIL_INDEX = settingIndex("detail");
constexpr int HALF_INDEX = settingIndex("half");
static_assert(DETAIL_INDEX == 3 && HALF_INDEX == 9, "start-up steps sit between the first ten keys");
static_assert(settingIndex("ttime") < HALF_INDEX && settingIndex("blur") < HALF_INDEX,
              "the clamped keys and blur are read before the clamps apply");

bool keyMatches(const char* tableKey, const char* key, std::size_t length) {
  if (std::strlen(tableKey) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (asciiLower(tableKey[i]) != asciiLower(key[i])) return false;
  }
  return true;
}

const SettingEntry* findSettingSpan(const char* key, std::size_t length) {
  for (const SettingEntry& entry : SETTING_TABLE) {
    if (keyMatches(entry.key, key, length)) return &entry;
  }
  return nullptr;
}

void readFromText(const std::string& text, Settings& s, bool startUpRules) {
  for (int i = 0; i < SETTING_COUNT; ++i) {
    const SettingEntry& entry = SETTING_TABLE[i];
    if (startUpRules && i == DETAIL_INDEX) s.sizeBase = SIZE_BASE_START;
    const int fallback = startUpRules ? entry.defaultValue : entry.openDefault;
    storeSettingValue(s, entry, profileReadIntFrom(text, SETTINGS_SECTION, entry.key, fallback));
    if (startUpRules && i == HALF_INDEX) {
      for (int j = 0; j <= HALF_INDEX; ++j) {
        const SettingEntry& c = SETTING_TABLE[j];
        if (c.clamped) s.*c.intField = clampInt(s.*c.intField, c.rangeMin, c.rangeMax);
      }
      if (s.blur) s.sizeBase *= BLUR_SIZE_FACTOR;
    }
  }
}

} // namespace

const SettingEntry* findSetting(const char* key) {
  return key ? findSettingSpan(key, std::strlen(key)) : nullptr;
}

int settingValue(const Settings& s, const SettingEntry& entry) {
  if (entry.kind == SettingKind::OnOff) return (s.*entry.boolField) ? 1 : 0;
  return s.*entry.intField;
}

void storeSettingValue(Settings& s, const SettingEntry& entry, int value) {
  if (entry.kind == SettingKind::OnOff) {
    s.*entry.boolField = (value & 1) != 0;
  } else {
    s.*entry.intField = value;
  }
}

float sizeBaseFor(bool blur) {
  float sizeBase = SIZE_BASE_START;
  if (blur) sizeBase *= BLUR_SIZE_FACTOR;
  return sizeBase;
}

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || !*home) return std::string();
  std::string base = home;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

std::string settingsFilePath() {
  // The XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const bool useXdg = xdg && xdg[0] == '/';
  std::string base = useXdg ? std::string(xdg) : homeFolder();
  if (base.empty()) return base;
  while (!base.empty() && base.back() == '/') base.pop_back(); // "/" becomes ""
  if (!useXdg) base += "/.config";
  return base + "/starbloom/" + SETTINGS_FILE_NAME;
}

void readSettingsFrom(const std::string& path, Settings& s) {
  std::string text;
  loadWholeFile(path.c_str(), text); // unreadable reads as empty: every key takes its default
  readFromText(text, s, true);
}

void readSettings() { readSettingsFrom(settingsFilePath(), settings); }

void readSettingValuesFrom(const std::string& path, Settings& s) {
  std::string text;
  loadWholeFile(path.c_str(), text);
  readFromText(text, s, false);
}

bool writeSettingTo(const std::string& path, const char* key, int value) {
  const SettingEntry* entry = findSetting(key);
  if (!entry) return false;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  return profileWriteString(path.c_str(), SETTINGS_SECTION, entry->key, digits);
}

bool writeSettingsTo(const std::string& path, const Settings& s, const char* const* keys,
                     int count) {
  std::string text;
  if (loadWholeFile(path.c_str(), text) == FileLoad::Failed) return false;
  for (int i = 0; i < count; ++i) {
    const SettingEntry* entry = findSetting(keys[i]);
    if (!entry) return false;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", settingValue(s, *entry));
    if (!profileSetInText(text, SETTINGS_SECTION, entry->key, digits)) return false;
  }
  return replaceFile(path.c_str(), text);
}

bool writeSettings(const Settings& s, const char* const* keys, int count) {
  return writeSettingsTo(settingsFilePath(), s, keys, count);
}

bool applySettingOverride(Settings& s, const char* assignment, std::string& error) {
  error.clear();
  if (!assignment) assignment = "";
  const std::size_t length = std::strlen(assignment);
  const std::string shown = "--set " + quotedText(assignment, length);
  const char* equals = std::strchr(assignment, '=');
  if (!equals) {
    error = shown + ": expected KEY=VALUE";
    return false;
  }
  const std::size_t keyLength = static_cast<std::size_t>(equals - assignment);
  const SettingEntry* entry = findSettingSpan(assignment, keyLength);
  if (!entry) {
    error = shown + ": unknown setting " + quotedText(assignment, keyLength) + " (known:";
    for (const SettingEntry& e : SETTING_TABLE) error += std::string(" ") + e.key;
    error += ")";
    return false;
  }
  const char* value = equals + 1;
  const std::size_t valueLength = std::strlen(value);
  const ProfileInt parsed = parseProfileInt(value, valueLength);
  if (!parsed.hasDigits || parsed.used != valueLength) {
    error = shown + ": value " + quotedText(value, valueLength) + " of " + entry->key +
            " is not a decimal integer";
    return false;
  }
  int stored = parsed.value;
  if (entry->clamped) stored = clampInt(stored, entry->rangeMin, entry->rangeMax);
  storeSettingValue(s, *entry, stored);
  if (entry->boolField == &Settings::blur) s.sizeBase = sizeBaseFor(s.blur);
  return true;
}

} // namespace starbloom
