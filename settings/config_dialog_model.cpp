// The two dialogs as tables. Every control of a template is one row: its
// kind, text and dialog-unit rectangle, and for the ones that show a setting
// the key and the radio value; the slider range and what "Default" puts
// there come from the setting's own row in the settings table.
// Opening, "OK" and "Default" are walks over the rows that move values
// between the Settings record and a DialogState, so a new control is a new
// row and nothing else. Dialog units become pixels from the dialog font's
// average letter width (a quarter per unit across) and line height (an
// eighth per unit down), mapping both corners so that touching controls
// keep touching. "OK" writes the template's keys in one rewrite of the
// file; if that fails the user is told which file and why, since settings
// that silently stay as they were look like a dialog that ignores its user.
#include "settings/config_dialog_model.h"

#include <cerrno>
#include <cstring>

#include "report/message_box.h"
#include "math/vector.h"
#include "settings/settings_store.h"

namespace starbloom {

namespace {

constexpr DialogControl control(int id, ControlKind kind, const char* text, DialogRect rect) {
  DialogControl c;
  c.id = id;
  c.kind = kind;
  c.text = text;
  c.rect = rect;
  return c;
}

// A control's setting row; a key missing from the table stops the build
// here (the index is -1).
constexpr const SettingEntry& rowOf(const char* key) { return SETTING_TABLE[settingIndex(key)]; }

constexpr DialogControl checkBox(int id, const char* text, DialogRect rect, const char* key) {
  DialogControl c = control(id, ControlKind::CheckBox, text, rect);
  c.key = key;
  c.defaultState = rowOf(key).dialogDefault;
  return c;
}

constexpr DialogControl radio(int id, const char* text, DialogRect rect, const char* key, int value,
                              bool fallback = false) {
  DialogControl c = checkBox(id, text, rect, key);
  c.kind = ControlKind::RadioButton;
  c.value = value;
  c.fallback = fallback;
  if (c.defaultState != LEFT_ALONE) c.defaultState = c.defaultState == value ? 1 : 0;
  return c;
}

constexpr DialogControl slider(int id, DialogRect rect, const char* key) {
  DialogControl c = checkBox(id, "", rect, key);
  c.kind = ControlKind::Slider;
  c.rangeMin = rowOf(key).rangeMin;
  c.rangeMax = rowOf(key).rangeMax;
  return c;
}

constexpr DialogControl button(int id, const char* text, DialogRect rect, DialogCommand command,
                               ControlKind kind = ControlKind::PushButton) {
  DialogControl c = control(id, kind, text, rect);
  c.command = command;
  return c;
}

constexpr DialogControl frame(const char* text, DialogRect rect) {
  return control(0, ControlKind::GroupBox, text, rect);
}

constexpr DialogControl label(int id, const char* text, DialogRect rect) {
  return control(id, ControlKind::StaticText, text, rect);
}

constexpr DialogControl picture(int bitmap, int x, int y) {
  DialogControl c = control(0, ControlKind::Picture, "", DialogRect{x, y, 0, 0});
  c.value = bitmap;
  return c;
}

// Each control that shows a setting takes its slider range and what
// "Default" puts there from the setting's row.
constexpr DialogControl CONFIG_CONTROLS[] = {
    checkBox(1000, "Texture", {3, 13, 38, 10}, "tex"),
    checkBox(1001, "Light", {3, 27, 30, 10}, "blight"),
    radio(1002, "HIGH", {66, 37, 31, 10}, "detail", 3),
    frame("Detail", {58, 9, 57, 72}),
    radio(1003, "MID", {66, 51, 27, 10}, "detail", 2),
    radio(1004, "LOW", {66, 65, 29, 10}, "detail", 1, true),
    button(1005, "OK", {131, 58, 85, 17}, DialogCommand::Ok),
    button(1006, "Cancel", {176, 83, 40, 17}, DialogCommand::Cancel),
    checkBox(1007, "Liner", {3, 41, 49, 10}, "liner"),
    slider(1009, {13, 113, 102, 22}, "ttime"),
    label(1011, "0.5 [fires/sec]", {17, 103, 45, 8}),
    label(0, "2.0 ", {105, 103, 11, 8}),
    frame("Cycle Time", {3, 87, 117, 54}),
    checkBox(1013, "Blur", {3, 55, 28, 10}, "blur"),
    frame("Screen Mode", {127, 14, 92, 37}),
    radio(1019, "MAXIMUM", {66, 23, 46, 10}, "detail", 4),
    checkBox(1020, "Small fire", {3, 69, 44, 10}, "big"),
    button(1026, "More", {131, 115, 85, 17}, DialogCommand::More),
    button(1032, "Default", {131, 83, 40, 17}, DialogCommand::Default),
    checkBox(1040, "Half size", {133, 28, 42, 10}, "half"),
};

constexpr DialogControl MORE_CONTROLS[] = {
    button(1, "OK", {174, 16, 50, 14}, DialogCommand::Ok, ControlKind::DefaultButton),
    button(2, "Cancel", {174, 36, 50, 14}, DialogCommand::Cancel),
    checkBox(1022, "Spark fire", {7, 95, 45, 10}, "flash"),
    checkBox(1001, "Move camera", {7, 125, 55, 10}, "move"),
    checkBox(1023, "Diffuse fire", {7, 110, 49, 10}, "diffuse"),
    slider(1024, {137, 99, 102, 23}, "spread"),
    label(0, "Spread", {108, 109, 21, 8}),
    slider(1025, {137, 124, 103, 23}, "airreg"),
    label(0, "Air resistance", {96, 133, 42, 8}),
    picture(BANNER_BITMAP, 3, 3),
    button(1027, "Default", {174, 66, 50, 14}, DialogCommand::Default),
    frame("Landscape Setting", {6, 171, 242, 89}),
    slider(1028, {135, 185, 103, 21}, "landres"),
    slider(1029, {135, 210, 103, 21}, "landsi"),
    label(0, "Grid res", {110, 195, 24, 8}),
    label(0, "Size", {118, 219, 13, 8}),
    checkBox(1030, "Display Landscape", {14, 185, 71, 10}, "land"),
    checkBox(1031, "Z Buffer", {14, 201, 41, 10}, "zbuffer"),
    checkBox(1033, "Flash effect", {7, 140, 51, 10}, "flash_effect"),
    radio(1034, "Red", {107, 243, 27, 10}, "lcolor", 0),
    frame("Color", {99, 233, 143, 24}),
    radio(1035, "Green", {137, 243, 33, 10}, "lcolor", 1),
    radio(1037, "White", {205, 243, 32, 10}, "lcolor", 3, true),
    radio(1036, "Blue", {173, 243, 29, 10}, "lcolor", 2),
    checkBox(1038, "Multi pass lighting", {14, 217, 70, 10}, "multipass"),
    checkBox(1039, "Fog", {14, 233, 27, 10}, "fog"),
    label(0, "min", {140, 90, 11, 8}),
    label(0, "max", {226, 90, 13, 8}),
    label(0, "min", {140, 177, 11, 8}),
    label(0, "max", {226, 177, 13, 8}),
    checkBox(1041, "Lens flare", {7, 155, 45, 10}, "lens"),
    slider(1042, {137, 149, 100, 20}, "gamma"),
    label(0, "Gamma", {108, 158, 23, 8}),
};

constexpr int CONFIG_COUNT = sizeof CONFIG_CONTROLS / sizeof CONFIG_CONTROLS[0];
constexpr int MORE_COUNT = sizeof MORE_CONTROLS / sizeof MORE_CONTROLS[0];
static_assert(CONFIG_COUNT <= MAX_DIALOG_CONTROLS && MORE_COUNT <= MAX_DIALOG_CONTROLS,
              "DialogState holds every control");

int mapUnits(int units, int pixelsPerBase, int base) {
  return (units * pixelsPerBase + base / 2) / base;
}

bool isRadio(const DialogControl& c) { return c.kind == ControlKind::RadioButton; }

int fieldValue(const Settings& s, const char* key) {
  const SettingEntry* entry = findSetting(key);
  return entry ? settingValue(s, *entry) : 0;
}

void storeField(Settings& s, const char* key, int value) {
  if (const SettingEntry* entry = findSetting(key)) storeSettingValue(s, *entry, value);
}

// Whether a radio group (the radio buttons sharing key) has a button for value.
bool groupHasValue(const DialogTemplate& dialog, const char* key, int value) {
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    if (isRadio(c) && std::strcmp(c.key, key) == 0 && c.value == value) return true;
  }
  return false;
}

// The value a radio group stands for: its first checked button's, else its
// fallback's.
int groupValue(const DialogTemplate& dialog, const DialogState& state, const char* key) {
  int fallback = 0;
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    if (!isRadio(c) || std::strcmp(c.key, key) != 0) continue;
    if (state.control[i] != 0) return c.value;
    if (c.fallback) fallback = c.value;
  }
  return fallback;
}

} // namespace

