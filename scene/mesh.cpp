// Triangle meshes. Triangles are recorded as strips while they are added:
// a triangle continues the strip of the one before when two of its corners
// are the last edge that strip emitted, and is then stored with the vertex
// it adds first. The last edge depends on the last two triangles only:
//   previous continues, the one before continues: {p.0, q.0};
//   previous continues, the one before starts:    {p.0, q.2};
//   previous starts:                              {p.1, p.2}.
// The first two triangles of a mesh always start strips. Drawn as strips,
// every triangle covers exactly the three vertices it was added with.
// Capacity is fixed at construction (1..100000 records of each kind); a
// full mesh drops further additions. Adding costs a few comparisons.
#include "scene/mesh.h"

namespace starbloom {

namespace {

int clampCapacity(int capacity) {
  if (capacity < MESH_MIN_CAPACITY) return MESH_MIN_CAPACITY;
  if (capacity > MESH_MAX_CAPACITY) return MESH_MAX_CAPACITY;
  return capacity;
}

} // namespace

Mesh::Mesh(int requested)
    : capacity(clampCapacity(requested)),
      vertices(static_cast<std::size_t>(capacity)),
      triangles(static_cast<std::size_t>(capacity)),
      stripFlags(static_cast<std::size_t>(capacity), 0) {}

std::int32_t Mesh::addVertex(float x, float y, float z, float nx, float ny, float nz, float s,
                             float t, float r, float g, float b, float a) {
  if (vertexCount >= capacity) return vertexCount - 1;
  MeshVertex& v = vertices[static_cast<std::size_t>(vertexCount)];
  v.material = currentMaterial;
  v.position = Vec3{x, y, z};
  v.normal = Vec3{nx, ny, nz};
  v.texCoord[0] = s;
  v.texCoord[1] = t;
  v.colour = Color4{r, g, b, a};
  changed();
  return vertexCount++;
}

std::int32_t Mesh::addTriangle(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (triangleCount >= capacity) return triangleCount - 1;
  const std::size_t index = static_cast<std::size_t>(triangleCount);
  MeshTriangle& out = triangles[index];
  out.corners[0] = a;
  out.corners[1] = b;
  out.corners[2] = c;
  stripFlags[index] = 0;
  if (triangleCount >= 2) {
    const MeshTriangle& p = triangles[index - 1];
    const MeshTriangle& q = triangles[index - 2];
    std::int32_t e0 = 0;
    std::int32_t e1 = 0;
    if (stripFlags[index - 1] != 0) {
      e0 = p.corners[0];
      e1 = stripFlags[index - 2] != 0 ? q.corners[0] : q.corners[2];
    } else {
      e0 = p.corners[1];
      e1 = p.corners[2];
    }
    const auto onEdge = [e0, e1](std::int32_t v) { return v == e0 || v == e1; };
    // The corner off the edge leads; the other two keep their order.
    if (onEdge(b) && onEdge(c) && b != c && !onEdge(a)) {
      stripFlags[index] = 1;
    } else if (onEdge(a) && onEdge(c) && a != c && !onEdge(b)) {
      out.corners[0] = b;
      out.corners[1] = a;
      out.corners[2] = c;
      stripFlags[index] = 1;
    } else if (onEdge(a) && onEdge(b) && a != b && !onEdge(c)) {
      out.corners[0] = c;
      out.corners[1] = a;
      out.corners[2] = b;
      stripFlags[index] = 1;
    }
  }
  changed();
  return triangleCount++;
}

bool Mesh::setMaterialFlags(bool lit, bool blended, bool textured) {
  Material& m = materials[currentMaterial];
  m.lit = lit;
  m.blended = blended;
  m.textured = textured;
  return true;
}

bool Mesh::setMaterialTexture(Texture* texture) {
  materials[currentMaterial].texture = texture;
  materials[currentMaterial].textured = true;
  return true;
}

bool Mesh::setMaterialColours(MaterialColours colours) {
  materials[currentMaterial].colours = colours;
  return true;
}

bool Mesh::translate(Vec3 offset) {
  for (std::int32_t i = 0; i < vertexCount; ++i) {
    MeshVertex& v = vertices[static_cast<std::size_t>(i)];
    if (v.material == currentMaterial) v.position += offset;
  }
  changed();
  return true;
}

bool Mesh::copyTo(Mesh& destination) const {
  if (&destination == this) return true;
  destination.capacity = capacity;
  destination.vertexCount = vertexCount;
  destination.triangleCount = triangleCount;
  destination.vertices = vertices;
  destination.triangles = triangles;
  destination.stripFlags = stripFlags;
  for (int i = 0; i < MATERIAL_SLOTS; ++i) destination.materials[i] = materials[i];
  destination.currentMaterial = currentMaterial;
  destination.viewDistance = viewDistance;
  destination.revision = revision;
  return true;
}

} // namespace starbloom
