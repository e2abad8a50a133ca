// The window system on X11. Full screen is an override-redirect window over
// the whole X screen that grabs keyboard and pointer and shows an invisible
// cursor while the cursor counter is below zero; a second /s finds it by
// its class and title and brings it forward. A preview is a child of the
// given window, of its size; a hosted saver draws into the host's own window
// (the root window for --root without XSCREENSAVER_WINDOW) and selects only
// its structure events; the try-out is a normal top-level window.
//
// On Xwayland (its XWAYLAND extension, or the _XWAYLAND_ALLOW_COMMITS atom
// that every Xwayland makes before its first client) full screen is a
// window the compositor manages instead: keys reach an X window only while
// the compositor gives Xwayland's surface the keyboard focus, which it does
// for a managed window and may refuse an override-redirect one. The window
// asks for _NET_WM_STATE_FULLSCREEN before it is mapped and again once
// mapped (a compositor may map it before it reads the property), for every
// monitor with _NET_WM_FULLSCREEN_MONITORS, without decorations, and grabs
// keyboard and pointer as elsewhere. Xwayland learns where the pointer is
// only when it enters one of its surfaces: until then a pointer query, and
// the EnterNotify that mapping the window causes, tell a stale position.
// The first MotionNotify, which Xwayland sends when the compositor's
// pointer enters the window or first moves over it, is the reference of the
// mouse-move rule and no input itself.
//
// X events become window events, records that the loop applies: KeyPress
// (Alt held: a system key; Esc and q marked as the try-out window's close
// keys), ButtonPress of buttons 1 to 3 (the wheel is not a button press),
// MotionNotify in root coordinates, FocusOut of mode NotifyNormal (the
// application deactivated), DestroyNotify of the window (its destroy),
// WM_DELETE_WINDOW (a close request). A host that resizes its window, a
// compositor that moves or resizes the window it manages, or a screen that
// changes size under the full-screen window, asks for the drawing to be
// laid out again.
//
// Nobody sees a window that another covers whole (a locker started over
// the saver), one that is unmapped, or a monitor in a DPMS power-saving
// state: the saver then draws nothing and waits on the connection. Covering
// and mapping come as events, so drawing resumes as soon as the window can
// be seen; the DPMS state has no event and is asked for at most once a
// second while drawing, five times a second while it keeps the saver
// waiting. (A compositing manager reports every window unobscured: there
// only unmapping and DPMS pause the drawing.)
//
// X errors are recorded instead of ending the program (a hosted window may
// vanish at any time); a lost connection, on the window's or the GL
// surface's connection, ends the program with one line and status 1.
#include <poll.h>
#include <stb_image.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/cursor.h"
#include "frame/platform_time.h"
#include "host/window_system_binding.h"
#include "host/x11/x11_services.h"
#include "resources/resource_data.h"
#include "report/quoted_text.h"

// Last: Xlib's macros (Bool, Status, ...) would clash with the names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/dpms.h>
#include <X11/keysym.h>

