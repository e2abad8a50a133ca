#pragma once
// The rendering context: the GL surface the saver draws into, the render
// switches, the per-frame clear colour and the light table shared by
// launches, particles and the landscape.
#include "frame/gl_surface.h"
#include "math/vector.h"
#include "scene/light_table.h"
#include "scene/mesh_render.h"
#include "scene/texture.h"

namespace starbloom {

struct RenderContext {
  int width = 0;
  int height = 0;
  LightTable lights;
  Color4 clearColour;
  GlSurface surface;
  bool useTextures = true;
  bool smoothTextures = true;
  bool useLighting = true;
  bool useFog = true;

  RenderContext() = default;
  ~RenderContext();
  RenderContext(const RenderContext&) = delete;
  RenderContext& operator=(const RenderContext&) = delete;

  bool init(NativeWindow window, int w, int h, int colourBits);
  bool setClearColour(Color4 colour);
  void beginFrame();
  // Draws the frame clock's overlay text when due, then presents.
  void endFrame();
  // The surface's texture upload count and the texture switches, for the
  // drawing passes.
  TextureTarget textureTarget();
  // The lights, texture switches, lighting and fog switches and clear colour
  // that mesh drawing uses.
  MeshView meshView();
  // Switches off the OpenGL light of every slot freed since the last call
  // that is still free.
  void applyLightChanges();
};

// The one rendering context; defined with the other program objects.
extern RenderContext renderContext;

} // namespace starbloom
