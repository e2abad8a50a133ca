#pragma once
// A mesh's recorded strips laid out as vertex arrays, with a box about each
// chunk of every strip for culling: what drawing a mesh reads. Whoever draws
// a mesh keeps its arrays beside it and lets them follow its changes.
#include <cstdint>
#include <vector>

#include "scene/mesh.h"

namespace starbloom {

// One vertex of the drawing arrays, laid out as glInterleavedArrays reads
// GL_T2F_N3F_V3F.
struct MeshDrawVertex {
  float s = 0.0f;
  float t = 0.0f;
  Vec3 normal;
  Vec3 position;
};

// A recorded strip in the drawing arrays: its vertices, the material and
// colour of its first vertex, and its boxes (see MESH_CHUNK_TRIANGLES).
struct MeshStripRun {
  std::int32_t first = 0; // index of its first vertex in the drawing arrays
  std::int32_t count = 0; // vertices: triangles + 2
  std::int32_t material = 0;
  Color4 colour;
  std::int32_t firstBox = 0; // index of its first chunk box
};

// The box about the corners of one chunk of a strip.
struct MeshBox {
  Vec3 low;
  Vec3 high;
};

// Strips are cut into chunks of this many triangles (even, so that every
// chunk starts with a triangle of the strip's own winding) for culling.
constexpr int MESH_CHUNK_TRIANGLES = 16;

// The drawing arrays of one mesh. A mesh replaced by a new one at the same
// place needs fresh arrays (MeshStrips{}) beside it.
struct MeshStrips {
  const Mesh* mesh = nullptr; // the mesh these were made from; none yet
  std::uint32_t revision = 0; // its revision then
  std::vector<MeshDrawVertex> vertices;
  std::vector<MeshStripRun> runs;
  std::vector<MeshBox> boxes;
  MeshBox bounds; // about every vertex (all zero without any)
};

// Makes strips the drawing arrays of mesh, unless they already are those of
// its current revision.
void updateMeshStrips(const Mesh& mesh, MeshStrips& strips);

} // namespace starbloom
