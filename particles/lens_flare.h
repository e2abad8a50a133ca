#pragma once
// The lens flare: ten textured squares on the line from a particle's place
// on the screen through the view centre, drawn in eye space.
#include "math/coord_frame.h"
#include "math/vector.h"
#include "scene/texture.h"

namespace starbloom {

struct FlareElement {
  float position; // along the flare line: -1 the particle, 0 the view centre
  float size;     // times the flare's scale gives the side length
  bool ring;      // drawn with the second texture
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

// Nothing for a particle behind the eye or outside the view's side planes.
// The model-view matrix must be the identity.
// Textures are bound with the target's switches, whatever the particle
// texture settings say.
void drawLensFlare(Vec3 p, const CoordFrame& view, float scale, Texture& first,
                   Texture& second, Color4 color, const TextureTarget& target);
void drawFlareElement(Vec3 centre, float side, const CoordFrame& frame, Texture& texture,
                      Color4 color, const TextureTarget& target);

} // namespace starbloom
