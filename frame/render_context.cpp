// The rendering context: one process-wide object that owns the GL surface,
// the default OpenGL state with its fixed projection, the per-frame clear
// colour and the table of lights shared by launches, particles and the
// landscape.
//
// The light table has ten slots but hands out only 0..7, which map one to one
// onto GL_LIGHT0..GL_LIGHT7. A full table answers 9, an index every operation
// treats as a free slot, so a caller that kept it simply does nothing with it.
// The table itself never talks to OpenGL except to switch a light off when
// its slot is freed; sending lights to OpenGL belongs to the mesh drawing.
//
// The projection is a fixed frustum that ignores the window's aspect ratio:
// 0.8 x 0.6 at the near plane 1, far plane 400. Opening a frame sets the
// clear colour and the fog colour to the same value, then clears colour and
// depth; closing it draws the frames-per-second text when the clock asked
// for it and presents. Nothing here allocates after start-up; per frame the
// cost is a handful of state calls plus the clear and the swap.
#include "frame/render_context.h"

#include <GL/gl.h>

#include "frame/frame_clock.h"

namespace starbloom {

namespace {

// Side values of the frustum are single-precision constants widened to
// double, exactly as the projection has always been set up.
constexpr float FRUSTUM_HALF_WIDTH = 0.4f;  // at the near plane
constexpr float FRUSTUM_HALF_HEIGHT = 0.3f; // at the near plane
constexpr double FRUSTUM_NEAR = 1.0;
constexpr double FRUSTUM_FAR = 400.0;

constexpr GLfloat START_CLEAR_COLOUR[4] = {0.3f, 0.0f, 0.8f, 1.0f}; // violet until the first frame
constexpr GLfloat FOG_START = 20.0f; // world units from the eye
constexpr GLfloat FOG_END = 200.0f;

bool isTableIndex(int i) { return i >= 0 && i < LIGHT_TABLE_SLOTS; }

} // namespace

void LightSource::resetLight(bool use) {
  inUse = use;
  position = Vec3{};
  colour.r = 0.0f;
  colour.g = 0.0f;
  colour.b = 0.0f;
  unusedScale = 1.0f;
  ambientFactor = 0.0f;
  setAttenuation(1.0f, 0.0f, 0.0f);
}

void LightSource::setAttenuation(float constant, float linear, float quadratic) {
  attenuation[0] = constant;
  attenuation[1] = linear;
  attenuation[2] = quadratic;
}

int LightTable::addLight(const LightSource& source) {
  for (int i = 0; i < GL_LIGHT_SLOTS; ++i) {
    if (slots[i].inUse) continue;
    slots[i] = source;
    slots[i].inUse = true;
    return i;
  }
  return NO_LIGHT_SLOT;
}

// Indices outside 0..9 are answered like free slots instead of reading past
// the table; callers only ever hold indices that addLight gave them.
bool LightTable::getLight(int i, LightSource& out) const {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  out = slots[i];
  return true;
}

bool LightTable::setLight(int i, const LightSource& source) {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  slots[i] = source;
  slots[i].inUse = true;
  return true;
}

bool LightTable::removeLight(int i) {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  if (i < GL_LIGHT_SLOTS) glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
  slots[i].inUse = false;
  return true;
}

RenderContext::~RenderContext() { surface.release(); }

bool RenderContext::init(NativeWindow window, int w, int h, int colourBits) {
  width = w;
  height = h;
  surface.create(window, w, h, colourBits);
  return true;
}

bool RenderContext::setClearColour(Color4 colour) {
  clearColour = colour;
  return true;
}

void RenderContext::beginFrame() {
  const GLfloat rgba[4] = {clearColour.r, clearColour.g, clearColour.b, clearColour.a};
  glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
  glFogfv(GL_FOG_COLOR, rgba);
  surface.clearBuffers();
}

void RenderContext::endFrame() {
  // The text goes into the finished picture right before the swap, so that
  // it is never seen half drawn.
  if (frameClock.overlayDue) drawFpsOverlay(frameClock, width, height);
  surface.present();
}

void applyDefaultGlState(int width, int height) {
  glShadeModel(GL_SMOOTH);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);

  // Texture rows of the program's pictures are tightly packed.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

  glClearColor(START_CLEAR_COLOUR[0], START_CLEAR_COLOUR[1], START_CLEAR_COLOUR[2],
               START_CLEAR_COLOUR[3]);
  glClearAccum(0.0f, 0.0f, 0.0f, 0.0f);

  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, START_CLEAR_COLOUR);
  glFogf(GL_FOG_START, FOG_START);
  glFogf(GL_FOG_END, FOG_END);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-static_cast<double>(FRUSTUM_HALF_WIDTH), static_cast<double>(FRUSTUM_HALF_WIDTH),
            -static_cast<double>(FRUSTUM_HALF_HEIGHT), static_cast<double>(FRUSTUM_HALF_HEIGHT),
            FRUSTUM_NEAR, FRUSTUM_FAR);
  glMatrixMode(GL_MODELVIEW);
  glViewport(0, 0, width, height);
}

} // namespace starbloom