namespace starbloom {

namespace {

constexpr const char* SAVER_CLASS = "WindowsScreenSaverClass";
constexpr const char* RESOURCE_NAME = "starbloom";
constexpr int PREVIEW_BITMAP = 105;
constexpr int GRAB_ATTEMPTS = 40;       // 2 s: a menu or another grab may be on its way out
constexpr int GRAB_RETRY_MS = 50;
constexpr int MAP_WAIT_MS = 2000;
constexpr std::uint32_t DPMS_CHECK_MS = 1000;        // while drawing
constexpr std::uint32_t DPMS_CHECK_ASLEEP_MS = 200;  // while the monitor sleeps

int lastXError = 0; // written by recordXError: the last X error on the host's connection

// The binding's own record of the saver window (one a process).
struct X11Window {
  Display* display = nullptr;
  Window window = 0;              // drawn in: the saver's own, or the host's; 0: gone
  Cursor invisibleCursor = 0;     // full screen
  XImage* previewImage = nullptr; // picture 105 in the window's visual
  MonitorLayout monitors;         // the screen's monitors, screen coordinates
  int screenWidth = 0;            // the screen's size as last seen
  int screenHeight = 0;
  bool managed = false;           // full screen on Xwayland: the compositor manages the window
  bool pointerKnown = false;      // managed: the server has told the pointer's position over it
  bool obscured = false;          // another window covers it whole
  bool unmapped = false;          // it, or (hosted) the host's window, is not mapped
  bool hasDpms = false;           // the server has the DPMS extension
  bool monitorAsleep = false;     // DPMS standby, suspend or off, as last asked
  std::uint32_t dpmsCheckedAt = 0;
};

X11Window x11; // written by the x11* functions, translate and followScreenSize

int recordXError(Display*, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

// The X server went away (killed, crashed, the connection cut) under either
// of the program's connections: the window's or the GL surface's, which
// share the display name. Xlib's own handler prints three lines and exits
// through the atexit handlers, which would talk to the dead server again;
// this says it in one line and ends at once.
int onLostConnection(Display* display) {
  const char* name = DisplayString(display);
  std::fprintf(stderr, "starbloom: lost the connection to the X display %s\n",
               quotedText(name != nullptr ? name : "").c_str());
  std::fflush(stderr);
  _exit(1);
}

bool windowExists(Display* display, Window window) {
  if (window == 0) return false;
  XSync(display, False);
  lastXError = 0;
  XWindowAttributes attributes{};
  const bool described = XGetWindowAttributes(display, window, &attributes) != 0;
  XSync(display, False);
  return described && lastXError == 0;
}

void nameWindow(Display* display, Window window, const char* title) {
  XStoreName(display, window, title);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(title),
                  static_cast<int>(std::strlen(title)));
  // Xlib takes the strings as char* but only reads them.
  XClassHint hint{};
  hint.res_name = const_cast<char*>(RESOURCE_NAME);
  hint.res_class = const_cast<char*>(SAVER_CLASS);
  XSetClassHint(display, window, &hint);
}

// Xwayland 23.1 and later have the XWAYLAND extension. Every Xwayland
// makes the atom _XWAYLAND_ALLOW_COMMITS while it starts, before any client
// connects; on another server only a client makes it, a window manager
// after its WM_STATE, and a server numbers atoms in the order they are made.
bool onXwayland(Display* display) {
  int opcode = 0, firstEvent = 0, firstError = 0;
  if (XQueryExtension(display, "XWAYLAND", &opcode, &firstEvent, &firstError)) return true;
  const Atom allowCommits = XInternAtom(display, "_XWAYLAND_ALLOW_COMMITS", True);
  const Atom wmState = XInternAtom(display, "WM_STATE", True);
  return allowCommits != None && (wmState == None || allowCommits < wmState);
}

// A client message to the window manager about window, sent to the root
// window as EWMH asks.
void askWindowManager(Display* display, Window window, const char* type, long l0, long l1, long l2,
                      long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, type, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// What a window manager reads when the window is mapped: full screen, no
// decorations (so no frame window to be reparented into, and a second /s
// finds it among the root's children), the screen's position and size,
// keyboard input wanted, and a close request instead of a killed client.
void describeManagedFullScreen(Display* display, Window window, int width, int height) {
  const Atom fullScreenState = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&fullScreenState), 1);
  const Atom normal = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&normal), 1);
  const long noDecorations[5] = {2, 0, 0, 0, 0}; // flags: decorations; decorations: none
  const Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, window, motifHints, motifHints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(noDecorations), 5);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(display, window, &hints);
  XSizeHints size{};
  size.flags = USPosition | USSize;
  size.width = width;
  size.height = height;
  XSetWMNormalHints(display, window, &size);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
}

