// The window system on Wayland. Full screen is one surface per output,
// each drawn as its own GL target (slot = the view's index), with the
// output's integer scale as its buffer scale so that its buffer matches the
// output's pixels. Where the compositor offers layer-shell (wlroots
// compositors, KWin) each is an overlay-layer surface anchored to every
// edge, which stays above panels and full-screen windows and keeps the
// keyboard; elsewhere (GNOME, weston) it is an xdg-shell toplevel asked to
// be full screen on its output. The wallpaper is a background-layer
// surface per output (or on the one output asked for), under every window
// and taking no keyboard. An output plugged in while the saver runs gets a
// surface of its own once the compositor describes it; one unplugged loses
// its surface. The
// try-out window is one resizable toplevel titled "Starbloom", with the
// compositor's title bar and borders where it offers xdg-decoration and
// libdecor's elsewhere (GNOME), so that it moves, resizes and closes with
// the mouse like any other window. Every surface is opaque over its whole
// size (its opaque region). The seat's input is wayland_seat.cpp's; a
// close request from the compositor ends either window.
//
// One saver per display: an flock on a file in $XDG_RUNTIME_DIR named
// after the display, held while the saver runs and released by the kernel
// when it ends, however it ends. A connection handed down in WAYLAND_SOCKET
// belongs to the program that made it (a locker running its plugin), which
// decides how many copies run: no lock there. Events are read without
// blocking while there is something to draw, and waited for otherwise; a
// connection that fails ends the program with one line and status 1, but
// the wallpaper quietly with status 0, since the compositor or the locker
// closing it is how a wallpaper normally ends.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <wayland-client.h>

#include "frame/platform_time.h"
#include "host/session_lock.h"
#include "host/wayland/wayland_client.h"
#include "host/window_system_binding.h"
#include "report/quoted_text.h"

namespace starbloom {

namespace {

constexpr const char* APP_ID = "starbloom";
constexpr int CONFIGURE_WAIT_MS = 3000; // for the compositor's first configure of each surface

WaylandClient* client = nullptr; // the binding's record; written by waylandOpen and waylandClose

char handedDownSocket[16] = ""; // WAYLAND_SOCKET as waylandOpen found it; libwayland unsets it

WaylandClient& clientOf(const SaverWindow&) { return *client; }

const char* displayName() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return name != nullptr && *name != '\0' ? name : "wayland-0";
}

// The display as messages name it: quoted, or the socket it came through.
std::string displayText() {
  if (handedDownSocket[0] != '\0') {
    return std::string("on the socket handed down in WAYLAND_SOCKET (") + handedDownSocket + ")";
  }
  return quotedText(displayName());
}

[[noreturn]] void lostConnection(const WaylandClient& c) {
  if (c.window->role == WindowRole::Wallpaper) _exit(0);
  std::fprintf(stderr, "starbloom: lost the connection to the Wayland display %s\n", displayText().c_str());
  std::fflush(stderr);
  _exit(1);
}

// Whether the wallpaper is to be drawn on the output: every output, or the
// one asked for by name.
bool wanted(const WaylandClient& c, const WaylandOutput& o) {
  const char* only = c.window->outputName;
  return only == nullptr || std::strcmp(o.label, only) == 0;
}

// --- views --------------------------------------------------------------

// The view's surface size when the compositor leaves it to the client.
void chooseSize(const WaylandClient& c, const WaylandView& v, int& width, int& height) {
  width = v.pendingWidth;
  height = v.pendingHeight;
  if (width > 0 && height > 0) return;
  if (v.output < 0) {
    width = c.tryOutWidth;
    height = c.tryOutHeight;
    return;
  }
  const WaylandOutput& o = c.outputs[v.output];
  width = o.modeWidth / o.scale;
  height = o.modeHeight / o.scale;
}

// The whole surface is opaque: the compositor need not blend what lies
// under it, whatever the buffer's format says of alpha.
void markOpaque(WaylandClient& c, const WaylandView& v) {
  wl_region* region = wl_compositor_create_region(c.compositor);
  wl_region_add(region, 0, 0, v.width, v.height);
  wl_surface_set_opaque_region(v.surface, region);
  wl_region_destroy(region);
}

int slotOf(const WaylandView& v) { return static_cast<int>(&v - v.client->views); }

// A configure to acknowledge: the size and scale take effect with the next
// frame; a view with a size for the first time becomes a GL target.
void applyConfigure(WaylandView& v) {
  WaylandClient& c = *v.client;
  int width = 0;
  int height = 0;
  chooseSize(c, v, width, height);
  if (width <= 0 || height <= 0) {
    if (!v.saidSizeless) {
      std::fprintf(stderr, "starbloom: the Wayland output %s has no size yet; nothing is drawn on it\n",
                   v.output >= 0 ? c.outputs[v.output].label : "of the window");
      v.saidSizeless = true;
    }
    return;
  }
  const int scale = v.output >= 0 ? c.outputs[v.output].scale : 1;
  const bool first = !v.configured;
  const bool changed = width != v.width || height != v.height || scale != v.scale;
  if (scale != v.scale) wl_surface_set_buffer_scale(v.surface, scale);
  v.width = width;
  v.height = height;
  v.scale = scale;
  v.configured = true;
  if (first || changed) markOpaque(c, v);
  if (!c.glReady) return;
  WindowEvent event;
  event.kind = first ? WindowEventKind::TargetAdded : WindowEventKind::Resized;
  event.target = slotOf(v);
  event.nativeWindow = v.surface;
  event.width = width * scale;
  event.height = height * scale;
  if (first || changed) emit(c, event);
}

void onShellSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  xdg_surface_ack_configure(surface, serial);
  applyConfigure(*static_cast<WaylandView*>(data));
}

