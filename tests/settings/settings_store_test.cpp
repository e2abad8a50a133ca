#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <set>
#include <string>

#include <pwd.h>
#include <unistd.h>

#include "settings/profile.h"
#include "settings/settings_store.h"
#include "temp_folder.h"

namespace starbloom {
namespace {

constexpr float SIZE_BASE_BLUR = 0.10714286f;

// Every field away from its default, so a read that skips a field shows.
Settings scrambled() {
  Settings s;
  for (const SettingEntry& e : SETTING_TABLE) {
    storeSettingValue(s, e, e.kind == SettingKind::Bool ? 1 - e.defaultValue : 777);
  }
  s.sizeBase = 99.0f;
  return s;
}

void expectSameSettings(const Settings& actual, const Settings& expected, const std::string& context) {
  for (const SettingEntry& e : SETTING_TABLE) {
    EXPECT_EQ(settingValue(actual, e), settingValue(expected, e)) << e.key << " " << context;
  }
  EXPECT_FLOAT_EQ(actual.sizeBase, expected.sizeBase) << context;
}

// Restores XDG_CONFIG_HOME and HOME when the test ends.
class EnvironmentGuard {
 public:
  EnvironmentGuard() : xdg_(save("XDG_CONFIG_HOME")), home_(save("HOME")) {}
  ~EnvironmentGuard() {
    restore("XDG_CONFIG_HOME", xdg_);
    restore("HOME", home_);
  }

