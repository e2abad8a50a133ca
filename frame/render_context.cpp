// The rendering context: one process-wide object that owns the GL surface,
// the per-frame clear colour and the table of lights shared by launches,
// particles and the landscape.
//
// The light table is plain data; the context applies it. A slot freed during
// the update only marks its light; applyLightChanges switches the OpenGL
// lights of those slots off before anything is drawn lit. Sending the lights
// in use to OpenGL belongs to the mesh drawing.
//
// Opening a frame sets the clear colour and the fog colour to the same
// value, then clears colour and depth; closing it draws the frames-per-second
// text when the clock asked for it and presents. Nothing here allocates after start-up; per frame the
// cost is a handful of state calls plus the clear and the swap.
#include "frame/render_context.h"

#include <GL/gl.h>

#include "frame/frame_clock.h"

namespace starbloom {

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
  // It sits at (20, 20) from the window's top left, wherever the viewport
  // puts the picture.
  const int w = surface.windowWidth > 0 ? surface.windowWidth : width;
  const int h = surface.windowHeight > 0 ? surface.windowHeight : height;
  if (frameClock.overlayDue) drawFpsOverlay(frameClock, w, h);
  surface.present();
}

TextureTarget RenderContext::textureTarget() {
  return TextureTarget{&surface.textureCount, useTextures, smoothTextures};
}

MeshView RenderContext::meshView() {
  MeshView view;
  view.lights = &lights;
  view.textures = textureTarget();
  view.useLighting = useLighting;
  view.useFog = useFog;
  view.clearColour = clearColour;
  view.frustum = VIEW_FRUSTUM;
  return view;
}

void RenderContext::applyLightChanges() {
  for (int i = 0; i < GL_LIGHT_SLOTS; ++i) {
    // A slot taken again since it was freed stays on.
    if ((lights.switchedOff & (1u << i)) != 0 && !lights.slots[i].inUse) {
      glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
    }
  }
  lights.switchedOff = 0;
}

} // namespace starbloom
