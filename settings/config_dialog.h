#pragma once
// The configuration dialog on the X display, drawn with FLTK from the
// templates of config_dialog_model.h.
#include "settings/config_dialog_model.h"

namespace starbloom {

// The dialog font (FLTK's sans face at 12 pixels) on the open display.
DialogFontMetrics measureDialogFont();

// Shows the configuration dialog on display (a Display* the caller opened,
// which FLTK then uses as its own), modal, centred on the screen and
// transient for the X window owner when that window exists (0: no owner),
// on the process-wide Settings record and the settings file. Returns 0
// however it is closed.
int showConfigDialog(void* display, unsigned long owner);

} // namespace starbloom
