// The frames-per-second overlay: the clock's figure and the label "(fps)"
// drawn in white into the top-left corner of the frame with glBitmap, from a
// small bitmap font compiled into the program.
//
// Each glyph is an 8 x 13 cell, written below as rows of '#' and '.' from the
// top, and turned at compile time into the bottom-row-first bytes glBitmap
// reads (one byte per row, most significant bit leftmost). The baseline lies
// three rows above the cell's bottom so that 'p' and the parentheses can
// descend. The font holds what the figure and the label can contain: digits,
// '.', 'e', '+', '-', '(', ')', 'f', 'p', 's', plus 'i', 'n', 'a' for "inf"
// and "nan"; any other character advances without drawing.
//
// A cell's top-left corner sits at the given window pixel counted from the
// top left. Drawing saves and restores every attribute group, the client
// pixel-store state and both matrices, so the frame's own state is exactly
// what it was: texture, blending, depth test, lighting, fog, current colour,
// viewport and matrix mode included. Cost: at most 16 small bitmaps a frame.
#include <GL/gl.h>

#include <cstdint>

#include "frame/frame_clock.h"

namespace starbloom {

namespace {

constexpr int GLYPH_WIDTH = 8;   // pixels, also the advance to the next glyph
constexpr int GLYPH_HEIGHT = 13; // pixels, 10 above the baseline and 3 below
constexpr int FIGURE_X = 20;     // window pixels from the left
constexpr int LABEL_X = 70;
constexpr int TEXT_Y = 20;       // window pixels from the top to the cell's top
constexpr char LABEL[] = "(fps)";

struct Glyph {
  char ch = 0;
  std::uint8_t rows[GLYPH_HEIGHT] = {}; // bottom row first, bit 7 leftmost
};

constexpr Glyph makeGlyph(char ch, const char (&art)[GLYPH_WIDTH * GLYPH_HEIGHT + 1]) {
  Glyph glyph{};
  glyph.ch = ch;
  for (int row = 0; row < GLYPH_HEIGHT; ++row) {
    unsigned bits = 0;
    for (int column = 0; column < GLYPH_WIDTH; ++column) {
      if (art[row * GLYPH_WIDTH + column] == '#') bits |= 0x80u >> column;
    }
    glyph.rows[GLYPH_HEIGHT - 1 - row] = static_cast<std::uint8_t>(bits);
  }
  return glyph;
}

// clang-format off
constexpr Glyph FONT[] = {
    makeGlyph('0', "........" "..####.." ".#....#." ".#...##." ".#..#.#." ".#.#..#." ".##...#."
                   ".#....#." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('1', "........" "...##..." "..#.#..." ".#..#..." "....#..." "....#..." "....#..."
                   "....#..." "....#..." ".######." "........" "........" "........"),
    makeGlyph('2', "........" "..####.." ".#....#." "......#." ".....#.." "....#..." "...#...."
                   "..#....." ".#......" ".######." "........" "........" "........"),
    makeGlyph('3', "........" ".######." "......#." ".....#.." "....#..." "...###.." "......#."
                   "......#." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('4', "........" ".....#.." "....##.." "...#.#.." "..#..#.." ".#...#.." ".######."
                   ".....#.." ".....#.." ".....#.." "........" "........" "........"),
    makeGlyph('5', "........" ".######." ".#......" ".#......" ".#####.." "......#." "......#."
                   "......#." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('6', "........" "..####.." ".#......" ".#......" ".#####.." ".#....#." ".#....#."
                   ".#....#." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('7', "........" ".######." "......#." ".....#.." ".....#.." "....#..." "....#..."
                   "...#...." "...#...." "...#...." "........" "........" "........"),
    makeGlyph('8', "........" "..####.." ".#....#." ".#....#." "..####.." ".#....#." ".#....#."
                   ".#....#." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('9', "........" "..####.." ".#....#." ".#....#." ".#....#." "..#####." "......#."
                   "......#." "......#." "..####.." "........" "........" "........"),
    makeGlyph('.', "........" "........" "........" "........" "........" "........" "........"
                   "........" "...##..." "...##..." "........" "........" "........"),
    makeGlyph('e', "........" "........" "........" "........" "..####.." ".#....#." ".######."
                   ".#......" ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('+', "........" "........" "........" "...#...." "...#...." ".#####.." "...#...."
                   "...#...." "........" "........" "........" "........" "........"),
    makeGlyph('-', "........" "........" "........" "........" "........" ".#####.." "........"
                   "........" "........" "........" "........" "........" "........"),
    makeGlyph('(', "........" ".....#.." "....#..." "...#...." "...#...." "..#....." "..#....."
                   "..#....." "...#...." "...#...." "....#..." ".....#.." "........"),
    makeGlyph(')', "........" "..#....." "...#...." "....#..." "....#..." ".....#.." ".....#.."
                   ".....#.." "....#..." "....#..." "...#...." "..#....." "........"),
    makeGlyph('f', "........" "...###.." "..#...#." "..#....." "..#....." ".####..." "..#....."
                   "..#....." "..#....." "..#....." "........" "........" "........"),
    makeGlyph('p', "........" "........" "........" "........" ".#.###.." ".##...#." ".#....#."
                   ".#....#." ".##...#." ".#.###.." ".#......" ".#......" ".#......"),
    makeGlyph('s', "........" "........" "........" "........" "..####.." ".#....#." "..##...."
                   "....##.." ".#....#." "..####.." "........" "........" "........"),
    makeGlyph('i', "........" "........" "...#...." "........" "..##...." "...#...." "...#...."
                   "...#...." "...#...." "..###..." "........" "........" "........"),
    makeGlyph('n', "........" "........" "........" "........" ".#.###.." ".##...#." ".#....#."
                   ".#....#." ".#....#." ".#....#." "........" "........" "........"),
    makeGlyph('a', "........" "........" "........" "........" "..####.." "......#." "..#####."
                   ".#....#." ".#...##." "..###.#." "........" "........" "........"),
};
// clang-format on

const Glyph* findGlyph(char ch) {
  for (const Glyph& glyph : FONT) {
    if (glyph.ch == ch) return &glyph;
  }
  return nullptr;
}

// Text whose first cell has its top-left corner at window pixel (x, y) from
// the top left. The raster position is nudged a quarter pixel inside the
// cell so that rounding cannot move it onto the neighbouring pixel.
// At most maxLength characters are read, so an unterminated buffer cannot
// run the loop past its end.
void drawText(const char* text, int maxLength, int x, int y, int height) {
  const float cellBottom = static_cast<float>(height - y - GLYPH_HEIGHT);
  glRasterPos2f(static_cast<float>(x) + 0.25f, cellBottom + 0.25f);
  for (int i = 0; i < maxLength && text[i] != '\0'; ++i) {
    const Glyph* glyph = findGlyph(text[i]);
    if (glyph != nullptr) {
      glBitmap(GLYPH_WIDTH, GLYPH_HEIGHT, 0.0f, 0.0f, static_cast<float>(GLYPH_WIDTH), 0.0f,
               glyph->rows);
    } else {
      // An empty bitmap only moves the raster position: a blank cell.
      glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(GLYPH_WIDTH), 0.0f, nullptr);
    }
  }
}

// Everything that could change how a bitmap lands in the colour buffer is
// switched to its plain setting; the caller has saved all of it.
void setPlainBitmapState(int width, int height) {
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_COLOR_LOGIC_OP);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, width, height);

  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
}

} // namespace

void drawFpsOverlay(const FrameClock& clock, int width, int height) {
  if (width <= 0 || height <= 0) return;

  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  setPlainBitmapState(width, height);

  // One window pixel per unit, origin at the bottom left.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, static_cast<double>(width), 0.0, static_cast<double>(height), -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  // The raster colour is taken from the current colour when the raster
  // position is set, so white must come first.
  glColor3f(1.0f, 1.0f, 1.0f);
  drawText(clock.fpsText, FPS_TEXT_CAPACITY, FIGURE_X, TEXT_Y, height);
  drawText(LABEL, static_cast<int>(sizeof LABEL), LABEL_X, TEXT_Y, height);

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib(); // also restores the caller's matrix mode
}

} // namespace starbloom