const DialogTemplate CONFIG_DIALOG = {"STARBLOOM v" STARBLOOM_VERSION " (OPENGL)",
                                      235,
                                      149,
                                      CONFIG_CONTROLS,
                                      CONFIG_COUNT,
                                      MAIN_DIALOG_KEYS,
                                      MAIN_DIALOG_KEY_COUNT};

const DialogTemplate MORE_DIALOG = {"MORE ",       258,        267, MORE_CONTROLS, MORE_COUNT,
                                    MORE_DIALOG_KEYS, MORE_DIALOG_KEY_COUNT};

int controlIndex(const DialogTemplate& dialog, int id) {
  for (int i = 0; i < dialog.count; ++i) {
    if (dialog.controls[i].id == id) return i;
  }
  return -1;
}

PixelRect dialogUnitsToPixels(const DialogFontMetrics& font, const DialogRect& units) {
  PixelRect p;
  p.x = mapUnits(units.x, font.charWidth, 4);
  p.y = mapUnits(units.y, font.charHeight, 8);
  p.w = mapUnits(units.x + units.w, font.charWidth, 4) - p.x;
  p.h = mapUnits(units.y + units.h, font.charHeight, 8) - p.y;
  return p;
}

PixelRect centredWindow(int cx, int cy, int w, int h, const PixelRect& area) {
  PixelRect p{cx - w / 2, cy - h / 2, w, h};
  p.x = clampInt(p.x, area.x, area.x + area.w - w);
  p.y = clampInt(p.y, area.y, area.y + area.h - h);
  if (p.x < area.x) p.x = area.x; // larger than the area: its top left shows
  if (p.y < area.y) p.y = area.y;
  return p;
}

