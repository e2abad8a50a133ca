#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstring>
#include <string>

#include "frame/frame_clock.h"
#include "frame/platform_time.h"
#include "frame/render_context.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

constexpr int WIDTH = 160;
constexpr int HEIGHT = 64;

bool isWhite(const Rgb& p) { return p.r == 255 && p.g == 255 && p.b == 255; }

// White pixels in the rectangle [x0, x1) x [y0, y1), from the top left.
int whiteIn(const OffscreenGl& gl, int x0, int y0, int x1, int y1) {
  const std::vector<std::uint8_t> rgb = gl.readRgb();
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * WIDTH + x) * 3];
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++count;
    }
  }
  return count;
}

// Runs the global clock with 16 ms frames until its first figure ("62.5").
void clockWithFigure() {
  useSimulatedTime(1000);
  frameClock = FrameClock{};
  frameClock.tick(0);
  for (int frame = 0; frame < 63; ++frame) {
    advanceSimulatedTime(16);
    frameClock.tick(0);
  }
  useRealTime();
}

void drawFrame() {
  renderContext.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});
  renderContext.beginFrame();
  renderContext.endFrame();
}

class FpsOverlay : public ::testing::Test {
 protected:
  void TearDown() override { frameClock = FrameClock{}; }
};

TEST_F(FpsOverlay, FigureAndLabelShowInWhiteWhileTheOverlayIsOn) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  clockWithFigure();
  ASSERT_STREQ(frameClock.fpsText, "62.5");
  ASSERT_TRUE(frameClock.overlayDue);
  drawFrame();

  // "62.5" fills cells from x = 20, "(fps)" from x = 70, rows 20..32.
  EXPECT_GT(whiteIn(gl, 20, 20, 52, 33), 30);
  EXPECT_GT(whiteIn(gl, 70, 20, 110, 33), 30);
  // Nothing above, below, left of or beyond the text.
  EXPECT_EQ(whiteIn(gl, 0, 0, WIDTH, 20), 0);
  EXPECT_EQ(whiteIn(gl, 0, 33, WIDTH, HEIGHT), 0);
  EXPECT_EQ(whiteIn(gl, 0, 0, 20, HEIGHT), 0);
  EXPECT_EQ(whiteIn(gl, 110, 0, WIDTH, HEIGHT), 0);

  // Exact placement: the point of "62.5" is the third cell (x 36..43) with
  // its dot in columns 3-4 and rows 8-9 of the cell; the '(' of the label
  // reaches from row 1 to row 11 of its cell.
  const struct {
    int x, y;
    bool white;
  } pixels[] = {
      {39, 28, true},  {40, 29, true},  {39, 27, false}, {41, 28, false},
      {75, 21, true},  {75, 31, true},  {72, 25, true},  {75, 20, false}, {75, 32, false},
  };
  for (const auto& p : pixels) {
    EXPECT_EQ(isWhite(gl.pixel(p.x, p.y)), p.white) << "pixel " << p.x << "," << p.y;
  }
}

TEST_F(FpsOverlay, OnlyTheLabelShowsBeforeTheFirstFigure) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  useSimulatedTime(0);
  frameClock = FrameClock{};
  frameClock.tick(0);
  advanceSimulatedTime(16);
  frameClock.tick(0);
  useRealTime();
  ASSERT_STREQ(frameClock.fpsText, "");
  drawFrame();
  EXPECT_EQ(whiteIn(gl, 0, 0, 70, HEIGHT), 0);
  EXPECT_GT(whiteIn(gl, 70, 20, 110, 33), 30);
}

TEST_F(FpsOverlay, NothingShowsOnTheFirstFrameOrAfterTheOverlayIsHidden) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  frameClock = FrameClock{};
  frameClock.tick(0); // the first frame draws nothing
  drawFrame();
  EXPECT_EQ(whiteIn(gl, 0, 0, WIDTH, HEIGHT), 0);

  clockWithFigure();
  frameClock.setOverlay(false, 1000);
  frameClock.tick(0);
  ASSERT_STRNE(frameClock.fpsText, "");
  drawFrame();
  EXPECT_EQ(whiteIn(gl, 0, 0, WIDTH, HEIGHT), 0);
}

