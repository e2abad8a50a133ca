// Window binding tests; they need the X server that scripts/test starts and
// names in STARBLOOM_TEST_DISPLAY (DISPLAY is used when that is unset).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "report/message_box.h"

namespace starbloom {
namespace {

constexpr int WIDTH = 96;
constexpr int HEIGHT = 72;
constexpr const char* NO_SERVER = ":197"; // a display nobody runs

// The saver window stands in as a plain override-redirect window; backing
// store keeps its contents when windows of tests running beside it cover it.
class WindowSurface : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* name = std::getenv("STARBLOOM_TEST_DISPLAY");
    if (name == nullptr || *name == '\0') name = std::getenv("DISPLAY");
    ASSERT_TRUE(name != nullptr && *name != '\0') << "no X server: run under scripts/test";
    displayName = name;
    setenv("DISPLAY", name, 1);
    display = XOpenDisplay(name);
    ASSERT_NE(display, nullptr) << "cannot open " << displayName;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.backing_store = Always;
    saver = XCreateWindow(display, DefaultRootWindow(display), 40, 40, WIDTH, HEIGHT, 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackingStore, &attributes);
    XMapRaised(display, saver);
    XSync(display, False);
    setMessageBoxMode(MessageBoxMode::Stderr);
    clearMessageBoxRecord();
    frameClock = FrameClock{};
  }

  void TearDown() override {
    if (display == nullptr) return;
    if (saver != 0) XDestroyWindow(display, saver);
    XCloseDisplay(display);
  }

  int childCount() {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, saver, &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    return static_cast<int>(count);
  }

  std::string displayName;
  Display* display = nullptr;
  Window saver = 0;
};

TEST_F(WindowSurface, PresentsFramesInAChildThatFillsTheSaverWindowAndTakesNoInput) {
  for (int bits : {16, 24, 32}) {
    SCOPED_TRACE(testing::Message() << bits << " bits");
    GlSurface surface;
    ASSERT_TRUE(surface.create(saver, WIDTH, HEIGHT, bits));
    ASSERT_TRUE(surface.isCurrent());
    ASSERT_EQ(childCount(), 1);
    XWindowAttributes child{};
    ASSERT_NE(XGetWindowAttributes(display, surface.glx.child, &child), 0);
    EXPECT_EQ(std::vector<long>({child.x, child.y, child.width, child.height, child.map_state,
                                 child.all_event_masks, child.do_not_propagate_mask}),
              std::vector<long>({0, 0, WIDTH, HEIGHT, IsViewable, 0, 0}));
    // Depth follows the colour bits; the server has 24-bit colour only.
    const GLenum names[] = {GL_DEPTH_BITS, GL_ALPHA_BITS, GL_STENCIL_BITS, GL_RED_BITS,
                            GL_DOUBLEBUFFER};
    std::vector<GLint> values(5, -1);
    for (int i = 0; i < 5; ++i) glGetIntegerv(names[i], &values[i]);
    EXPECT_EQ(values, std::vector<GLint>({bits, 0, 0, 8, 1}));
    XSetWindowAttributes keep{};
    keep.backing_store = Always;
    XChangeWindowAttributes(display, surface.glx.child, CWBackingStore, &keep);

    // Each swap replaces the picture in the window itself (24-bit TrueColor).
    const struct { GLfloat r, b; unsigned long shown; } frames[] = {{1, 0, 0xff0000}, {0, 1, 0xff}};
    for (const auto& f : frames) {
      glClearColor(f.r, 0.0f, f.b, 1.0f);
      surface.clearBuffers();
      surface.present();
      glFinish();
      XSync(static_cast<Display*>(surface.glx.display), False);
      XImage* image = XGetImage(display, surface.glx.child, 90, 60, 1, 1, AllPlanes, ZPixmap);
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(XGetPixel(image, 0, 0) & 0xffffff, f.shown);
      XDestroyImage(image);
    }
    surface.release();
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    XSync(display, False);
    EXPECT_EQ(childCount(), 0);
    surface.release(); // a second release finds nothing to do
  }
  EXPECT_EQ(lastMessageBox().count, 0) << lastMessageBox().text;

  // A saver window destroyed before the release is harmless.
  GlSurface surface;
  ASSERT_TRUE(surface.create(saver, WIDTH, HEIGHT, 24));
  XDestroyWindow(display, saver);
  XSync(display, False);
  saver = 0;
  surface.present();
  surface.release();
  EXPECT_EQ(surface.glx.display, nullptr);
}

TEST_F(WindowSurface, FailuresShowOneMessageBoxAndDrawingGoesOn) {
  // No display at all (where even a modal box returns at once), then a
  // window that does not exist. No display comes first: once the boxes have
  // a display, they keep it.
  const struct { MessageBoxMode mode; bool noServer, shownAsWindow; } cases[] = {
      {MessageBoxMode::Modal, true, false}, {MessageBoxMode::Brief, false, true},
      {MessageBoxMode::Stderr, false, false}};
  for (const auto& c : cases) {
    const char* text = c.noServer ? "ChoosePixelFormat sippai" : "SetPixelFormat sippai";
    SCOPED_TRACE(text);
    clearMessageBoxRecord();
    setMessageBoxMode(c.mode);
    setenv("DISPLAY", c.noServer ? NO_SERVER : displayName.c_str(), 1);
    testing::internal::CaptureStderr();
    RenderContext context;
    context.init(c.noServer ? saver : 0x7fffffff, WIDTH, HEIGHT, 24);
    EXPECT_FALSE(context.surface.isCurrent());
    frameClock.overlayDue = true;
    for (int frame = 0; frame < 3; ++frame) {
      context.beginFrame();
      context.lights.addLight(LightSource{});
      context.lights.removeLight(0);
      context.endFrame();
    }
    context.surface.release();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lastMessageBox().count, 1);
    EXPECT_STREQ(lastMessageBox().text, text);
    EXPECT_STREQ(lastMessageBox().caption, "ERROR");
    EXPECT_EQ(lastMessageBox().shownAsWindow, c.shownAsWindow);
    const bool onStderr = err.find(std::string("ERROR: ") + text) != std::string::npos;
    EXPECT_EQ(onStderr, !c.shownAsWindow) << err;
  }
}

} // namespace
} // namespace starbloom
