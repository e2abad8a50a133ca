// Fuzz target: writing settings, then reading them back. FuzzedDataProvider
// splits the input into a list of writes (taken from the end of the input)
// and the file as it was before them (the rest). Three writers are driven:
// the in-memory edit profileSetInText with any section, key and value; the
// dialogs' batch write writeSettingsTo; and the one-key writeSettingTo.
// After each, the text must equal what a line-based model of the documented
// edit gives (the value replaced in place, or "key=value" added after the
// section's last non-blank line, or the section appended), so every other
// line survives byte for byte; names and values that cannot be stored must
// be refused with the text untouched; and every key written with a number
// must read back as that number, through the in-memory lookup and through
// the dialogs' read of the file, while every key not written keeps the
// value the old file gave it.
#include <fuzzer/FuzzedDataProvider.h>

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

struct Write {
  std::string section;
  std::string key;
  std::string value;
  bool numeric = false;
  int number = 0;
};

// A table key, its letters' case picked by the input.
std::string tableKey(FuzzedDataProvider& in) {
  std::string key = SETTING_TABLE[in.ConsumeIntegralInRange(0, SETTING_COUNT - 1)].key;
  const auto flips = in.ConsumeIntegral<std::uint32_t>();
  for (std::size_t i = 0; i < key.size() && i < 32; ++i) {
    if ((flips >> i) & 1u && key[i] >= 'a' && key[i] <= 'z') key[i] = static_cast<char>(key[i] - 32);
  }
  return key;
}

void checkText(const std::string& got, const std::string& expected, const char* what) {
  FUZZ_CHECK(got == expected, "%s: text of %zu bytes, the model's %zu bytes differ", what,
             got.size(), expected.size());
}

void inMemoryWrites(FuzzedDataProvider& in) {
  std::vector<Write> writes(in.ConsumeIntegralInRange(1, 6));
  for (Write& w : writes) {
    w.section = in.ConsumeBool() ? std::string(SETTINGS_SECTION) : in.ConsumeRandomLengthString(12);
    w.key = in.ConsumeBool() ? tableKey(in) : in.ConsumeRandomLengthString(12);
    w.numeric = in.ConsumeBool();
    if (w.numeric) {
      w.number = in.ConsumeIntegral<int>();
      w.value = std::to_string(w.number);
    } else {
      w.value = in.ConsumeRandomLengthString(12);
    }
  }
  std::string text = in.ConsumeRemainingBytesAsString();
  std::vector<const Write*> stored;
  for (const Write& w : writes) {
    // Names with NUL bytes cannot reach the C-string interface whole.
    if (w.section.find('\0') != std::string::npos || w.key.find('\0') != std::string::npos ||
        w.value.find('\0') != std::string::npos) {
      continue;
    }
    const std::string before = text;
    const bool ok = profileSetInText(text, w.section.c_str(), w.key.c_str(), w.value.c_str());
    const bool storable = modelStorable(w.section, w.key, w.value);
    FUZZ_CHECK(ok == storable, "profileSetInText returned %d for a %sstorable write", ok,
               storable ? "" : "non-");
    if (!ok) {
      checkText(text, before, "refused write");
      continue;
    }
    checkText(text, modelSet(before, w.section, w.key, w.value), "profileSetInText");
    stored.push_back(&w);
  }
  // Each numeric write reads back unless a later write went to the same key.
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const Write& w = *stored[i];
    bool overwritten = false;
    for (std::size_t j = i + 1; j < stored.size(); ++j) {
      overwritten = overwritten || (modelSameName(stored[j]->section, w.section) &&
                                    modelSameName(stored[j]->key, w.key));
    }
    if (!w.numeric || overwritten) continue;
    const int sentinel = w.number == 7 ? 8 : 7;
    const int back = profileReadIntFrom(text, w.section.c_str(), w.key.c_str(), sentinel);
    FUZZ_CHECK(back == w.number, "[%s] %s wrote %d, read back %d", w.section.c_str(),
               w.key.c_str(), w.number, back);
  }
}

void storeWrites(FuzzedDataProvider& in, bool oneKey) {
  const int count = oneKey ? 1 : in.ConsumeIntegralInRange(1, 8);
  std::vector<std::string> keys;
  std::vector<int> rawValues;
  for (int i = 0; i < count; ++i) {
    keys.push_back(tableKey(in));
    rawValues.push_back(in.ConsumeIntegral<int>());
  }
  const std::string original = in.ConsumeRemainingBytesAsString();
  const std::string& path = tempSettingsPath();
  writeWholeFile(path, original);

  Settings s;
  std::vector<const char*> keyPointers;
  for (int i = 0; i < count; ++i) {
    storeSettingValue(s, *findSetting(keys[i].c_str()), rawValues[i]);
    keyPointers.push_back(keys[i].c_str());
  }
  std::string expected = original;
  if (oneKey) {
    FUZZ_CHECK(writeSettingTo(path, keys[0].c_str(), rawValues[0]), "writeSettingTo failed");
    expected = modelSet(expected, SETTINGS_SECTION, findSetting(keys[0].c_str())->key,
                        std::to_string(rawValues[0]));
  } else {
    FUZZ_CHECK(writeSettingsTo(path, s, keyPointers.data(), count), "writeSettingsTo failed");
    for (int i = 0; i < count; ++i) {
      const SettingEntry& entry = *findSetting(keys[i].c_str());
      expected = modelSet(expected, SETTINGS_SECTION, entry.key, std::to_string(settingValue(s, entry)));
    }
  }
  checkText(readWholeFile(path), expected, oneKey ? "writeSettingTo" : "writeSettingsTo");

  Settings back;
  readSettingValuesFrom(path, back);
  for (const SettingEntry& entry : SETTING_TABLE) {
    bool written = false;
    int value = 0;
    for (int i = 0; i < count; ++i) {
      if (findSetting(keys[i].c_str()) != &entry) continue;
      written = true;
      value = oneKey ? rawValues[i] : settingValue(s, entry);
    }
    long long expectedValue =
        written ? value : modelReadInt(original, SETTINGS_SECTION, entry.key, entry.openDefault);
    if (entry.kind == SettingKind::OnOff) expectedValue &= 1;
    const int got = settingValue(back, entry);
    FUZZ_CHECK(got == expectedValue, "%s reads back as %d, expected %lld (%s)", entry.key, got,
               expectedValue, written ? "written" : "kept");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: inMemoryWrites(in); break;
    case 1: storeWrites(in, false); break;
    default: storeWrites(in, true); break;
  }
  return 0;
}