// Once mapped: full screen again, as EWMH asks of a mapped window, and over
// every monitor (by Xinerama index: the topmost, bottommost, leftmost and
// rightmost). A window manager without _NET_WM_FULLSCREEN_MONITORS keeps
// the window on one monitor.
void askForFullScreen(Display* display, Window window) {
  askWindowManager(display, window, "_NET_WM_STATE", 1 /* add */,
                   static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)), 0, 1, 0);
  int firstEvent = 0, firstError = 0, number = 0;
  if (!XineramaQueryExtension(display, &firstEvent, &firstError) || !XineramaIsActive(display)) return;
  XineramaScreenInfo* heads = XineramaQueryScreens(display, &number);
  if (heads == nullptr) return;
  int top = 0, bottom = 0, left = 0, right = 0;
  for (int i = 1; i < number; ++i) {
    const XineramaScreenInfo& h = heads[i];
    if (h.y_org < heads[top].y_org) top = i;
    if (h.y_org + h.height > heads[bottom].y_org + heads[bottom].height) bottom = i;
    if (h.x_org < heads[left].x_org) left = i;
    if (h.x_org + h.width > heads[right].x_org + heads[right].width) right = i;
  }
  if (number > 1) askWindowManager(display, window, "_NET_WM_FULLSCREEN_MONITORS", top, bottom, left, right, 1);
  XFree(heads);
}

// A top-level window of the saver's class titled "Screen Saver", or 0.
Window findRunningSaver(Display* display) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return 0;
  }
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    XClassHint hint{};
    if (XGetClassHint(display, children[i], &hint) == 0) continue;
    char* title = nullptr;
    if (hint.res_class != nullptr && std::strcmp(hint.res_class, SAVER_CLASS) == 0 &&
        XFetchName(display, children[i], &title) != 0 && title != nullptr &&
        std::strcmp(title, FULL_SCREEN_TITLE) == 0) {
      found = children[i];
    }
    if (title != nullptr) XFree(title);
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
  }
  if (children != nullptr) XFree(children);
  return found;
}

Cursor makeInvisibleCursor(Display* display, Window window) {
  const char empty[1] = {0};
  const Pixmap blank = XCreateBitmapFromData(display, window, empty, 1, 1);
  XColor black{};
  const Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
  XFreePixmap(display, blank);
  return cursor;
}

void waitForMap(Display* display, Window window) {
  for (int waited = 0; waited < MAP_WAIT_MS; waited += 10) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) != 0 &&
        attributes.map_state == IsViewable) {
      return;
    }
    sleepMilliseconds(10);
  }
}

bool grabInput() {
  bool keyboard = false;
  bool pointer = false;
  for (int attempt = 0; attempt < GRAB_ATTEMPTS && !(keyboard && pointer); ++attempt) {
    if (!keyboard) {
      keyboard = XGrabKeyboard(x11.display, x11.window, True, GrabModeAsync, GrabModeAsync,
                               CurrentTime) == GrabSuccess;
    }
    if (!pointer) {
      pointer = XGrabPointer(x11.display, x11.window, True, ButtonPressMask | PointerMotionMask,
                             GrabModeAsync, GrabModeAsync, None, x11.invisibleCursor,
                             CurrentTime) == GrabSuccess;
    }
    if (!(keyboard && pointer)) sleepMilliseconds(GRAB_RETRY_MS);
  }
  return keyboard && pointer;
}

// The window's rectangle in screen coordinates.
ScreenRect windowRectangle(Display* display, Window window) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return ScreenRect{};
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
  return ScreenRect{x, y, attributes.width, attributes.height};
}

