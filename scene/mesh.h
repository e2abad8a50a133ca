#pragma once
// Triangle meshes with materials: vertices and triangles in arrays of a
// fixed capacity, recorded as triangle strips while they are added, with
// eight material slots. Plain data: the drawing arrays made from a mesh are
// in mesh_strips, the drawing in mesh_render.
#include <cstdint>
#include <vector>

#include "math/vector.h"

namespace starbloom {

struct Texture;

constexpr int MESH_MIN_CAPACITY = 1;
constexpr int MESH_MAX_CAPACITY = 100000;
constexpr int MESH_DEFAULT_CAPACITY = 1000;
constexpr int MATERIAL_SLOTS = 8;
constexpr float MESH_VIEW_DISTANCE = 1000.0f;

struct MeshVertex {
  std::int32_t material = 0; // slot current when the vertex was added
  Vec3 position;
  Vec3 normal;
  Color4 colour;
  float texCoord[2] = {0.0f, 0.0f}; // s, t
};

// A strip start holds its corners in drawing order; a continuing triangle
// holds the vertex it adds first, then its other two corners.
struct MeshTriangle {
  std::int32_t corners[3] = {0, 0, 0};
};

struct MaterialColours {
  Color4 colour;              // diffuse; ambient = colour * ambientFactor
  Color4 specular;
  float shininess = 1.0f;
  float ambientFactor = 0.0f;
};

struct Material {
  bool textured = false;
  bool lit = true;
  bool blended = false;
  bool twoSided = false;
  MaterialColours colours;
  Texture* texture = nullptr; // not owned
  std::int32_t blendMode = 1; // 1..4, used while blended
};

class Mesh {
 public:
  // Capacity clamped to 1..100000; all arrays are allocated here, once.
  explicit Mesh(int capacity = MESH_DEFAULT_CAPACITY);

  // The new vertex's index; a full mesh stores nothing and answers the last.
  std::int32_t addVertex(float x, float y, float z, float nx, float ny, float nz, float s, float t,
                         float r, float g, float b, float a);
  // Records (a, b, c) as a strip start, or as the continuation of the strip
  // of the triangle before when it shares that strip's last edge. The new
  // triangle's index; a full mesh stores nothing and answers the last.
  std::int32_t addTriangle(std::int32_t a, std::int32_t b, std::int32_t c);
  bool setMaterialFlags(bool lit, bool blended, bool textured);
  bool setMaterialTexture(Texture* texture);
  bool setMaterialColours(MaterialColours colours);
  // Moves every vertex of the current material by offset.
  bool translate(Vec3 offset);
  // Makes destination a deep copy of this mesh: same capacity, contents and
  // materials, arrays of its own.
  bool copyTo(Mesh& destination) const;

  std::int32_t capacity = 0;
  std::int32_t vertexCount = 0;
  std::int32_t triangleCount = 0;
  std::vector<MeshVertex> vertices;     // capacity records
  std::vector<MeshTriangle> triangles;  // capacity records
  std::vector<std::uint8_t> stripFlags; // 0 starts a strip, 1 continues it
  Material materials[MATERIAL_SLOTS];
  std::int32_t currentMaterial = 0;
  float viewDistance = MESH_VIEW_DISTANCE;
  // Counts the changes made through the methods above; code that writes the
  // arrays directly calls changed() before the mesh is drawn again.
  std::uint32_t revision = 0;
  void changed() { ++revision; }
};

} // namespace starbloom
