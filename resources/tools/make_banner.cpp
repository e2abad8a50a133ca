// make_banner: draws the title banner of the settings dialog, a burst of
// blue and violet streaks under the name "STARBLOOM" and a credit line, and
// writes it as a 256 x 128 paletted PNG into the folder given on the command
// line:  make_banner resources  (121_banner.png). The build compiles every
// resources/<id>_<name>.png into the executable; run it again only when the
// banner is meant to change.
//
// The picture is one function of a point in pixel units (y down), averaged
// over 5 x 5 samples a pixel. Light comes first, summed as it would show on
// black and clamped per sample: a faint indigo haze, a glowing centre, two
// rings of streaks and a few sparks. A streak is a particle's trail, a
// six-segment polyline from its tail to its head that droops a little under
// gravity; along it the core narrows and dims towards the tail, a soft glow
// surrounds it and its head is a hot, whitish dot. Angles, reaches and hues
// come from an integer hash of the streak's number, so every run draws the
// same burst and writes the same bytes.
//
// The letters come from a small stroke font made here: each glyph is a set
// of lines and elliptic arcs in a cell one cap height tall, turned into
// segments, slanted for italic and scaled to pixels; a glyph's ink is every
// point within half the stroke width of a segment, so the strokes have
// round ends and joints and the 25 samples smooth their edges. The title is
// green, light at the top and deep at the baseline, with a soft green glow
// and a drop shadow; the credit line is light blue with a dark rim that
// keeps it readable over the streaks. The result is reduced to 256 colours
// by median cut and written as a paletted PNG (palette_png.h).
//
// Cost: 25 samples per pixel; each is measured only against the streaks and
// glyphs whose bounding boxes hold it; two seconds in a debug build.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "light.h"
#include "palette_png.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int WIDTH = 256;
constexpr int HEIGHT = 128;

struct Point {
  double x = 0.0;
  double y = 0.0;
};

using picture::added;
using picture::Light;
using picture::mixed;
using picture::rgb;
using picture::scaled;
using picture::smoothStep;
constexpr Light WHITE{1.0, 1.0, 1.0};

// A pseudo-random number in [0, 1) for (stream, index): an integer hash.
double random01(std::uint32_t stream, std::uint32_t index) {
  std::uint32_t x = stream * 0x9E3779B9u ^ (index + 0x7F4A7C15u) * 0x85EBCA6Bu;
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x / 4294967296.0;
}

struct Box {
  double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;

  void add(Point p, double margin) {
    left = std::min(left, p.x - margin);
    top = std::min(top, p.y - margin);
    right = std::max(right, p.x + margin);
    bottom = std::max(bottom, p.y + margin);
  }
  void add(const Box& other) {
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
  }
  bool holds(Point p) const {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  }
};

struct Segment {
  Point a;
  Point b;
};

// Distance from p to the segment, and where along it (0 at a, 1 at b) the
// nearest point lies.
double segmentDistance(const Segment& s, Point p, double& along) {
  const double ex = s.b.x - s.a.x, ey = s.b.y - s.a.y;
  const double length2 = ex * ex + ey * ey;
  along = length2 > 0.0
              ? std::clamp(((p.x - s.a.x) * ex + (p.y - s.a.y) * ey) / length2, 0.0, 1.0)
              : 0.0;
  const double dx = p.x - (s.a.x + along * ex), dy = p.y - (s.a.y + along * ey);
  return std::sqrt(dx * dx + dy * dy);
}

// ---------------------------------------------------------------- the burst

constexpr Point BURST_CENTRE{163.0, 64.0};
constexpr double DROOP = 7.0;  // pixels a head at the outer reach has sunk
constexpr double GLOW_REACH = 12.0; // pixels around a streak that its glow is drawn

struct Streak {
  std::vector<Segment> path; // tail to head
  Box box;                   // path with the glow's reach
  Light colour;              // of the trail
  double brightness = 1.0;   // at the head
  double width = 1.0;        // core half width at the head, pixels
};