const xdg_surface_listener SHELL_SURFACE_LISTENER = {onShellSurfaceConfigure};

void onToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
  WaylandView& v = *static_cast<WaylandView*>(data);
  v.pendingWidth = width;
  v.pendingHeight = height;
}

void onToplevelClose(void* data, xdg_toplevel*) {
  WindowEvent close;
  close.kind = WindowEventKind::Close;
  emit(*static_cast<WaylandView*>(data)->client, close);
}

void onToplevelBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void onToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener TOPLEVEL_LISTENER = {onToplevelConfigure, onToplevelClose, onToplevelBounds,
                                                 onToplevelCapabilities};

// --- layer surfaces -----------------------------------------------------

void onLayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                      std::uint32_t height) {
  WaylandView& v = *static_cast<WaylandView*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  v.pendingWidth = static_cast<int>(width);
  v.pendingHeight = static_cast<int>(height);
  applyConfigure(v);
}

void dropView(WaylandClient& c, int slot);

// The compositor took the surface away (its output went, say). The saver
// goes on while it has a surface; with none left it closes.
void onLayerClosed(void* data, zwlr_layer_surface_v1*) {
  WaylandView& v = *static_cast<WaylandView*>(data);
  WaylandClient& c = *v.client;
  dropView(c, slotOf(v));
  for (const WaylandView& other : c.views) {
    if (other.client != nullptr && !other.dropping) return;
  }
  WindowEvent close;
  close.kind = WindowEventKind::Close;
  emit(c, close);
}

const zwlr_layer_surface_v1_listener LAYER_LISTENER = {onLayerConfigure, onLayerClosed};

