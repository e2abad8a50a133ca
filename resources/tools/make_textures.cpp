// make_textures: draws the four texture pictures of the program and writes
// them as 24-bit RGB PNG files into the folder given on the command line:
//   116_sprite.png  64 x 64   white round glow on black
//   125_glow.png    128 x 128 soft grey glow
//   127_ring.png    128 x 128 grey ring
//   123_ground.png  64 x 64   grey cloudy noise for the landscape
// The build compiles every resources/<id>_<name>.png into the executable, so
// the output of this tool is committed next to it; run it again only when a
// picture is meant to change:  make_textures resources
//
// Radial pictures. The distance r of a pixel is measured from the pixel's
// centre to the geometric centre of the picture: pixel (x, y) sits at
// (x + 0.5, y + 0.5) and the centre of a W x H picture at (W / 2, H / 2),
// so the picture is symmetric and the four middle pixels share r = 0.707.
// This is the centre a sprite drawn with texture coordinates 0..1 is seen
// about. Each grey level is the profile at r, rounded, clamped to 0..255.
//
// Ground noise. Four octaves of value noise: a lattice of pseudo-random
// levels (an integer hash of the lattice point, the octave and a fixed seed,
// so every run writes the same bytes) smoothly interpolated, at cell sizes 16,
// 8, 4 and 2 pixels with halving weight. The lattice does not repeat across
// the picture, so its opposite edges differ and a repeated ground shows its
// seams. The sum is stretched to 0..1 and then shaped by t^g, with g found by
// bisection so that the mean grey level is 180; the levels run 76 to 253.
//
// Cost: one pass over at most 128 x 128 pixels per picture; the gamma search
// runs 40 passes over the 64 x 64 ground.
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Picture {
  int width = 0;                  // pixels
  int height = 0;                 // pixels
  std::vector<std::uint8_t> rgb;  // width * height * 3 bytes, top row first
};

Picture makePicture(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3u, 0);
  return p;
}

void setGrey(Picture& p, int x, int y, std::uint8_t level) {
  std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                             static_cast<std::size_t>(x)) * 3u];
  px[0] = level;
  px[1] = level;
  px[2] = level;
}

std::uint8_t toLevel(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Distance from the centre of pixel (x, y) to the centre of the picture.
double radiusOf(const Picture& p, int x, int y) {
  const double dx = (x + 0.5) - p.width * 0.5;
  const double dy = (y + 0.5) - p.height * 0.5;
  return std::sqrt(dx * dx + dy * dy);
}

// Sprite: 255 in the middle, falling a little faster than linearly, through
// the levels of this table, joined by straight lines; black from r = 32 on.
struct ProfilePoint {
  double radius = 0.0; // pixels from the centre
  double level = 0.0;  // grey level 0..255
};
constexpr ProfilePoint SPRITE_PROFILE[] = {
    {0.0, 255.0}, {8.0, 203.0}, {16.0, 147.0}, {24.0, 81.0}, {30.0, 22.0}, {32.0, 0.0},
};

double spriteLevel(double r) {
  constexpr int n = sizeof(SPRITE_PROFILE) / sizeof(SPRITE_PROFILE[0]);
  for (int k = 1; k < n; ++k) {
    const ProfilePoint& a = SPRITE_PROFILE[k - 1];
    const ProfilePoint& b = SPRITE_PROFILE[k];
    if (r <= b.radius) {
      return a.level + (b.level - a.level) * (r - a.radius) / (b.radius - a.radius);
    }
  }
  return 0.0;
}

// Glow: 255 (1 - r/64)^p, black from r = 64 on. The exponent sits a little
// under 1.7 so that the faint outer glow (about 26 at r = 48) is kept.
double glowLevel(double r) {
  if (r >= 64.0) return 0.0;
  return 255.0 * std::pow(1.0 - r / 64.0, 1.66);
}

// Ring: a raised cosine, black inside r = 23 and outside r = 57, 131 at its
// crest at r = 40.
double ringLevel(double r) {
  constexpr double inner = 23.0;
  constexpr double outer = 57.0;
  constexpr double crest = 131.0;
  if (r <= inner || r >= outer) return 0.0;
  const double phase = (r - inner) / (outer - inner); // 0..1 across the ring
  return crest * 0.5 * (1.0 - std::cos(2.0 * 3.14159265358979 * phase));
}

template <typename Profile>
Picture drawRadial(int size, Profile level) {
  Picture p = makePicture(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) setGrey(p, x, y, toLevel(level(radiusOf(p, x, y))));
  }
  return p;
}