struct Ring {
  int count = 0;
  double reach = 0.0;       // pixels to the farthest head
  double reachSpread = 0.0; // fraction by which a head may fall short
  double trail = 0.0;       // trail length, fraction of the head's reach
  double brightness = 0.0;
  double width = 0.0;
  double turn = 0.0;        // angle of the first streak, fraction of a spacing
};
constexpr Ring RINGS[] = {
    {40, 60.0, 0.30, 0.62, 1.00, 0.95, 0.0}, // the outer burst
    {26, 31.0, 0.35, 0.70, 0.70, 0.75, 0.5}, // a slower inner ring
};

std::vector<Streak> makeStreaks() {
  const Light blue = rgb(60, 120, 255), violet = rgb(170, 70, 255);
  std::vector<Streak> streaks;
  std::uint32_t stream = 1;
  for (const Ring& ring : RINGS) {
    for (int k = 0; k < ring.count; ++k, stream += 4) {
      const auto i = static_cast<std::uint32_t>(k);
      const double angle =
          2.0 * PI * (k + ring.turn + 0.6 * (random01(stream, i) - 0.5)) / ring.count;
      const double head = ring.reach * (1.0 - ring.reachSpread * random01(stream + 1, i));
      const double tail = head * (1.0 - ring.trail * (0.8 + 0.4 * random01(stream + 2, i)));
      Streak s;
      // Mostly blue or mostly violet, few in between.
      const double hue = smoothStep(0.2, 0.8, random01(stream + 3, i));
      s.colour = mixed(blue, violet, hue);
      s.brightness = ring.brightness * (0.75 + 0.25 * head / ring.reach);
      s.width = ring.width;
      constexpr int PIECES = 6;
      Point previous;
      for (int j = 0; j <= PIECES; ++j) {
        const double r = tail + (head - tail) * j / PIECES;
        const double sink = DROOP * (r / RINGS[0].reach) * (r / RINGS[0].reach);
        const Point p{BURST_CENTRE.x + r * std::cos(angle), BURST_CENTRE.y + r * std::sin(angle) + sink};
        if (j > 0) s.path.push_back({previous, p});
        s.box.add(p, GLOW_REACH);
        previous = p;
      }
      streaks.push_back(s);
    }
  }
  return streaks;
}

// The light of one streak at p.
Light streakLight(const Streak& s, Point p) {
  double best = 1e9, bestAlong = 0.0;
  for (std::size_t i = 0; i < s.path.size(); ++i) {
    double along = 0.0;
    const double d = segmentDistance(s.path[i], p, along);
    if (d < best) {
      best = d;
      bestAlong = (static_cast<double>(i) + along) / static_cast<double>(s.path.size());
    }
  }
  const double u = bestAlong; // 0 at the tail, 1 at the head
  const double intensity = s.brightness * (0.08 + 0.92 * u * u);
  const double width = s.width * (0.35 + 0.65 * u);
  const double core = std::exp(-(best * best) / (width * width));
  const double glow = 0.30 * std::exp(-best / 3.0);
  Light light = scaled(s.colour, intensity * (core + glow));
  const Point head = s.path.back().b;
  const double hx = p.x - head.x, hy = p.y - head.y;
  const double hot = std::exp(-(hx * hx + hy * hy) / (1.4 * 1.4 * s.width * s.width));
  return added(light, scaled(mixed(s.colour, WHITE, 0.65), 1.3 * s.brightness * hot));
}

struct Spark {
  Point at;
  double size = 1.0;  // core radius, pixels
  bool rays = false;  // a four-pointed sparkle
  Light colour;
};

