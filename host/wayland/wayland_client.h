#pragma once
// The Wayland window system's records, shared by its two files: the
// connection with its outputs and the saver's toplevels
// (window_system_wayland.cpp), and the seat (wayland_seat.cpp).
#include <cstdint>

#include <wayland-client.h>

#include <libdecor.h>

#include "frame/gl_surface.h"
#include "host/monitor_layout.h"
#include "host/saver_window.h"
#include "host/window_system.h"
#include "host/wayland/wayland_input.h"
#include "wlr-layer-shell-client-protocol.h"
#include "xdg-decoration-client-protocol.h"
#include "xdg-output-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace starbloom {

constexpr int MAX_VIEWS = MAX_SURFACE_TARGETS;
constexpr std::uint32_t FOCUS_GRACE_MS = 100; // a focus loss this short is no input (wayland_seat.cpp)
constexpr int KEY_ESC = 1;  // Linux input codes, before any keymap arrives
constexpr int KEY_Q = 16;

struct WaylandClient;

struct WaylandOutput {
  WaylandClient* client = nullptr;
  std::uint32_t name = 0;      // the registry's name for it; 0: a free slot
  wl_output* output = nullptr;
  zxdg_output_v1* names = nullptr; // its name where wl_output is too old to give it
  char label[32] = "";         // the compositor's name for it ("HEADLESS-1"), or its number
  int modeWidth = 0;           // pixels of its current mode, 0 none yet
  int modeHeight = 0;
  int scale = 1;               // integer buffer scale, 1 and up
  bool described = false;      // a done event has arrived
  int view = -1;               // the saver's toplevel on it
};

struct WaylandView {
  WaylandClient* client = nullptr; // nullptr: a free slot
  int output = -1;                 // the output it covers; -1 for the try-out window
  wl_surface* surface = nullptr;
  xdg_surface* shellSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;          // full screen or wallpaper as a layer surface instead
  zxdg_toplevel_decoration_v1* decoration = nullptr; // the try-out window's title bar, where offered
  libdecor_frame* frame = nullptr; // the try-out window drawn with libdecor's title bar instead
  int pendingWidth = 0;            // the last configure, surface pixels (0: our choice)
  int pendingHeight = 0;
  int width = 0;                   // surface pixels in use
  int height = 0;
  int scale = 1;                   // buffer scale in use
  bool configured = false;         // a configure has been acknowledged with a size
  bool saidSizeless = false;       // told once that it has no size
  bool dropping = false;           // gone from the saver; destroyed once the loop has let go of it
};

struct WaylandClient {
  SaverWindow* window = nullptr;
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  xdg_wm_base* shell = nullptr;
  zwlr_layer_shell_v1* layers = nullptr;     // none: the compositor has no layer surfaces (GNOME, weston)
  zxdg_output_manager_v1* outputNames = nullptr;
  zxdg_decoration_manager_v1* decorations = nullptr; // none: the compositor draws no title bars
  libdecor* decorator = nullptr;   // made for a try-out window where the compositor draws none
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  WaylandOutput outputs[MAX_MONITORS];
  WaylandView views[MAX_VIEWS];
  SeatState seatState;
  int escapeKey = KEY_ESC;        // Linux input codes of the try-out's keys (-1: the keymap has
  int lowerQKey = KEY_Q;          // none); the usual keys until a keymap says otherwise
  int upperQKey = KEY_Q;
  bool keyboardFocus = false;     // a saver surface has the keyboard focus
  bool focusLeft = false;         // it left, and has not come back yet
  std::uint32_t focusLeftAt = 0;  // tick count of that leave
  int lockFd = -1;                // the one-saver lock, held while it runs
  int tryOutWidth = 0;            // the try-out window's size when the compositor leaves it to us
  int tryOutHeight = 0;
  bool layered = false;           // full screen and the wallpaper are layer surfaces
  bool handedDown = false;        // the connection came in WAYLAND_SOCKET (a locker's plugin)
  bool running = false;           // made: new outputs get a surface of their own
  bool glReady = false;           // the GL surface is made: configured views become its targets
  WindowEvents pending;           // the events of the last dispatch, for the loop
};

// Hands an event to the loop with the next batch.
inline void emit(WaylandClient& c, const WindowEvent& event) { addWindowEvent(c.pending, event); }

// Listens to the seat's pointer and keyboard as they come and go.
void listenToSeat(WaylandClient& c, wl_seat* seat);
// Acts on a loss of the keyboard focus once it has lasted (see .cpp).
void settleFocus(WaylandClient& c);
// Lets go of the seat's devices and the seat.
void releaseSeat(WaylandClient& c);

} // namespace starbloom
