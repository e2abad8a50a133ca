#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "scene/mesh.h"

namespace starbloom {
namespace {

using Tri = std::array<int, 3>;

// The triangles that drawing the recorded strips emits, each as its sorted
// vertex triple: every three consecutive vertices of a strip.
std::vector<Tri> drawnTriangles(const Mesh& mesh) {
  std::vector<Tri> out;
  for (int t = 0; t < mesh.triangleCount; ++t) {
    std::vector<int> strip(mesh.triangles[t].corners, mesh.triangles[t].corners + 3);
    while (t + 1 < mesh.triangleCount && mesh.stripFlags[t + 1] != 0) {
      ++t;
      strip.push_back(mesh.triangles[t].corners[0]);
    }
    for (std::size_t k = 2; k < strip.size(); ++k) {
      Tri tri{strip[k - 2], strip[k - 1], strip[k]};
      std::sort(tri.begin(), tri.end());
      out.push_back(tri);
    }
  }
  return out;
}

void addVertices(Mesh& mesh, int n) {
  for (int i = 0; i < n; ++i) {
    mesh.addVertex(static_cast<float>(i), 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1);
  }
}

TEST(Mesh, CapacityIsClampedAndAFullMeshDropsFurtherAdditions) {
  const struct { int asked, capacity; } cases[] = {
      {0, 1}, {-7, 1}, {1, 1}, {5, 5}, {250000, 100000}};
  for (const auto& c : cases) {
    Mesh mesh(c.asked);
    EXPECT_EQ(mesh.capacity, c.capacity) << c.asked;
    EXPECT_EQ(mesh.vertices.size(), static_cast<std::size_t>(c.capacity));
    if (c.capacity > 5) continue;
    addVertices(mesh, c.capacity);
    EXPECT_EQ(mesh.addVertex(99, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0), c.capacity - 1);
    EXPECT_EQ(mesh.vertexCount, c.capacity);
    EXPECT_EQ(mesh.vertices[c.capacity - 1].position.x, static_cast<float>(c.capacity - 1));
    for (int t = 0; t < c.capacity; ++t) EXPECT_EQ(mesh.addTriangle(0, 0, 0), t);
    EXPECT_EQ(mesh.addTriangle(7, 8, 9), c.capacity - 1);
    EXPECT_EQ(mesh.triangleCount, c.capacity);
    EXPECT_EQ(mesh.triangles[c.capacity - 1].corners[0], 0);
  }
}

// A column of quads added as (L[j], R[j], L[j+1]), (L[j+1], R[j], R[j+1]):
// the first two start strips, the third starts one, every later one
// continues it; a continuing triangle leads with the vertex it adds.
TEST(Mesh, GridColumnIsRecordedAsStripsThatDrawExactlyTheAddedTriangles) {
  Mesh mesh(64);
  addVertices(mesh, 20);
  std::vector<Tri> added;
  for (int j = 0; j < 8; ++j) {
    const int l0 = 2 * j, r0 = 2 * j + 1, l1 = 2 * j + 2, r1 = 2 * j + 3;
    for (const Tri& t : {Tri{l0, r0, l1}, Tri{l1, r0, r1}}) {
      mesh.addTriangle(t[0], t[1], t[2]);
      Tri sorted = t;
      std::sort(sorted.begin(), sorted.end());
      added.push_back(sorted);
    }
  }
  const std::vector<int> flags(mesh.stripFlags.begin(), mesh.stripFlags.begin() + mesh.triangleCount);
  std::vector<int> expected(16, 1);
  expected[0] = expected[1] = expected[2] = 0;
  EXPECT_EQ(flags, expected);
  EXPECT_EQ(std::vector<int>(mesh.triangles[3].corners, mesh.triangles[3].corners + 3),
            std::vector<int>({5, 4, 3})); // (L2, R1, R2): adds R2, then L2, R1
  EXPECT_EQ(drawnTriangles(mesh), added);

  // The three cases of the last edge, with corners in any argument order.
  Mesh other(16);
  addVertices(other, 10);
  const Tri sequence[] = {{0, 1, 2}, {5, 6, 7}, {6, 8, 7}, {9, 8, 7}, {8, 9, 3}, {4, 3, 9}};
  const int wantFlags[] = {0, 0, 1, 1, 1, 1};
  std::vector<Tri> want;
  for (const Tri& t : sequence) {
    other.addTriangle(t[0], t[1], t[2]);
    Tri sorted = t;
    std::sort(sorted.begin(), sorted.end());
    want.push_back(sorted);
  }
  for (int i = 0; i < 6; ++i) EXPECT_EQ(other.stripFlags[i], wantFlags[i]) << "triangle " << i;
  EXPECT_EQ(drawnTriangles(other), want);
}

TEST(Mesh, CopyIsDeepAndTranslateMovesTheCurrentMaterialOnly) {
  Mesh empty(4);
  empty.translate(Vec3{1, 2, 3});
  EXPECT_EQ(empty.vertexCount, 0);
  EXPECT_EQ(empty.vertices[0].position.x, 0.0f);

  Mesh source(8);
  addVertices(source, 3);
  source.addTriangle(0, 1, 2);
  source.vertices[2].material = 1; // another material: not moved
  source.translate(Vec3{0, 5, 0});
  EXPECT_EQ(source.vertices[0].position.y, 5.0f);
  EXPECT_EQ(source.vertices[2].position.y, 0.0f);

  Mesh copy(1);
  source.copyTo(copy);
  EXPECT_EQ(copy.capacity, 8);
  EXPECT_EQ(copy.vertexCount, 3);
  EXPECT_EQ(copy.triangleCount, 1);
  EXPECT_NE(copy.vertices.data(), source.vertices.data());
  copy.setMaterialFlags(true, true, false);
  copy.vertices[0].position.x = 42.0f;
  copy.addTriangle(1, 2, 0);
  EXPECT_FALSE(source.materials[0].blended);
  EXPECT_EQ(source.vertices[0].position.x, 0.0f);
  EXPECT_EQ(source.triangleCount, 1);
}

} // namespace
} // namespace starbloom