// Sparks: embers flung past the streaks, and a few sparkles among them.
std::vector<Spark> makeSparks() {
  std::vector<Spark> sparks;
  constexpr int COUNT = 14;
  for (int k = 0; k < COUNT; ++k) {
    const auto i = static_cast<std::uint32_t>(k);
    const double angle = 2.0 * PI * (k + 0.8 * random01(101, i)) / COUNT;
    const double r = RINGS[0].reach * (0.55 + 0.60 * random01(102, i));
    const double sink = DROOP * (r / RINGS[0].reach) * (r / RINGS[0].reach);
    Spark s;
    s.at = {BURST_CENTRE.x + r * std::cos(angle), BURST_CENTRE.y + r * std::sin(angle) + sink};
    s.rays = k % 5 == 2;
    s.size = s.rays ? 0.9 : 0.45 + 0.35 * random01(103, i);
    s.colour = mixed(rgb(150, 190, 255), rgb(215, 170, 255), random01(104, i));
    sparks.push_back(s);
  }
  return sparks;
}

Light sparkLight(const Spark& s, Point p) {
  const double dx = std::fabs(p.x - s.at.x), dy = std::fabs(p.y - s.at.y);
  const double d2 = dx * dx + dy * dy;
  double light = 1.4 * std::exp(-d2 / (s.size * s.size)) + 0.12 * std::exp(-std::sqrt(d2) / 2.0);
  if (s.rays) {
    constexpr double ARM = 2.2, THIN = 0.45;
    light += 0.9 * (std::exp(-dx / ARM - (dy * dy) / (THIN * THIN)) +
                    std::exp(-dy / ARM - (dx * dx) / (THIN * THIN)));
  }
  return scaled(s.colour, light);
}

// ---------------------------------------------------------------- the font

// A glyph cell: x to the right, y up, baseline at 0, cap height 1.
struct Glyph {
  char c = ' ';
  double width = 0.0; // from the leftmost to the rightmost stroke centre
  std::vector<Segment> strokes;
};

class GlyphMaker {
 public:
  GlyphMaker(char c, double width) { glyph_.c = c; glyph_.width = width; }

  GlyphMaker& line(std::initializer_list<Point> points) {
    const Point* previous = nullptr;
    for (const Point& p : points) {
      if (previous) glyph_.strokes.push_back({*previous, p});
      previous = &p;
    }
    return *this;
  }
  // An elliptic arc from angle a0 to a1 in degrees, counter-clockwise when
  // a1 > a0.
  GlyphMaker& arc(Point centre, double rx, double ry, double a0, double a1) {
    const int pieces = std::max(2, static_cast<int>(std::ceil(std::fabs(a1 - a0) / 12.0)));
    Point previous{};
    for (int i = 0; i <= pieces; ++i) {
      const double a = (a0 + (a1 - a0) * i / pieces) * PI / 180.0;
      const Point p{centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)};
      if (i > 0) glyph_.strokes.push_back({previous, p});
      previous = p;
    }
    return *this;
  }
  GlyphMaker& ellipse(Point centre, double rx, double ry) {
    return arc(centre, rx, ry, 0.0, 360.0);
  }
  Glyph done() const { return glyph_; }

 private:
  Glyph glyph_;
};