// The screen changed size (RandR, a nested server's window resized): the
// full-screen window covers the new screen and the drawing follows it.
// Xlib keeps the size the screen had when the connection opened, which the
// monitor layout falls back on without Xinerama; it is updated as
// libXrandr's XRRUpdateConfiguration would. The heads may still describe
// the screen as it was. Whether it changed.
bool followScreenSize(int width, int height) {
  Display* display = x11.display;
  Screen* screen = DefaultScreenOfDisplay(display);
  if (width <= 0 || height <= 0 || (width == screen->width && height == screen->height)) return false;
  screen->width = width;
  screen->height = height;
  x11.monitors = monitorsAfterScreenChange(queryMonitors(display), x11.screenWidth, x11.screenHeight,
                                           width, height);
  x11.screenWidth = width;
  x11.screenHeight = height;
  XMoveResizeWindow(display, x11.window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  return true;
}

WindowEvent inputEvent(InputEvent input, int x = 0, int y = 0) {
  WindowEvent event;
  event.input = input;
  event.x = x;
  event.y = y;
  return event;
}

WindowEvent eventOf(WindowEventKind kind) {
  WindowEvent event;
  event.kind = kind;
  return event;
}

// Turns one X event into the saver's window events.
void translate(SaverWindow& w, const XEvent& e, WindowEvents& batch) {
  switch (e.type) {
    case KeyPress: {
      const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0);
      WindowEvent event =
          inputEvent((e.xkey.state & Mod1Mask) != 0 ? InputEvent::SystemKeyDown : InputEvent::KeyDown);
      event.closeKey = key == XK_Escape || key == XK_q || key == XK_Q;
      addWindowEvent(batch, event);
      return;
    }
    case ButtonPress:
      if (e.xbutton.button == Button1) addWindowEvent(batch, inputEvent(InputEvent::LeftButtonDown));
      if (e.xbutton.button == Button2) addWindowEvent(batch, inputEvent(InputEvent::MiddleButtonDown));
      if (e.xbutton.button == Button3) addWindowEvent(batch, inputEvent(InputEvent::RightButtonDown));
      return; // the wheel (buttons 4 and up) is not a button press
    case MotionNotify: {
      // Xwayland's first word on the pointer over the window: the reference.
      const bool first = x11.managed && !x11.pointerKnown;
      x11.pointerKnown = true;
      addWindowEvent(batch, inputEvent(first ? InputEvent::PointerAt : InputEvent::MouseMove, e.xmotion.x_root,
                                       e.xmotion.y_root));
      return;
    }
    case FocusOut:
      if (e.xfocus.mode == NotifyNormal && e.xfocus.detail != NotifyInferior) {
        addWindowEvent(batch, inputEvent(InputEvent::Deactivated));
      }
      return;
    case DestroyNotify:
      if (e.xdestroywindow.window == x11.window) {
        x11.window = 0; // gone: nothing more is drawn into it
        addWindowEvent(batch, eventOf(WindowEventKind::Destroyed));
      }
      return;
    case ConfigureNotify:
      // A host may resize its window, a user the try-out window, and a
      // compositor the window it manages; the drawing follows.
      if ((w.role == WindowRole::Hosted || w.role == WindowRole::TryOut || x11.managed) &&
          e.xconfigure.window == x11.window) {
        addWindowEvent(batch, eventOf(WindowEventKind::Resized));
      }
      if (w.role == WindowRole::FullScreen && x11.window != 0 &&
          e.xconfigure.window == DefaultRootWindow(x11.display) &&
          followScreenSize(e.xconfigure.width, e.xconfigure.height)) {
        addWindowEvent(batch, eventOf(WindowEventKind::Resized));
      }
      return;
    case VisibilityNotify:
      if (e.xvisibility.window == x11.window) x11.obscured = e.xvisibility.state == VisibilityFullyObscured;
      return;
    case MapNotify:
      if (e.xmap.window == x11.window) x11.unmapped = false;
      return;
    case UnmapNotify:
      if (e.xunmap.window == x11.window) x11.unmapped = true;
      return;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == XInternAtom(x11.display, "WM_DELETE_WINDOW", False)) {
        addWindowEvent(batch, eventOf(WindowEventKind::Close));
      }
      return;
    default:
      return;
  }
}

