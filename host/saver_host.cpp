// The screen-saver host on X11. The saver's switches pick a mode: full
// screen (/s), preview in a foreign window (/p N, /l N), the configuration
// dialog (/c, /c:N, nothing) or the password change (/a, which Linux lacks:
// exit code -1). Hosted mode (-root, -window-id, XSCREENSAVER_WINDOW) draws
// into a window a screen-saver daemon or locker made, and --window into a
// normal window for trying the saver out.
//
// Every mode runs the same message loop over one saver window: posted
// messages first, then the X events (keys, buttons and moves become the
// saver's input events, a vanished window its destroy), then the 50 ms timer
// when due, and otherwise a paint, since the window is never validated. All
// events pass hostWindowProc, then the window procedure, and what that does
// not handle reaches defaultSaverProc with the dismissal rules.
//
// Full screen: an override-redirect window over the whole X screen that
// grabs keyboard and pointer and shows an invisible cursor while the cursor
// counter is below zero; a second /s finds it by its class and title, raises
// it and exits 0. SIGTERM, SIGINT and SIGHUP end it as a close request does.
// Hosted: no input is selected, nothing grabbed, the cursor left alone; the
// drawing follows the host's window when it is resized; the saver never
// ends by itself, dies by SIGTERM, SIGINT or SIGHUP after releasing its
// window, and exits quietly when the host's window goes away.
#include "host/saver_host.h"

#include <sched.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/cursor.h"
#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "host/saver_command.h"
#include "host/saver_window.h"
#include "settings/config_dialog.h"
#include "settings/quoted_text.h"
#include "settings/settings_store.h"

// Last: Xlib's macros (Bool, Status, ...) would clash with the names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/keysym.h>