// The characters the banner needs. Lower case: x-height 0.62, descender
// 0.28.
std::vector<Glyph> makeFont() {
  constexpr double X = 0.62;
  std::vector<Glyph> font;
  auto add = [&](const GlyphMaker& m) { font.push_back(m.done()); };
  add(GlyphMaker(' ', 0.22));
  add(GlyphMaker('S', 0.60)
          .arc({0.30, 0.75}, 0.28, 0.25, 25.0, 270.0)
          .arc({0.30, 0.25}, 0.30, 0.25, 90.0, -155.0));
  add(GlyphMaker('T', 0.62).line({{0.0, 1.0}, {0.62, 1.0}}).line({{0.31, 1.0}, {0.31, 0.0}}));
  add(GlyphMaker('A', 0.66)
          .line({{0.0, 0.0}, {0.33, 1.0}, {0.66, 0.0}})
          .line({{0.11, 0.33}, {0.55, 0.33}}));
  add(GlyphMaker('R', 0.56)
          .line({{0.0, 0.0}, {0.0, 1.0}, {0.32, 1.0}})
          .arc({0.32, 0.76}, 0.24, 0.24, 90.0, -90.0)
          .line({{0.32, 0.52}, {0.0, 0.52}})
          .line({{0.26, 0.52}, {0.56, 0.0}}));
  add(GlyphMaker('B', 0.58)
          .line({{0.0, 0.0}, {0.0, 1.0}, {0.30, 1.0}})
          .arc({0.30, 0.77}, 0.23, 0.23, 90.0, -90.0)
          .line({{0.0, 0.54}, {0.32, 0.54}})
          .arc({0.32, 0.27}, 0.26, 0.27, 90.0, -90.0)
          .line({{0.32, 0.0}, {0.0, 0.0}}));
  add(GlyphMaker('L', 0.50).line({{0.0, 1.0}, {0.0, 0.0}, {0.50, 0.0}}));
  add(GlyphMaker('O', 0.72).ellipse({0.36, 0.5}, 0.36, 0.5));
  add(GlyphMaker('M', 0.76).line({{0.0, 0.0}, {0.0, 1.0}, {0.38, 0.28}, {0.76, 1.0}, {0.76, 0.0}}));
  add(GlyphMaker('a', 0.52).ellipse({0.26, X / 2}, 0.26, X / 2).line({{0.52, X}, {0.52, 0.0}}));
  add(GlyphMaker('b', 0.52).ellipse({0.26, X / 2}, 0.26, X / 2).line({{0.0, 1.0}, {0.0, 0.0}}));
  add(GlyphMaker('c', 0.50).arc({0.27, X / 2}, 0.27, X / 2, 40.0, 320.0));
  add(GlyphMaker('d', 0.52).ellipse({0.26, X / 2}, 0.26, X / 2).line({{0.52, 1.0}, {0.52, 0.0}}));
  add(GlyphMaker('e', 0.52)
          .line({{0.0, X / 2}, {0.52, X / 2}})
          .arc({0.26, X / 2}, 0.26, X / 2, 0.0, 315.0));
  add(GlyphMaker('h', 0.50)
          .line({{0.0, 1.0}, {0.0, 0.0}})
          .arc({0.25, 0.37}, 0.25, 0.25, 180.0, 0.0)
          .line({{0.50, 0.37}, {0.50, 0.0}}));
  add(GlyphMaker('l', 0.0).line({{0.0, 1.0}, {0.0, 0.0}}));
  add(GlyphMaker('m', 0.80)
          .line({{0.0, X}, {0.0, 0.0}})
          .arc({0.20, 0.42}, 0.20, 0.20, 180.0, 0.0)
          .line({{0.40, 0.42}, {0.40, 0.0}})
          .arc({0.60, 0.42}, 0.20, 0.20, 180.0, 0.0)
          .line({{0.80, 0.42}, {0.80, 0.0}}));
  add(GlyphMaker('o', 0.56).ellipse({0.28, X / 2}, 0.28, X / 2));
  add(GlyphMaker('p', 0.52).ellipse({0.26, X / 2}, 0.26, X / 2).line({{0.0, X}, {0.0, -0.28}}));
  add(GlyphMaker('r', 0.40).line({{0.0, X}, {0.0, 0.0}}).arc({0.30, 0.32}, 0.30, 0.30, 180.0, 70.0));
  add(GlyphMaker('s', 0.46)
          .arc({0.23, 0.465}, 0.21, 0.155, 25.0, 270.0)
          .arc({0.23, 0.155}, 0.23, 0.155, 90.0, -155.0));
  add(GlyphMaker('t', 0.36)
          .line({{0.12, 0.90}, {0.12, 0.10}})
          .arc({0.27, 0.10}, 0.15, 0.10, 180.0, 270.0)
          .line({{0.27, 0.0}, {0.36, 0.0}})
          .line({{0.0, X}, {0.34, X}}));
  add(GlyphMaker('v', 0.52).line({{0.0, X}, {0.26, 0.0}, {0.52, X}}));
  add(GlyphMaker('0', 0.56).ellipse({0.28, 0.5}, 0.28, 0.5));
  add(GlyphMaker('2', 0.58)
          .arc({0.28, 0.72}, 0.27, 0.27, 160.0, -40.0)
          .line({{0.487, 0.546}, {0.0, 0.0}, {0.58, 0.0}}));
  add(GlyphMaker('6', 0.56).ellipse({0.28, 0.30}, 0.28, 0.30).arc({0.56, 0.30}, 0.56, 0.68, 105.0, 180.0));
  add(GlyphMaker('(', 0.23).arc({0.40, 0.40}, 0.40, 0.68, 115.0, 245.0));
  add(GlyphMaker(')', 0.23).arc({-0.17, 0.40}, 0.40, 0.68, 65.0, -65.0));
  return font;
}

