// Fuzz target: the settings file as the saver reads it. The input bytes are
// the whole file, placed where settingsFilePath() finds it (a private
// XDG_CONFIG_HOME). The start-up read, the dialogs' read and the global
// readSettings() must each give all 25 values exactly as a plain line-based
// model reads the same bytes, with the documented rules applied on top:
// booleans keep bit 0, detail is clamped to 1..4 and ttime to 5..20 at
// start-up only, every other value is stored as read (saturated to 32 bits),
// and sizeBase follows blur. The in-memory lookup is held to the same model
// with the section and key names in another case, and the integer parser to
// the model's parse of the raw bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/profile.h"
#include "settings/settings_store.h"
#include "support/check.h"
#include "support/profile_model.h"
#include "support/temp_config.h"

using namespace starbloom;
using namespace starbloom_fuzz;

namespace {

// The rules as the settings are documented, written out here rather than
// taken from the store's table, so a table that drifts is caught too.
struct Rule {
  const char* key;
  bool boolean;
  int lo, hi; // the start-up clamp; lo > hi for none
};

constexpr Rule RULES[SETTING_COUNT] = {
    {"tex", true, 1, 0},          {"liner", true, 1, 0},      {"blight", true, 1, 0},
    {"detail", false, 1, 4},      {"ttime", false, 5, 20},    {"blur", true, 1, 0},
    {"directx", true, 1, 0},      {"ress", false, 1, 0},      {"big", true, 1, 0},
    {"half", true, 1, 0},         {"flash", true, 1, 0},      {"move", true, 1, 0},
    {"diffuse", true, 1, 0},      {"spread", false, 1, 0},    {"airreg", false, 1, 0},
    {"land", true, 1, 0},         {"zbuffer", true, 1, 0},    {"landres", false, 1, 0},
    {"landsi", false, 1, 0},      {"flash_effect", true, 1, 0}, {"lcolor", false, 1, 0},
    {"multipass", true, 1, 0},    {"fog", true, 1, 0},        {"gamma", false, 1, 0},
    {"lens", true, 1, 0},
};

std::string upper(const char* text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

long long expectedAtStartUp(const Rule& rule, long long raw) {
  if (rule.boolean) return raw & 1;
  if (rule.lo <= rule.hi) return raw < rule.lo ? rule.lo : raw > rule.hi ? rule.hi : raw;
  return raw;
}

void checkIntegerParser(const std::string& text) {
  const ProfileInt real = parseProfileInt(text.data(), text.size());
  const ModelInt model = modelParseInt(text);
  std::size_t used = 0;
  if (model.hasDigits) {
    used = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    while (used < text.size() && text[used] >= '0' && text[used] <= '9') ++used;
  }
  FUZZ_CHECK(real.hasDigits == model.hasDigits && real.value == model.value && real.used == used,
             "parseProfileInt gave %d (used %zu, digits %d), the model %lld (used %zu, digits %d)",
             real.value, real.used, real.hasDigits, model.value, used, model.hasDigits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string& path = tempSettingsPath();
  writeWholeFile(path, text);
  checkIntegerParser(text);

  Settings startUp;
  startUp.sizeBase = -1.0f;
  readSettingsFrom(path, startUp);
  Settings dialog;
  readSettingValuesFrom(path, dialog);
  settings = Settings();
  readSettings();

  const std::vector<ModelLine> lines = modelSplit(text);
  for (const Rule& rule : RULES) {
    const SettingEntry* entry = findSetting(rule.key);
    FUZZ_CHECK(entry != nullptr, "the table lacks %s", rule.key);
    FUZZ_CHECK((entry->kind == SettingKind::OnOff) == rule.boolean, "%s has the wrong kind", rule.key);
    const long long raw = modelReadInt(lines, SETTINGS_SECTION, rule.key, entry->defaultValue);

    const int inMemory = profileReadIntFrom(text, SETTINGS_SECTION, rule.key, entry->defaultValue);
    FUZZ_CHECK(inMemory == raw, "profileReadIntFrom(%s) gave %d, the model %lld", rule.key,
               inMemory, raw);
    const int otherCase =
        profileReadIntFrom(text, upper(SETTINGS_SECTION).c_str(), upper(rule.key).c_str(),
                           entry->defaultValue);
    FUZZ_CHECK(otherCase == raw, "upper-case lookup of %s gave %d, the model %lld", rule.key,
               otherCase, raw);

    const long long atStartUp = expectedAtStartUp(rule, raw);
    const int got = settingValue(startUp, *entry);
    FUZZ_CHECK(got == atStartUp, "start-up read of %s gave %d, expected %lld (read %lld)",
               rule.key, got, atStartUp, raw);
    if (rule.boolean) FUZZ_CHECK(got == 0 || got == 1, "%s is %d", rule.key, got);
    if (rule.lo <= rule.hi) FUZZ_CHECK(got >= rule.lo && got <= rule.hi, "%s is %d", rule.key, got);
    const int global = settingValue(settings, *entry);
    FUZZ_CHECK(global == got, "readSettings() gave %s=%d, readSettingsFrom %d", rule.key, global, got);

    const long long rawForDialog = modelReadInt(lines, SETTINGS_SECTION, rule.key, entry->openDefault);
    const long long forDialog = rule.boolean ? rawForDialog & 1 : rawForDialog;
    const int dialogValue = settingValue(dialog, *entry);
    FUZZ_CHECK(dialogValue == forDialog, "dialog read of %s gave %d, expected %lld", rule.key,
               dialogValue, forDialog);
  }
  const float sizeBase = startUp.blur ? 0.15f * 0.71428573f : 0.15f;
  FUZZ_CHECK(startUp.sizeBase == sizeBase, "sizeBase %g with blur %d", startUp.sizeBase, startUp.blur);
  return 0;
}