DialogState controlsFromSettings(const DialogTemplate& dialog, const Settings& s) {
  DialogState state;
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    if (c.key == nullptr) continue;
    const int value = fieldValue(s, c.key);
    switch (c.kind) {
      case ControlKind::CheckBox:
        state.control[i] = value != 0 ? 1 : 0;
        break;
      case ControlKind::RadioButton:
        state.control[i] = (value == c.value || (c.fallback && !groupHasValue(dialog, c.key, value)))
                               ? 1
                               : 0;
        break;
      case ControlKind::Slider:
        state.control[i] = clampInt(value, c.rangeMin, c.rangeMax);
        break;
      default:
        break;
    }
  }
  return state;
}

void settingsFromControls(const DialogTemplate& dialog, const DialogState& state, Settings& s) {
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    if (c.key == nullptr) continue;
    if (isRadio(c)) {
      storeField(s, c.key, groupValue(dialog, state, c.key));
    } else {
      storeField(s, c.key, state.control[i]);
    }
  }
}

void defaultControls(const DialogTemplate& dialog, DialogState& state) {
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    if (c.key != nullptr && c.defaultState != LEFT_ALONE) state.control[i] = c.defaultState;
  }
}

bool confirmDialog(const DialogTemplate& dialog, const DialogState& state, const std::string& path,
                   Settings& s) {
  settingsFromControls(dialog, state, s);
  errno = 0;
  if (writeSettingsTo(path, s, dialog.writeKeys, dialog.writeKeyCount)) return true;
  const int reason = errno;
  const std::string text = "The settings were not saved to " +
                           (path.empty() ? std::string("(no home folder)") : path) + ": " +
                           (reason != 0 ? std::strerror(reason) : "it cannot be written") + ".";
  showMessageBox(text.c_str(), dialog.caption);
  return false;
}

} // namespace starbloom