const Glyph& glyphOf(const std::vector<Glyph>& font, char c) {
  for (const Glyph& g : font) {
    if (g.c == c) return g;
  }
  std::fprintf(stderr, "make_banner: no glyph for '%c'\n", c);
  std::exit(1);
}

// A line of text set in pixels: segments grouped glyph by glyph, each group
// with its bounding box.
struct TextStyle {
  double size = 10.0;      // cap height, pixels
  double halfWidth = 1.0;  // of a stroke, pixels
  double gap = 1.0;        // pixels between neighbouring glyphs' ink
  double slant = 0.0;      // italic: x shift per unit of height
  double reach = 0.0;      // pixels around the ink that effects are drawn
};

struct SetText {
  TextStyle style;
  double baseline = 0.0;   // pixels
  double capTop = 0.0;     // pixels
  std::vector<std::vector<Segment>> glyphs;
  std::vector<Box> boxes;  // one per glyph
  Box box;                 // the whole line
};

double textWidth(const std::vector<Glyph>& font, const std::string& text, const TextStyle& style) {
  double width = 0.0;
  for (char c : text) width += glyphOf(font, c).width * style.size + 2.0 * style.halfWidth + style.gap;
  return width - style.gap;
}

// Sets text with the ink's left edge at left (before slanting).
SetText setText(const std::vector<Glyph>& font, const std::string& text, const TextStyle& style,
                double left, double baseline) {
  SetText out;
  out.style = style;
  out.baseline = baseline;
  out.capTop = baseline - style.size;
  double x = left + style.halfWidth;
  for (char c : text) {
    const Glyph& glyph = glyphOf(font, c);
    auto place = [&](Point g) {
      return Point{x + (g.x + style.slant * g.y) * style.size, baseline - g.y * style.size};
    };
    std::vector<Segment> segments;
    Box box;
    for (const Segment& s : glyph.strokes) {
      segments.push_back({place(s.a), place(s.b)});
      box.add(segments.back().a, style.halfWidth + style.reach);
      box.add(segments.back().b, style.halfWidth + style.reach);
    }
    if (!segments.empty()) {
      out.glyphs.push_back(segments);
      out.boxes.push_back(box);
      out.box.add(box);
    }
    x += glyph.width * style.size + 2.0 * style.halfWidth + style.gap;
  }
  return out;
}

// Distance from p to the nearest stroke centre of the text; far away when
// p lies beyond every glyph's reach.
double textDistance(const SetText& text, Point p) {
  double best = 1e9;
  if (!text.box.holds(p)) return best;
  for (std::size_t g = 0; g < text.glyphs.size(); ++g) {
    if (!text.boxes[g].holds(p)) continue;
    for (const Segment& s : text.glyphs[g]) {
      double along = 0.0;
      best = std::min(best, segmentDistance(s, p, along));
    }
  }
  return best;
}

// ---------------------------------------------------------------- the banner

struct Banner {
  std::vector<Streak> streaks = makeStreaks();
  std::vector<Spark> sparks = makeSparks();
  SetText title;
  SetText credit;
};

const char* const TITLE = "STARBLOOM";
const char* const CREDIT = "(c) 2026 The Starbloom developers";

