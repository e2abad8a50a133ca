#pragma once
// Drawing meshes with OpenGL 1.1: the recorded strips from vertex arrays,
// lights and materials turned into OpenGL state.
#include "math/coord_frame.h"
#include "math/frustum.h"
#include "scene/light_table.h"
#include "scene/mesh.h"
#include "scene/mesh_strips.h"
#include "scene/texture.h"

namespace starbloom {

// What mesh drawing needs of the rendering context.
struct MeshView {
  const LightTable* lights = nullptr; // every light in use is sent per draw
  TextureTarget textures;             // upload count and the texture switches
  bool useLighting = true;
  bool useFog = true;
  Color4 clearColour;                 // fog colour of unblended materials
  ViewFrustum frustum;                // the projection's; chunks outside it are not drawn
  bool cullBackFaces = false;         // leave out triangles seen from behind (wound clockwise)
};

// Draws mesh placed by placement as seen from camera, unless its origin lies
// both outside a cone of about 26.6 degrees about the view direction and
// farther than the mesh's viewDistance, from strips, its drawing arrays,
// brought up to date first; with cullBackFaces, triangles wound clockwise
// on the screen are left out. Leaves the identity model-view and culling
// off.
bool drawMesh(CoordFrame placement, CoordFrame camera, const Mesh& mesh, MeshStrips& strips,
              const MeshView& view);
// OpenGL light GL_LIGHT0 + i from light (i 0..7, a light in use), enabled.
bool applyLight(int i, const LightSource& light);
bool applyMaterial(MaterialColours colours);
// Blending off (depth test on) or on with the function of mode 1..4; any
// other mode keeps the function.
bool setBlendMode(bool on, int mode);

} // namespace starbloom
