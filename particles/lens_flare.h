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

// Nothing for a particle behind the eye or outside the view's side planes.
// The model-view matrix must be the identity.
// Textures are bound with the target's switches, whatever the particle
// texture settings say.
void drawLensFlare(Vec3 p, const CoordFrame& view, float scale, Texture& first,
                   Texture& second, Color4 color, const TextureTarget& target);
void drawFlareElement(Vec3 centre, float side, const CoordFrame& frame, Texture& texture,
                      Color4 color, const TextureTarget& target);

} // namespace starbloom