 private:
  struct Saved { bool set; std::string value; };
  static Saved save(const char* name) {
    const char* v = std::getenv(name);
    return Saved{v != nullptr, v ? v : ""};
  }
  static void restore(const char* name, const Saved& saved) {
    if (saved.set) setenv(name, saved.value.c_str(), 1);
    else unsetenv(name);
  }
  Saved xdg_;
  Saved home_;
};

void setOrUnset(const char* name, const char* value) {
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

TEST(SettingsStore, TableMatchesTheRecordDefaultsAndKeysAreUnique) {
  const Settings defaults;
  std::set<std::string> keys;
  for (const SettingEntry& e : SETTING_TABLE) {
    EXPECT_EQ(settingValue(defaults, e), e.defaultValue) << e.key;
    EXPECT_TRUE(keys.insert(e.key).second) << e.key;
    EXPECT_EQ((e.kind == SettingKind::Bool), (e.boolField != nullptr)) << e.key;
    EXPECT_EQ((e.kind == SettingKind::Int), (e.intField != nullptr)) << e.key;
    std::string upper = e.key;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(findSetting(upper.c_str()), &e);
  }
  EXPECT_EQ(findSetting("nosuch"), nullptr);
  EXPECT_EQ(findSetting("te"), nullptr);
  EXPECT_FLOAT_EQ(defaults.sizeBase, SIZE_BASE_BLUR);
  // Each dialog writes table keys, directx and ress belong to neither.
  for (const char* key : MAIN_DIALOG_KEYS) EXPECT_NE(findSetting(key), nullptr) << key;
  for (const char* key : MORE_DIALOG_KEYS) EXPECT_NE(findSetting(key), nullptr) << key;
  EXPECT_EQ(MAIN_DIALOG_KEY_COUNT + MORE_DIALOG_KEY_COUNT + 2, SETTING_COUNT);
}

TEST(SettingsStore, NoFileGivesExactlyTheDefaults) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  Settings s = scrambled();
  readSettingsFrom(dir / "missing/Sbconfig.ini", s);
  expectSameSettings(s, Settings{}, "missing file");
  EXPECT_FLOAT_EQ(s.sizeBase, SIZE_BASE_BLUR);

  s = scrambled();
  ASSERT_TRUE(writeBytes(dir / "other.ini", "[other]\ntex=0\nttime=7\n"));
  readSettingsFrom(dir / "other.ini", s);
  expectSameSettings(s, Settings{}, "file without [param]");
}

TEST(SettingsStore, StartUpReadAppliesBitZeroAndClamps) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  struct Case { const char* line; const char* key; int expected; };
  const Case cases[] = {
      {"ttime=3", "ttime", 5},       {"ttime=50", "ttime", 20},    {"ttime=12", "ttime", 12},
      {"ttime=x", "ttime", 5},       {"ttime=", "ttime", 10},      {"detail=0", "detail", 1},
      {"detail=9", "detail", 4},     {"detail=4", "detail", 4},    {"detail=-5", "detail", 1},
      {"detail=3abc", "detail", 3},  {"land=2", "land", 0},        {"land=3", "land", 1},
      {"tex=12abc", "tex", 0},       {"tex=x", "tex", 0},          {"lens=-1", "lens", 1},
      {"spread=100", "spread", 100}, {"airreg=-7", "airreg", -7},  {"ress=+9", "ress", 9},
      {"gamma=99999999999", "gamma", INT_MAX}, {"LANDSI = 55 ", "landsi", 55},
      {"lcolor=", "lcolor", 1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(writeBytes(path, std::string("[param]\r\n") + c.line + "\r\n"));
    Settings s = scrambled();
    readSettingsFrom(path, s);
    const SettingEntry* e = findSetting(c.key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(settingValue(s, *e), c.expected) << c.line;
    // Every other key still takes its default.
    Settings expected;
    storeSettingValue(expected, *e, c.expected);
    expectSameSettings(s, expected, c.line);
  }
}

TEST(SettingsStore, SizeBaseFollowsBlurBitZero) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  struct Case { const char* line; float sizeBase; };
  const Case cases[] = {
      {"blur=0", 0.15f}, {"blur=1", SIZE_BASE_BLUR}, {"blur=2", 0.15f}, {"blur=3", SIZE_BASE_BLUR},
      {"blur=junk", 0.15f}, {"blur=", SIZE_BASE_BLUR}, {"big=0", SIZE_BASE_BLUR},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(writeBytes(path, std::string("[param]\n") + c.line + "\n"));
    Settings s = scrambled();
    readSettingsFrom(path, s);
    EXPECT_FLOAT_EQ(s.sizeBase, c.sizeBase) << c.line;
  }
}

TEST(SettingsStore, DialogReadSkipsClampsAndSizeBase) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  ASSERT_TRUE(writeBytes(path, "[param]\nttime=3\ndetail=9\nblur=0\nland=3\n"));
  Settings s = scrambled();
  readSettingValuesFrom(path, s);
  EXPECT_EQ(s.ttime, 3);
  EXPECT_EQ(s.detail, 9);
  EXPECT_FALSE(s.blur);
  EXPECT_TRUE(s.land);
  EXPECT_EQ(s.spread, 15);
  EXPECT_FLOAT_EQ(s.sizeBase, 99.0f);
}

TEST(SettingsStore, FilePathFollowsXdgThenHome) {
  EnvironmentGuard guard;
  struct Case { const char* xdg; const char* home; const char* expected; };
  const Case cases[] = {
      {"/x/cfg", "/h", "/x/cfg/starbloom/Sbconfig.ini"},
      {"/x/cfg/", "/h", "/x/cfg/starbloom/Sbconfig.ini"},
      {"", "/h", "/h/.config/starbloom/Sbconfig.ini"},
      {"relative/cfg", "/h", "/h/.config/starbloom/Sbconfig.ini"},
      {nullptr, "/h", "/h/.config/starbloom/Sbconfig.ini"},
      {"/x", nullptr, "/x/starbloom/Sbconfig.ini"},
      {nullptr, "/h//", "/h/.config/starbloom/Sbconfig.ini"},
      {nullptr, "/", "/.config/starbloom/Sbconfig.ini"},
  };
  for (const Case& c : cases) {
    setOrUnset("XDG_CONFIG_HOME", c.xdg);
    setOrUnset("HOME", c.home);
    EXPECT_EQ(settingsFilePath(), c.expected) << (c.xdg ? c.xdg : "(unset)");
  }
  // Without HOME the password database names the home folder.
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  std::string home = user->pw_dir;
  while (!home.empty() && home.back() == '/') home.pop_back();
  for (const char* emptyHome : {static_cast<const char*>(nullptr), ""}) {
    unsetenv("XDG_CONFIG_HOME");
    setOrUnset("HOME", emptyHome);
    EXPECT_EQ(settingsFilePath(), home + "/.config/starbloom/Sbconfig.ini");
  }
}

TEST(SettingsStore, ReadSettingsFillsTheGlobalFromTheConfigFolder) {
  EnvironmentGuard guard;
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  ASSERT_TRUE(writeSettingTo(settingsFilePath(), "ttime", 50));
  ASSERT_TRUE(writeSettingTo(settingsFilePath(), "blur", 0));
  EXPECT_EQ(readBytes(dir / "starbloom/Sbconfig.ini"), "[param]\nttime=50\nblur=0\n");
  settings = scrambled();
  readSettings();
  EXPECT_EQ(settings.ttime, 20);
  EXPECT_FALSE(settings.blur);
  EXPECT_FLOAT_EQ(settings.sizeBase, 0.15f);
  EXPECT_EQ(settings.landres, 24);
  settings = Settings{};
}

TEST(SettingsStore, OverridesFollowTheFileRules) {
  struct Case { const char* assignment; const char* key; int expected; };
  const Case cases[] = {
      {"ttime=3", "ttime", 5},     {"ttime=50", "ttime", 20},   {"detail=0", "detail", 1},
      {"detail=9", "detail", 4},   {"detail=4", "detail", 4},   {"land=2", "land", 0},
      {"land=3", "land", 1},       {"spread=100", "spread", 100}, {"LENS=1", "lens", 1},
      {"gamma=-4", "gamma", -4},   {"airreg=+7", "airreg", 7},  {"ress=99999999999", "ress", INT_MAX},
      {"tex=0", "tex", 0},
  };
  for (const Case& c : cases) {
    Settings s;
    std::string error = "stale";
    ASSERT_TRUE(applySettingOverride(s, c.assignment, error)) << c.assignment;
    EXPECT_TRUE(error.empty());
    const SettingEntry* e = findSetting(c.key);
    ASSERT_NE(e, nullptr);
    Settings expected;
    storeSettingValue(expected, *e, c.expected);
    expectSameSettings(s, expected, c.assignment);
  }
}

TEST(SettingsStore, BadOverridesAreOneLineErrorsAndChangeNothing) {
  struct Case { const char* assignment; const char* mentions; };
  const Case cases[] = {
      {"tex=12abc", "\"12abc\""}, {"tex=", "\"\""},          {"tex=x", "\"x\""},
      {"tex= 1", "\" 1\""},       {"tex=+", "\"+\""},        {"tex=1\n2", "\"1?2\""},
      {"foo=1", "unknown setting \"foo\""}, {"=1", "unknown setting \"\""},
      {"tex", "KEY=VALUE"},       {"", "KEY=VALUE"},
  };
  for (const Case& c : cases) {
    const Settings before = scrambled();
    Settings s = before;
    std::string error;
    EXPECT_FALSE(applySettingOverride(s, c.assignment, error)) << c.assignment;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    expectSameSettings(s, before, c.assignment);
  }
}

TEST(SettingsStore, BlurOverrideLeavesWhatReadingThatBlurWould) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  for (int fileBlur : {0, 1}) {
    for (int overrideBlur : {0, 1, 2, 3}) {
      ASSERT_TRUE(writeBytes(path, "[param]\nblur=" + std::to_string(fileBlur) + "\n"));
      Settings overridden;
      readSettingsFrom(path, overridden);
      std::string error;
      ASSERT_TRUE(applySettingOverride(overridden, ("blur=" + std::to_string(overrideBlur)).c_str(), error));

      ASSERT_TRUE(writeBytes(path, "[param]\nblur=" + std::to_string(overrideBlur) + "\n"));
      Settings read;
      readSettingsFrom(path, read);
      expectSameSettings(overridden, read, "blur " + std::to_string(fileBlur) + " -> " +
                                               std::to_string(overrideBlur));
    }
  }
  // Other overrides leave sizeBase alone.
  Settings s;
  s.sizeBase = 0.21f;
  std::string error;
  ASSERT_TRUE(applySettingOverride(s, "big=0", error));
  EXPECT_FLOAT_EQ(s.sizeBase, 0.21f);
}

