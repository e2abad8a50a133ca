// Window binding tests; they need the X server that scripts/test starts and
// names in STARBLOOM_TEST_DISPLAY (DISPLAY is used when that is unset).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string>

#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "host/message_box.h"

namespace starbloom {
namespace {

constexpr int WIDTH = 96;
constexpr int HEIGHT = 72;
constexpr NativeWindow BAD_WINDOW = 0x7fffffff;
constexpr const char* NO_SERVER = ":197"; // a display nobody runs

std::string testDisplayName() {
  for (const char* variable : {"STARBLOOM_TEST_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return std::string();
}

struct Pixel {
  int r = -1, g = -1, b = -1;
};

// The saver window stands in as a plain override-redirect window. Backing
// store keeps its contents when windows of other tests run in parallel
// cover it.
class WindowSurface : public ::testing::Test {
 protected:
  void SetUp() override {
    displayName = testDisplayName();
    ASSERT_FALSE(displayName.empty())
        << "no X server: run under scripts/test or set STARBLOOM_TEST_DISPLAY";
    setenv("DISPLAY", displayName.c_str(), 1);
    display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr) << "cannot open " << displayName;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.backing_store = Always;
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    saver = XCreateWindow(display, DefaultRootWindow(display), 40, 40, WIDTH, HEIGHT, 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackingStore | CWBackPixel, &attributes);
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

  Pixel windowPixel(Window window, int x, int y) {
    XSync(display, False);
    Pixel p;
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return p;
    // The test server's default visual is 24-bit TrueColor, 0xRRGGBB.
    const unsigned long value = XGetPixel(image, 0, 0);
    p.r = static_cast<int>((value >> 16) & 0xff);
    p.g = static_cast<int>((value >> 8) & 0xff);
    p.b = static_cast<int>(value & 0xff);
    XDestroyImage(image);
    return p;
  }

  int childCount() {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, saver, &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    return static_cast<int>(count);
  }

  std::string displayName;
  Display* display = nullptr;
  Window saver = 0;
};

Pixel glPixel(GLenum buffer, int x, int y) {
  glReadBuffer(buffer);
  unsigned char rgb[3] = {0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  return Pixel{rgb[0], rgb[1], rgb[2]};
}

TEST_F(WindowSurface, PresentsTheFrameInAChildOfTheSaverWindow) {
  GlSurface surface;
  surface.binding = SurfaceBinding::Window;
  EXPECT_TRUE(surface.create(saver, WIDTH, HEIGHT, 24));
  ASSERT_TRUE(surface.isCurrent());
  EXPECT_EQ(lastMessageBox().count, 0) << lastMessageBox().text;
  ASSERT_NE(surface.glWindow, 0u);
  EXPECT_EQ(childCount(), 1);

  // The child fills the saver window and selects no input, so the saver
  // window still sees keys and the pointer.
  XWindowAttributes child{};
  ASSERT_NE(XGetWindowAttributes(display, surface.glWindow, &child), 0);
  EXPECT_EQ(child.x, 0);
  EXPECT_EQ(child.y, 0);
  EXPECT_EQ(child.width, WIDTH);
  EXPECT_EQ(child.height, HEIGHT);
  EXPECT_EQ(child.map_state, IsViewable);
  EXPECT_EQ(child.your_event_mask, 0);
  EXPECT_EQ(child.do_not_propagate_mask, 0);
  XSetWindowAttributes keep{};
  keep.backing_store = Always;
  XChangeWindowAttributes(display, surface.glWindow, CWBackingStore, &keep);
  XSync(display, False);

  // The default state came with the context: a double-buffered surface of
  // the window's size.
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], WIDTH);
  EXPECT_EQ(viewport[3], HEIGHT);
  GLboolean doubleBuffered = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
  EXPECT_TRUE(doubleBuffered);

  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  surface.clearBuffers();
  glFinish();
  const Pixel back = glPixel(GL_BACK, 10, 10);
  EXPECT_EQ(back.r, 255);
  EXPECT_EQ(back.g, 0);
  EXPECT_EQ(back.b, 0);

  // After the swap the picture is in the window itself.
  surface.present();
  glFinish();
  XSync(static_cast<Display*>(surface.nativeDisplay), False);
  const Pixel shown = windowPixel(surface.glWindow, WIDTH - 3, HEIGHT - 3);
  EXPECT_EQ(shown.r, 255);
  EXPECT_EQ(shown.g, 0);
  EXPECT_EQ(shown.b, 0);

  // A second frame in another colour replaces the first on screen.
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  surface.clearBuffers();
  surface.present();
  glFinish();
  XSync(static_cast<Display*>(surface.nativeDisplay), False);
  const Pixel second = windowPixel(surface.glWindow, 5, 5);
  EXPECT_EQ(second.r, 0);
  EXPECT_EQ(second.b, 255);

  surface.release();
  EXPECT_FALSE(surface.isCurrent());
  EXPECT_EQ(surface.glContext, nullptr);
  EXPECT_EQ(surface.nativeDisplay, nullptr);
  EXPECT_EQ(glXGetCurrentContext(), nullptr);
  XSync(display, False);
  EXPECT_EQ(childCount(), 0);
  surface.release(); // a second release finds nothing to do
}

TEST_F(WindowSurface, DepthBitsFollowTheColourDepth) {
  const struct {
    int colourBits;
    int depthBits;
  } cases[] = {{16, 16}, {24, 24}, {32, 32}};
  for (const auto& c : cases) {
    GlSurface surface;
    surface.create(saver, WIDTH, HEIGHT, c.colourBits);
    ASSERT_TRUE(surface.isCurrent()) << c.colourBits << " bits";
    GLint depth = 0, alpha = -1, stencil = -1, red = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_RED_BITS, &red);
    EXPECT_EQ(depth, c.depthBits) << c.colourBits << " bits";
    EXPECT_EQ(alpha, 0) << c.colourBits << " bits";
    EXPECT_EQ(stencil, 0) << c.colourBits << " bits";
    EXPECT_EQ(red, 8) << c.colourBits << " bits"; // the server has 24-bit colour only
    surface.release();
  }
  EXPECT_EQ(lastMessageBox().count, 0);
}

TEST_F(WindowSurface, BadWindowReportsSetPixelFormatAndDrawingGoesOn) {
  RenderContext context;
  context.surface.binding = SurfaceBinding::Window;
  EXPECT_TRUE(context.init(BAD_WINDOW, WIDTH, HEIGHT, 24));
  EXPECT_EQ(lastMessageBox().count, 1);
  EXPECT_STREQ(lastMessageBox().text, "SetPixelFormat sippai");
  EXPECT_STREQ(lastMessageBox().caption, "ERROR");
  EXPECT_FALSE(context.surface.isCurrent());
  EXPECT_EQ(context.surface.glWindow, 0u);

  // Frames without a drawable do nothing, and nothing fails.
  frameClock.overlayDue = true;
  for (int frame = 0; frame < 3; ++frame) {
    context.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});
    context.beginFrame();
    context.lights.addLight(LightSource{});
    context.lights.removeLight(0);
    context.endFrame();
  }
  context.surface.release();
  EXPECT_EQ(context.surface.nativeDisplay, nullptr);
  EXPECT_EQ(lastMessageBox().count, 1);
}

