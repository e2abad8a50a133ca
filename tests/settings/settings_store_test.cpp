#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

#include "settings/settings_store.h"
#include "temp_folder.h"

namespace starbloom {
namespace {

using SettingsStore = TempFolderTest;
constexpr float BLUR_SIZE_BASE = 0.15f * 0.71428573f;

// Every field away from its default, so a read that skips a field shows.
Settings scrambled() {
  Settings s;
  for (const SettingEntry& e : SETTING_TABLE) storeSettingValue(s, e, e.defaultValue + 1);
  s.sizeBase = 99.0f;
  return s;
}

void expectSame(const Settings& actual, const Settings& expected, const std::string& context) {
  for (const SettingEntry& e : SETTING_TABLE) {
    EXPECT_EQ(settingValue(actual, e), settingValue(expected, e)) << e.key << " " << context;
  }
  EXPECT_FLOAT_EQ(actual.sizeBase, expected.sizeBase) << context;
}

// Sets or unsets an environment variable for one test and restores it after.
struct ScopedEnv {
  const char* name;
  bool had = std::getenv(name) != nullptr;
  std::string saved = had ? std::getenv(name) : "";
  ~ScopedEnv() { set(had ? saved.c_str() : nullptr); }
  void set(const char* v) const { v ? setenv(name, v, 1) : unsetenv(name); }
};

TEST_F(SettingsStore, NoFileGivesExactlyTheDefaults) {
  Settings s = scrambled();
  readSettingsFrom(path, s);
  expectSame(s, Settings{}, "no file");
  EXPECT_FLOAT_EQ(s.sizeBase, BLUR_SIZE_BASE);
}

// Each line as the start-up read, the dialogs' read (no clamps, sizeBase untouched)
// and a --set override see it; a bad override is a one-line error that changes nothing.
TEST_F(SettingsStore, EachLineReadsAtStartUpInADialogAndAsAnOverride) {
  struct Case {
    const char* line;
    const char* key;
    int startUp;                 // the key after the start-up read and after the override
    int dialog;                  // the key after the dialogs' read
    const char* error = nullptr; // a text the override's error must hold
  };
  const std::string longValue = "tex=" + std::string(120000, 'x');
  const Case cases[] = {
      {"ttime=3", "ttime", 5, 3}, {"ttime=50", "ttime", 20, 50}, {"detail=0", "detail", 1, 0},
      {"detail=9", "detail", 4, 9}, {"detail=4", "detail", 4, 4}, {"land=2", "land", 0, 0},
      {"land=3", "land", 1, 1}, {"spread=100", "spread", 100, 100}, {"LENS=1", "lens", 1, 1},
      {"airreg=+7", "airreg", 7, 7}, {"gamma=-4", "gamma", -4, -4}, {"blur=0", "blur", 0, 0},
      {"ress=99999999999", "ress", INT_MAX, INT_MAX}, {"blur=2", "blur", 0, 0}, {"blur=3", "blur", 1, 1},
      {"ttime=", "ttime", 10, 10, "''"}, {"tex=12abc", "tex", 0, 0, "'12abc'"},
      {"tex=+", "tex", 0, 0, "'+'"}, {"tex= 1", "tex", 1, 1, "' 1'"},
      {"tex=1\n2", "tex", 1, 1, "'1?2'"}, {"LANDSI = 55 ", "landsi", 55, 55, "unknown setting 'LANDSI '"},
      {"foo=1", "tex", 1, 1, "unknown setting 'foo'"}, {"=1", "tex", 1, 1, "unknown setting ''"},
      {longValue.c_str(), "tex", 0, 0, "value 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"},
      {"tex", "tex", 1, 1, "KEY=VALUE"}, {"", "tex", 1, 1, "KEY=VALUE"},
  };
  for (const Case& c : cases) {
    for (const std::string blur : {"0", "1"}) {
      const std::string line = c.line, context = line.substr(0, 60) + " with blur=" + blur;
      Settings expected, s = scrambled(), dialog = scrambled(), overridden;
      expected.blur = blur == "1";
      storeSettingValue(expected, *findSetting(c.key), c.startUp);
      expected.sizeBase = expected.blur ? BLUR_SIZE_BASE : 0.15f;

      ASSERT_TRUE(writeBytes(path, "[param]\nblur=" + blur + "\n"));
      readSettingsFrom(path, overridden);
      const Settings before = overridden;
      std::string error = "stale";
      EXPECT_EQ(applySettingOverride(overridden, c.line, error), c.error == nullptr) << context;
      EXPECT_TRUE(c.error ? error.find(c.error) != std::string::npos : error.empty()) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
      EXPECT_LT(error.size(), 400u) << context;
      expectSame(overridden, c.error ? before : expected, context + " as --set");

      // The first of duplicate keys wins, so a blur line in the case beats the later one.
      ASSERT_TRUE(writeBytes(path, "[param]\r\n" + line + "\r\nblur=" + blur + "\r\n"));
      readSettingsFrom(path, s);
      readSettingValuesFrom(path, dialog);
      expectSame(s, expected, context);
      expected.big = false; // the dialogs open with "Small fire" cleared
      storeSettingValue(expected, *findSetting(c.key), c.dialog);
      expected.sizeBase = 99.0f;
      expectSame(dialog, expected, context + " in a dialog");
    }
  }
}

TEST_F(SettingsStore, FilePathFollowsXdgThenHomeThenThePasswordDatabase) {
  const ScopedEnv xdg{"XDG_CONFIG_HOME"}, home{"HOME"};
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  std::string userHome = user->pw_dir;
  while (!userHome.empty() && userHome.back() == '/') userHome.pop_back();
  const struct { const char* xdg; const char* home; std::string expected; } cases[] = {
      {"/x/cfg/", "/h", "/x/cfg"}, {"/x", nullptr, "/x"}, {"", "/h", "/h/.config"},
      {"relative/cfg", "/h", "/h/.config"}, {nullptr, "/h//", "/h/.config"}, {nullptr, "/", "/.config"},
      {nullptr, nullptr, userHome + "/.config"}, {nullptr, "", userHome + "/.config"},
  };
  for (const auto& c : cases) {
    xdg.set(c.xdg);
    home.set(c.home);
    EXPECT_EQ(settingsFilePath(), c.expected + "/starbloom/Sbconfig.ini") << (c.xdg ? c.xdg : "(unset)");
  }
  // The running saver reads the global from that path.
  xdg.set(dir.c_str());
  ASSERT_TRUE(writeSettingTo(settingsFilePath(), "ttime", 50));
  settings = scrambled();
  readSettings();
  EXPECT_EQ(settings.ttime, 20);
  EXPECT_EQ(settings.landres, 24);
  settings = Settings{};
}

TEST_F(SettingsStore, DialogWritesKeepOtherLinesAndStoreValuesAsGiven) {
  ASSERT_TRUE(writeBytes(path, "; user notes\r\n[param]\r\nttime=7\r\nmine=1\r\n[other]\r\ntex=1\r\n"));
  Settings edited = scrambled();
  edited.ttime = 3; // the clamp belongs to reading
  ASSERT_TRUE(writeSettingsTo(path, edited, MAIN_DIALOG_KEYS, MAIN_DIALOG_KEY_COUNT));
  EXPECT_EQ(readBytes(path), "; user notes\r\n[param]\r\nttime=3\r\nmine=1\r\ntex=0\r\nblur=0\r\nliner=1\r\n"
                             "blight=0\r\ndetail=3\r\nbig=0\r\nhalf=1\r\n[other]\r\ntex=1\r\n");
  ASSERT_TRUE(writeSettingsTo(path, edited, MORE_DIALOG_KEYS, MORE_DIALOG_KEY_COUNT));
  Settings back = scrambled();
  readSettingValuesFrom(path, back);
  Settings expected = edited; // all but directx and ress, which no dialog writes
  expected.directx = true;
  expected.ress = 2;
  expectSame(back, expected, "after both dialogs");
  const std::string before = readBytes(path);
  const char* keys[] = {"tex", "nosuch"};
  EXPECT_FALSE(writeSettingsTo(path, Settings{}, keys, 2)); // all keys or none
  EXPECT_EQ(readBytes(path), before);
}

} // namespace
} // namespace starbloom
