// make_preview: draws the program's emblem, a glowing flower on black, and
// writes it three times into the folder given on the command line:
//   105_preview.png             100 x 100 paletted PNG, the preview picture
//   icons/starbloom-32.png       32 x 32  RGBA, the application icon
//   icons/starbloom-128.png     128 x 128 RGBA, the application icon
// The build compiles every resources/<id>_<name>.png into the executable; the
// icons sit one folder down so that they are installed, not compiled in. Run
// it again only when the emblem is meant to change:  make_preview resources
//
// The emblem is one function of a point of the unit square (y down): opaque
// shapes (stem, two leaves, a violet disc with a green heart) painted over
// black, then additive light (the disc's violet halo, a ring of white
// four-pointed sparkles) on top. Each pixel averages 6 x 6 samples, which
// smooths every edge at any size. The light is kept premultiplied, as it
// would show over black; an icon's alpha is the larger of the shapes'
// coverage and the brightest channel, so its halo fades out over any
// background and still shows exactly the picture on black.
//
// The preview is reduced to at most 256 colours by median cut and written as
// a paletted PNG (palette_png.h).
//
// Cost: 36 samples per pixel, each measured against a 64-point stem; a
// second or two for the three pictures.
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "light.h"
#include "palette_png.h"

namespace {

constexpr double PI = 3.14159265358979323846;

struct Point {
  double x = 0.0; // unit square, 0 left .. 1 right
  double y = 0.0; // unit square, 0 top .. 1 bottom
};

using picture::added;
using picture::Light;
using picture::mixed;
using picture::rgb;
using picture::scaled;
using picture::smoothStep;

// The flower head: a disc with twelve shallow petal lobes around a green heart.
constexpr Point CENTRE{0.50, 0.35};
constexpr double DISC_RADIUS = 0.165;   // mean petal edge
constexpr double LOBE_DEPTH = 0.07;     // petal edge swing, fraction of the radius
constexpr int PETALS = 12;
constexpr double HEART_RADIUS = 0.072;  // the green heart
constexpr double HALO_FALLOFF = 0.048;  // violet halo: e-fold distance outside the disc
constexpr double HALO_STRENGTH = 0.60;

// Sparkles on a ring around the head, none straight below it (the stem).
constexpr double SPARKLE_RING = 0.250;
constexpr int SPARKLES = 10;

// The stem: a quadratic Bezier from under the head to just above the bottom.
constexpr Point STEM_FROM{0.50, 0.45};
constexpr Point STEM_BEND{0.545, 0.74};
constexpr Point STEM_TO{0.455, 0.975};
constexpr double STEM_HALF_WIDTH = 0.016;
constexpr int STEM_POINTS = 64;

struct Leaf {
  double along = 0.0;     // where it leaves the stem, 0..1 of the curve
  double angle = 0.0;     // direction of its axis, radians, y down
  double length = 0.0;    // unit square
  double halfWidth = 0.0; // at its widest
  double bend = 0.0;      // tip's sideways drop, fraction of the length; sign by side
};
constexpr Leaf LEAVES[] = {
    {0.42, -0.55, 0.21, 0.050, 0.18},          // right, rising
    {0.66, PI + 0.50, 0.20, 0.048, -0.18},     // left, rising
};

Point bezier(Point a, Point b, Point c, double t) {
  const double u = 1.0 - t;
  return {u * u * a.x + 2.0 * u * t * b.x + t * t * c.x,
          u * u * a.y + 2.0 * u * t * b.y + t * t * c.y};
}

struct Stem {
  std::array<Point, STEM_POINTS> points{};
};

Stem makeStem() {
  Stem s;
  for (int i = 0; i < STEM_POINTS; ++i) {
    s.points[static_cast<std::size_t>(i)] =
        bezier(STEM_FROM, STEM_BEND, STEM_TO, static_cast<double>(i) / (STEM_POINTS - 1));
  }
  return s;
}

// Distance from p to the stem's polyline, and the same distance signed by
// the side p lies on.
struct StemHit {
  double distance = 1e9; // unit square
  double side = 0.0;     // unit square, positive on the picture's left
};

StemHit stemDistance(const Stem& stem, Point p) {
  StemHit best;
  for (std::size_t i = 1; i < stem.points.size(); ++i) {
    const Point a = stem.points[i - 1];
    const Point b = stem.points[i];
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * ex + (p.y - a.y) * ey) / (ex * ex + ey * ey), 0.0, 1.0);
    const double dx = p.x - (a.x + t * ex), dy = p.y - (a.y + t * ey);
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < best.distance) {
      best.distance = d;
      best.side = (ex * dy - ey * dx) / std::sqrt(ex * ex + ey * ey);
    }
  }
  return best;
}

