#pragma once
// The window system under the saver window: X11 or Wayland, chosen once per
// run (SaverWindow::platform). Plain functions over the saver window, each
// with one implementation per platform (window_system_x11.cpp,
// window_system_wayland.cpp); window_system.cpp picks by the platform.
// The seam runs one way: the bindings hand their events back as plain
// records (WindowEvent), which the loop applies through the window
// procedure and the dismissal rules, and they touch nothing of the frame
// side (prepareGlSurface's plan is applied by the host). Previews and hosted mode
// exist only on X11; their requests on Wayland do nothing. The X11 services
// that only the modes use are host/x11/x11_services.h's.
#include <cstdint>

#include "frame/gl_surface.h"
#include "host/dismissal.h"
#include "host/monitor_layout.h"
#include "host/saver_window.h"

namespace starbloom {

// One monitor's part of a drawing target (the X window, or one Wayland
// output's surface), in the target's pixels.
struct OutputArea {
  int target = 0;       // the GL surface's slot
  int targetWidth = 0;  // pixels of the whole target
  int targetHeight = 0;
  ScreenRect area;      // from the target's top left
};

struct OutputLayout {
  OutputArea areas[MAX_MONITORS];
  int count = 0;
};

// What a binding hands back to the loop.
enum class WindowEventKind : std::uint8_t {
  Input,         // input (x, y: screen pixels on X11, surface pixels on Wayland)
  Close,         // the window system asks the window to close
  Destroyed,     // the window is gone
  Resized,       // the window, the screen or an output changed: lay the drawing out again
  TargetAdded,   // a drawable for the GL surface's slot target (nativeWindow, width x height)
  TargetRemoved, // the drawable of slot target goes
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::Input;
  InputEvent input = InputEvent::KeyDown;
  int x = 0;
  int y = 0;
  bool closeKey = false;        // a KeyDown of Esc or q, the keys that close the try-out window
  int target = 0;               // TargetAdded, TargetRemoved
  void* nativeWindow = nullptr; // TargetAdded: the wl_surface
  int width = 0;                // TargetAdded: pixels
  int height = 0;
};

constexpr int WINDOW_EVENT_CAPACITY = 256;

// A batch of events; a full batch drops what comes after (a binding is read
// every pass of the loop, so only a flood of pointer motions could fill it).
struct WindowEvents {
  WindowEvent events[WINDOW_EVENT_CAPACITY];
  int count = 0;
};

inline void addWindowEvent(WindowEvents& batch, const WindowEvent& event) {
  if (batch.count < WINDOW_EVENT_CAPACITY) batch.events[batch.count++] = event;
}

// The screen and the window at creation: what the mode decision compares.
struct WindowGeometry {
  int screenWidth = 0;  // pixels of the screen (X11) or of the first output
  int screenHeight = 0;
  int colourBits = 0;
  ScreenRect rect;      // the window, screen coordinates
};

// Opens the display of w.platform; false after one line on stderr when
// sayWhy (a quiet failure lets the caller try the other platform).
bool openWindowSystem(SaverWindow& w, bool sayWhy);
// Closes it; the window must be released first.
void closeWindowSystem(SaverWindow& w);

// A full-screen saver already runs on this display (X11: its window is
// brought forward).
bool fullScreenSaverRuns(SaverWindow& w);

// Makes the window of w.role: full screen over every monitor, a preview
// child of parent, the host's window parent itself, or a width x height
// try-out window. false after one line on stderr.
bool createSaverWindow(SaverWindow& w, unsigned long parent, int width, int height);
// Shows it (X11 maps it and, full screen, grabs the keyboard and pointer).
void showSaverWindow(SaverWindow& w);
// Destroys what the saver made (never the host's window) with its GL
// surface; the window is gone afterwards (windowLive false).
void destroySaverWindow(SaverWindow& w);
// Ungrabs, destroys what is left and waits until the display has done so.
void releaseSaverWindow(SaverWindow& w);

// The events that have arrived, into batch; true when there were any. A
// display that went away ends the process with one line, status 1.
bool takeEvents(SaverWindow& w, WindowEvents& batch);
// Waits for events up to ms milliseconds (a window with nothing to draw),
// into batch.
void waitForEvents(SaverWindow& w, int ms, WindowEvents& batch);
// Whether a paint would draw anything that anybody sees now: on Wayland, a
// surface whose compositor asked for a frame; on X11, a window neither
// covered whole nor unmapped, on a monitor that is not asleep (DPMS).
bool readyToPaint(SaverWindow& w);
// The host's window went away without an event (hosted mode).
bool windowVanished(SaverWindow& w);

WindowGeometry describeWindow(SaverWindow& w);
// The monitors the window covers, per drawing target, at its present size.
OutputLayout outputLayout(SaverWindow& w);
// Chooses the GL surface's binding and hands it the drawables (the
// binding's SurfacePlan), before the context is made; the window the
// context is made on (X11), 0 for none.
NativeWindow prepareGlSurface(SaverWindow& w);
// The pointer's screen position, when the window system tells it.
bool pointerPosition(SaverWindow& w, int& x, int& y);
// The cursor over the window: invisible while the cursor counter is below
// zero (full screen only).
void applyCursor(SaverWindow& w);
// The timer's repaint request: the window's background is cleared.
void clearWindow(SaverWindow& w);

// The preview picture (picture 105) in the window's pixel format, copied
// into the window at (PREVIEW_X, PREVIEW_Y).
void loadPreviewPicture(SaverWindow& w);
void showPreviewPicture(SaverWindow& w);
void freePreviewPicture(SaverWindow& w);

} // namespace starbloom