Banner makeBanner() {
  const std::vector<Glyph> font = makeFont();
  Banner b;
  const TextStyle titleStyle{19.0, 1.9, 2.6, 0.22, 5.0};
  b.title = setText(font, TITLE, titleStyle, 10.0, 31.0);
  const TextStyle creditStyle{7.0, 0.62, 1.1, 0.18, 2.0};
  b.credit = setText(font, CREDIT, creditStyle,
                     WIDTH - 8.0 - textWidth(font, CREDIT, creditStyle) - creditStyle.slant * 7.0,
                     HEIGHT - 8.0);
  return b;
}

Light shade(const Banner& banner, Point p) {
  // Light: the haze, the centre, the streaks and the sparks.
  const double cx = p.x - BURST_CENTRE.x, cy = p.y - BURST_CENTRE.y;
  const double r = std::sqrt(cx * cx + cy * cy);
  Light light = scaled(rgb(40, 22, 110), 0.38 * std::exp(-(r * r) / (48.0 * 48.0)));
  light = added(light, scaled(rgb(150, 110, 255), 0.55 * std::exp(-r / 5.0)));
  light = added(light, scaled(WHITE, 0.6 * std::exp(-(r * r) / (2.0 * 2.0))));
  for (const Streak& s : banner.streaks) {
    if (s.box.holds(p)) light = added(light, streakLight(s, p));
  }
  for (const Spark& s : banner.sparks) {
    if (std::fabs(p.x - s.at.x) < 10.0 && std::fabs(p.y - s.at.y) < 10.0) {
      light = added(light, sparkLight(s, p));
    }
  }
  Light c{std::min(light.r, 1.0), std::min(light.g, 1.0), std::min(light.b, 1.0)};

  // The credit: a dark rim, then light blue ink.
  const SetText& credit = banner.credit;
  const double dc = textDistance(credit, p);
  const double hwc = credit.style.halfWidth;
  c = scaled(c, 1.0 - 0.9 * smoothStep(hwc + 1.6, hwc + 0.4, dc));
  if (dc < hwc) c = rgb(160, 210, 255);

  // The title: drop shadow, green glow, then the letters.
  const SetText& title = banner.title;
  const double hwt = title.style.halfWidth;
  const double dt = textDistance(title, p);
  const double ds = textDistance(title, {p.x - 1.6, p.y - 1.8});
  c = scaled(c, 1.0 - 0.85 * smoothStep(hwt + 1.4, hwt, ds));
  if (dt >= hwt) {
    const double glow = 0.38 * std::exp(-(dt - hwt) / 2.0);
    c = added(c, scaled(rgb(60, 220, 90), glow));
    c = {std::min(c.r, 1.0), std::min(c.g, 1.0), std::min(c.b, 1.0)};
  } else {
    const double down = std::clamp((p.y - title.capTop) / (title.baseline - title.capTop), 0.0, 1.0);
    c = mixed(rgb(190, 255, 150), rgb(40, 170, 60), smoothStep(0.0, 1.0, down));
  }
  return c;
}

std::uint8_t toByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value * 255.0), 0L, 255L));
}

std::vector<std::uint8_t> render(const Banner& banner) {
  constexpr int GRID = 5; // samples per pixel side
  std::vector<std::uint8_t> rgbOut;
  rgbOut.reserve(static_cast<std::size_t>(WIDTH * HEIGHT) * 3u);
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      Light sum;
      for (int j = 0; j < GRID; ++j) {
        for (int i = 0; i < GRID; ++i) {
          sum = added(sum, shade(banner, {x + (i + 0.5) / GRID, y + (j + 0.5) / GRID}));
        }
      }
      const Light c = scaled(sum, 1.0 / (GRID * GRID));
      rgbOut.push_back(toByte(c.r));
      rgbOut.push_back(toByte(c.g));
      rgbOut.push_back(toByte(c.b));
    }
  }
  return rgbOut;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_banner RESOURCES_DIR\n");
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/121_banner.png";
  const bool ok = palette_png::writePalettePng(path, WIDTH, HEIGHT,
                                               palette_png::medianCut(render(makeBanner())));
  if (!ok) {
    std::fprintf(stderr, "make_banner: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