// A leaf's colour at p, or nothing (false) when p lies outside it. The blade
// is widest a little before halfway and pointed at both ends; its axis bends
// so the tip droops, and a darker midrib runs along it.
bool leafColour(const Leaf& leaf, Point base, Point p, Light& out) {
  const double cx = std::cos(leaf.angle), sy = std::sin(leaf.angle);
  const double dx = p.x - base.x, dy = p.y - base.y;
  const double u = dx * cx + dy * sy;           // along the axis
  const double t = u / leaf.length;             // 0 at the stem, 1 at the tip
  if (t <= 0.0 || t >= 1.0) return false;
  const double v = -dx * sy + dy * cx - leaf.bend * leaf.length * t * t; // across the bent axis
  const double width = leaf.halfWidth * std::pow(std::sin(PI * std::pow(t, 0.8)), 0.9);
  const double across = std::fabs(v) / width;   // 0 on the midrib, 1 at the rim
  if (across >= 1.0) return false;
  Light c = mixed(rgb(34, 128, 52), rgb(118, 226, 104), smoothStep(0.0, 1.0, t));
  c = scaled(c, 0.78 + 0.22 * (1.0 - across * across));
  if (std::fabs(v) < 0.0045 && t < 0.9) c = scaled(c, 0.62);
  out = c;
  return true;
}

// Petal edge radius in direction theta.
double petalEdge(double theta) {
  return DISC_RADIUS * (1.0 + LOBE_DEPTH * std::cos(PETALS * theta));
}

Light headColour(double r, double theta) {
  if (r < HEART_RADIUS) {
    // Bright lime at the middle, deepening to green at the heart's rim.
    const double t = r / HEART_RADIUS;
    Light c = mixed(rgb(236, 255, 196), rgb(64, 210, 84), smoothStep(0.0, 1.0, t));
    return scaled(c, 1.0 - 0.25 * smoothStep(0.75, 1.0, t));
  }
  // Violet, light inside and deep at the petal edge, with a lighter ray down
  // the middle of every petal.
  const double t = (r - HEART_RADIUS) / (petalEdge(theta) - HEART_RADIUS);
  Light c = mixed(rgb(226, 168, 255), rgb(122, 40, 206), smoothStep(0.0, 1.0, t));
  const double ray = 0.5 + 0.5 * std::cos(PETALS * theta);
  return scaled(c, 0.86 + 0.14 * ray);
}

// One sparkle: a round core and four thin rays, white.
double sparkle(Point centre, double size, Point p) {
  const double dx = std::fabs(p.x - centre.x), dy = std::fabs(p.y - centre.y);
  const double core = std::exp(-(dx * dx + dy * dy) / (0.011 * 0.011 * size * size));
  const double armLength = 0.034 * size, armWidth = 0.0045;
  const double arms = std::exp(-dx / armLength - (dy * dy) / (armWidth * armWidth)) +
                      std::exp(-dy / armLength - (dx * dx) / (armWidth * armWidth));
  return core + 0.85 * arms;
}

struct Sample {
  Light light;           // premultiplied, as over black
  double coverage = 0.0; // 1 where an opaque shape lies
};

struct Motif {
  Stem stem = makeStem();
  std::array<Point, std::size(LEAVES)> leafBases{};
};

Motif makeMotif() {
  Motif m;
  for (std::size_t i = 0; i < std::size(LEAVES); ++i) {
    m.leafBases[i] = bezier(STEM_FROM, STEM_BEND, STEM_TO, LEAVES[i].along);
  }
  return m;
}