unsigned long channel(unsigned char value, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  int bits = 0;
  while (((mask >> (shift + bits)) & 1u) != 0) ++bits;
  const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                         : static_cast<unsigned long>(value) >> (8 - bits);
  return (scaled << shift) & mask;
}

// Picture 105 as an image of the window's visual; none for a picture that
// is missing or a visual without direct colour.
XImage* previewImageFor(Display* display, Window window) {
  const ResourceData* resource = findResource(PREVIEW_BITMAP);
  XWindowAttributes attributes{};
  if (resource == nullptr || XGetWindowAttributes(display, window, &attributes) == 0) return nullptr;
  Visual* visual = attributes.visual;
  if (visual == nullptr || visual->red_mask == 0) return nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;
  unsigned char* rgb = stbi_load_from_memory(resource->bytes, static_cast<int>(resource->size),
                                             &width, &height, &channels, 3);
  if (rgb == nullptr) return nullptr;
  char* data = static_cast<char*>(std::calloc(PREVIEW_SIZE * PREVIEW_SIZE, 4));
  XImage* image = data != nullptr ? XCreateImage(display, visual, static_cast<unsigned>(attributes.depth),
                                                 ZPixmap, 0, data, PREVIEW_SIZE, PREVIEW_SIZE, 32, 0)
                                  : nullptr;
  if (image == nullptr) {
    std::free(data);
    stbi_image_free(rgb);
    return nullptr;
  }
  for (int y = 0; y < PREVIEW_SIZE; ++y) {
    for (int x = 0; x < PREVIEW_SIZE; ++x) {
      unsigned long pixel = 0;
      if (x < width && y < height) {
        const unsigned char* p = rgb + 3 * (y * width + x);
        pixel = channel(p[0], visual->red_mask) | channel(p[1], visual->green_mask) |
                channel(p[2], visual->blue_mask);
      }
      XPutPixel(image, x, y, pixel);
    }
  }
  stbi_image_free(rgb);
  return image;
}

Window createFullScreen(Display* display, bool managed) {
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = managed ? False : True;
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                          StructureNotifyMask | ExposureMask | VisibilityChangeMask;
  const Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                                      static_cast<unsigned>(DisplayWidth(display, screen)),
                                      static_cast<unsigned>(DisplayHeight(display, screen)), 0,
                                      CopyFromParent, InputOutput, CopyFromParent,
                                      CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
  // The root window's ConfigureNotify tells of a change of the screen's size.
  XSelectInput(display, RootWindow(display, screen), StructureNotifyMask);
  nameWindow(display, window, FULL_SCREEN_TITLE);
  if (managed) {
    describeManagedFullScreen(display, window, DisplayWidth(display, screen), DisplayHeight(display, screen));
  }
  return window;
}

Window createPreview(Display* display, Window parent) {
  XWindowAttributes parentAttributes{};
  XGetWindowAttributes(display, parent, &parentAttributes);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask |
                          StructureNotifyMask | ExposureMask;
  const Window window = XCreateWindow(
      display, parent, 0, 0, static_cast<unsigned>(parentAttributes.width > 0 ? parentAttributes.width : 1),
      static_cast<unsigned>(parentAttributes.height > 0 ? parentAttributes.height : 1), 0,
      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
  nameWindow(display, window, PREVIEW_TITLE);
  return window;
}

Window createTryOut(Display* display, int width, int height) {
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask | VisibilityChangeMask;
  const Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                      CopyFromParent, InputOutput, CopyFromParent,
                                      CWBackPixel | CWEventMask, &attributes);
  nameWindow(display, window, TRY_OUT_TITLE);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  return window;
}

} // namespace

