// The saver window procedure. Creation reads the settings, starts the 50 ms
// timer, measures the screen and the window, loads the preview picture and
// decides the mode: a window whose right edge and bottom edge both differ
// from the screen's is a preview and shows only the 100 x 100 picture at
// (25, 10); any other is full screen, and gets the OpenGL start-up with a
// drawing area of the screen's size (times 0.7072135785007072 with half on)
// centred by its viewport, one per monitor. Painting runs one frame, or
// copies the picture and sleeps 10 ms in a preview; the window is never
// validated, so the loop paints whenever it has nothing else to do. The
// timer only clears the window's background. Destruction tears down in a
// fixed order and ends the loop; a second one also says "Destroy error".
//
// A hosted window and a --window try-out compare with themselves, so they
// always get the fireworks whatever their size: a daemon's preview pane
// animates like its full screen. The hosted window is one monitor's; the
// try-out draws once into each part of a monitor it covers.
#include "host/saver_window.h"

#include <GL/gl.h>
#include <stb_image.h>

#include <cstdlib>

#include "frame/cursor.h"
#include "settings/message_box.h"
#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "host/saver_host.h"
#include "resources/resource_data.h"

// Last: Xlib's macros (Bool, Status, ...) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace starbloom {

namespace {

constexpr int PREVIEW_BITMAP = 105;
constexpr int PREVIEW_SLEEP_MS = 10;

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
XImage* loadPreviewImage(Display* display, Window window) {
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

// The monitors in the window's own coordinates: the parts of the screen's
// monitors that the window covers (all of them for a full-screen window),
// or for a hosted window the window itself, one monitor's by design.
MonitorLayout windowMonitors(const SaverWindow& w, const MonitorLayout& screen,
                             const ScreenRect& rect) {
  MonitorLayout layout;
  if (w.role == WindowRole::FullScreen || w.role == WindowRole::TryOut) {
    for (int i = 0; i < screen.count; ++i) {
      const ScreenRect& m = screen.monitors[i];
      const int left = m.x > rect.x ? m.x : rect.x;
      const int top = m.y > rect.y ? m.y : rect.y;
      const int right = m.x + m.width < rect.x + rect.width ? m.x + m.width : rect.x + rect.width;
      const int bottom = m.y + m.height < rect.y + rect.height ? m.y + m.height : rect.y + rect.height;
      if (right <= left || bottom <= top) continue;
      layout.monitors[layout.count++] = ScreenRect{left - rect.x, top - rect.y, right - left, bottom - top};
    }
  }
  if (layout.count == 0) {
    layout.monitors[0] = ScreenRect{0, 0, rect.width, rect.height};
    layout.count = 1;
  }
  return layout;
}

Display* displayOf(const SaverWindow& w) { return static_cast<Display*>(w.display); }

// The monitors the window at rect covers and a viewport with the drawing
// area of each.
void layOutViewports(SaverWindow& w, const MonitorLayout& screenMonitors, const ScreenRect& rect) {
  w.monitors = windowMonitors(w, screenMonitors, rect);
  FrameDriverState& driver = frameDriver;
  driver.viewportCount = w.monitors.count;
  for (int i = 0; i < w.monitors.count; ++i) {
    const DrawArea area = drawAreaFor(w.monitors.monitors[i], settings.half, rect.height);
    driver.viewports[i] = Viewport{area.viewportX, area.viewportY, area.drawWidth, area.drawHeight};
  }
  w.drawWidth = driver.viewports[0].width;
  w.drawHeight = driver.viewports[0].height;
}

int onCreate(SaverWindow& w) {
  readSaverSettings();
  w.timerRunning = true;
  w.nextTimer = tickCount() + TIMER_PERIOD_MS;

  Display* display = displayOf(w);
  const int screen = DefaultScreen(display);
  w.screenWidth = DisplayWidth(display, screen);
  w.screenHeight = DisplayHeight(display, screen);
  w.colourBits = DefaultDepth(display, screen);
  const ScreenRect rect = windowRectangle(display, w.window);
  const MonitorLayout screenMonitors = queryMonitors(display);
  if (w.role == WindowRole::Hosted || w.role == WindowRole::TryOut) {
    w.screenWidth = rect.x + rect.width;
    w.screenHeight = rect.y + rect.height;
  }

  w.previewImage = loadPreviewImage(display, w.window);

  if (rect.y + rect.height != w.screenHeight && rect.x + rect.width != w.screenWidth) {
    w.previewMode = true;
    return 1;
  }
  w.previewMode = false;

  layOutViewports(w, screenMonitors, rect);
  renderContext.surface.binding = SurfaceBinding::Window;
  startUp(w.window, w.drawWidth, w.drawHeight, w.colourBits);
  const Viewport& first = frameDriver.viewports[0];
  glViewport(first.x, first.y, first.width, first.height);
  return 1;
}

int onPaint(SaverWindow& w) {
  if (w.previewMode) {
    if (w.previewImage != nullptr) {
      Display* display = displayOf(w);
      GC gc = DefaultGC(display, DefaultScreen(display));
      XPutImage(display, w.window, gc, static_cast<XImage*>(w.previewImage), 0, 0, PREVIEW_X,
                PREVIEW_Y, PREVIEW_SIZE, PREVIEW_SIZE);
      XFlush(display);
    }
    sleepMilliseconds(PREVIEW_SLEEP_MS);
    return 0;
  }
  runFrame();
  return 0;
}

int onTimer(SaverWindow& w) {
  // The host's window keeps its own background in hosted mode.
  if (w.role != WindowRole::Hosted) XClearArea(displayOf(w), w.window, 0, 0, 0, 0, False);
  return 1;
}

int onDestroy(SaverWindow& w) {
  w.destroyCount += 1;
  if (w.destroyCount >= 2) showMessageBox("Destroy error", "Application");
  if (w.previewMode) w.timerRunning = false;
  if (w.previewImage != nullptr) {
    XDestroyImage(static_cast<XImage*>(w.previewImage));
    w.previewImage = nullptr;
  }
  showCursor();
  applyCursor(w);
  postMessage(w, SaverMessage::Quit, 0);
  return 0;
}

} // namespace

void postMessage(SaverWindow& w, const SaverEvent& event) {
  if (w.queued < SAVER_QUEUE_CAPACITY) w.queue[w.queued++] = event;
}

void postMessage(SaverWindow& w, SaverMessage message, int code) {
  SaverEvent event;
  event.message = message;
  event.code = code;
  postMessage(w, event);
}

void applyCursor(SaverWindow& w) {
  if (w.display == nullptr || w.window == 0 || w.role != WindowRole::FullScreen) return;
  Display* display = displayOf(w);
  if (cursorCounter() < 0 && w.invisibleCursor != 0) {
    XDefineCursor(display, w.window, w.invisibleCursor);
  } else {
    XUndefineCursor(display, w.window);
  }
}

void followWindowSize(SaverWindow& w, int width, int height) {
  GlSurface& surface = renderContext.surface;
  if (w.previewMode || surface.glWindow == 0 || width <= 0 || height <= 0) return;
  if (width == surface.windowWidth && height == surface.windowHeight) return;
  Display* display = displayOf(w);
  const ScreenRect rect{0, 0, width, height};
  MonitorLayout screenMonitors = queryMonitors(display);
  if (w.role == WindowRole::FullScreen) {
    // The heads may still describe the screen as it was.
    screenMonitors = monitorsAfterScreenChange(screenMonitors, w.screenWidth, w.screenHeight,
                                               width, height);
    w.screenWidth = width;
    w.screenHeight = height;
  }
  layOutViewports(w, screenMonitors, rect);
  XResizeWindow(display, surface.glWindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display, False);
  surface.windowWidth = width;
  surface.windowHeight = height;
  renderContext.width = w.drawWidth;
  renderContext.height = w.drawHeight;
  const Viewport& first = frameDriver.viewports[0];
  glViewport(first.x, first.y, first.width, first.height);
}

int saverWindowProc(SaverWindow& w, const SaverEvent& event) {
  switch (event.message) {
    case SaverMessage::Create:
      return onCreate(w);
    case SaverMessage::Destroy:
      return onDestroy(w);
    case SaverMessage::Paint:
      return onPaint(w);
    case SaverMessage::Timer:
      return onTimer(w);
    default:
      return defaultSaverProc(w, event);
  }
}

} // namespace starbloom
