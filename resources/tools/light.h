#pragma once
// Light added on black, the colour arithmetic the picture generators share:
// channels 0..1 that may sum past 1 and are clamped per sample, and the
// smooth step that shapes glows and edges.
#include <algorithm>

namespace picture {

struct Light {
  double r = 0.0; // 0..1 on black; sums may pass 1 and are clamped per sample
  double g = 0.0;
  double b = 0.0;
};

inline Light scaled(Light c, double k) { return {c.r * k, c.g * k, c.b * k}; }
inline Light added(Light a, Light b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Light mixed(Light a, Light b, double t) { return added(scaled(a, 1.0 - t), scaled(b, t)); }
inline Light rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

inline double smoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

} // namespace picture
