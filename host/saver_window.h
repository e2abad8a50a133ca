#pragma once
// The saver window: the window the saver draws in (on X11 or Wayland), its
// message queue, and the window procedure (create, destroy, paint, timer)
// of the running saver. The window system (window_system.h) makes the
// window and turns its events into messages; the loop (saver_loop.cpp)
// delivers them.
#include <cstdint>

#include "host/dismissal.h"
#include "host/monitor_layout.h"
#include "host/platform_choice.h"

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
  FullScreen, // /s: every monitor covered, input taken (X11 grabs, Wayland full-screen toplevels)
  Preview,    // /p N: a child of X window N
  Hosted,     // -root / -window-id: the host's own X window, input left to it
  TryOut,     // --window: a normal top-level window
  Wallpaper,  // --wallpaper: Wayland background layers, which no input ends
};

constexpr int SAVER_QUEUE_CAPACITY = 16;
constexpr int PREVIEW_SIZE = 100;    // the preview picture, pixels
constexpr int PREVIEW_X = 25;        // where it is shown in the window
constexpr int PREVIEW_Y = 10;
constexpr int TIMER_PERIOD_MS = 50;

// The windows' titles, on every window system; a second /s finds the first
// by its full-screen title on X11.
constexpr const char* FULL_SCREEN_TITLE = "Screen Saver";
constexpr const char* PREVIEW_TITLE = "Preview";
constexpr const char* TRY_OUT_TITLE = "Starbloom";

// What every window system shares; each binding keeps its own state (the
// connection, its windows and surfaces) in a record of its own.
struct SaverWindow {
  Platform platform = Platform::X11;
  bool windowLive = false;      // the window drawn in is there (made, or the host's); false once gone
  WindowRole role = WindowRole::FullScreen;
  HostState host;               // dismissal state (childMode, closing, lastCursor)
  WaylandShellRequest shell = WaylandShellRequest::Any; // what full screen is made of on Wayland
  const char* outputName = nullptr; // the wallpaper's one output; nullptr for every output
  int wakeFd = -1;              // readable once an end signal came: a wait on the window system ends

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

  // Posted messages, delivered before the window system's events.
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
// The host's default handling, with the dismissal rules (saver_loop.cpp).
int defaultSaverProc(SaverWindow& w, const SaverEvent& event);

// Lays the drawing out again after the window changed (a host that resized
// its window, a screen that changed size, a Wayland output that came, went
// or was reconfigured): the monitors, their viewports and the size of each
// drawable. Nothing in a preview.
void followWindowSize(SaverWindow& w);

} // namespace starbloom
