#pragma once
// The settings as data: one row per key of section [param], in the order
// the saver reads them. A row names the key and its field, the default, the
// range the dialogs offer (and the start-up clamp, for the two keys clamped
// to it), the dialog that shows and writes the key with its place in that
// dialog's write, what that dialog's "Default" puts there and the default
// it opens with. Reading, --set, the dialogs' controls, their "Default"
// buttons and their writes all take these from the row, so a new setting is
// a new field and a new row. The table is constexpr so that the dialog
// templates and the checks below can use it at compile time.
#include <cstdint>

#include "settings/settings.h"

namespace starbloom {

enum class SettingKind : std::uint8_t {
  OnOff,  // a bool field; keeps bit 0 of the stored integer
  Number, // an int field; kept as stored, apart from the clamp
};

enum class SettingDialog : std::uint8_t { Unshown, Main, More };

constexpr int LEFT_ALONE = -1; // a control "Default" does not change

struct SettingEntry {
  const char* key = nullptr;           // key in [param], spelled as the field
  SettingKind kind = SettingKind::Number;
  bool Settings::*boolField = nullptr; // the field of an OnOff entry
  int Settings::*intField = nullptr;   // the field of a Number entry
  int defaultValue = 0;                // missing key or empty value
  int rangeMin = 0;                    // what the dialogs offer, inclusive
  int rangeMax = 0;
  bool clamped = false;                // clamped to the range at start-up and by --set
  SettingDialog dialog = SettingDialog::Unshown; // the dialog that shows and writes it
  int writeOrder = -1;                 // its place in that dialog's "OK" write
  int dialogDefault = LEFT_ALONE;      // what that dialog's "Default" sets
  int openDefault = 0;                 // the dialogs' value for a missing key
};

constexpr SettingEntry settingRow(const char* key, int defaultValue, int lo, int hi,
                                  SettingDialog dialog, int writeOrder, int dialogDefault) {
  SettingEntry e;
  e.key = key;
  e.defaultValue = defaultValue;
  e.openDefault = defaultValue;
  e.rangeMin = lo;
  e.rangeMax = hi;
  e.dialog = dialog;
  e.writeOrder = writeOrder;
  e.dialogDefault = dialogDefault;
  return e;
}

// A 0-or-1 key shown by a check box.
constexpr SettingEntry onOffSetting(const char* key, bool Settings::*field, int defaultValue,
                                    SettingDialog dialog, int writeOrder, int dialogDefault) {
  SettingEntry e = settingRow(key, defaultValue, 0, 1, dialog, writeOrder, dialogDefault);
  e.kind = SettingKind::OnOff;
  e.boolField = field;
  return e;
}

// A number shown by a slider or a group of radio buttons over lo..hi.
constexpr SettingEntry numberSetting(const char* key, int Settings::*field, int defaultValue, int lo,
                                     int hi, SettingDialog dialog, int writeOrder,
                                     int dialogDefault) {
  SettingEntry e = settingRow(key, defaultValue, lo, hi, dialog, writeOrder, dialogDefault);
  e.intField = field;
  return e;
}

// Read and kept; no dialog shows or writes it.
constexpr SettingEntry unshownSetting(SettingEntry e) {
  e.dialog = SettingDialog::Unshown;
  e.writeOrder = -1;
  e.dialogDefault = LEFT_ALONE;
  e.rangeMin = e.rangeMax = e.defaultValue;
  return e;
}

constexpr SettingEntry clampedToRange(SettingEntry e) {
  e.clamped = true;
  return e;
}

constexpr SettingEntry opensAt(int value, SettingEntry e) {
  e.openDefault = value;
  return e;
}

constexpr SettingDialog IN_MAIN = SettingDialog::Main;
constexpr SettingDialog IN_MORE = SettingDialog::More;
constexpr SettingDialog IN_NO_DIALOG = SettingDialog::Unshown;

// In reading order: tex ... half, then the clamps and the blur factor, then
// the remaining fifteen keys. "Default" of the main dialog departs from the
// key defaults in two places: the cycle time goes to 7 and "Small fire" is
// cleared; it leaves "Half size" alone, since the screen mode is not a look
// to reset. That dialog also opens with "Small fire" cleared when the file
// has no "big".
inline constexpr SettingEntry SETTING_TABLE[] = {
    // key, field, default, [range,] dialog, place in its write, its "Default"
    onOffSetting("tex", &Settings::tex, 1, IN_MAIN, 0, 1),
    onOffSetting("liner", &Settings::liner, 0, IN_MAIN, 2, 0),
    onOffSetting("blight", &Settings::blight, 1, IN_MAIN, 3, 1),
    clampedToRange(numberSetting("detail", &Settings::detail, 2, 1, 4, IN_MAIN, 4, 2)),
    clampedToRange(numberSetting("ttime", &Settings::ttime, 10, 5, 20, IN_MAIN, 5, 7)),
    onOffSetting("blur", &Settings::blur, 1, IN_MAIN, 1, 1),
    unshownSetting(onOffSetting("directx", &Settings::directx, 1, IN_NO_DIALOG, -1, LEFT_ALONE)),
    unshownSetting(numberSetting("ress", &Settings::ress, 2, 2, 2, IN_NO_DIALOG, -1, LEFT_ALONE)),
    opensAt(0, onOffSetting("big", &Settings::big, 1, IN_MAIN, 6, 0)),
    onOffSetting("half", &Settings::half, 0, IN_MAIN, 7, LEFT_ALONE),
    onOffSetting("flash", &Settings::flash, 1, IN_MORE, 0, 1),
    onOffSetting("move", &Settings::move, 1, IN_MORE, 1, 1),
    onOffSetting("diffuse", &Settings::diffuse, 1, IN_MORE, 2, 1),
    numberSetting("spread", &Settings::spread, 15, 5, 30, IN_MORE, 4, 15),
    numberSetting("airreg", &Settings::airreg, 9, 5, 20, IN_MORE, 5, 9),
    onOffSetting("land", &Settings::land, 0, IN_MORE, 8, 0),
    onOffSetting("zbuffer", &Settings::zbuffer, 1, IN_MORE, 9, 1),
    numberSetting("landres", &Settings::landres, 24, 20, 100, IN_MORE, 10, 24),
    numberSetting("landsi", &Settings::landsi, 20, 20, 100, IN_MORE, 11, 20),
    onOffSetting("flash_effect", &Settings::flash_effect, 0, IN_MORE, 12, 0),
    numberSetting("lcolor", &Settings::lcolor, 1, 0, 3, IN_MORE, 6, 1),
    onOffSetting("multipass", &Settings::multipass, 1, IN_MORE, 13, 1),
    onOffSetting("fog", &Settings::fog, 0, IN_MORE, 14, 0),
    numberSetting("gamma", &Settings::gamma, 10, 5, 15, IN_MORE, 7, 10),
    onOffSetting("lens", &Settings::lens, 0, IN_MORE, 3, 0),
};

constexpr int SETTING_COUNT = sizeof SETTING_TABLE / sizeof SETTING_TABLE[0];

constexpr bool sameSettingKey(const char* a, const char* b) {
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// The row of a key spelled exactly as in the table, or -1.
constexpr int settingIndex(const char* key) {
  for (int i = 0; i < SETTING_COUNT; ++i) {
    if (sameSettingKey(SETTING_TABLE[i].key, key)) return i;
  }
  return -1;
}

constexpr int dialogKeyCount(SettingDialog dialog) {
  int count = 0;
  for (const SettingEntry& e : SETTING_TABLE) count += e.dialog == dialog ? 1 : 0;
  return count;
}

// A dialog's keys in the order its "OK" writes them.
struct DialogKeyList {
  const char* keys[SETTING_COUNT] = {};
};

constexpr DialogKeyList dialogKeyList(SettingDialog dialog) {
  DialogKeyList list;
  for (const SettingEntry& e : SETTING_TABLE) {
    if (e.dialog == dialog && e.writeOrder >= 0 && e.writeOrder < SETTING_COUNT) {
      list.keys[e.writeOrder] = e.key;
    }
  }
  return list;
}

inline constexpr DialogKeyList MAIN_DIALOG_KEY_LIST = dialogKeyList(SettingDialog::Main);
inline constexpr DialogKeyList MORE_DIALOG_KEY_LIST = dialogKeyList(SettingDialog::More);
constexpr int MAIN_DIALOG_KEY_COUNT = dialogKeyCount(SettingDialog::Main);
constexpr int MORE_DIALOG_KEY_COUNT = dialogKeyCount(SettingDialog::More);
constexpr const char* const* MAIN_DIALOG_KEYS = MAIN_DIALOG_KEY_LIST.keys;
constexpr const char* const* MORE_DIALOG_KEYS = MORE_DIALOG_KEY_LIST.keys;

namespace setting_checks {

constexpr bool keysDistinct() {
  for (int i = 0; i < SETTING_COUNT; ++i) {
    if (settingIndex(SETTING_TABLE[i].key) != i) return false;
  }
  return true;
}

// Each dialog's places 0..count-1 are taken once each: a place taken twice
// leaves another empty.
constexpr bool writeOrderComplete(SettingDialog dialog, const DialogKeyList& list) {
  const int count = dialogKeyCount(dialog);
  for (int i = 0; i < SETTING_COUNT; ++i) {
    if ((list.keys[i] != nullptr) != (i < count)) return false;
  }
  for (const SettingEntry& e : SETTING_TABLE) {
    if (e.dialog == dialog && (e.writeOrder < 0 || e.writeOrder >= count)) return false;
  }
  return true;
}

constexpr bool defaultsInRange() {
  for (const SettingEntry& e : SETTING_TABLE) {
    if (e.defaultValue < e.rangeMin || e.defaultValue > e.rangeMax) return false;
    if (e.dialogDefault != LEFT_ALONE && (e.dialogDefault < e.rangeMin || e.dialogDefault > e.rangeMax))
      return false;
  }
  return true;
}

static_assert(keysDistinct(), "a key appears twice in the settings table");
static_assert(writeOrderComplete(SettingDialog::Main, MAIN_DIALOG_KEY_LIST) &&
                  writeOrderComplete(SettingDialog::More, MORE_DIALOG_KEY_LIST),
              "each dialog's write places run 0, 1, 2 ... with no gap and no place taken twice");
static_assert(defaultsInRange(), "a default lies outside its setting's range");

} // namespace setting_checks

} // namespace starbloom
