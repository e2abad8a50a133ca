#pragma once
// Monitors and the drawing area the saver gives each: the scene is drawn
// once per monitor, in a viewport centred on that monitor. The monitors of
// an X screen come from its Xinerama heads; on Wayland each output's
// surface is a monitor of its own.
namespace starbloom {

constexpr int MAX_MONITORS = 8;
constexpr double HALF_SIZE_FACTOR = 0.7072135785007072; // about 1/sqrt(2): half the area

struct ScreenRect {
  int x = 0;      // pixels from the screen's top left
  int y = 0;
  int width = 0;
  int height = 0;
};

struct MonitorLayout {
  ScreenRect monitors[MAX_MONITORS];
  int count = 0;
};

// The monitors to draw on, from the heads the server reports: heads inside
// another (mirrored or cloned screens) are dropped, heads that overlap in
// part are merged into their bounding box, empty ones ignored. No heads, or
// none left, give the whole screen as one monitor. At most MAX_MONITORS.
MonitorLayout distinctMonitors(const ScreenRect* heads, int headCount, int screenWidth,
                               int screenHeight);

// The monitors of a screen that has just changed size from oldWidth x
// oldHeight to width x height, from those the server reports now. A server
// may tell of the screen's new size before its monitor's (xrandr sizes the
// screen first and sets the mode after), or leave the monitor at the old
// mode (a nested server whose window was resized), so a single monitor that
// still covers exactly the old screen is taken to be the new screen. Any
// other layout is kept as reported.
MonitorLayout monitorsAfterScreenChange(const MonitorLayout& reported, int oldWidth,
                                        int oldHeight, int width, int height);

// Drawing size of a monitor: its size, times HALF_SIZE_FACTOR (truncated)
// when half is on; and the OpenGL viewport of that size centred on the
// monitor, in a window of windowHeight whose top left is the screen's.
struct DrawArea {
  int drawWidth = 0;
  int drawHeight = 0;
  int viewportX = 0; // from the window's left
  int viewportY = 0; // from the window's bottom, as OpenGL counts
};
DrawArea drawAreaFor(const ScreenRect& monitor, bool half, int windowHeight);

} // namespace starbloom