namespace starbloom {

namespace {

constexpr const char* SAVER_CLASS = "WindowsScreenSaverClass";
constexpr const char* FULL_SCREEN_TITLE = "Screen Saver";
constexpr const char* PREVIEW_TITLE = "Preview";
constexpr const char* TRY_OUT_TITLE = "Starbloom";
constexpr int GRAB_ATTEMPTS = 40;       // 2 s: a menu or another grab may be on its way out
constexpr int GRAB_RETRY_MS = 50;
constexpr int MAP_WAIT_MS = 2000;

std::vector<std::string> runOverrides;   // this run's --set assignments
volatile std::sig_atomic_t pendingSignal = 0;
int lastXError = 0;                      // last X error on the host's connection

Display* displayOf(const SaverWindow& w) { return static_cast<Display*>(w.display); }

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

void onSignal(int signal) { pendingSignal = signal; }

void catchEndSignals() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
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
  XClassHint hint{};
  char name[] = "starbloom";
  char saverClass[] = "WindowsScreenSaverClass";
  hint.res_name = name;
  hint.res_class = saverClass;
  XSetClassHint(display, window, &hint);
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

bool grabInput(SaverWindow& w) {
  bool keyboard = false;
  bool pointer = false;
  for (int attempt = 0; attempt < GRAB_ATTEMPTS && !(keyboard && pointer); ++attempt) {
    if (!keyboard) {
      keyboard = XGrabKeyboard(displayOf(w), w.window, True, GrabModeAsync, GrabModeAsync,
                               CurrentTime) == GrabSuccess;
    }
    if (!pointer) {
      pointer = XGrabPointer(displayOf(w), w.window, True, ButtonPressMask | PointerMotionMask,
                             GrabModeAsync, GrabModeAsync, None, w.invisibleCursor,
                             CurrentTime) == GrabSuccess;
    }
    if (!(keyboard && pointer)) sleepMilliseconds(GRAB_RETRY_MS);
  }
  return keyboard && pointer;
}

int hostWindowProc(SaverWindow& w, const SaverEvent& event) {
  const bool fullScreen = w.role == WindowRole::FullScreen;
  switch (event.message) {
    case SaverMessage::Create: {
      Window root = 0, child = 0;
      int rootX = 0, rootY = 0, x = 0, y = 0;
      unsigned mask = 0;
      if (XQueryPointer(displayOf(w), w.window, &root, &child, &rootX, &rootY, &x, &y, &mask) != 0) {
        w.host.lastCursorX = rootX;
        w.host.lastCursorY = rootY;
      }
      if (fullScreen) {
        hideCursor();
        applyCursor(w);
      }
      return saverWindowProc(w, event);
    }
    case SaverMessage::Destroy:
      postMessage(w, SaverMessage::Quit, 0);
      return saverWindowProc(w, event);
    case SaverMessage::Paint:
      if (w.host.closing) return 0;
      if (fullScreen) hideCursor();
      return saverWindowProc(w, event);
    case SaverMessage::Input:
      if (w.host.closing) return 0;
      return saverWindowProc(w, event);
    case SaverMessage::Timer:
      if (w.host.closing) return 0;
      sched_yield();
      return saverWindowProc(w, event);
    default:
      return saverWindowProc(w, event);
  }
}

void dispatch(SaverWindow& w, const SaverEvent& event) { hostWindowProc(w, event); }

void dispatch(SaverWindow& w, SaverMessage message) {
  SaverEvent event;
  event.message = message;
  dispatch(w, event);
}

void postInput(SaverWindow& w, InputEvent input, int x = 0, int y = 0) {
  SaverEvent event;
  event.message = SaverMessage::Input;
  event.input = input;
  event.x = x;
  event.y = y;
  dispatch(w, event);
}

// The screen changed size (RandR, a nested server's window resized): the
// full-screen window covers the new screen and the drawing follows it.
// Xlib keeps the size the screen had when the connection opened, which the
// monitor layout falls back on without Xinerama; it is updated as
// libXrandr's XRRUpdateConfiguration would.
void followScreenSize(SaverWindow& w, int width, int height) {
  Display* display = displayOf(w);
  Screen* screen = DefaultScreenOfDisplay(display);
  if (width <= 0 || height <= 0 || (width == screen->width && height == screen->height)) return;
  screen->width = width;
  screen->height = height;
  XMoveResizeWindow(display, w.window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  followWindowSize(w, width, height);
}

// Turns one X event into the saver's messages.
void translate(SaverWindow& w, const XEvent& e) {
  switch (e.type) {
    case KeyPress: {
      if (w.role == WindowRole::TryOut) {
        const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0);
        if (key == XK_Escape || key == XK_q || key == XK_Q) postMessage(w, SaverMessage::Close);
        return;
      }
      postInput(w, (e.xkey.state & Mod1Mask) != 0 ? InputEvent::SystemKeyDown : InputEvent::KeyDown);
      return;
    }
    case ButtonPress:
      if (e.xbutton.button == Button1) postInput(w, InputEvent::LeftButtonDown);
      if (e.xbutton.button == Button2) postInput(w, InputEvent::MiddleButtonDown);
      if (e.xbutton.button == Button3) postInput(w, InputEvent::RightButtonDown);
      return; // the wheel (buttons 4 and up) is not a button press
    case MotionNotify:
      postInput(w, InputEvent::MouseMove, e.xmotion.x_root, e.xmotion.y_root);
      return;
    case FocusOut:
      if (e.xfocus.mode == NotifyNormal && e.xfocus.detail != NotifyInferior) {
        postInput(w, InputEvent::Deactivated);
      }
      return;
    case DestroyNotify:
      if (e.xdestroywindow.window == w.window) {
        w.window = 0; // gone: nothing more is drawn into it
        dispatch(w, SaverMessage::Destroy);
      }
      return;
    case ConfigureNotify:
      // A host may resize its window; the drawing follows it.
      if (w.role == WindowRole::Hosted && e.xconfigure.window == w.window) {
        followWindowSize(w, e.xconfigure.width, e.xconfigure.height);
      }
      if (w.role == WindowRole::FullScreen && w.window != 0 &&
          e.xconfigure.window == DefaultRootWindow(displayOf(w))) {
        followScreenSize(w, e.xconfigure.width, e.xconfigure.height);
      }
      return;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == XInternAtom(displayOf(w), "WM_DELETE_WINDOW", False)) {
        postMessage(w, SaverMessage::Close);
      }
      return;
    default:
      return;
  }
}

// Releases what the saver holds on the display before the process ends.
void releaseWindow(SaverWindow& w) {
  if (w.role == WindowRole::FullScreen) {
    XUngrabKeyboard(displayOf(w), CurrentTime);
    XUngrabPointer(displayOf(w), CurrentTime);
  }
  renderContext.surface.release();
  if (w.window != 0 && w.role != WindowRole::Hosted) XDestroyWindow(displayOf(w), w.window);
  w.window = 0;
  XSync(displayOf(w), False);
}

int messageLoop(SaverWindow& w) {
  while (!w.quit) {
    if (pendingSignal != 0) {
      const int signal = pendingSignal;
      pendingSignal = 0;
      if (w.role == WindowRole::Hosted) {
        // A hosted saver is ended by its host: clean up, then die by the
        // signal, as a daemon expects of a saver it stops.
        releaseWindow(w);
        XCloseDisplay(displayOf(w));
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return 128 + signal;
      }
      postMessage(w, SaverMessage::Close);
    }
    if (w.queued > 0) {
      const SaverEvent event = w.queue[0];
      for (int i = 1; i < w.queued; ++i) w.queue[i - 1] = w.queue[i];
      w.queued -= 1;
      if (event.message == SaverMessage::Quit) {
        w.quit = true;
        w.quitCode = event.code;
      } else {
        dispatch(w, event);
      }
      continue;
    }
    if (w.window == 0) {
      // A window that vanished without a destroy event (a host that went).
      postMessage(w, SaverMessage::Quit, 0);
      continue;
    }
    if (XPending(displayOf(w)) > 0) {
      XEvent event;
      XNextEvent(displayOf(w), &event);
      translate(w, event);
      continue;
    }
    const std::uint32_t now = tickCount();
    if (w.timerRunning && static_cast<std::int32_t>(now - w.nextTimer) >= 0) {
      w.nextTimer = now + TIMER_PERIOD_MS;
      dispatch(w, SaverMessage::Timer);
      continue;
    }
    if (w.role == WindowRole::Hosted && lastXError == BadWindow && !windowExists(displayOf(w), w.window)) {
      w.window = 0;
      continue;
    }
    dispatch(w, SaverMessage::Paint);
  }
  return w.quitCode;
}

Display* openDisplay() {
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

// Creates the window of the role, runs the loop and cleans up; the exit code.
int runWindow(SaverWindow& w) {
  catchEndSignals();
  dispatch(w, SaverMessage::Create);
  if (w.role != WindowRole::Hosted) {
    if (w.role == WindowRole::FullScreen) {
      XMapRaised(displayOf(w), w.window);
    } else {
      XMapWindow(displayOf(w), w.window);
    }
    waitForMap(displayOf(w), w.window);
  }
  if (w.role == WindowRole::FullScreen && !grabInput(w)) {
    std::fprintf(stderr, "starbloom: cannot grab the keyboard and pointer; running without\n");
  }
  const int code = messageLoop(w);
  releaseWindow(w);
  XCloseDisplay(displayOf(w));
  return code;
}

int runFullScreen() {
  Display* display = openDisplay();
  if (display == nullptr) return 1;
  const Window running = findRunningSaver(display);
  if (running != 0) {
    XRaiseWindow(display, running);
    XCloseDisplay(display);
    return 0;
  }
  SaverWindow w;
  w.display = display;
  w.role = WindowRole::FullScreen;
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                          StructureNotifyMask | ExposureMask;
  w.window = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                           static_cast<unsigned>(DisplayWidth(display, screen)),
                           static_cast<unsigned>(DisplayHeight(display, screen)), 0, CopyFromParent,
                           InputOutput, CopyFromParent,
                           CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
  // The root window's ConfigureNotify tells of a change of the screen's size.
  XSelectInput(display, RootWindow(display, screen), StructureNotifyMask);
  nameWindow(display, w.window, FULL_SCREEN_TITLE);
  w.invisibleCursor = makeInvisibleCursor(display, w.window);
  return runWindow(w);
}

int runPreview(Window parent) {
  Display* display = openDisplay();
  if (display == nullptr) return 1;
  if (!windowExists(display, parent)) {
    XCloseDisplay(display);
    return -1;
  }
  XWindowAttributes parentAttributes{};
  XGetWindowAttributes(display, parent, &parentAttributes);
  SaverWindow w;
  w.display = display;
  w.role = WindowRole::Preview;
  w.host.childMode = true;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask |
                          StructureNotifyMask | ExposureMask;
  w.window = XCreateWindow(display, parent, 0, 0,
                           static_cast<unsigned>(parentAttributes.width > 0 ? parentAttributes.width : 1),
                           static_cast<unsigned>(parentAttributes.height > 0 ? parentAttributes.height : 1),
                           0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask,
                           &attributes);
  nameWindow(display, w.window, PREVIEW_TITLE);
  return runWindow(w);
}

int runHosted(const LaunchOptions& options) {
  Display* display = openDisplay();
  if (display == nullptr) return 1;
  Window target = DefaultRootWindow(display);
  if (options.haveWindowId) {
    target = options.windowId;
  } else if (const char* named = std::getenv("XSCREENSAVER_WINDOW")) {
    char* end = nullptr;
    const unsigned long long id = std::strtoull(named, &end, 0);
    if (end == named || *end != '\0' || id == 0 || id > 0xFFFFFFFFull) {
      std::fprintf(stderr, "starbloom: XSCREENSAVER_WINDOW is not a window id: %s\n",
                   quotedText(named).c_str());
      XCloseDisplay(display);
      return 1;
    }
    target = static_cast<Window>(id);
  }
  if (!windowExists(display, target)) {
    std::fprintf(stderr, "starbloom: no window 0x%lx to draw in\n", static_cast<unsigned long>(target));
    XCloseDisplay(display);
    return 1;
  }
  SaverWindow w;
  w.display = display;
  w.role = WindowRole::Hosted;
  w.window = target;
  w.host.childMode = true; // the host owns input and dismissal
  XSelectInput(display, target, StructureNotifyMask);
  return runWindow(w);
}

int runTryOut(const LaunchOptions& options) {
  Display* display = openDisplay();
  if (display == nullptr) return 1;
  SaverWindow w;
  w.display = display;
  w.role = WindowRole::TryOut;
  w.host.childMode = true; // only Esc, q and closing the window end it
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
  w.window = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                           static_cast<unsigned>(options.windowWidth),
                           static_cast<unsigned>(options.windowHeight), 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
  nameWindow(display, w.window, TRY_OUT_TITLE);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, w.window, &deleteWindow, 1);
  return runWindow(w);
}

} // namespace

