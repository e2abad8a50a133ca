#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "math/random.h"
#include "scene/landscape.h"
#include "scene/texture.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

struct Generated {
  std::unique_ptr<Mesh> main = std::make_unique<Mesh>(LANDSCAPE_MESH_CAPACITY);
  std::unique_ptr<Mesh> second = std::make_unique<Mesh>();
  CoordFrame frame;
  LightTable lights;
  std::int32_t slot = -1;
  Texture ground;
  bool made = false;
};

std::unique_ptr<Generated> generate(int landres, int landsi, std::uint32_t seed = 7, int lcolor = 1,
                                    bool tex = true, bool land = true) {
  Settings s;
  s.land = land;
  s.landres = landres;
  s.landsi = landsi;
  s.lcolor = lcolor;
  s.tex = tex;
  seedRandom(seed);
  auto g = std::make_unique<Generated>();
  g->made = generateLandscape(s, &g->ground, *g->main, *g->second, g->frame, g->lights, g->slot);
  return g;
}

// Sizes, extent and heights for grids the dialog offers and beyond: N x N
// vertices, 2 (N - 1)^2 triangles up to the mesh's capacity, x and z from
// -S/2 to S/2 - S/N, heights within 0.1 S, normals of unit length facing up.
TEST(Landscape, GridSizesExtentHeightsAndNormals) {
  const struct { int landres, landsi, vertices, triangles, grid; } cases[] = {
      {24, 20, 576, 1058, 24},   {33, 20, 1089, 2048, 33},  {100, 100, 10000, 19602, 100},
      {3, 20, 9, 8, 3},          {1, 20, 1, 0, 1},          {0, 20, 1, 0, 1},
      {-5, 20, 1, 0, 1},         {100000, 50, 16641, 22000, 129}, // held within the height grid
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.landres);
    const auto g = generate(c.landres, c.landsi);
    ASSERT_TRUE(g->made);
    const Mesh& m = *g->main;
    EXPECT_EQ(m.vertexCount, c.vertices);
    EXPECT_EQ(m.triangleCount, c.triangles);
    const float s = static_cast<float>(c.landsi), cell = s / static_cast<float>(c.grid);
    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f, maxH = 0.0f;
    for (int i = 0; i < m.vertexCount; ++i) {
      const MeshVertex& v = m.vertices[i];
      minX = std::min(minX, v.position.x);
      maxX = std::max(maxX, v.position.x);
      minZ = std::min(minZ, v.position.z);
      maxZ = std::max(maxZ, v.position.z);
      maxH = std::max(maxH, std::fabs(v.position.y));
      ASSERT_NEAR(length(v.normal), 1.0f, 1e-5f) << i;
      ASSERT_GT(v.normal.y, 0.0f) << i;
    }
    EXPECT_NEAR(minX, -s / 2, 1e-4f);
    EXPECT_NEAR(minZ, -s / 2, 1e-4f);
    EXPECT_NEAR(maxX, s / 2 - cell, 1e-3f);
    EXPECT_NEAR(maxZ, s / 2 - cell, 1e-3f);
    EXPECT_LE(maxH, 0.1f * s);
    if (c.grid > 3) {
      EXPECT_GT(maxH, 0.01f * s); // not flat
    }
  }
  EXPECT_NEAR(landscapeFogEnd(20), 53.3333f, 1e-3f);
}