void* openX11Display() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
      std::fprintf(stderr, "starbloom: no X display (DISPLAY is not set); "
                           "use --render FILE.png to render without one\n");
    } else {
      std::fprintf(stderr, "starbloom: cannot open the X display %s\n", quotedText(name).c_str());
    }
    return nullptr;
  }
  XSetErrorHandler(recordXError);
  XSetIOErrorHandler(onLostConnection); // for every connection, the GL surface's too
  return display;
}

void closeX11Display(void* display) { XCloseDisplay(static_cast<Display*>(display)); }

bool x11WindowExists(void* display, unsigned long window) {
  return windowExists(static_cast<Display*>(display), window);
}

bool x11WindowExists(SaverWindow&, unsigned long window) { return windowExists(x11.display, window); }

unsigned long configDialogOwner(void* connection, unsigned long requested) {
  Display* display = static_cast<Display*>(connection);
  const Window root = DefaultRootWindow(display);
  if (windowExists(display, requested)) return requested;
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  Window active = 0;
  if (XGetWindowProperty(display, root, XInternAtom(display, "_NET_ACTIVE_WINDOW", False), 0, 1,
                         False, XA_WINDOW, &type, &format, &items, &left, &data) == Success &&
      type == XA_WINDOW && format == 32 && items == 1) {
    active = *reinterpret_cast<Window*>(data);
  }
  if (data != nullptr) XFree(data);
  if (active != root && windowExists(display, active)) return active;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (focus != PointerRoot && focus != root && windowExists(display, focus)) return focus;
  return 0;
}

MonitorLayout queryMonitors(void* connection) {
  Display* display = static_cast<Display*>(connection);
  const int screen = DefaultScreen(display);
  ScreenRect heads[MAX_MONITORS];
  int count = 0;
  int eventBase = 0, errorBase = 0;
  if (XineramaQueryExtension(display, &eventBase, &errorBase) && XineramaIsActive(display)) {
    int number = 0;
    XineramaScreenInfo* info = XineramaQueryScreens(display, &number);
    for (int i = 0; info != nullptr && i < number && count < MAX_MONITORS; ++i) {
      heads[count++] = ScreenRect{info[i].x_org, info[i].y_org, info[i].width, info[i].height};
    }
    if (info != nullptr) XFree(info);
  }
  return distinctMonitors(heads, count, DisplayWidth(display, screen), DisplayHeight(display, screen));
}

bool x11Open(SaverWindow&, bool) {
  x11 = X11Window{};
  x11.display = static_cast<Display*>(openX11Display());
  if (x11.display == nullptr) return false;
  int eventBase = 0;
  int errorBase = 0;
  x11.hasDpms = DPMSQueryExtension(x11.display, &eventBase, &errorBase) != 0 && DPMSCapable(x11.display) != 0;
  x11.dpmsCheckedAt = tickCount() - DPMS_CHECK_MS; // asked on the first look
  return true;
}

void x11Close(SaverWindow&) {
  if (x11.display != nullptr) XCloseDisplay(x11.display);
  x11.display = nullptr;
}

bool x11SaverRuns(SaverWindow&) {
  const Window running = findRunningSaver(x11.display);
  if (running != 0) XRaiseWindow(x11.display, running);
  return running != 0;
}

bool x11Create(SaverWindow& w, unsigned long parent, int width, int height) {
  Display* display = x11.display;
  switch (w.role) {
    case WindowRole::FullScreen:
      x11.managed = onXwayland(display);
      x11.window = createFullScreen(display, x11.managed);
      x11.invisibleCursor = makeInvisibleCursor(display, x11.window);
      return true;
    case WindowRole::Preview:
      x11.window = createPreview(display, parent);
      return true;
    case WindowRole::Hosted: {
      const Window target = parent != 0 ? parent : DefaultRootWindow(display);
      if (!windowExists(display, target)) {
        std::fprintf(stderr, "starbloom: no window 0x%lx to draw in\n", static_cast<unsigned long>(target));
        return false;
      }
      x11.window = target;
      XSelectInput(display, target, StructureNotifyMask | VisibilityChangeMask);
      XWindowAttributes attributes{};
      x11.unmapped = XGetWindowAttributes(display, target, &attributes) != 0 && attributes.map_state == IsUnmapped;
      return true;
    }
    case WindowRole::TryOut:
      x11.window = createTryOut(display, width, height);
      return true;
    case WindowRole::Wallpaper:
      return false; // a Wayland layer, never opened on X11
  }
  return false;
}

