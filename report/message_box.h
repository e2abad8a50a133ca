#pragma once
// Message boxes: a caption, a text and an OK button, the program's only
// failure reports. On a display they are FLTK alert windows; without one the
// text goes to stderr.
#include <cstdint>

namespace starbloom {

enum class MessageBoxMode : std::uint8_t {
  Modal,  // a window that waits for OK (stderr when no display opens)
  Brief,  // the window is shown, drawn and closed again without waiting
  Stderr, // stderr only, never a window
};

constexpr int MESSAGE_TEXT_CAPACITY = 128;   // bytes kept of the last text
constexpr int MESSAGE_CAPTION_CAPACITY = 64; // bytes kept of the last caption

// What the last box showed, for tests and unattended runs.
struct MessageBoxRecord {
  int count = 0;                                // boxes since start or the last clear
  char text[MESSAGE_TEXT_CAPACITY] = {};        // truncated to fit
  char caption[MESSAGE_CAPTION_CAPACITY] = {};  // truncated to fit
  bool shownAsWindow = false;                   // the last box appeared on a display
};

// Shows text under caption with an OK button and returns once it is gone.
// Returns true.
bool showMessageBox(const char* text, const char* caption);

// The mode starts from the environment variable STARBLOOM_MESSAGE_BOX, read
// at the first box: "brief" or "stderr" pick those modes, anything else (or
// unset) is Modal. Tests and scripted runs use these so that a failure report
// never waits for a click.
void setMessageBoxMode(MessageBoxMode mode);
MessageBoxMode messageBoxMode();
const MessageBoxRecord& lastMessageBox();
void clearMessageBoxRecord();

} // namespace starbloom