TEST_F(FpsOverlay, TextStaysAtWindowPixelsWhateverTheViewport) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  clockWithFigure();
  renderContext.beginFrame();
  glViewport(30, 10, 60, 40); // a centred drawing area
  renderContext.endFrame();
  EXPECT_TRUE(isWhite(gl.pixel(39, 28)));
  EXPECT_TRUE(isWhite(gl.pixel(75, 21)));
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 30);
  EXPECT_EQ(viewport[3], 40);
}

TEST_F(FpsOverlay, LeavesTheGlStateAsItFoundIt) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  clockWithFigure();

  // A state as the frame leaves it: everything the overlay must switch off
  // is on, odd colours and matrices, the projection stack selected.
  const GLenum enables[] = {GL_TEXTURE_2D, GL_BLEND, GL_DEPTH_TEST, GL_LIGHTING, GL_FOG,
                            GL_ALPHA_TEST, GL_LIGHT2, GL_CULL_FACE};
  for (GLenum e : enables) glEnable(e);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1.0f, 2.0f, 3.0f);
  glMatrixMode(GL_PROJECTION);
  glRotatef(30.0f, 0.0f, 1.0f, 0.0f);

  GLfloat modelviewBefore[16], projectionBefore[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);
  glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);

  drawFpsOverlay(frameClock, WIDTH, HEIGHT);
  EXPECT_GT(whiteIn(gl, 20, 20, 110, 33), 30) << "the overlay drew nothing";

  for (GLenum e : enables) EXPECT_TRUE(glIsEnabled(e)) << "0x" << std::hex << e;
  GLint value = 0;
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_PROJECTION);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
  EXPECT_EQ(value, 4);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE);
  const struct {
    GLenum name;
    GLint depth;
  } stacks[] = {{GL_MODELVIEW_STACK_DEPTH, 1},
                {GL_PROJECTION_STACK_DEPTH, 1},
                {GL_ATTRIB_STACK_DEPTH, 0},
                {GL_CLIENT_ATTRIB_STACK_DEPTH, 0}};
  for (const auto& s : stacks) {
    glGetIntegerv(s.name, &value);
    EXPECT_EQ(value, s.depth) << "stack 0x" << std::hex << s.name;
  }

  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  const GLfloat expectedColour[4] = {0.2f, 0.4f, 0.6f, 0.8f};
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(colour[i], expectedColour[i]);
  GLfloat modelview[16], projection[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  for (int i = 0; i < 16; ++i) {
    EXPECT_FLOAT_EQ(modelview[i], modelviewBefore[i]) << "modelview " << i;
    EXPECT_FLOAT_EQ(projection[i], projectionBefore[i]) << "projection " << i;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FpsOverlay, EveryCharacterOfAFigureHasAGlyph) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  // Each character alone in the first cell must light some pixels there.
  const char characters[] = "0123456789.e+-()fpsina";
  for (const char* c = characters; *c != '\0'; ++c) {
    FrameClock clock;
    clock.fpsText[0] = *c;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    drawFpsOverlay(clock, WIDTH, HEIGHT);
    EXPECT_GT(whiteIn(gl, 20, 20, 28, 33), 1) << "no glyph for '" << *c << "'";
  }
  // An unknown character leaves its cell blank but still advances.
  FrameClock clock;
  std::strcpy(clock.fpsText, "#1");
  glClear(GL_COLOR_BUFFER_BIT);
  drawFpsOverlay(clock, WIDTH, HEIGHT);
  EXPECT_EQ(whiteIn(gl, 20, 20, 28, 33), 0);
  EXPECT_GT(whiteIn(gl, 28, 20, 36, 33), 1);
}

} // namespace
} // namespace starbloom
