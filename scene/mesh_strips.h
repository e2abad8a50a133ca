#pragma once
// A mesh's recorded strips laid out as vertex arrays, with a box about each
// chunk of every strip for culling.
#include "scene/mesh.h"

namespace starbloom {

// The mesh's drawing arrays, made again first when the mesh has changed
// since they were made.
const MeshStrips& meshStrips(const Mesh& mesh);

} // namespace starbloom
