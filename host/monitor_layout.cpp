// Monitor layout. An X server reports its monitors as Xinerama heads;
// mirrored outputs report the same rectangle twice, and a clone of another
// size one rectangle inside another. Each distinct monitor gets the drawing
// area a single screen gets: the full size, or with half on both sides
// times 0.7072135785007072 truncated, centred with integer halves of the
// difference. A single monitor covering the screen (or a Wayland output's
// surface) gives exactly the screen's own area. When the screen changes size, a lone monitor the
// server still reports at the old screen's size is the new screen: servers
// often tell of the monitor's new mode later, or not at all. Cost: a few
// passes over at most eight rectangles.
#include "host/monitor_layout.h"

namespace starbloom {

namespace {

bool inside(const ScreenRect& a, const ScreenRect& b) {
  return a.x >= b.x && a.y >= b.y && a.x + a.width <= b.x + b.width &&
         a.y + a.height <= b.y + b.height;
}

bool overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
         b.y < a.y + a.height;
}

ScreenRect boundingBox(const ScreenRect& a, const ScreenRect& b) {
  const int left = a.x < b.x ? a.x : b.x;
  const int top = a.y < b.y ? a.y : b.y;
  const int right = a.x + a.width > b.x + b.width ? a.x + a.width : b.x + b.width;
  const int bottom = a.y + a.height > b.y + b.height ? a.y + a.height : b.y + b.height;
  return ScreenRect{left, top, right - left, bottom - top};
}

void removeAt(MonitorLayout& layout, int i) {
  for (int k = i; k + 1 < layout.count; ++k) layout.monitors[k] = layout.monitors[k + 1];
  layout.count -= 1;
}

} // namespace

MonitorLayout distinctMonitors(const ScreenRect* heads, int headCount, int screenWidth,
                               int screenHeight) {
  MonitorLayout layout;
  for (int i = 0; i < headCount && heads != nullptr; ++i) {
    if (heads[i].width <= 0 || heads[i].height <= 0) continue;
    if (layout.count == MAX_MONITORS) break;
    layout.monitors[layout.count++] = heads[i];
  }
  // Merge until no two monitors touch each other's area.
  bool merged = true;
  while (merged) {
    merged = false;
    for (int i = 0; i < layout.count && !merged; ++i) {
      for (int j = 0; j < layout.count && !merged; ++j) {
        if (i == j) continue;
        ScreenRect& a = layout.monitors[i];
        const ScreenRect& b = layout.monitors[j];
        if (inside(b, a)) {
          removeAt(layout, j);
          merged = true;
        } else if (overlap(a, b)) {
          a = boundingBox(a, b);
          removeAt(layout, j);
          merged = true;
        }
      }
    }
  }
  if (layout.count == 0) {
    layout.monitors[0] = ScreenRect{0, 0, screenWidth, screenHeight};
    layout.count = 1;
  }
  return layout;
}

MonitorLayout monitorsAfterScreenChange(const MonitorLayout& reported, int oldWidth,
                                        int oldHeight, int width, int height) {
  const ScreenRect& only = reported.monitors[0];
  const bool oldScreen = reported.count == 1 && only.x == 0 && only.y == 0 &&
                         only.width == oldWidth && only.height == oldHeight;
  if (!oldScreen) return reported;
  MonitorLayout screen;
  screen.monitors[0] = ScreenRect{0, 0, width, height};
  screen.count = 1;
  return screen;
}

DrawArea drawAreaFor(const ScreenRect& monitor, bool half, int windowHeight) {
  DrawArea area;
  area.drawWidth = monitor.width;
  area.drawHeight = monitor.height;
  if (half) {
    area.drawWidth = static_cast<int>(static_cast<double>(monitor.width) * HALF_SIZE_FACTOR);
    area.drawHeight = static_cast<int>(static_cast<double>(monitor.height) * HALF_SIZE_FACTOR);
  }
  area.viewportX = monitor.x + (monitor.width - area.drawWidth) / 2;
  const int bottomGap = windowHeight - (monitor.y + monitor.height);
  area.viewportY = bottomGap + (monitor.height - area.drawHeight) / 2;
  return area;
}

} // namespace starbloom
