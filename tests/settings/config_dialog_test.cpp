#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "report/message_box.h"
#include "settings/config_dialog_model.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "temp_folder.h"

namespace starbloom {
namespace {

using ConfigDialog = TempFolderTest;
using Ids = std::set<int>;

Ids checkedIds(const DialogTemplate& dialog, const DialogState& state) {
  Ids ids;
  for (int i = 0; i < dialog.count; ++i) {
    const ControlKind kind = dialog.controls[i].kind;
    const bool twoState = kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
    if (twoState && state.control[i] != 0) ids.insert(dialog.controls[i].id);
  }
  return ids;
}

std::vector<int> sliders(const DialogTemplate& dialog, const DialogState& state) {
  std::vector<int> positions;
  for (int i = 0; i < dialog.count; ++i) {
    if (dialog.controls[i].kind == ControlKind::Slider) positions.push_back(state.control[i]);
  }
  return positions;
}

// Opens the configuration dialog on the file at path, as showing it does.
DialogState openConfig(const std::string& path, Settings& s) {
  readSettingValuesFrom(path, s);
  return controlsFromSettings(CONFIG_DIALOG, s);
}

// Texture, Light, HIGH, MID, LOW, Liner, Blur, MAXIMUM, Small fire, Half size.
const Ids ALL_CONFIG_CHECKS = {1000, 1001, 1002, 1003, 1004, 1007, 1013, 1019, 1020, 1040};

TEST_F(ConfigDialog, OpeningShowsTheFileAndOkWritesTheEightKeys) {
  struct Case {
    const char* name;
    const char* file;    // nullptr: no settings file
    Ids checked;         // every other check box and radio button is clear
    int slider;
    const char* written; // the file after "OK"
  };
  const Case cases[] = {
      {"no file", nullptr, {1000, 1001, 1013, 1003}, 10,
       "[param]\ntex=1\nblur=1\nliner=0\nblight=1\ndetail=2\nttime=10\nbig=0\nhalf=0\n"},
      {"detail 6 shows LOW", "[param]\ndetail=6\n", {1000, 1001, 1013, 1004}, 10,
       "[param]\ndetail=1\ntex=1\nblur=1\nliner=0\nblight=1\nttime=10\nbig=0\nhalf=0\n"},
      {"detail 0 shows LOW", "[param]\ndetail=0\nttime=50\n", {1000, 1001, 1013, 1004}, 20,
       "[param]\ndetail=1\nttime=20\ntex=1\nblur=1\nliner=0\nblight=1\nbig=0\nhalf=0\n"},
      {"bit 0 and the other levels",
       "[PARAM]\ntex=2\nliner=3\nblight=0\nblur=4\nbig=1\nhalf=5\ndetail=4\nttime=3\n",
       {1007, 1020, 1040, 1019}, 5,
       "[PARAM]\ntex=0\nliner=1\nblight=0\nblur=0\nbig=1\nhalf=1\ndetail=4\nttime=5\n"},
  };
  for (const Case& c : cases) {
    if (c.file) {
      ASSERT_TRUE(writeBytes(path, c.file));
    }
    Settings s;
    const DialogState state = openConfig(path, s);
    Ids expected = c.checked;
    EXPECT_EQ(checkedIds(CONFIG_DIALOG, state), expected) << c.name;
    EXPECT_EQ(sliders(CONFIG_DIALOG, state), std::vector<int>{c.slider}) << c.name;
    EXPECT_TRUE(confirmDialog(CONFIG_DIALOG, state, path, s)) << c.name;
    EXPECT_EQ(readBytes(path), c.written) << c.name;
    std::remove(path.c_str());
  }
}

TEST_F(ConfigDialog, MoreShowsTheFifteenKeysAndOkWritesThemInOrder) {
  struct Case {
    const char* name;
    const char* file;
    Ids checked;
    std::vector<int> sliders; // spread, airreg, landres, landsi, gamma
    const char* written;
  };
  const char* defaults = "[param]\nflash=1\nmove=1\ndiffuse=1\nlens=0\nspread=15\nairreg=9\n"
                         "lcolor=1\ngamma=10\nland=0\nzbuffer=1\nlandres=24\nlandsi=20\n"
                         "flash_effect=0\nmultipass=1\nfog=0\n";
  const Ids defaultChecks = {1022, 1001, 1023, 1031, 1038, 1035};
  const Case cases[] = {
      {"no file", nullptr, defaultChecks, {15, 9, 24, 20, 10}, defaults},
      {"spread 100 shows 30", "[param]\nspread=100\n", defaultChecks, {30, 9, 24, 20, 10},
       "[param]\nspread=30\nflash=1\nmove=1\ndiffuse=1\nlens=0\nairreg=9\nlcolor=1\ngamma=10\n"
       "land=0\nzbuffer=1\nlandres=24\nlandsi=20\nflash_effect=0\nmultipass=1\nfog=0\n"},
      {"lcolor 7 shows White",
       "[param]\nlcolor=7\nairreg=1\ngamma=99\nlandres=10\nlandsi=500\nland=3\nfog=1\nlens=1\n",
       {1022, 1001, 1023, 1031, 1038, 1037, 1030, 1039, 1041}, {15, 5, 20, 100, 15},
       "[param]\nlcolor=3\nairreg=5\ngamma=15\nlandres=20\nlandsi=100\nland=1\nfog=1\nlens=1\n"
       "flash=1\nmove=1\ndiffuse=1\nspread=15\nzbuffer=1\nflash_effect=0\nmultipass=1\n"},
      {"red and blue", "[param]\nlcolor=0\n", {1022, 1001, 1023, 1031, 1038, 1034},
       {15, 9, 24, 20, 10}, nullptr},
      {"blue", "[param]\nlcolor=2\n", {1022, 1001, 1023, 1031, 1038, 1036}, {15, 9, 24, 20, 10},
       nullptr},
  };
  for (const Case& c : cases) {
    if (c.file) {
      ASSERT_TRUE(writeBytes(path, c.file));
    }
    Settings s;
    openConfig(path, s);
    const DialogState state = controlsFromSettings(MORE_DIALOG, s);
    EXPECT_EQ(checkedIds(MORE_DIALOG, state), c.checked) << c.name;
    EXPECT_EQ(sliders(MORE_DIALOG, state), c.sliders) << c.name;
    EXPECT_TRUE(confirmDialog(MORE_DIALOG, state, path, s)) << c.name;
    if (c.written) {
      EXPECT_EQ(readBytes(path), c.written) << c.name;
    } else {
      EXPECT_EQ(profileReadInt(path.c_str(), "param", "lcolor", -1), s.lcolor) << c.name;
    }
    std::remove(path.c_str());
  }
}

// "Default" sets the controls only: the file stays byte for byte as it was
// until "OK", and "Cancel" writes nothing. "Half size" keeps its state, so
// "OK" after "Default" writes the stored half=1 again.
TEST_F(ConfigDialog, DefaultSetsControlsOnly) {
  struct Case {
    const DialogTemplate* dialog;
    Ids checked;
    std::vector<int> sliders;
  };
  const Case cases[] = {
      {&CONFIG_DIALOG, {1000, 1001, 1013, 1003, 1040}, {7}},
      {&MORE_DIALOG, {1022, 1001, 1023, 1031, 1038, 1035}, {15, 9, 24, 20, 10}},
  };
  const std::string file = "; mine\r\n[param]\r\ntex=0\r\nliner=1\r\nbig=1\r\nhalf=1\r\ndetail=3\r\n"
                           "ttime=12\r\nflash=0\r\nmove=0\r\nlcolor=0\r\nland=1\r\nfog=1\r\n";
  for (const Case& c : cases) {
    ASSERT_TRUE(writeBytes(path, file));
    Settings s;
    openConfig(path, s);
    DialogState state = controlsFromSettings(*c.dialog, s);
    defaultControls(*c.dialog, state);
    EXPECT_EQ(checkedIds(*c.dialog, state), c.checked) << c.dialog->caption;
    EXPECT_EQ(sliders(*c.dialog, state), c.sliders) << c.dialog->caption;
    EXPECT_EQ(readBytes(path), file) << c.dialog->caption;
    ASSERT_TRUE(confirmDialog(*c.dialog, state, path, s));
    EXPECT_EQ(profileReadInt(path.c_str(), "param", "half", -1), 1) << c.dialog->caption;
  }
}

// "OK" in "MORE " writes its keys and updates the record at once: "More"
// again shows them, and the first dialog's "Cancel" (which writes nothing)
// keeps them in the file; its "OK" writes only its own eight.
TEST_F(ConfigDialog, MoreOkOutlivesTheFirstDialog) {
  Settings s;
  const DialogState first = openConfig(path, s);
  DialogState more = controlsFromSettings(MORE_DIALOG, s);
  more.control[controlIndex(MORE_DIALOG, 1022)] = 0;  // "Spark fire" cleared
  more.control[controlIndex(MORE_DIALOG, 1024)] = 27; // "Spread"
  more.control[controlIndex(MORE_DIALOG, 1035)] = 0;  // "Blue" instead of "Green"
  more.control[controlIndex(MORE_DIALOG, 1036)] = 1;
  ASSERT_TRUE(confirmDialog(MORE_DIALOG, more, path, s));
  const std::string afterMore = readBytes(path);

  const DialogState again = controlsFromSettings(MORE_DIALOG, s);
  for (int i = 0; i < MORE_DIALOG.count; ++i) {
    EXPECT_EQ(again.control[i], more.control[i]) << MORE_DIALOG.controls[i].id;
  }
  EXPECT_EQ(readBytes(path), afterMore); // the first dialog's "Cancel"
  EXPECT_NE(afterMore.find("flash=0\n"), std::string::npos);
  EXPECT_NE(afterMore.find("spread=27\n"), std::string::npos);
  EXPECT_NE(afterMore.find("lcolor=2\n"), std::string::npos);

  ASSERT_TRUE(confirmDialog(CONFIG_DIALOG, first, path, s));
  EXPECT_EQ(readBytes(path), afterMore + "tex=1\nblur=1\nliner=0\nblight=1\ndetail=2\nttime=10\n"
                                         "big=0\nhalf=0\n");
}

TEST_F(ConfigDialog, OkKeepsOtherKeysSectionsAndComments) {
  const std::string before = "; written by hand\n[other]\ntex=5\n\n[Param]\nress=7\nTTIME=15\n"
                             "unknown = 3 ; note\n\n[after]\nx=1\n";
  ASSERT_TRUE(writeBytes(path, before));
  Settings s;
  DialogState state = openConfig(path, s);
  state.control[controlIndex(CONFIG_DIALOG, 1000)] = 0; // "Texture" cleared
  ASSERT_TRUE(confirmDialog(CONFIG_DIALOG, state, path, s));
  EXPECT_EQ(readBytes(path), "; written by hand\n[other]\ntex=5\n\n[Param]\nress=7\nTTIME=15\n"
                             "unknown = 3 ; note\ntex=0\nblur=1\nliner=0\nblight=1\ndetail=2\n"
                             "big=0\nhalf=0\n\n[after]\nx=1\n");
}

// The program runs as root in CI, where folder permissions do not stop a
// write: a file without write bits and a folder that is a file still do.
TEST_F(ConfigDialog, FailedWriteNamesTheFileAndTheReason) {
  struct Case {
    const char* name;
    std::string path;
    const char* reason;
  };
  ASSERT_TRUE(writeBytes(dir + "/locked.ini", "[param]\ntex=1\n"));
  ASSERT_EQ(chmod((dir + "/locked.ini").c_str(), 0444), 0);
  ASSERT_TRUE(writeBytes(dir + "/file", "not a folder\n"));
  const Case cases[] = {
      {"read-only file", dir + "/locked.ini", "Permission denied"},
      {"folder is a file", dir + "/file/starbloom/Sbconfig.ini", "Not a directory"},
      {"settings folder is a file", dir + "/file/Sbconfig.ini", "Not a directory"},
  };
  setMessageBoxMode(MessageBoxMode::Stderr);
  for (const Case& c : cases) {
    clearMessageBoxRecord();
    const std::string before = readBytes(c.path);
    Settings s;
    const DialogState state = openConfig(c.path, s);
    EXPECT_FALSE(confirmDialog(CONFIG_DIALOG, state, c.path, s)) << c.name;
    EXPECT_EQ(lastMessageBox().count, 1) << c.name;
    const std::string text = lastMessageBox().text;
    EXPECT_NE(text.find(c.path), std::string::npos) << c.name << ": " << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << c.name << ": " << text;
    EXPECT_STREQ(lastMessageBox().caption, CONFIG_DIALOG.caption) << c.name;
    EXPECT_EQ(readBytes(c.path), before) << c.name;
  }
  EXPECT_EQ(folderEntries(dir), (std::set<std::string>{"file", "locked.ini"}));
}

TEST(ConfigDialogTemplate, EveryWrittenKeyHasItsControls) {
  EXPECT_STREQ(CONFIG_DIALOG.caption, "STARBLOOM v1.60 (OPENGL)");
  EXPECT_STREQ(MORE_DIALOG.caption, "MORE ");
  for (const DialogTemplate* dialog : {&CONFIG_DIALOG, &MORE_DIALOG}) {
    std::set<std::string> shown;
    for (int i = 0; i < dialog->count; ++i) {
      if (dialog->controls[i].key) shown.insert(dialog->controls[i].key);
    }
    const std::set<std::string> written(dialog->writeKeys, dialog->writeKeys + dialog->writeKeyCount);
    EXPECT_EQ(shown, written) << dialog->caption;
    for (const std::string& key : written) { // one fallback and one default per radio group
      int radios = 0, fallbacks = 0, defaults = 0;
      for (int i = 0; i < dialog->count; ++i) {
        const DialogControl& c = dialog->controls[i];
        if (c.kind != ControlKind::RadioButton || key != c.key) continue;
        radios += 1;
        fallbacks += c.fallback ? 1 : 0;
        defaults += c.defaultState;
      }
      if (radios == 0) continue;
      EXPECT_EQ(fallbacks, 1) << key;
      EXPECT_EQ(defaults, 1) << key;
    }
  }
}

TEST(ConfigDialogTemplate, DialogUnitsAndPlacement) {
  struct Case {
    DialogFontMetrics font;
    DialogRect units;
    PixelRect pixels;
  };
  const Case cases[] = {
      {{7, 15}, {0, 0, 235, 149}, {0, 0, 411, 279}},
      {{7, 15}, {3, 13, 38, 10}, {5, 24, 67, 19}},   // corners round: 5.25, 24.375, 71.75, 43.125
      {{6, 13}, {131, 58, 85, 17}, {197, 94, 127, 28}},
      {{8, 16}, {3, 3, 0, 0}, {6, 6, 0, 0}},
  };
  for (const Case& c : cases) {
    const PixelRect p = dialogUnitsToPixels(c.font, c.units);
    EXPECT_EQ(std::vector<int>({p.x, p.y, p.w, p.h}),
              std::vector<int>({c.pixels.x, c.pixels.y, c.pixels.w, c.pixels.h}))
        << c.units.x << "," << c.units.y;
  }
  struct Place {
    int cx, cy;
    PixelRect area;
    int x, y;
  };
  const Place places[] = {
      {640, 360, {0, 0, 1280, 720}, 540, 310}, // centred
      {10, 700, {0, 0, 1280, 720}, 0, 620},    // kept on the screen
      {1300, 5, {1280, 0, 1024, 768}, 1280, 0},
      {50, 50, {0, 0, 150, 80}, 0, 0},         // larger than the screen: top left shows
  };
  for (const Place& p : places) {
    const PixelRect r = centredWindow(p.cx, p.cy, 200, 100, p.area);
    EXPECT_EQ(std::vector<int>({r.x, r.y}), std::vector<int>({p.x, p.y})) << p.cx << "," << p.cy;
  }
}

} // namespace
} // namespace starbloom