TEST_F(WindowSurface, NoDisplayReportsChoosePixelFormat) {
  setenv("DISPLAY", NO_SERVER, 1);
  GlSurface surface;
  EXPECT_TRUE(surface.create(saver, WIDTH, HEIGHT, 24));
  EXPECT_EQ(lastMessageBox().count, 1);
  EXPECT_STREQ(lastMessageBox().text, "ChoosePixelFormat sippai");
  EXPECT_STREQ(lastMessageBox().caption, "ERROR");
  EXPECT_FALSE(surface.isCurrent());
  surface.clearBuffers();
  surface.present();
  surface.release();
}

TEST_F(WindowSurface, SaverWindowDestroyedBeforeReleaseIsHarmless) {
  GlSurface surface;
  surface.create(saver, WIDTH, HEIGHT, 24);
  ASSERT_TRUE(surface.isCurrent());
  XDestroyWindow(display, saver);
  XSync(display, False);
  saver = 0;
  surface.present();
  surface.release();
  EXPECT_EQ(surface.nativeDisplay, nullptr);
}

TEST_F(WindowSurface, MessageBoxesAppearAsWindowsOrOnStderr) {
  // On the display, briefly so that the test does not wait for OK.
  setMessageBoxMode(MessageBoxMode::Brief);
  EXPECT_TRUE(showMessageBox("SetPixelFormat sippai", "ERROR"));
  EXPECT_EQ(lastMessageBox().count, 1);
  EXPECT_TRUE(lastMessageBox().shownAsWindow);

  // Without a display even a modal box returns at once, with the text on
  // stderr.
  setMessageBoxMode(MessageBoxMode::Modal);
  setenv("DISPLAY", NO_SERVER, 1);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(showMessageBox("ChoosePixelFormat sippai", "ERROR"));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ChoosePixelFormat sippai"), std::string::npos) << err;
  EXPECT_NE(err.find("ERROR"), std::string::npos) << err;
  EXPECT_EQ(lastMessageBox().count, 2);
  EXPECT_FALSE(lastMessageBox().shownAsWindow);
  EXPECT_STREQ(lastMessageBox().text, "ChoosePixelFormat sippai");

  // Stderr mode never opens a window, display or not.
  setenv("DISPLAY", displayName.c_str(), 1);
  setMessageBoxMode(MessageBoxMode::Stderr);
  ::testing::internal::CaptureStderr();
  showMessageBox("Destroy error", "Application");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Destroy error"), std::string::npos);
  EXPECT_FALSE(lastMessageBox().shownAsWindow);
  EXPECT_STREQ(lastMessageBox().caption, "Application");
}

} // namespace
} // namespace starbloom