int defaultSaverProc(SaverWindow& w, const SaverEvent& event) {
  switch (event.message) {
    case SaverMessage::Close:
      if (!w.host.childMode && !w.host.closing &&
          !checkPassword(w.host, tickCount(), nullptr)) {
        return 0; // refused: the saver stays (never without a verifier)
      }
      w.host.closing = true;
      // The platform's handling of a close request destroys the window.
      if (w.window != 0 && w.role != WindowRole::Hosted) {
        renderContext.surface.release();
        XDestroyWindow(displayOf(w), w.window);
        w.window = 0;
      }
      dispatch(w, SaverMessage::Destroy);
      return 0;
    case SaverMessage::Input:
      if (inputAsksToClose(w.host, event.input, event.x, event.y)) {
        postMessage(w, SaverMessage::Close);
      }
      return 0;
    default:
      return 0;
  }
}

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

void keepSettingOverrides(const std::vector<std::string>& overrides) { runOverrides = overrides; }

bool readSaverSettings() {
  readSettings();
  for (const std::string& assignment : runOverrides) {
    std::string error;
    if (!applySettingOverride(settings, assignment.c_str(), error)) {
      std::fprintf(stderr, "starbloom: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

int saverMain(const char* commandLine) {
  const SaverCommand command = scanSaverCommandLine(commandLine);
  switch (command.kind) {
    case SaverSwitch::Saver:
      return runFullScreen();
    case SaverSwitch::Preview:
      if (command.window == 0) return -1;
      return runPreview(command.window);
    case SaverSwitch::Config: {
      Display* display = openDisplay();
      if (display == nullptr) return 1;
      return showConfigDialog(display, configDialogOwner(display, command.window));
    }
    case SaverSwitch::Password: // no password services on Linux
    case SaverSwitch::Invalid:
      return -1;
  }
  return -1;
}

int runSaverModes(const LaunchOptions& options) {
  if (!readSaverSettings()) return 2;
  switch (options.mode) {
    case LaunchMode::Hosted:
      return runHosted(options);
    case LaunchMode::Window:
      return runTryOut(options);
    default:
      return saverMain(options.saverCommandLine.c_str());
  }
}

} // namespace starbloom
