#pragma once
// The lens flare: ten textured squares on the line from a particle's place
// on the screen through the view centre, laid out in eye space. Plain
// geometry: the particle pass draws the squares.
#include "math/coord_frame.h"
#include "math/vector.h"

namespace starbloom {

struct FlareElement {
  float position; // along the flare line: -1 the particle, 0 the view centre
  float size;     // times the flare's scale gives the side length
  bool ring;      // drawn with the ring picture, else with the glow picture
};

constexpr int FLARE_ELEMENT_COUNT = 10;
extern const FlareElement FLARE_ELEMENTS[FLARE_ELEMENT_COUNT];

// Texture coordinates of an element's corners, in flareCorners' order.
extern const float FLARE_TEXCOORDS[4][2];

// A flare laid out in eye coordinates: each element's centre and side, and
// the colour all of them are drawn in.
struct FlareLayout {
  Color4 colour;
  Vec3 centres[FLARE_ELEMENT_COUNT];
  float sides[FLARE_ELEMENT_COUNT] = {};
};

// The flare of a particle at p seen by view, or false when it shows none
// (the particle is behind the eye or outside the view).
bool layOutLensFlare(Vec3 p, const CoordFrame& view, float scale, Color4 color,
                     FlareLayout& out);
// An element's corners in frame's coordinates: top left, top right, bottom
// right, bottom left.
void flareCorners(Vec3 centre, float side, const CoordFrame& frame, Vec3 (&corners)[4]);

} // namespace starbloom
