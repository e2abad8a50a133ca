// Drawing arrays of a mesh. Every recorded strip becomes a run of vertices
// in one array, in triangle-strip order (its start triangle's three
// corners, then the first corner of each continuing triangle), with the
// texture coordinates, normal and position of each vertex; the strip keeps
// the material and colour of its first vertex.
// Each strip is cut into chunks of MESH_CHUNK_TRIANGLES triangles, and each
// chunk gets the box about its corners; a chunk shares its first two
// vertices with the end of the chunk before, so any row of consecutive
// chunks is itself a strip of the same triangles, wound the same way.
//
// The arrays name the mesh and revision they were made from, and are made
// again when either differs.
//
// Cost: once per change of the mesh, one pass over its triangles; the
// arrays are sized once for that pass. A landscape of 100 x 100 points
// makes 19 800 vertices (634 KB) and 1 287 boxes.
#include "scene/mesh_strips.h"

#include <algorithm>

namespace starbloom {

namespace {

MeshDrawVertex drawVertex(const MeshVertex& v) {
  MeshDrawVertex out;
  out.s = v.texCoord[0];
  out.t = v.texCoord[1];
  out.normal = v.normal;
  out.position = v.position;
  return out;
}

void grow(MeshBox& box, Vec3 p) {
  box.low = Vec3{std::min(box.low.x, p.x), std::min(box.low.y, p.y), std::min(box.low.z, p.z)};
  box.high = Vec3{std::max(box.high.x, p.x), std::max(box.high.y, p.y), std::max(box.high.z, p.z)};
}

// Boxes of the chunks of the run's vertices.
void boxChunks(const MeshStripRun& run, MeshStrips& out) {
  const std::int32_t triangles = run.count - 2;
  for (std::int32_t t = 0; t < triangles; t += MESH_CHUNK_TRIANGLES) {
    const std::int32_t end = std::min(t + MESH_CHUNK_TRIANGLES, triangles) + 2;
    const Vec3 first = out.vertices[static_cast<std::size_t>(run.first + t)].position;
    MeshBox box{first, first};
    for (std::int32_t k = t + 1; k < end; ++k) {
      grow(box, out.vertices[static_cast<std::size_t>(run.first + k)].position);
    }
    out.boxes.push_back(box);
  }
}

void make(const Mesh& mesh, MeshStrips& out) {
  std::size_t vertexCount = 0;
  std::size_t runCount = 0;
  std::size_t boxCount = 0;
  for (std::int32_t t = 0; t < mesh.triangleCount; ++t) {
    std::int32_t triangles = 1;
    while (t + 1 < mesh.triangleCount && mesh.stripFlags[static_cast<std::size_t>(t + 1)] != 0) {
      ++t;
      ++triangles;
    }
    vertexCount += static_cast<std::size_t>(triangles) + 2;
    runCount += 1;
    boxCount += static_cast<std::size_t>((triangles + MESH_CHUNK_TRIANGLES - 1) / MESH_CHUNK_TRIANGLES);
  }
  out.vertices.clear();
  out.runs.clear();
  out.boxes.clear();
  out.vertices.reserve(vertexCount);
  out.runs.reserve(runCount);
  out.boxes.reserve(boxCount);

  const auto vertex = [&mesh](std::int32_t i) -> const MeshVertex& {
    return mesh.vertices[static_cast<std::size_t>(i)];
  };
  for (std::int32_t t = 0; t < mesh.triangleCount; ++t) {
    const MeshTriangle& start = mesh.triangles[static_cast<std::size_t>(t)];
    MeshStripRun run;
    run.first = static_cast<std::int32_t>(out.vertices.size());
    run.material = vertex(start.corners[0]).material;
    run.colour = vertex(start.corners[0]).colour;
    run.firstBox = static_cast<std::int32_t>(out.boxes.size());
    for (std::int32_t corner : start.corners) out.vertices.push_back(drawVertex(vertex(corner)));
    while (t + 1 < mesh.triangleCount && mesh.stripFlags[static_cast<std::size_t>(t + 1)] != 0) {
      ++t;
      const MeshTriangle& next = mesh.triangles[static_cast<std::size_t>(t)];
      out.vertices.push_back(drawVertex(vertex(next.corners[0])));
    }
    run.count = static_cast<std::int32_t>(out.vertices.size()) - run.first;
    out.runs.push_back(run);
    boxChunks(run, out);
  }
  out.bounds = MeshBox{};
  if (!out.boxes.empty()) {
    out.bounds = out.boxes.front();
    for (const MeshBox& box : out.boxes) {
      grow(out.bounds, box.low);
      grow(out.bounds, box.high);
    }
  }
  out.mesh = &mesh;
  out.revision = mesh.revision;
}

} // namespace

void updateMeshStrips(const Mesh& mesh, MeshStrips& strips) {
  if (strips.mesh != &mesh || strips.revision != mesh.revision) make(mesh, strips);
}

} // namespace starbloom