void x11Show(SaverWindow& w) {
  if (w.role == WindowRole::Hosted) return; // the host's window is its own
  if (w.role == WindowRole::FullScreen) {
    XMapRaised(x11.display, x11.window);
  } else {
    XMapWindow(x11.display, x11.window);
  }
  waitForMap(x11.display, x11.window);
  if (x11.managed) askForFullScreen(x11.display, x11.window);
  if (w.role == WindowRole::FullScreen && !grabInput()) {
    std::fprintf(stderr, "starbloom: cannot grab the keyboard and pointer; running without\n");
  }
}

void x11Destroy(SaverWindow& w) {
  if (x11.window == 0 || w.role == WindowRole::Hosted) return;
  XDestroyWindow(x11.display, x11.window);
  x11.window = 0;
}

void x11Release(SaverWindow& w) {
  if (w.role == WindowRole::FullScreen) {
    XUngrabKeyboard(x11.display, CurrentTime);
    XUngrabPointer(x11.display, CurrentTime);
  }
  if (x11.window != 0 && w.role != WindowRole::Hosted) XDestroyWindow(x11.display, x11.window);
  x11.window = 0;
  XSync(x11.display, False);
}

bool x11TakeEvents(SaverWindow& w, WindowEvents& batch) {
  if (XPending(x11.display) <= 0) return false;
  XEvent event;
  XNextEvent(x11.display, &event);
  translate(w, event, batch);
  return true;
}

namespace {

// Whether the monitor is in a DPMS power-saving state, asked of the server
// at most once per period.
bool monitorAsleep() {
  if (!x11.hasDpms) return false;
  const std::uint32_t now = tickCount();
  if (now - x11.dpmsCheckedAt < (x11.monitorAsleep ? DPMS_CHECK_ASLEEP_MS : DPMS_CHECK_MS)) return x11.monitorAsleep;
  x11.dpmsCheckedAt = now;
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  x11.monitorAsleep = DPMSInfo(x11.display, &level, &enabled) != 0 && enabled && level != DPMSModeOn;
  return x11.monitorAsleep;
}

} // namespace

bool x11Seen(SaverWindow&) { return !x11.obscured && !x11.unmapped && !monitorAsleep(); }

void x11Wait(SaverWindow& w, int ms, WindowEvents& batch) {
  XFlush(x11.display);
  if (XPending(x11.display) <= 0) {
    pollfd readable[2] = {{ConnectionNumber(x11.display), POLLIN, 0}, {w.wakeFd, POLLIN, 0}};
    if (x11.monitorAsleep && ms > static_cast<int>(DPMS_CHECK_ASLEEP_MS)) ms = static_cast<int>(DPMS_CHECK_ASLEEP_MS);
    poll(readable, w.wakeFd >= 0 ? 2 : 1, ms);
  }
  while (XPending(x11.display) > 0) x11TakeEvents(w, batch);
}

bool x11Vanished(SaverWindow& w) {
  return w.role == WindowRole::Hosted && lastXError == BadWindow && !windowExists(x11.display, x11.window);
}

WindowGeometry x11Describe(SaverWindow&) {
  Display* display = x11.display;
  const int screen = DefaultScreen(display);
  WindowGeometry geometry;
  geometry.screenWidth = DisplayWidth(display, screen);
  geometry.screenHeight = DisplayHeight(display, screen);
  x11.screenWidth = geometry.screenWidth;
  x11.screenHeight = geometry.screenHeight;
  geometry.colourBits = DefaultDepth(display, screen);
  geometry.rect = windowRectangle(display, x11.window);
  x11.monitors = queryMonitors(display);
  return geometry;
}

