// Message boxes as FLTK alert windows: an exclamation icon, the text, and an
// OK button that closes the box; the window is modal and owned by no other
// window, and the call returns when it has been closed (OK, Return, Escape or
// the window manager's close button).
//
// FLTK ends the process when it cannot open its display, so the display is
// opened with Xlib and that one connection handed to FLTK; without one the
// report goes to stderr instead and the program carries on. (Opening a
// second connection after a probe would race a server that resets when its
// last client leaves.) Every box, whichever way it is shown, is recorded
// (text, caption, count) so that tests can see the report; in Brief mode the
// window is mapped and drawn and then closed at once, so that a test run or
// an unattended run under Xvfb exercises the real window without waiting.
// Boxes are rare (at most a few per run), so nothing here is kept between
// calls but the record.
#include "report/message_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace starbloom {

namespace {

constexpr const char* MODE_VARIABLE = "STARBLOOM_MESSAGE_BOX";
constexpr int MARGIN = 10;          // pixels around the contents
constexpr int ICON_SIZE = 50;       // pixels, the square "!" icon
constexpr int BUTTON_WIDTH = 80;    // pixels
constexpr int BUTTON_HEIGHT = 25;   // pixels
constexpr int TEXT_MIN_WIDTH = 200; // pixels, so short texts still get a proper box
constexpr int TEXT_MAX_WIDTH = 500; // pixels; longer texts wrap
constexpr int TEXT_SIZE = 14;       // FLTK label size, points

bool modeChosen = false;                 // written by the first box or setMessageBoxMode
MessageBoxMode mode = MessageBoxMode::Modal; // written with modeChosen
MessageBoxRecord record;                 // written by every box

MessageBoxMode modeFromEnvironment() {
  const char* value = std::getenv(MODE_VARIABLE);
  if (value == nullptr) return MessageBoxMode::Modal;
  if (std::strcmp(value, "brief") == 0) return MessageBoxMode::Brief;
  if (std::strcmp(value, "stderr") == 0) return MessageBoxMode::Stderr;
  return MessageBoxMode::Modal;
}

void remember(const char* text, const char* caption) {
  record.count += 1;
  std::snprintf(record.text, sizeof record.text, "%s", text);
  std::snprintf(record.caption, sizeof record.caption, "%s", caption);
  record.shownAsWindow = false;
}

// FLTK's display: the one it already has (a dialog is up), or a new
// connection; false when none opens.
bool flDisplayReady() {
  if (fl_display != nullptr) return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

void closeBox(Fl_Widget*, void* window) { static_cast<Fl_Window*>(window)->hide(); }

// Returns whether the window was mapped on the display.
bool showWindow(const char* text, const char* caption, bool waitForOk) {
  fl_font(FL_HELVETICA, TEXT_SIZE);
  int textWidth = TEXT_MAX_WIDTH;
  int textHeight = 0;
  fl_measure(text, textWidth, textHeight);
  if (textWidth < TEXT_MIN_WIDTH) textWidth = TEXT_MIN_WIDTH;
  if (textHeight < ICON_SIZE) textHeight = ICON_SIZE;

  const int width = MARGIN + ICON_SIZE + MARGIN + textWidth + MARGIN;
  const int height = MARGIN + textHeight + MARGIN + BUTTON_HEIGHT + MARGIN;
  Fl_Window window(width, height, caption);
  Fl_Box icon(MARGIN, MARGIN, ICON_SIZE, ICON_SIZE, "!");
  icon.box(FL_THIN_UP_BOX);
  icon.color(FL_WHITE);
  icon.labelcolor(FL_BLUE);
  icon.labelfont(FL_TIMES_BOLD);
  icon.labelsize(34);
  Fl_Box message(MARGIN + ICON_SIZE + MARGIN, MARGIN, textWidth, textHeight, text);
  message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  message.labelsize(TEXT_SIZE);
  Fl_Return_Button ok(width - MARGIN - BUTTON_WIDTH, height - MARGIN - BUTTON_HEIGHT, BUTTON_WIDTH,
                      BUTTON_HEIGHT, "OK");
  ok.callback(closeBox, &window);
  window.end();
  window.set_modal();
  window.position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
  window.show();

  const bool shown = window.shown() != 0;
  if (waitForOk) {
    while (window.shown()) Fl::wait();
  } else {
    Fl::check();
    Fl::flush();
    window.hide();
    Fl::check();
  }
  return shown;
}

} // namespace

bool showMessageBox(const char* text, const char* caption) {
  if (text == nullptr) text = "";
  if (caption == nullptr) caption = "";
  const MessageBoxMode current = messageBoxMode();
  remember(text, caption);
  if (current != MessageBoxMode::Stderr && flDisplayReady()) {
    record.shownAsWindow = showWindow(text, caption, current == MessageBoxMode::Modal);
    return true;
  }
  std::fprintf(stderr, "starbloom: %s: %s\n", caption, text);
  return true;
}

void setMessageBoxMode(MessageBoxMode newMode) {
  mode = newMode;
  modeChosen = true;
}

MessageBoxMode messageBoxMode() {
  if (!modeChosen) {
    mode = modeFromEnvironment();
    modeChosen = true;
  }
  return mode;
}

const MessageBoxRecord& lastMessageBox() { return record; }

void clearMessageBoxRecord() { record = MessageBoxRecord{}; }

} // namespace starbloom
