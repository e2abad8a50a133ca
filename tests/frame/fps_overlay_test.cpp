#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "frame/frame_clock.h"
#include "frame/platform_time.h"
#include "frame/render_context.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

constexpr int WIDTH = 160;
constexpr int HEIGHT = 64;

// White pixels in the rectangle [x0, x1) x [y0, y1), from the top left.
int whiteIn(const OffscreenGl& gl, int x0, int y0, int x1, int y1) {
  const std::vector<std::uint8_t> rgb = gl.readRgb();
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * WIDTH + x) * 3];
      count += p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
  }
  return count;
}

TEST(FpsOverlay, FigureAndLabelShowInWhiteAtTwentyTwentyOnlyWhileTheOverlayIsOn) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  useSimulatedTime(1000);
  frameClock = FrameClock{};
  const struct { int ticks; bool show, figure, label; } stages[] = {
      {1, true, false, false},  // the first frame draws nothing
      {1, true, false, true},   // no figure yet: the label alone
      {62, true, true, true},   // 63 frames of 16 ms: "62.5"
      {1, false, false, false}, // hidden
  };
  for (const auto& stage : stages) {
    frameClock.setOverlay(stage.show, 1000);
    for (int i = 0; i < stage.ticks; ++i) {
      advanceSimulatedTime(16);
      frameClock.tick();
    }
    renderContext.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});
    renderContext.beginFrame();
    renderContext.endFrame();
    SCOPED_TRACE(testing::Message() << "fps text \"" << frameClock.fpsText << "\"");
    // Cells are 8 x 13 from x = 20 ("62.5") and x = 70 ("(fps)"), y = 20.
    const int figure = whiteIn(gl, 20, 20, 52, 33);
    const int label = whiteIn(gl, 70, 20, 110, 33);
    EXPECT_EQ(figure > 30, stage.figure);
    EXPECT_EQ(label > 30, stage.label);
    EXPECT_EQ(whiteIn(gl, 0, 0, WIDTH, HEIGHT), figure + label) << "white outside the text";
  }
  useRealTime();
  frameClock = FrameClock{};
}

TEST(FpsOverlay, LeavesTheGlStateAsItFoundItWhateverTheViewport) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  // Everything the overlay must switch off is on (the first seven); odd
  // colour, matrices and viewport; the projection stack selected.
  const GLenum states[] = {GL_TEXTURE_2D, GL_BLEND, GL_DEPTH_TEST, GL_LIGHTING, GL_FOG,
                           GL_ALPHA_TEST, GL_CULL_FACE, GL_UNPACK_ALIGNMENT, GL_VIEWPORT,
                           GL_MATRIX_MODE, GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX,
                           GL_CURRENT_COLOR, GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH,
                           GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH};
  for (int i = 0; i < 7; ++i) glEnable(states[i]);
  glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glViewport(30, 10, 60, 40);
  glTranslatef(1.0f, 2.0f, 3.0f);
  glMatrixMode(GL_PROJECTION);
  glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
  GLfloat before[17][16] = {}, after[17][16] = {};
  for (int i = 0; i < 17; ++i) glGetFloatv(states[i], before[i]);

  FrameClock clock;
  std::strcpy(clock.fpsText, "62.5");
  drawFpsOverlay(clock, WIDTH, HEIGHT);
  // At its window pixels whatever the viewport: the point of "62.5" is in the
  // third cell (x 36..43), columns 3-4, rows 8-9; '(' spans rows 1-11.
  const struct { int x, y, white; } pixels[] = {{39, 28, 1}, {39, 27, 0}, {40, 29, 1},
                                                {41, 28, 0}, {75, 21, 1}, {75, 20, 0}};
  for (const auto& p : pixels) {
    EXPECT_EQ(whiteIn(gl, p.x, p.y, p.x + 1, p.y + 1), p.white) << p.x << "," << p.y;
  }
  for (int i = 0; i < 17; ++i) {
    glGetFloatv(states[i], after[i]);
    EXPECT_TRUE(std::equal(after[i], after[i] + 16, before[i])) << std::hex << states[i];
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(FpsOverlay, EveryCharacterOfAFigureHasAGlyphAndOthersLeaveABlankCell) {
  OffscreenGl gl(WIDTH, HEIGHT);
  ASSERT_TRUE(gl.ok());
  for (const char* c = "0123456789.e+-()fpsina#"; *c != '\0'; ++c) {
    FrameClock clock;
    clock.fpsText[0] = *c;
    clock.fpsText[1] = '1'; // the next cell still gets drawn
    glClear(GL_COLOR_BUFFER_BIT);
    drawFpsOverlay(clock, WIDTH, HEIGHT);
    EXPECT_EQ(whiteIn(gl, 20, 20, 28, 33) > 1, *c != '#') << "first cell for '" << *c << "'";
    EXPECT_GT(whiteIn(gl, 28, 20, 36, 33), 1) << "second cell after '" << *c << "'";
  }
}

} // namespace
} // namespace starbloom