// The parts of the screen's monitors that the window covers, in its own
// coordinates (all of them for an override-redirect full-screen window;
// those where the compositor put a managed one), or for a hosted window the
// window itself, one monitor's by design.
OutputLayout x11Layout(SaverWindow& w) {
  XWindowAttributes attributes{};
  XGetWindowAttributes(x11.display, x11.window, &attributes);
  const ScreenRect rect = w.role == WindowRole::FullScreen && !x11.managed
                              ? ScreenRect{0, 0, attributes.width, attributes.height}
                              : windowRectangle(x11.display, x11.window);
  OutputLayout layout;
  if (w.role == WindowRole::FullScreen || w.role == WindowRole::TryOut) {
    for (int i = 0; i < x11.monitors.count; ++i) {
      const ScreenRect& m = x11.monitors.monitors[i];
      const int left = m.x > rect.x ? m.x : rect.x;
      const int top = m.y > rect.y ? m.y : rect.y;
      const int right = m.x + m.width < rect.x + rect.width ? m.x + m.width : rect.x + rect.width;
      const int bottom = m.y + m.height < rect.y + rect.height ? m.y + m.height : rect.y + rect.height;
      if (right <= left || bottom <= top) continue;
      layout.areas[layout.count++].area = ScreenRect{left - rect.x, top - rect.y, right - left, bottom - top};
    }
  }
  if (layout.count == 0) {
    layout.areas[0].area = ScreenRect{0, 0, rect.width, rect.height};
    layout.count = 1;
  }
  for (int i = 0; i < layout.count; ++i) {
    layout.areas[i].target = 0;
    layout.areas[i].targetWidth = rect.width;
    layout.areas[i].targetHeight = rect.height;
  }
  return layout;
}

SurfacePlan x11PrepareGl(SaverWindow&) {
  SurfacePlan plan;
  plan.binding = SurfaceBinding::Glx;
  plan.parent = x11.window;
  return plan;
}

bool x11Pointer(SaverWindow&, int& x, int& y) {
  if (x11.managed && !x11.pointerKnown) return false; // Xwayland's would be stale
  Window root = 0, child = 0;
  int windowX = 0, windowY = 0;
  unsigned mask = 0;
  return XQueryPointer(x11.display, x11.window, &root, &child, &x, &y, &windowX, &windowY, &mask) != 0;
}

void x11ApplyCursor(SaverWindow& w) {
  if (x11.display == nullptr || x11.window == 0 || w.role != WindowRole::FullScreen) return;
  Display* display = x11.display;
  if (cursorCounter() < 0 && x11.invisibleCursor != 0) {
    XDefineCursor(display, x11.window, x11.invisibleCursor);
  } else {
    XUndefineCursor(display, x11.window);
  }
}

void x11Clear(SaverWindow& w) {
  // The host's window keeps its own background in hosted mode.
  if (w.role != WindowRole::Hosted) XClearArea(x11.display, x11.window, 0, 0, 0, 0, False);
}

void x11LoadPreview(SaverWindow&) { x11.previewImage = previewImageFor(x11.display, x11.window); }

void x11ShowPreview(SaverWindow&) {
  if (x11.previewImage == nullptr) return;
  Display* display = x11.display;
  GC gc = DefaultGC(display, DefaultScreen(display));
  XPutImage(display, x11.window, gc, x11.previewImage, 0, 0, PREVIEW_X, PREVIEW_Y,
            PREVIEW_SIZE, PREVIEW_SIZE);
  XFlush(display);
}

void x11FreePreview(SaverWindow&) {
  if (x11.previewImage == nullptr) return;
  XDestroyImage(x11.previewImage);
  x11.previewImage = nullptr;
}

} // namespace starbloom
