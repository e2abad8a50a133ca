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
// animates like its full screen. On Wayland each output has a surface of
// its own, each a drawing target with one monitor; on X11 the one window is
// the target and each monitor it covers gets a viewport. Everything of the
// window system goes through window_system.h.
#include "host/saver_window.h"

#include "frame/cursor.h"
#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "host/setting_overrides.h"
#include "host/window_system.h"
#include "report/message_box.h"

namespace starbloom {

namespace {

constexpr int PREVIEW_SLEEP_MS = 10;

// A viewport with the drawing area of each monitor the window covers, on
// that monitor's drawing target, whose drawable takes the target's size.
void layOutViewports(SaverWindow& w) {
  const OutputLayout layout = outputLayout(w);
  FrameDriverState& driver = frameDriver;
  driver.viewportCount = layout.count;
  for (int i = 0; i < layout.count; ++i) {
    const OutputArea& o = layout.areas[i];
    const DrawArea area = drawAreaFor(o.area, settings.half, o.targetHeight);
    driver.viewports[i] = Viewport{area.viewportX, area.viewportY, area.drawWidth, area.drawHeight,
                                   o.target};
    renderContext.surface.resizeTarget(o.target, o.targetWidth, o.targetHeight);
  }
  w.drawWidth = layout.count > 0 ? driver.viewports[0].width : 0;
  w.drawHeight = layout.count > 0 ? driver.viewports[0].height : 0;
}

int onCreate(SaverWindow& w) {
  readSaverSettings();
  w.timerRunning = true;
  w.nextTimer = tickCount() + TIMER_PERIOD_MS;

  const WindowGeometry geometry = describeWindow(w);
  const ScreenRect& rect = geometry.rect;
  w.screenWidth = geometry.screenWidth;
  w.screenHeight = geometry.screenHeight;
  w.colourBits = geometry.colourBits;
  if (w.role == WindowRole::Hosted || w.role == WindowRole::TryOut) {
    w.screenWidth = rect.x + rect.width;
    w.screenHeight = rect.y + rect.height;
  }

  loadPreviewPicture(w);

  if (rect.y + rect.height != w.screenHeight && rect.x + rect.width != w.screenWidth) {
    w.previewMode = true;
    return 1;
  }
  w.previewMode = false;

  layOutViewports(w);
  startUp(prepareGlSurface(w), w.drawWidth, w.drawHeight, w.colourBits);
  useFirstViewport();
  return 1;
}

int onPaint(SaverWindow& w) {
  if (w.previewMode) {
    showPreviewPicture(w);
    sleepMilliseconds(PREVIEW_SLEEP_MS);
    return 0;
  }
  runFrame();
  return 0;
}

int onTimer(SaverWindow& w) {
  clearWindow(w);
  return 1;
}

int onDestroy(SaverWindow& w) {
  w.destroyCount += 1;
  if (w.destroyCount >= 2) showMessageBox("Destroy error", "Application");
  if (w.previewMode) w.timerRunning = false;
  freePreviewPicture(w);
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

void followWindowSize(SaverWindow& w) {
  if (w.previewMode || !renderContext.surface.isCurrent()) return;
  layOutViewports(w);
  renderContext.width = w.drawWidth;
  renderContext.height = w.drawHeight;
  useFirstViewport();
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
