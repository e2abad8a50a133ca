#pragma once
// The saver window: the X11 window the saver draws in, its message queue,
// and the window procedure (create, destroy, paint, timer) of the running
// saver. The host (saver_host.cpp) creates the window and runs the loop.
#include <cstdint>

#include "host/dismissal.h"
#include "host/monitor_layout.h"

namespace starbloom {

enum class SaverMessage : std::uint8_t {
  Create,
  Destroy,
  Paint,
  Timer,
  Input, // a key, button or move; see SaverEvent::input
  Close, // a close request
  Quit,  // ends the message loop with SaverEvent::code
};

struct SaverEvent {
  SaverMessage message = SaverMessage::Paint;
  InputEvent input = InputEvent::KeyDown;
  int x = 0; // mouse moves: screen pixels
  int y = 0;
  int code = 0; // Quit: the exit code
};

// How the window came to be.
enum class WindowRole : std::uint8_t {
  FullScreen, // /s: override-redirect, the whole X screen, input grabbed
  Preview,    // /p N: a child of window N
  Hosted,     // -root / -window-id: the host's own window, input left to it
  TryOut,     // --window: a normal top-level window
};

constexpr int SAVER_QUEUE_CAPACITY = 16;
constexpr int PREVIEW_SIZE = 100;    // the preview picture, pixels
constexpr int PREVIEW_X = 25;        // where it is shown in the window
constexpr int PREVIEW_Y = 10;
constexpr int TIMER_PERIOD_MS = 50;

// X11 types are kept out of the program's headers (Xlib's macros clash with
// ordinary names): the display is a Display*, windows and cursors are XIDs.
struct SaverWindow {
  void* display = nullptr;      // Display*
  unsigned long window = 0;     // the window drawn in (the host's in hosted mode)
  WindowRole role = WindowRole::FullScreen;
  HostState host;               // dismissal state (childMode, closing, lastCursor)
  unsigned long invisibleCursor = 0; // Cursor

  // State of the window procedure.
  bool previewMode = false;     // judged not full screen at creation
  bool timerRunning = false;
  std::uint32_t nextTimer = 0;  // tick count of the next timer message
  int screenWidth = 0;          // the area the mode decision compares with
  int screenHeight = 0;
  int colourBits = 0;
  int drawWidth = 0;            // OpenGL drawing area of the first monitor
  int drawHeight = 0;
  int destroyCount = 0;
  void* previewImage = nullptr; // XImage*: picture 105 in the window's visual
  MonitorLayout monitors;       // in window coordinates

  // Posted messages, delivered before X events.
  SaverEvent queue[SAVER_QUEUE_CAPACITY];
  int queued = 0;
  bool quit = false;
  int quitCode = 0;
};

// Appends a message; a full queue drops it (the loop drains it every pass).
void postMessage(SaverWindow& w, const SaverEvent& event);
void postMessage(SaverWindow& w, SaverMessage message, int code = 0);

// The window procedure: create, destroy, paint and timer; everything else
// goes to defaultSaverProc.
int saverWindowProc(SaverWindow& w, const SaverEvent& event);
// The host's default handling, with the dismissal rules (saver_host.cpp).
int defaultSaverProc(SaverWindow& w, const SaverEvent& event);

// Lays the drawing out again for the window's new size (a host that resized
// its window, a screen that changed size): the monitors, their viewports
// and the OpenGL window over the whole window. Nothing in a preview.
void followWindowSize(SaverWindow& w, int width, int height);

// The cursor shown over the window: invisible while the cursor counter is
// below zero (full screen only).
void applyCursor(SaverWindow& w);

} // namespace starbloom