// On N = 33 the first and last rows and columns are lit straight up and
// the inner points lean with the slope; a side of 0 or less is flat, lit
// straight up everywhere, with no NaN.
TEST(Landscape, EdgesAndFlatLandscapesAreLitStraightUp) {
  const auto g = generate(33, 20);
  int inner = 0, tilted = 0;
  for (int i = 0; i < 33; ++i) {
    for (int j = 0; j < 33; ++j) {
      const MeshVertex& v = g->main->vertices[i * 33 + j];
      const bool edge = i == 0 || j == 0 || i == 32 || j == 32;
      if (edge) {
        ASSERT_EQ(v.normal.y, 1.0f) << j << "," << i;
      } else {
        inner += 1;
        tilted += v.normal.y < 0.999f;
      }
    }
  }
  EXPECT_GT(tilted, inner / 2);
  for (const int side : {0, -20}) {
    const auto flat = generate(24, side);
    for (int i = 0; i < flat->main->vertexCount; ++i) {
      const MeshVertex& v = flat->main->vertices[i];
      ASSERT_EQ(v.normal.y, 1.0f) << side;
      ASSERT_EQ(v.position.y, 0.0f) << side;
      ASSERT_TRUE(std::isfinite(v.position.x + v.position.z)) << side;
    }
  }
}

// Materials, the copy, the light in slot 0 and the colours by lcolor; two
// seeds give two landscapes; land off makes nothing.
TEST(Landscape, MaterialsCopyLightAndColours) {
  const struct { int lcolor; Color4 colour; } colours[] = {
      {0, {1.0f, 0.7f, 0.7f, 1.0f}}, {1, {0.7f, 1.0f, 0.7f, 1.0f}},
      {2, {0.7f, 0.7f, 1.0f, 1.0f}}, {3, {0.8f, 0.8f, 0.8f, 1.0f}}, {7, {0.8f, 0.8f, 0.8f, 1.0f}}};
  for (const auto& c : colours) {
    const auto g = generate(24, 20, 7, c.lcolor);
    const Material& m = g->main->materials[0];
    EXPECT_EQ(m.colours.colour.r * 100 + m.colours.colour.g * 10 + m.colours.colour.b,
              c.colour.r * 100 + c.colour.g * 10 + c.colour.b) << c.lcolor;
  }
  const auto g = generate(24, 20);
  const Material& main = g->main->materials[0];
  const Material& second = g->second->materials[0];
  EXPECT_TRUE(main.lit && main.textured && !main.blended);
  EXPECT_EQ(main.texture, &g->ground);
  EXPECT_EQ(main.colours.ambientFactor, 0.3f);
  EXPECT_EQ(main.colours.shininess, 5.0f);
  EXPECT_EQ(main.colours.specular.a, 1.0f);
  EXPECT_TRUE(second.lit && second.blended && !second.textured);
  EXPECT_EQ(second.blendMode, 1);
  EXPECT_EQ(second.colours.colour.g, 1.0f);
  EXPECT_EQ(g->second->vertexCount, 576);
  EXPECT_EQ(g->second->triangleCount, 1058);
  EXPECT_EQ(g->slot, 0);
  LightSource light;
  ASSERT_TRUE(g->lights.getLight(0, light));
  EXPECT_EQ(std::vector<float>({light.position.x, light.position.y, light.position.z, light.colour.r,
                                light.ambientFactor, light.attenuation[0]}),
            std::vector<float>({10.0f, 40.0f, 0.0f, 1.0f, 0.1f, 1.0f}));
  EXPECT_EQ(g->frame.xAxis.x * g->frame.yAxis.y * g->frame.zAxis.z, 1.0f);

  const auto plain = generate(24, 20, 7, 1, false);
  EXPECT_FALSE(plain->main->materials[0].textured);
  EXPECT_GT(plain->main->vertices[575].texCoord[0], 0.0f); // coordinates all the same

  const auto other = generate(24, 20, 8);
  int differ = 0;
  for (int i = 0; i < 576; ++i) differ += other->main->vertices[i].position.y != g->main->vertices[i].position.y;
  EXPECT_GT(differ, 400);

  const auto none = generate(24, 20, 7, 1, true, false);
  EXPECT_FALSE(none->made);
  EXPECT_EQ(none->main->vertexCount, 0);
  EXPECT_FALSE(none->lights.slots[0].inUse);
}

} // namespace
} // namespace starbloom
