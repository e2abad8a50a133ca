#include <gtest/gtest.h>

#include <string>

#include "host/dismissal.h"
#include "host/monitor_layout.h"
#include "frame/cursor.h"
#include "report/message_box.h"
#include "host/saver_command.h"
#include "host/saver_window.h"

namespace starbloom {
namespace {

TEST(SaverCommand, ScanPicksTheModeAndReadsTheWindow) {
  const struct {
    const char* line;
    SaverSwitch kind;
    unsigned long window;
  } cases[] = {
      {"", SaverSwitch::Config, 0},
      {"   ", SaverSwitch::Config, 0},
      {"/s", SaverSwitch::Saver, 0},
      {"-S", SaverSwitch::Saver, 0},
      {" / - s trailing", SaverSwitch::Saver, 0},
      {"/p 1234", SaverSwitch::Preview, 1234},
      {"/p   1234", SaverSwitch::Preview, 1234},
      {"-l1234", SaverSwitch::Preview, 1234},
      {"/P 77x", SaverSwitch::Preview, 77},
      {"/p", SaverSwitch::Preview, 0},
      {"/p abc", SaverSwitch::Preview, 0},
      {"/p 4294967295", SaverSwitch::Preview, 4294967295ul},
      {"/p 4294967296", SaverSwitch::Preview, 0}, // past 32 bits: no window
      {"/p 1234567890123456789012345678901234567890", SaverSwitch::Preview, 0},
      {"/c", SaverSwitch::Config, 0},
      {"/c:0", SaverSwitch::Config, 0},
      {"/c:5678", SaverSwitch::Config, 5678},
      {"/C 5678", SaverSwitch::Config, 0}, // the owner needs the colon
      {"/a 99", SaverSwitch::Password, 99},
      {"/x", SaverSwitch::Invalid, 0},
      {"/1", SaverSwitch::Invalid, 0},
      {"q", SaverSwitch::Invalid, 0},
      {"\t/s", SaverSwitch::Invalid, 0}, // only blanks are skipped
  };
  for (const auto& c : cases) {
    const SaverCommand got = scanSaverCommandLine(c.line);
    EXPECT_EQ(got.kind, c.kind) << "'" << c.line << "'";
    EXPECT_EQ(got.window, c.window) << "'" << c.line << "'";
  }
  EXPECT_EQ(scanSaverCommandLine(nullptr).kind, SaverSwitch::Config);
}

// Events in order from a fresh state with the cursor reference at (100, 100):
// whether each asks for a close request, and the reference afterwards.
TEST(Dismissal, InputClosesOnlyPastTheThresholdAndNeverAChild) {
  struct Step {
    InputEvent event;
    int x, y;
    bool closes;
    int refX, refY;
  };
  const struct {
    const char* name;
    bool childMode, closing;
    Step steps[4];
    int count;
  } cases[] = {
      {"3 right 1 down keeps it", false, false,
       {{InputEvent::MouseMove, 103, 101, false, 100, 100}}, 1},
      {"3 right 2 down closes it", false, false,
       {{InputEvent::MouseMove, 103, 102, true, 103, 102}}, 1},
      {"small moves never move the reference", false, false,
       {{InputEvent::MouseMove, 102, 102, false, 100, 100},
        {InputEvent::MouseMove, 104, 100, false, 100, 100},
        {InputEvent::MouseMove, 98, 97, true, 98, 97}}, 3},
      {"keys, buttons and losing focus", false, false,
       {{InputEvent::KeyDown, 0, 0, true, 100, 100},
        {InputEvent::SystemKeyDown, 0, 0, true, 100, 100},
        {InputEvent::MiddleButtonDown, 0, 0, true, 100, 100},
        {InputEvent::Deactivated, 0, 0, true, 100, 100}}, 4},
      {"a child ignores everything", true, false,
       {{InputEvent::KeyDown, 0, 0, false, 100, 100},
        {InputEvent::LeftButtonDown, 0, 0, false, 100, 100},
        {InputEvent::RightButtonDown, 0, 0, false, 100, 100},
        {InputEvent::MouseMove, 300, 300, false, 100, 100}}, 4},
      {"closing ignores everything", false, true,
       {{InputEvent::KeyDown, 0, 0, false, 100, 100},
        {InputEvent::MouseMove, 300, 300, false, 100, 100}}, 2},
  };
  for (const auto& c : cases) {
    HostState state;
    state.childMode = c.childMode;
    state.closing = c.closing;
    state.lastCursorX = 100;
    state.lastCursorY = 100;
    for (int i = 0; i < c.count; ++i) {
      const Step& s = c.steps[i];
      EXPECT_EQ(inputAsksToClose(state, s.event, s.x, s.y), s.closes) << c.name << ", step " << i;
      EXPECT_EQ(state.lastCursorX * 1000 + state.lastCursorY, s.refX * 1000 + s.refY)
          << c.name << ", step " << i;
    }
  }
}

bool refuse() { return false; }
bool accept() { return true; }

// Without a verifier the saver may always close; with one, a refusal keeps
// it, and a second request within 200 ms is refused without asking.
TEST(Dismissal, CheckPasswordWithAndWithoutAVerifier) {
  HostState plain;
  EXPECT_TRUE(checkPassword(plain, 5000, nullptr));
  EXPECT_TRUE(plain.closing);

  HostState guarded;
  guarded.hasVerifier = true;
  EXPECT_FALSE(checkPassword(guarded, 5000, refuse));
  EXPECT_FALSE(guarded.closing);
  EXPECT_FALSE(checkPassword(guarded, 5150, accept)); // too soon: not asked
  EXPECT_TRUE(checkPassword(guarded, 5200, accept));
  guarded.verifying = true;
  EXPECT_FALSE(checkPassword(guarded, 9000, accept)); // a prompt is up already
}

// Destroy delivered twice: the teardown runs both times and ends the loop,
// and only the second says "Destroy error" under the caption "Application".
TEST(SaverWindowProc, SecondDestroyShowsTheDestroyError) {
  setMessageBoxMode(MessageBoxMode::Stderr);
  clearMessageBoxRecord();
  SaverWindow w;
  w.previewMode = true;
  w.timerRunning = true;
  const int cursor = cursorCounter();
  SaverEvent destroy;
  destroy.message = SaverMessage::Destroy;
  EXPECT_EQ(saverWindowProc(w, destroy), 0);
  EXPECT_EQ(lastMessageBox().count, 0);
  EXPECT_FALSE(w.timerRunning);
  EXPECT_EQ(cursorCounter(), cursor + 1);
  ASSERT_EQ(w.queued, 1);
  EXPECT_EQ(w.queue[0].message, SaverMessage::Quit);
  EXPECT_EQ(w.queue[0].code, 0);
  saverWindowProc(w, destroy);
  EXPECT_EQ(lastMessageBox().count, 1);
  EXPECT_STREQ(lastMessageBox().text, "Destroy error");
  EXPECT_STREQ(lastMessageBox().caption, "Application");
  EXPECT_EQ(w.queued, 2);
  hideCursor();
  hideCursor();
}

// A rectangle as "x,y wxh", for messages that show both sides whole.
std::string text(const ScreenRect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

TEST(MonitorLayout, DistinctMonitorsAndTheirCentredDrawingAreas) {
  struct Area {
    int x, y, w, h; // monitor in screen pixels
    int vx, vy, dw, dh;
  };
  const struct {
    const char* name;
    ScreenRect heads[3];
    int headCount;
    bool half;
    int windowHeight;
    Area areas[3];
    int count;
  } cases[] = {
      {"no heads: the screen", {}, 0, false, 768, {{0, 0, 1024, 768, 0, 0, 1024, 768}}, 1},
      {"one monitor, half", {{0, 0, 1024, 768}}, 1, true, 768,
       {{0, 0, 1024, 768, 150, 112, 724, 543}}, 1},
      {"two side by side", {{0, 0, 1024, 768}, {1024, 0, 1024, 768}}, 2, false, 768,
       {{0, 0, 1024, 768, 0, 0, 1024, 768}, {1024, 0, 1024, 768, 1024, 0, 1024, 768}}, 2},
      {"two side by side, half each", {{0, 0, 1024, 768}, {1024, 0, 800, 600}}, 2, true, 768,
       {{0, 0, 1024, 768, 150, 112, 724, 543}, {1024, 0, 800, 600, 1141, 256, 565, 424}}, 2},
      {"mirrored", {{0, 0, 1280, 720}, {0, 0, 1280, 720}}, 2, false, 720,
       {{0, 0, 1280, 720, 0, 0, 1280, 720}}, 1},
      {"a clone inside a larger one", {{0, 0, 1920, 1080}, {0, 0, 1280, 1024}}, 2, false, 1080,
       {{0, 0, 1920, 1080, 0, 0, 1920, 1080}}, 1},
      {"overlapping in part: merged", {{0, 0, 1000, 700}, {900, 0, 1000, 700}, {0, 0, 0, 0}}, 3,
       false, 700, {{0, 0, 1900, 700, 0, 0, 1900, 700}}, 1},
  };
  for (const auto& c : cases) {
    const MonitorLayout layout = distinctMonitors(c.heads, c.headCount, 1024, 768);
    ASSERT_EQ(layout.count, c.count) << c.name;
    for (int i = 0; i < c.count; ++i) {
      const ScreenRect& m = layout.monitors[i];
      const Area& want = c.areas[i];
      EXPECT_EQ(text(m), text(ScreenRect{want.x, want.y, want.w, want.h})) << c.name;
      const DrawArea area = drawAreaFor(m, c.half, c.windowHeight);
      EXPECT_EQ(area.viewportX, want.vx) << c.name;
      EXPECT_EQ(area.viewportY, want.vy) << c.name;
      EXPECT_EQ(area.drawWidth, want.dw) << c.name;
      EXPECT_EQ(area.drawHeight, want.dh) << c.name;
    }
  }
}

// A screen that changed size from 640x480 to 960x600: a lone monitor still
// at the old screen's size is the new screen; other layouts stay as the
// server reports them.
TEST(MonitorLayout, MonitorsAfterTheScreenChangedSize) {
  const struct {
    const char* name;
    ScreenRect heads[2];
    int count;
    ScreenRect want[2];
  } cases[] = {
      {"one monitor still at the old size", {{0, 0, 640, 480}}, 1, {{0, 0, 960, 600}}},
      {"one monitor at the new size", {{0, 0, 960, 600}}, 1, {{0, 0, 960, 600}}},
      {"one monitor smaller than the old screen", {{0, 0, 640, 400}}, 1, {{0, 0, 640, 400}}},
      {"one monitor of the old size, moved", {{320, 120, 640, 480}}, 1, {{320, 120, 640, 480}}},
      {"two monitors", {{0, 0, 320, 480}, {320, 0, 320, 480}}, 2,
       {{0, 0, 320, 480}, {320, 0, 320, 480}}},
  };
  for (const auto& c : cases) {
    MonitorLayout reported;
    for (int i = 0; i < c.count; ++i) reported.monitors[i] = c.heads[i];
    reported.count = c.count;
    const MonitorLayout layout = monitorsAfterScreenChange(reported, 640, 480, 960, 600);
    ASSERT_EQ(layout.count, c.count) << c.name;
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(text(layout.monitors[i]), text(c.want[i])) << c.name;
    }
  }
}

} // namespace
} // namespace starbloom
