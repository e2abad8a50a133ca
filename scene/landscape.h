#pragma once
// The generated landscape under the fireworks: a height field by midpoint
// displacement turned into a strip-recorded mesh, its copy for the additive
// second pass, its light and its fog; and the per-frame landscape passes.
#include <cstdint>

#include "math/coord_frame.h"
#include "scene/light_table.h"
#include "scene/mesh.h"
#include "scene/mesh_render.h"
#include "scene/mesh_strips.h"

namespace starbloom {

struct Settings;
struct Texture;

constexpr int HEIGHT_GRID_SIZE = 210;       // points per side the height grid holds
constexpr int LARGEST_LANDSCAPE_GRID = 129; // the largest displacement round that fits it
constexpr int LANDSCAPE_MESH_CAPACITY = 22000;
constexpr float LANDSCAPE_FOG_START = 30.0f;

// The program's landscape; defined with the other program objects.
extern Mesh landscapeMesh;   // filled by generateLandscape, flags set every frame
extern Mesh secondPassMesh;  // the copy for the additive pass
extern MeshStrips landscapeStrips;  // drawing arrays of landscapeMesh
extern MeshStrips secondPassStrips; // drawing arrays of secondPassMesh
extern CoordFrame landscapeFrame;    // placement of both: identity at the origin
extern std::int32_t landscapeLight;  // light table slot of the landscape's light
// Whether a camera sees every back face of the ground drawn by strips (in
// landscapeFrame) only behind a front face: true when it is over the ground
// and higher than every point of it by more than the reach of the
// frustum's near plane.
bool landscapeBackFacesHidden(const CoordFrame& camera, const MeshStrips& strips,
                              const ViewFrustum& frustum);
// Whether the passes may leave out the ground's back faces where none can
// show (on in the program; off draws them all, for comparison).
extern bool cullLandscapeBackFaces;

// Material colour of the landscape for the lcolor setting: red, green,
// blue, anything else white.
Color4 landscapeColour(int lcolor);
// Fog end for the landsi setting: landsi * 0.6666667 + 40.
float landscapeFogEnd(int landsi);

// Builds main (and its copy second) from the settings land, landres, landsi,
// tex and lcolor, places them with frame and adds the landscape light to
// lights, storing its slot in lightSlot. False (nothing done) with land off.
// The generator must be seeded; the caller applies the fog.
bool generateLandscape(const Settings& settings, Texture* ground, Mesh& main, Mesh& second,
                       CoordFrame& frame, LightTable& lights, std::int32_t& lightSlot);

// The frame's landscape passes from camera: the lit, optionally textured
// main pass in fog, the optional additive second pass with the landscape's
// own light darkened, then that light set for the next frame.
void drawLandscapePasses(const Settings& settings, const CoordFrame& camera, LightTable& lights,
                         const MeshView& view);

} // namespace starbloom