Sample shade(const Motif& motif, Point p) {
  Sample s;
  // Opaque shapes, back to front: leaves, stem, head.
  for (std::size_t i = 0; i < std::size(LEAVES); ++i) {
    Light c;
    if (leafColour(LEAVES[i], motif.leafBases[i], p, c)) {
      s.light = c;
      s.coverage = 1.0;
    }
  }
  const StemHit stem = stemDistance(motif.stem, p);
  if (stem.distance < STEM_HALF_WIDTH) {
    // Rounded, lit from the right: brightest a little right of the middle.
    const double off = (stem.side / STEM_HALF_WIDTH + 0.3) / 1.3; // -0.54..1 across
    s.light = scaled(rgb(70, 186, 78), 0.70 + 0.30 * (1.0 - off * off));
    s.coverage = 1.0;
  }
  const double dx = p.x - CENTRE.x, dy = p.y - CENTRE.y;
  const double r = std::sqrt(dx * dx + dy * dy);
  const double theta = std::atan2(dy, dx);
  const double edge = petalEdge(theta);
  if (r < edge) {
    s.light = headColour(r, theta);
    s.coverage = 1.0;
  } else {
    const double halo = HALO_STRENGTH * std::exp(-(r - edge) / HALO_FALLOFF);
    s.light = added(s.light, scaled(rgb(150, 70, 235), halo));
  }
  // Light on top: the sparkles.
  for (int k = 0; k < SPARKLES; ++k) {
    const double a = PI / 2.0 + PI / SPARKLES + 2.0 * PI * k / SPARKLES;
    const Point at{CENTRE.x + SPARKLE_RING * std::cos(a), CENTRE.y + SPARKLE_RING * std::sin(a)};
    const double size = (k % 2 == 0) ? 1.0 : 0.7;
    s.light = added(s.light, scaled(Light{1.0, 1.0, 1.0}, sparkle(at, size, p)));
  }
  return s;
}

std::uint8_t toByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value * 255.0), 0L, 255L));
}

// The emblem at size x size pixels as RGBA, alpha as described above.
std::vector<std::uint8_t> render(const Motif& motif, int size) {
  constexpr int GRID = 6; // samples per pixel side
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size * size) * 4u);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Light sum;
      double coverage = 0.0;
      for (int j = 0; j < GRID; ++j) {
        for (int i = 0; i < GRID; ++i) {
          const Point p{(x + (i + 0.5) / GRID) / size, (y + (j + 0.5) / GRID) / size};
          const Sample s = shade(motif, p);
          sum = added(sum, Light{std::min(s.light.r, 1.0), std::min(s.light.g, 1.0),
                                 std::min(s.light.b, 1.0)});
          coverage += s.coverage;
        }
      }
      const Light c = scaled(sum, 1.0 / (GRID * GRID));
      const double alpha =
          std::clamp(std::max({coverage / (GRID * GRID), c.r, c.g, c.b}), 0.0, 1.0);
      std::uint8_t* px = &rgba[static_cast<std::size_t>(y * size + x) * 4u];
      const double unpremultiply = alpha > 0.0 ? 1.0 / alpha : 0.0;
      px[0] = toByte(c.r * unpremultiply);
      px[1] = toByte(c.g * unpremultiply);
      px[2] = toByte(c.b * unpremultiply);
      px[3] = toByte(alpha);
    }
  }
  return rgba;
}

// The picture as it shows over black: RGB, premultiplied back.
std::vector<std::uint8_t> overBlack(const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> rgbOut;
  rgbOut.reserve(rgba.size() / 4u * 3u);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    for (std::size_t c = 0; c < 3; ++c) {
      rgbOut.push_back(static_cast<std::uint8_t>((rgba[i + c] * rgba[i + 3] + 127) / 255));
    }
  }
  return rgbOut;
}

bool report(bool ok, const std::string& path) {
  if (ok) {
    std::printf("%s\n", path.c_str());
  } else {
    std::fprintf(stderr, "make_preview: cannot write %s\n", path.c_str());
  }
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_preview RESOURCES_DIR\n");
    return 2;
  }
  const std::string folder = argv[1];
  const Motif motif = makeMotif();

  constexpr int PREVIEW_SIZE = 100;
  const std::string preview = folder + "/105_preview.png";
  bool ok = report(palette_png::writePalettePng(
                       preview, PREVIEW_SIZE, PREVIEW_SIZE,
                       palette_png::medianCut(overBlack(render(motif, PREVIEW_SIZE)))),
                   preview);
  for (int size : {32, 128}) {
    const std::string icon = folder + "/icons/starbloom-" + std::to_string(size) + ".png";
    const std::vector<std::uint8_t> rgba = render(motif, size);
    const bool written = stbi_write_png(icon.c_str(), size, size, 4, rgba.data(), size * 4) != 0;
    ok = report(written, icon) && ok;
  }
  return ok ? 0 : 1;
}
