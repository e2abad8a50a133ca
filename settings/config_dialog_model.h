#pragma once
// The configuration dialog and its "MORE " dialog as data and behaviour:
// the two templates (every control with its kind, text, dialog-unit
// rectangle and setting), the controls' states as a plain record, and what
// opening, "OK", "Default" and "More" do to that record, the Settings
// record and the settings file. The FLTK view (config_dialog.h) only builds
// windows from the templates, shows a state and feeds clicks back, so all
// of the behaviour runs without a display.
#include <cstdint>
#include <string>

#include "settings/setting_table.h"

namespace starbloom {

enum class ControlKind : std::uint8_t {
  CheckBox,      // toggles by itself; checked = 1
  RadioButton,   // one of the buttons sharing its key; checked = 1
  PushButton,
  DefaultButton, // a push button that Return presses
  GroupBox,      // a frame with its text at the top left
  StaticText,
  Slider,        // horizontal, step 1, tick marks along its top
  Picture,       // a bitmap resource at its own size
};

enum class DialogCommand : std::uint8_t { Ignored, Ok, Cancel, Default, More };

struct DialogRect {
  int x = 0; // dialog units
  int y = 0;
  int w = 0; // 0 for a picture, which takes its bitmap's size
  int h = 0;
};

struct DialogControl {
  int id = 0;                                  // control id; 0 for the unnamed ones
  ControlKind kind = ControlKind::StaticText;
  const char* text = "";                       // shown exactly so
  DialogRect rect;                             // dialog units
  const char* key = nullptr;                   // the setting shown; nullptr for none
  int value = 0;                               // radio: the key's value; picture: bitmap id
  bool fallback = false;                       // radio checked when no button has the value
  int rangeMin = 0;                            // slider range, inclusive (the setting's)
  int rangeMax = 0;
  int defaultState = 0;                        // what "Default" sets: 0/1, slider position or LEFT_ALONE (from the setting)
  DialogCommand command = DialogCommand::Ignored; // push buttons
};

struct DialogTemplate {
  const char* caption = "";
  int width = 0;                        // dialog units
  int height = 0;
  const DialogControl* controls = nullptr; // in tab order
  int count = 0;
  const char* const* writeKeys = nullptr;  // written by "OK", in this order
  int writeKeyCount = 0;
};

constexpr int MAX_DIALOG_CONTROLS = 40;
constexpr int BANNER_BITMAP = 121;
constexpr int BANNER_WIDTH = 256;  // pixels, when the bitmap is missing
constexpr int BANNER_HEIGHT = 128;

extern const DialogTemplate CONFIG_DIALOG; // "STARBLOOM v1.60 (OPENGL)", 235 x 149
extern const DialogTemplate MORE_DIALOG;   // "MORE ", 258 x 267

// The states of a template's controls, by index in the template: check
// boxes and radio buttons 0 or 1, sliders their position, 0 for the rest.
struct DialogState {
  int control[MAX_DIALOG_CONTROLS] = {};
};

// The index of the control with that id, or -1.
int controlIndex(const DialogTemplate& dialog, int id);

// The dialog font's measurements in pixels: the average width of the 52
// letters, rounded, and the line height.
struct DialogFontMetrics {
  int charWidth = 0;
  int charHeight = 0;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// x * charWidth / 4 and y * charHeight / 8, rounded; the size is the
// difference of the mapped corners, so adjacent controls stay adjacent.
PixelRect dialogUnitsToPixels(const DialogFontMetrics& font, const DialogRect& units);

// The top left of a w x h window centred on (cx, cy), kept inside the area
// (x, y, w, h) as far as it fits.
PixelRect centredWindow(int cx, int cy, int w, int h, const PixelRect& area);

// The controls as the settings show them: a radio group checks the button
// of its value or its fallback, a slider shows a value outside its range at
// the nearer end.
DialogState controlsFromSettings(const DialogTemplate& dialog, const Settings& s);

// The controls' values into s: checks as 0/1, slider positions, a radio
// group the value of its first checked button, else its fallback's.
void settingsFromControls(const DialogTemplate& dialog, const DialogState& state, Settings& s);

// "Default": the controls only.
void defaultControls(const DialogTemplate& dialog, DialogState& state);

// "OK": the controls into s, then the template's keys in one all-or-nothing
// rewrite of the file at path. A failed write is reported in a message box
// naming the file and the reason, and returns false; s keeps the confirmed
// values either way, so that the dialog shows them when it opens again.
bool confirmDialog(const DialogTemplate& dialog, const DialogState& state, const std::string& path,
                   Settings& s);

} // namespace starbloom