// The output's surface as a layer surface: anchored to every edge, so the
// compositor sizes it to the output, and pushed aside by nothing. Full
// screen goes over everything and takes the keyboard; the wallpaper goes
// under everything and takes no keyboard.
void makeLayerSurface(WaylandClient& c, WaylandView& v) {
  const bool wallpaper = c.window->role == WindowRole::Wallpaper;
  v.layer = zwlr_layer_shell_v1_get_layer_surface(
      c.layers, v.surface, c.outputs[v.output].output,
      wallpaper ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, APP_ID);
  zwlr_layer_surface_v1_add_listener(v.layer, &LAYER_LISTENER, &v);
  zwlr_layer_surface_v1_set_anchor(v.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(v.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      v.layer, wallpaper ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                         : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
}

// --- the try-out window drawn by libdecor ------------------------------

// libdecor's configure carries the content size, none when the size is the
// window's own choice.
void onFrameConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
  WaylandView& v = *static_cast<WaylandView*>(data);
  int width = 0;
  int height = 0;
  if (!libdecor_configuration_get_content_size(configuration, frame, &width, &height)) {
    width = v.configured ? v.width : v.client->tryOutWidth;
    height = v.configured ? v.height : v.client->tryOutHeight;
  }
  v.pendingWidth = width;
  v.pendingHeight = height;
  libdecor_state* state = libdecor_state_new(width, height);
  libdecor_frame_commit(frame, state, configuration);
  libdecor_state_free(state);
  applyConfigure(v);
}

void onFrameClose(libdecor_frame*, void* data) {
  WindowEvent close;
  close.kind = WindowEventKind::Close;
  emit(*static_cast<WaylandView*>(data)->client, close);
}

void onFrameCommit(libdecor_frame*, void* data) { wl_surface_commit(static_cast<WaylandView*>(data)->surface); }

void onFrameDismissPopup(libdecor_frame*, const char*, void*) {}

// libdecor's interfaces end in reserved members, left empty.
libdecor_frame_interface frameInterface() {
  libdecor_frame_interface frame{};
  frame.configure = onFrameConfigure;
  frame.close = onFrameClose;
  frame.commit = onFrameCommit;
  frame.dismiss_popup = onFrameDismissPopup;
  return frame;
}

libdecor_frame_interface FRAME_INTERFACE = frameInterface(); // libdecor keeps a pointer to it

void onDecoratorError(libdecor*, libdecor_error, const char* message) {
  std::fprintf(stderr, "starbloom: no title bar for the window: %s\n", message != nullptr ? message : "");
}

libdecor_interface decoratorInterface() {
  libdecor_interface decorator{};
  decorator.error = onDecoratorError;
  return decorator;
}

libdecor_interface DECORATOR_INTERFACE = decoratorInterface();

// The try-out window as a libdecor frame, for a compositor that draws no
// title bars; false when libdecor cannot make one.
bool decorateTryOut(WaylandClient& c, WaylandView& v) {
  if (c.decorator == nullptr) c.decorator = libdecor_new(c.display, &DECORATOR_INTERFACE);
  v.frame = c.decorator != nullptr ? libdecor_decorate(c.decorator, v.surface, &FRAME_INTERFACE, &v) : nullptr;
  if (v.frame == nullptr) return false;
  libdecor_frame_set_app_id(v.frame, APP_ID);
  libdecor_frame_set_title(v.frame, TRY_OUT_TITLE);
  libdecor_frame_map(v.frame); // asks for the first configure
  return true;
}

// A surface for the output (or the try-out window, -1); false when all
// slots are taken. The try-out window has a title bar: the compositor's
// where it offers xdg-decoration, else libdecor's.
bool makeView(WaylandClient& c, int output) {
  int slot = 0;
  while (slot < MAX_VIEWS && c.views[slot].client != nullptr) ++slot;
  if (slot == MAX_VIEWS) return false;
  WaylandView& v = c.views[slot];
  v = WaylandView{};
  v.client = &c;
  v.output = output;
  v.surface = wl_compositor_create_surface(c.compositor);
  if (output >= 0 && c.layered) {
    makeLayerSurface(c, v);
    c.outputs[output].view = slot;
    wl_surface_commit(v.surface); // without a buffer: asks for the first configure
    return true;
  }
  if (output < 0 && c.decorations == nullptr && decorateTryOut(c, v)) return true;
  v.shellSurface = xdg_wm_base_get_xdg_surface(c.shell, v.surface);
  xdg_surface_add_listener(v.shellSurface, &SHELL_SURFACE_LISTENER, &v);
  v.toplevel = xdg_surface_get_toplevel(v.shellSurface);
  xdg_toplevel_add_listener(v.toplevel, &TOPLEVEL_LISTENER, &v);
  xdg_toplevel_set_app_id(v.toplevel, APP_ID);
  if (output >= 0) {
    xdg_toplevel_set_title(v.toplevel, FULL_SCREEN_TITLE);
    xdg_toplevel_set_fullscreen(v.toplevel, c.outputs[output].output);
    c.outputs[output].view = slot;
  } else {
    xdg_toplevel_set_title(v.toplevel, TRY_OUT_TITLE);
    if (c.decorations != nullptr) {
      v.decoration = zxdg_decoration_manager_v1_get_toplevel_decoration(c.decorations, v.toplevel);
      zxdg_toplevel_decoration_v1_set_mode(v.decoration, ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
  }
  wl_surface_commit(v.surface); // without a buffer: asks for the first configure
  return true;
}

void destroyView(WaylandClient& c, int slot) {
  WaylandView& v = c.views[slot];
  if (v.client == nullptr) return;
  if (v.output >= 0 && c.outputs[v.output].view == slot) c.outputs[v.output].view = -1;
  if (v.frame != nullptr) libdecor_frame_unref(v.frame);
  if (v.layer != nullptr) zwlr_layer_surface_v1_destroy(v.layer);
  if (v.decoration != nullptr) zxdg_toplevel_decoration_v1_destroy(v.decoration);
  if (v.toplevel != nullptr) xdg_toplevel_destroy(v.toplevel);
  if (v.shellSurface != nullptr) xdg_surface_destroy(v.shellSurface);
  wl_surface_destroy(v.surface);
  v = WaylandView{};
}

// A view the saver no longer shows. While the GL surface draws on it, the
// loop first lets go of its drawable (TargetRemoved), and the view is
// destroyed at the next dispatch (finishDrops).
void dropView(WaylandClient& c, int slot) {
  WaylandView& v = c.views[slot];
  if (v.client == nullptr || v.dropping) return;
  if (!c.glReady) {
    destroyView(c, slot);
    return;
  }
  if (v.output >= 0) c.outputs[v.output].view = -1;
  v.output = -1;
  v.dropping = true;
  WindowEvent removed;
  removed.kind = WindowEventKind::TargetRemoved;
  removed.target = slot;
  emit(c, removed);
}

void finishDrops(WaylandClient& c) {
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    if (c.views[slot].dropping) destroyView(c, slot);
  }
}

// --- outputs ------------------------------------------------------------

void onOutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                      std::int32_t, const char*, const char*, std::int32_t) {}

void onOutputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
                  std::int32_t) {
  WaylandOutput& o = *static_cast<WaylandOutput*>(data);
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  o.modeWidth = width;
  o.modeHeight = height;
}