// Lattice level of point (ix, iy) of one octave, 0..1; a 32-bit integer
// mix with good avalanche, so neighbouring points are unrelated.
double latticeLevel(int ix, int iy, int octave) {
  constexpr std::uint32_t SEED = 0x5B100Du;
  std::uint32_t h = SEED;
  h ^= static_cast<std::uint32_t>(ix) * 0x9E3779B1u;
  h ^= static_cast<std::uint32_t>(iy) * 0x85EBCA77u + (h << 6) + (h >> 2);
  h ^= static_cast<std::uint32_t>(octave) * 0xC2B2AE3Du + (h << 6) + (h >> 2);
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return static_cast<double>(h >> 8) / static_cast<double>(1u << 24);
}

double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

double valueNoise(double x, double y, int octave) {
  const int ix = static_cast<int>(std::floor(x));
  const int iy = static_cast<int>(std::floor(y));
  const double fx = smooth(x - ix);
  const double fy = smooth(y - iy);
  const double top = latticeLevel(ix, iy, octave) +
                     (latticeLevel(ix + 1, iy, octave) - latticeLevel(ix, iy, octave)) * fx;
  const double bottom = latticeLevel(ix, iy + 1, octave) +
                        (latticeLevel(ix + 1, iy + 1, octave) - latticeLevel(ix, iy + 1, octave)) * fx;
  return top + (bottom - top) * fy;
}

Picture drawGround() {
  constexpr int SIZE = 64;
  constexpr double LOW = 76.0;   // darkest grey level
  constexpr double HIGH = 253.0; // brightest grey level
  constexpr double MEAN = 180.0; // wanted mean grey level
  constexpr double CELLS[] = {16.0, 8.0, 4.0, 2.0};

  std::vector<double> sum(SIZE * SIZE, 0.0);
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      double weight = 1.0;
      double total = 0.0;
      for (int o = 0; o < 4; ++o) {
        total += weight * valueNoise((x + 0.5) / CELLS[o], (y + 0.5) / CELLS[o], o);
        weight *= 0.5;
      }
      sum[static_cast<std::size_t>(y * SIZE + x)] = total;
    }
  }
  const auto [lowest, highest] = std::minmax_element(sum.begin(), sum.end());
  const double base = *lowest;
  const double span = *highest - *lowest;
  for (double& v : sum) v = (v - base) / span; // 0..1, both ends reached

  // The mean of t^g falls as g grows; find the g that gives the wanted mean.
  const double target = (MEAN - LOW) / (HIGH - LOW);
  double gLow = 0.05;
  double gHigh = 20.0;
  double g = 1.0;
  for (int step = 0; step < 40; ++step) {
    g = 0.5 * (gLow + gHigh);
    double mean = 0.0;
    for (double t : sum) mean += std::pow(t, g);
    mean /= static_cast<double>(sum.size());
    if (mean > target) gLow = g; else gHigh = g;
  }

  Picture p = makePicture(SIZE, SIZE);
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const double t = sum[static_cast<std::size_t>(y * SIZE + x)];
      setGrey(p, x, y, toLevel(LOW + (HIGH - LOW) * std::pow(t, g)));
    }
  }
  return p;
}

bool writePicture(const std::string& folder, const char* name, const Picture& p) {
  const std::string path = folder + "/" + name;
  if (stbi_write_png(path.c_str(), p.width, p.height, 3, p.rgb.data(), p.width * 3) == 0) {
    std::fprintf(stderr, "make_textures: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_textures OUTPUT_DIR\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = writePicture(folder, "116_sprite.png", drawRadial(64, spriteLevel));
  ok = writePicture(folder, "125_glow.png", drawRadial(128, glowLevel)) && ok;
  ok = writePicture(folder, "127_ring.png", drawRadial(128, ringLevel)) && ok;
  ok = writePicture(folder, "123_ground.png", drawGround()) && ok;
  return ok ? 0 : 1;
}
