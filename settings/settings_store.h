#pragma once
// Reading and writing the settings file: the start-up read, the dialogs'
// read and writes, and the --set overrides, each a walk over the settings
// table (setting_table.h).
#include <string>

#include "settings/setting_table.h"

namespace starbloom {

constexpr const char* SETTINGS_SECTION = "param";
constexpr const char* SETTINGS_FILE_NAME = "Sbconfig.ini";

// sizeBase while the keys are read, and its factor when blur is on.
constexpr float SIZE_BASE_START = 0.15f;
constexpr float BLUR_SIZE_FACTOR = 0.71428573f;

// The entry of a key, matched case-insensitively as the file does; nullptr
// for an unknown key.
const SettingEntry* findSetting(const char* key);

// A field as the integer the file stores (booleans as 0 or 1).
int settingValue(const Settings& s, const SettingEntry& entry);

// Stores an integer into a field: booleans keep bit 0, integers are taken as
// they are (the clamp is the caller's step, as reading orders it).
void storeSettingValue(Settings& s, const SettingEntry& entry, int value);

// sizeBase as reading leaves it: 0.15, times 0.71428573 with blur on.
float sizeBaseFor(bool blur);

// The user's home folder: HOME when set and not empty, else the password
// database's; no trailing "/" (but "/" itself stays); empty when none.
std::string homeFolder();

// $XDG_CONFIG_HOME/starbloom/Sbconfig.ini when XDG_CONFIG_HOME is an
// absolute path, else $HOME/.config/starbloom/Sbconfig.ini, with the
// password database's home directory when HOME is unset or empty. Empty
// when no home can be found: reads then give the defaults and writes fail.
std::string settingsFilePath();

// The start-up read: all 25 keys in table order, bit 0 for booleans as each
// is read, sizeBase set to 0.15 just before detail, detail clamped to 1..4
// and ttime to 5..20 right after half, then the blur factor on sizeBase,
// then the remaining keys. A missing or unreadable file gives every default.
void readSettingsFrom(const std::string& path, Settings& s);

// readSettingsFrom(settingsFilePath(), settings): the running saver's read.
void readSettings();

// The dialogs' read: the same keys, without the clamps and without
// touching sizeBase; a missing key takes its dialogs' opening default.
void readSettingValuesFrom(const std::string& path, Settings& s);

// Stores one key's value as decimal text under [param]. False for a key not
// in the table or when the file cannot be written (the old file then stays).
bool writeSettingTo(const std::string& path, const char* key, int value);

// Stores the listed fields of s in one atomic rewrite of the file, so a
// dialog's "OK" writes all its keys or none. False for an unknown key (and
// nothing written) or when the file cannot be written.
bool writeSettingsTo(const std::string& path, const Settings& s, const char* const* keys,
                     int count);
bool writeSettings(const Settings& s, const char* const* keys, int count);

// One "--set KEY=VALUE" override, applied to a record that readSettings has
// filled and before the scene set-up adjusts it, as if the value had been
// read from the file: KEY matches case-insensitively, VALUE must be a whole
// decimal integer with an optional sign (beyond the 32-bit range it
// saturates, as in the file), booleans keep bit 0, detail and ttime are
// clamped. A blur override recomputes sizeBase from 0.15, so the record
// ends as reading a file with that blur would leave it; the scene set-up's
// factor for big still comes after. On an unknown key or a value that is
// not a number, returns false with a one-line message in error and leaves
// s unchanged.
bool applySettingOverride(Settings& s, const char* assignment, std::string& error);

} // namespace starbloom
