// Landscape generation, once at start-up with land on. Heights come from
// midpoint displacement: a 3 x 3 grid of zeros grows round by round to 5,
// 9, 17, 33, 65 and 129 points a side; each round spreads the old points
// onto the even ones, then fills the odd points in three passes (odd
// columns of even rows, even columns of odd rows, then the centres from
// their four new neighbours), each point with its own noise of up to
// +-0.05 x the round's amplitude, one generator call per point in pass
// order; the amplitude starts at the side length S and halves each round,
// so every height stays within +-0.1 x S. Rounds stop at the first grid of
// at least N points, of which the top-left N x N are used. Inner normals
// take c / 2 as their upward term (c the cell size), so slopes light as if
// four times steeper; the edge is flat-lit with (0, 1, 0). Each band of
// quads between two grid columns becomes one triangle strip.
//
// Bad settings stay safe: N is held within 1..129, so the grid of 210
// points a side is never exceeded, and a side length of 0 or less gives a
// flat landscape lit straight up instead of normals of a zero vector.
//
// Cost: at N = 100, 10 000 vertices and 19 602 triangles, once.
#include "scene/landscape.h"

#include <vector>

#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {

namespace {

constexpr int FIRST_GRID = 3;

// Heights indexed [j][i], j along x, i along z.
struct HeightGrid {
  std::vector<float> h = std::vector<float>(HEIGHT_GRID_SIZE * HEIGHT_GRID_SIZE, 0.0f);
  float& at(int j, int i) { return h[static_cast<std::size_t>(j * HEIGHT_GRID_SIZE + i)]; }
};

float noise(float amplitude) {
  return (static_cast<float>(rand15()) / 32768.0f - 0.5f) * 0.1f * amplitude;
}

// Displacement rounds until the grid has at least n points a side.
void displace(HeightGrid& g, int n, float side) {
  int w = FIRST_GRID;
  float amplitude = side;
  for (;;) {
    const int m = 2 * w - 1;
    for (int a = w - 1; a >= 0; --a) { // back to front: the spread never overwrites a source
      for (int b = w - 1; b >= 0; --b) g.at(2 * a, 2 * b) = g.at(a, b);
    }
    for (int i = 0; i < m; i += 2) {
      for (int j = 1; j < m - 1; j += 2) {
        g.at(j, i) = (g.at(j - 1, i) + g.at(j + 1, i)) / 2.0f + noise(amplitude);
      }
    }
    for (int i = 1; i < m - 1; i += 2) {
      for (int j = 0; j < m; j += 2) {
        g.at(j, i) = (g.at(j, i - 1) + g.at(j, i + 1)) / 2.0f + noise(amplitude);
      }
    }
    for (int i = 1; i < m - 1; i += 2) {
      for (int j = 1; j < m - 1; j += 2) {
        g.at(j, i) = (g.at(j - 1, i) + g.at(j + 1, i) + g.at(j, i - 1) + g.at(j, i + 1)) / 4.0f +
                     noise(amplitude);
      }
    }
    amplitude = amplitude / 2.0f;
    w = m;
    if (m >= n) return;
  }
}

} // namespace

Color4 landscapeColour(int lcolor) {
  switch (lcolor) {
    case 0:
      return Color4{1.0f, 0.7f, 0.7f, 1.0f};
    case 1:
      return Color4{0.7f, 1.0f, 0.7f, 1.0f};
    case 2:
      return Color4{0.7f, 0.7f, 1.0f, 1.0f};
    default:
      return Color4{0.8f, 0.8f, 0.8f, 1.0f};
  }
}

float landscapeFogEnd(int landsi) { return static_cast<float>(landsi) * 0.6666667f + 40.0f; }

bool generateLandscape(const Settings& settings, Texture* ground, Mesh& main, Mesh& second,
                       CoordFrame& frame, LightTable& lights, std::int32_t& lightSlot) {
  if (!settings.land) return false;
  int n = settings.landres;
  if (n < 1) n = 1;
  if (n > LARGEST_LANDSCAPE_GRID) n = LARGEST_LANDSCAPE_GRID;
  const float side = static_cast<float>(settings.landsi);
  const bool flat = !(side > 0.0f);

  HeightGrid grid;
  displace(grid, n, flat ? 0.0f : side);

  const float c = side / static_cast<float>(n);
  std::vector<std::int32_t> index(static_cast<std::size_t>(n * n), 0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      Vec3 normal{0.0f, 1.0f, 0.0f};
      const bool edge = j == 0 || i == 0 || j == n - 1 || i == n - 1;
      if (!edge && !flat) {
        normal = normalize(Vec3{-(grid.at(j + 1, i) - grid.at(j - 1, i)), c / 2.0f,
                                -(grid.at(j, i + 1) - grid.at(j, i - 1))});
      }
      const float x = static_cast<float>(j) * c;
      const float z = static_cast<float>(i) * c;
      index[static_cast<std::size_t>(j * n + i)] =
          main.addVertex(x, grid.at(j, i), z, normal.x, normal.y, normal.z,
                         0.6f * static_cast<float>(j) * c, 0.6f * static_cast<float>(i) * c, 0.0f,
                         0.0f, 1.0f, 0.0f);
    }
  }
  const auto v = [&index, n](int j, int i) { return index[static_cast<std::size_t>(j * n + i)]; };
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < n - 1; ++j) {
      main.addTriangle(v(j, i - 1), v(j, i), v(j + 1, i - 1));
      main.addTriangle(v(j + 1, i - 1), v(j, i), v(j + 1, i));
    }
  }
  main.translate(Vec3{-side / 2.0f, 0.0f, -side / 2.0f});

  if (settings.tex) {
    main.setMaterialTexture(ground);
    main.setMaterialFlags(true, false, true);
  } else {
    main.setMaterialFlags(true, false, false);
  }
  main.copyTo(second);
  frame.setIdentityAxes();
  frame.origin = Vec3{};

  MaterialColours colours;
  colours.colour = landscapeColour(settings.lcolor);
  colours.specular = Color4{0.0f, 0.0f, 0.0f, 1.0f};
  colours.shininess = 5.0f;
  colours.ambientFactor = 0.3f;
  main.setMaterialColours(colours);
  second.setMaterialFlags(true, true, false);
  second.setMaterialColours(colours);

  LightSource light;
  light.resetLight(true);
  light.position = Vec3{side / 2.0f, 40.0f, 0.0f};
  light.colour.r = 1.0f;
  light.colour.g = 1.0f;
  light.colour.b = 1.0f;
  light.ambientFactor = 0.1f;
  light.setAttenuation(1.0f, 0.0f, 0.0f);
  lightSlot = lights.addLight(light);
  return true;
}

} // namespace starbloom