TEST(SettingsStore, DialogWritesKeepOtherLinesAndReadBack) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  const std::string before = "; user notes\r\n[param]\r\nttime=7\r\nmine=1\r\n[other]\r\ntex=1\r\n";
  ASSERT_TRUE(writeBytes(path, before));

  Settings edited = scrambled();
  edited.ttime = 13;
  ASSERT_TRUE(writeSettingsTo(path, edited, MAIN_DIALOG_KEYS, MAIN_DIALOG_KEY_COUNT));
  EXPECT_EQ(readBytes(path),
            "; user notes\r\n[param]\r\nttime=13\r\nmine=1\r\ntex=0\r\nblur=0\r\nliner=1\r\n"
            "blight=0\r\ndetail=777\r\nbig=0\r\nhalf=1\r\n[other]\r\ntex=1\r\n");
  ASSERT_TRUE(writeSettingsTo(path, edited, MORE_DIALOG_KEYS, MORE_DIALOG_KEY_COUNT));

  Settings back;
  readSettingValuesFrom(path, back);
  Settings expected = edited;
  expected.directx = true;  // never written: still the default
  expected.ress = 2;
  expected.sizeBase = back.sizeBase;
  expectSameSettings(back, expected, "after both dialogs");
  EXPECT_EQ(readBytes(path).find("directx"), std::string::npos);
}

TEST(SettingsStore, WritesRefuseUnknownKeysAndTouchNothing) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "Sbconfig.ini";
  EXPECT_FALSE(writeSettingTo(path, "nosuch", 1));
  EXPECT_EQ(readBytes(path), "<missing>");

  ASSERT_TRUE(writeBytes(path, "[param]\ntex=1\n"));
  const char* keys[] = {"tex", "nosuch"};
  Settings s;
  s.tex = false;
  EXPECT_FALSE(writeSettingsTo(path, s, keys, 2));
  EXPECT_EQ(readBytes(path), "[param]\ntex=1\n");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"Sbconfig.ini"});

  // A value is stored as given; the clamp belongs to reading.
  ASSERT_TRUE(writeSettingTo(path, "SPREAD", 100));
  ASSERT_TRUE(writeSettingTo(path, "ttime", 3));
  EXPECT_EQ(readBytes(path), "[param]\ntex=1\nspread=100\nttime=3\n");
}

} // namespace
} // namespace starbloom