void onOutputScale(void* data, wl_output*, std::int32_t factor) {
  static_cast<WaylandOutput*>(data)->scale = factor >= 1 ? factor : 1;
}

void onOutputName(void* data, wl_output*, const char* name) {
  WaylandOutput& o = *static_cast<WaylandOutput*>(data);
  std::snprintf(o.label, sizeof o.label, "%s", name != nullptr ? name : "");
}

void onOutputDescription(void*, wl_output*, const char*) {}

void onNamesPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void onNamesSize(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void onNamesDone(void*, zxdg_output_v1*) {}

void onNamesName(void* data, zxdg_output_v1*, const char* name) {
  WaylandOutput& o = *static_cast<WaylandOutput*>(data);
  std::snprintf(o.label, sizeof o.label, "%s", name != nullptr ? name : "");
}

void onNamesDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener NAMES_LISTENER = {onNamesPosition, onNamesSize, onNamesDone, onNamesName,
                                                onNamesDescription};

// Asks for the output's name through xdg-output, once both are bound.
void askName(WaylandClient& c, WaylandOutput& o) {
  if (c.outputNames == nullptr || o.output == nullptr || o.names != nullptr) return;
  o.names = zxdg_output_manager_v1_get_xdg_output(c.outputNames, o.output);
  zxdg_output_v1_add_listener(o.names, &NAMES_LISTENER, &o);
}

void onOutputDone(void* data, wl_output*) {
  WaylandOutput& o = *static_cast<WaylandOutput*>(data);
  o.described = true;
  WaylandClient& c = *o.client;
  const int index = static_cast<int>(&o - c.outputs);
  const bool everyOutput = c.window->role == WindowRole::FullScreen || c.window->role == WindowRole::Wallpaper;
  if (c.running && everyOutput && o.view < 0 && wanted(c, o)) makeView(c, index);
  if (o.view >= 0 && c.views[o.view].configured) applyConfigure(c.views[o.view]); // a new scale
}

const wl_output_listener OUTPUT_LISTENER = {onOutputGeometry, onOutputMode, onOutputDone, onOutputScale,
                                            onOutputName,     onOutputDescription};

// --- registry -----------------------------------------------------------

void onPing(void*, xdg_wm_base* shell, std::uint32_t serial) { xdg_wm_base_pong(shell, serial); }

const xdg_wm_base_listener SHELL_LISTENER = {onPing};

std::uint32_t upTo(std::uint32_t offered, std::uint32_t wanted) { return offered < wanted ? offered : wanted; }

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  if (std::strcmp(interface, wl_compositor_interface.name) == 0 && c.compositor == nullptr && version >= 3) {
    c.compositor = static_cast<wl_compositor*>(
        wl_registry_bind(registry, name, &wl_compositor_interface, upTo(version, 4)));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && c.shell == nullptr) {
    c.shell = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(c.shell, &SHELL_LISTENER, &c);
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && c.layers == nullptr) {
    c.layers = static_cast<zwlr_layer_shell_v1*>(
        wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, upTo(version, 4)));
  } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && c.outputNames == nullptr &&
             version >= 2) {
    c.outputNames = static_cast<zxdg_output_manager_v1*>(
        wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, upTo(version, 3)));
    for (WaylandOutput& o : c.outputs) askName(c, o);
  } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0 &&
             c.decorations == nullptr) {
    c.decorations = static_cast<zxdg_decoration_manager_v1*>(
        wl_registry_bind(registry, name, &zxdg_decoration_manager_v1_interface, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && c.seat == nullptr) {
    listenToSeat(c, static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, upTo(version, 5))));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
    int slot = 0;
    while (slot < MAX_MONITORS && c.outputs[slot].name != 0) ++slot;
    if (slot == MAX_MONITORS) return; // more outputs than the saver draws on
    WaylandOutput& o = c.outputs[slot];
    o = WaylandOutput{};
    o.client = &c;
    o.name = name;
    std::snprintf(o.label, sizeof o.label, "%u", name);
    o.output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, upTo(version, 4)));
    wl_output_add_listener(o.output, &OUTPUT_LISTENER, &o);
    askName(c, o);
  }
}

void onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  for (WaylandOutput& o : c.outputs) {
    if (o.name != name) continue;
    if (o.view >= 0) dropView(c, o.view);
    if (o.names != nullptr) zxdg_output_v1_destroy(o.names);
    wl_output_destroy(o.output);
    o = WaylandOutput{};
  }
}

const wl_registry_listener REGISTRY_LISTENER = {onGlobal, onGlobalRemove};

// --- events -------------------------------------------------------------

// Dispatches what has arrived, reading the connection for up to timeoutMs
// (-1: until something comes) when nothing has, or until an end signal
// wakes it; whether any event was handled.
bool pump(WaylandClient& c, int timeoutMs) {
  wl_display* display = c.display;
  int handled = wl_display_dispatch_pending(display);
  while (handled == 0 && wl_display_prepare_read(display) != 0) {
    handled = wl_display_dispatch_pending(display);
  }
  if (handled < 0) lostConnection(c);
  if (handled > 0) return true;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    lostConnection(c);
  }
  const int wakeFd = c.window->wakeFd;
  pollfd readable[2] = {{wl_display_get_fd(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  if (poll(readable, wakeFd >= 0 ? 2 : 1, timeoutMs) > 0 && (readable[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
    if (wl_display_read_events(display) < 0) lostConnection(c);
  } else {
    wl_display_cancel_read(display); // nothing came, or a signal
  }
  handled = wl_display_dispatch_pending(display);
  if (handled < 0) lostConnection(c);
  return handled > 0;
}

void releaseClient(WaylandClient* c) {
  for (int slot = 0; slot < MAX_VIEWS; ++slot) destroyView(*c, slot);
  for (WaylandOutput& o : c->outputs) {
    if (o.names != nullptr) zxdg_output_v1_destroy(o.names);
    if (o.output != nullptr) wl_output_destroy(o.output);
  }
  releaseSeat(*c);
  if (c->decorator != nullptr) libdecor_unref(c->decorator);
  if (c->decorations != nullptr) zxdg_decoration_manager_v1_destroy(c->decorations);
  if (c->shell != nullptr) xdg_wm_base_destroy(c->shell);
  if (c->layers != nullptr) {
    // The request to destroy it came with version 3.
    if (zwlr_layer_shell_v1_get_version(c->layers) >= 3) {
      zwlr_layer_shell_v1_destroy(c->layers);
    } else {
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(c->layers));
    }
  }
  if (c->outputNames != nullptr) zxdg_output_manager_v1_destroy(c->outputNames);
  if (c->compositor != nullptr) wl_compositor_destroy(c->compositor);
  if (c->registry != nullptr) wl_registry_destroy(c->registry);
  if (c->display != nullptr) wl_display_disconnect(c->display);
  if (c->lockFd >= 0) close(c->lockFd);
  delete c;
}

// What the compositor lacks for the window of w's role, or nullptr: the
// wallpaper needs layer-shell, the try-out window xdg-shell, full screen
// either (or the one --wayland-shell names).
const char* missingFor(const SaverWindow& w, const WaylandClient& c) {
  constexpr const char* NO_LAYERS = "offers no layer-shell surfaces (zwlr_layer_shell_v1)";
  constexpr const char* NO_WINDOWS = "offers no xdg-shell windows";
  if (c.compositor == nullptr) return "offers no wl_compositor";
  switch (w.role) {
    case WindowRole::Wallpaper:
      return c.layers == nullptr ? NO_LAYERS : nullptr;
    case WindowRole::FullScreen:
      if (w.shell == WaylandShellRequest::Layer) return c.layers == nullptr ? NO_LAYERS : nullptr;
      if (w.shell == WaylandShellRequest::Xdg || c.layers == nullptr) return c.shell == nullptr ? NO_WINDOWS : nullptr;
      return nullptr;
    default:
      return c.shell == nullptr ? NO_WINDOWS : nullptr;
  }
}

} // namespace

bool waylandOpen(SaverWindow& w, bool sayWhy) {
  const char* socket = std::getenv("WAYLAND_SOCKET");
  std::snprintf(handedDownSocket, sizeof handedDownSocket, "%s", socket != nullptr ? socket : "");
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    if (!sayWhy) return false;
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (handedDownSocket[0] != '\0') {
      std::fprintf(stderr, "starbloom: cannot use the Wayland display %s\n", displayText().c_str());
    } else if (name == nullptr || *name == '\0') {
      std::fprintf(stderr, "starbloom: no Wayland compositor at %s (WAYLAND_DISPLAY is not set)\n",
                   quotedText(displayName()).c_str());
    } else {
      std::fprintf(stderr, "starbloom: cannot connect to the Wayland display %s\n", quotedText(name).c_str());
    }
    return false;
  }
  WaylandClient* c = new WaylandClient;
  c->window = &w;
  c->display = display;
  c->handedDown = handedDownSocket[0] != '\0';
  c->registry = wl_display_get_registry(display);
  wl_registry_add_listener(c->registry, &REGISTRY_LISTENER, c);
  // The globals, then what the outputs and the seat tell of themselves.
  const bool answered = wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0;
  const char* missing = answered ? missingFor(w, *c) : "does not answer";
  if (missing != nullptr) {
    if (sayWhy) std::fprintf(stderr, "starbloom: the Wayland display %s %s\n", displayText().c_str(), missing);
    releaseClient(c);
    return false;
  }
  c->layered = c->layers != nullptr && (w.role == WindowRole::Wallpaper ||
                                        (w.role == WindowRole::FullScreen && w.shell != WaylandShellRequest::Xdg));
  client = c;
  return true;
}

void waylandClose(SaverWindow&) {
  if (client == nullptr) return;
  releaseClient(client);
  client = nullptr;
}

// The lock of full screen is the display's; a wallpaper's, the display's
// and its output's.
bool waylandSaverRuns(SaverWindow& w) {
  WaylandClient& c = clientOf(w);
  if (c.handedDown) return false;
  std::string name = displayName();
  if (w.role == WindowRole::Wallpaper) {
    name = "wallpaper-" + name;
    if (w.outputName != nullptr) name += std::string("-") + w.outputName;
  }
  return !takeSessionLock(name, c.lockFd);
}

bool waylandCreate(SaverWindow& w, int width, int height) {
  WaylandClient& c = clientOf(w);
  if (w.role == WindowRole::FullScreen || w.role == WindowRole::Wallpaper) {
    std::string known;
    for (int o = 0; o < MAX_MONITORS; ++o) {
      const WaylandOutput& output = c.outputs[o];
      if (output.name == 0 || !output.described) continue;
      known += (known.empty() ? "" : ", ") + quotedText(output.label);
      if (wanted(c, output)) makeView(c, o);
    }
    bool made = false;
    for (const WaylandView& v : c.views) made = made || v.client != nullptr;
    if (!made && w.outputName != nullptr) {
      std::fprintf(stderr, "starbloom: no Wayland output is named %s (there are %s)\n",
                   quotedText(w.outputName).c_str(), known.empty() ? "none" : known.c_str());
      return false;
    }
  } else if (w.role == WindowRole::TryOut) {
    c.tryOutWidth = width;
    c.tryOutHeight = height;
    makeView(c, -1);
  } else {
    return false; // previews and hosted windows are X11's
  }
  // The first configure of every surface, before anything is drawn.
  const std::uint32_t start = tickCount();
  for (;;) {
    bool waiting = false;
    for (const WaylandView& v : c.views) waiting = waiting || (v.client != nullptr && !v.configured && !v.saidSizeless);
    if (!waiting || tickCount() - start > static_cast<std::uint32_t>(CONFIGURE_WAIT_MS)) break;
    pump(c, 50);
  }
  bool configured = false;
  for (const WaylandView& v : c.views) configured = configured || v.configured;
  if (w.role == WindowRole::TryOut && !configured) {
    std::fprintf(stderr, "starbloom: the Wayland compositor did not show the window\n");
    return false;
  }
  c.running = true;
  return true;
}

void waylandDestroy(SaverWindow& w) {
  if (client == nullptr) return;
  WaylandClient& c = clientOf(w);
  c.glReady = false; // the caller has released the GL surface
  for (int slot = 0; slot < MAX_VIEWS; ++slot) destroyView(c, slot);
  c.running = false;
  wl_display_flush(c.display);
}

namespace {

// Dispatches for up to ms and hands the events over, with any that came
// while the window was made; the views dropped in the last batch go first,
// since the loop has applied it.
bool dispatchInto(WaylandClient& c, int ms, WindowEvents& batch) {
  finishDrops(c);
  const bool handled = pump(c, ms);
  settleFocus(c);
  for (int i = 0; i < c.pending.count; ++i) addWindowEvent(batch, c.pending.events[i]);
  c.pending.count = 0;
  return handled;
}

} // namespace

bool waylandTakeEvents(SaverWindow& w, WindowEvents& batch) { return dispatchInto(clientOf(w), 0, batch); }

// Nothing to draw: the wait lasts until the compositor asks for a frame or
// tells of anything else, or a signal comes. The timer has nothing to do
// here (it clears an X window), so it wakes nothing; only a focus loss
// that is still settling bounds the wait.
void waylandWait(SaverWindow& w, int, WindowEvents& batch) {
  WaylandClient& c = clientOf(w);
  dispatchInto(c, c.focusLeft ? static_cast<int>(FOCUS_GRACE_MS) : -1, batch);
}

WindowGeometry waylandDescribe(SaverWindow& w) {
  const WaylandClient& c = clientOf(w);
  WindowGeometry geometry;
  geometry.colourBits = 24;
  for (const WaylandView& v : c.views) {
    if (v.client == nullptr || !v.configured || v.dropping) continue;
    geometry.screenWidth = v.width * v.scale;
    geometry.screenHeight = v.height * v.scale;
    geometry.rect = ScreenRect{0, 0, geometry.screenWidth, geometry.screenHeight};
    break;
  }
  return geometry;
}

// Each configured toplevel is a target of its own, one monitor filling it.
OutputLayout waylandLayout(SaverWindow& w) {
  const WaylandClient& c = clientOf(w);
  OutputLayout layout;
  for (int slot = 0; slot < MAX_VIEWS && layout.count < MAX_MONITORS; ++slot) {
    const WaylandView& v = c.views[slot];
    if (v.client == nullptr || !v.configured || v.dropping) continue;
    OutputArea& area = layout.areas[layout.count++];
    area.target = slot;
    area.targetWidth = v.width * v.scale;
    area.targetHeight = v.height * v.scale;
    area.area = ScreenRect{0, 0, area.targetWidth, area.targetHeight};
  }
  return layout;
}

SurfacePlan waylandPrepareGl(SaverWindow& w) {
  WaylandClient& c = clientOf(w);
  SurfacePlan plan;
  plan.binding = SurfaceBinding::Wayland;
  plan.hostDisplay = c.display;
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    const WaylandView& v = c.views[slot];
    if (v.client == nullptr || !v.configured || v.dropping) continue;
    plan.drawables[plan.drawableCount++] = SurfacePlan::Drawable{slot, v.surface, v.width * v.scale,
                                                                  v.height * v.scale};
  }
  c.glReady = true;
  return plan;
}

} // namespace starbloom
