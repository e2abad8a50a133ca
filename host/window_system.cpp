// The window system seam: each call goes to the binding of the saver
// window's platform, chosen once when the window was opened. What has no
// meaning on Wayland (previews, hosted windows, grabs, the pointer's screen
// position, a cursor of the window's own) is X11's alone.
#include "host/window_system.h"

#include "frame/program_objects.h"
#include "host/window_system_binding.h"

namespace starbloom {

namespace {
bool onWayland(const SaverWindow& w) { return w.platform == Platform::Wayland; }
} // namespace

bool openWindowSystem(SaverWindow& w, bool sayWhy) {
  return onWayland(w) ? waylandOpen(w, sayWhy) : x11Open(w, sayWhy);
}

void closeWindowSystem(SaverWindow& w) { onWayland(w) ? waylandClose(w) : x11Close(w); }

bool fullScreenSaverRuns(SaverWindow& w) { return onWayland(w) ? waylandSaverRuns(w) : x11SaverRuns(w); }

bool createSaverWindow(SaverWindow& w, unsigned long parent, int width, int height) {
  w.windowLive = onWayland(w) ? waylandCreate(w, width, height) : x11Create(w, parent, width, height);
  return w.windowLive;
}

void showSaverWindow(SaverWindow& w) {
  if (!onWayland(w)) x11Show(w); // a Wayland window shows itself once configured
}

// The GL surface goes before the drawables it draws on: every one of a
// Wayland window's, and an X11 window the saver made.
void destroySaverWindow(SaverWindow& w) {
  if (onWayland(w)) {
    renderContext.surface.release();
    waylandDestroy(w);
  } else if (w.windowLive && w.role != WindowRole::Hosted) {
    renderContext.surface.release();
    x11Destroy(w);
  } else {
    return; // gone already, or the host's own
  }
  w.windowLive = false;
}

void releaseSaverWindow(SaverWindow& w) {
  renderContext.surface.release();
  onWayland(w) ? waylandDestroy(w) : x11Release(w);
  w.windowLive = false;
}

bool takeEvents(SaverWindow& w, WindowEvents& batch) {
  return onWayland(w) ? waylandTakeEvents(w, batch) : x11TakeEvents(w, batch);
}

void waitForEvents(SaverWindow& w, int ms, WindowEvents& batch) {
  onWayland(w) ? waylandWait(w, ms, batch) : x11Wait(w, ms, batch);
}

// On Wayland, a drawable whose compositor has asked for a frame; on X11, a
// window that can be seen.
bool readyToPaint(SaverWindow& w) {
  if (!onWayland(w)) return w.previewMode || x11Seen(w);
  for (int slot = 0; slot < MAX_SURFACE_TARGETS; ++slot) {
    if (renderContext.surface.targetReady(slot)) return true;
  }
  return false;
}

bool windowVanished(SaverWindow& w) { return !onWayland(w) && x11Vanished(w); }

WindowGeometry describeWindow(SaverWindow& w) { return onWayland(w) ? waylandDescribe(w) : x11Describe(w); }

OutputLayout outputLayout(SaverWindow& w) { return onWayland(w) ? waylandLayout(w) : x11Layout(w); }

NativeWindow prepareGlSurface(SaverWindow& w) {
  const SurfacePlan plan = onWayland(w) ? waylandPrepareGl(w) : x11PrepareGl(w);
  renderContext.surface.applyPlan(plan);
  return plan.parent;
}

bool pointerPosition(SaverWindow& w, int& x, int& y) { return !onWayland(w) && x11Pointer(w, x, y); }

void applyCursor(SaverWindow& w) {
  if (!onWayland(w)) x11ApplyCursor(w); // Wayland hides it on every pointer entry
}

void clearWindow(SaverWindow& w) {
  if (!onWayland(w)) x11Clear(w);
}

void loadPreviewPicture(SaverWindow& w) {
  if (!onWayland(w)) x11LoadPreview(w);
}

void showPreviewPicture(SaverWindow& w) {
  if (!onWayland(w)) x11ShowPreview(w);
}

void freePreviewPicture(SaverWindow& w) {
  if (!onWayland(w)) x11FreePreview(w);
}

} // namespace starbloom
