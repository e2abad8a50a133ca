// STUB: replaced by the lens-flare work.
#include "particles/lens_flare.h"

namespace starbloom {
const FlareElement FLARE_ELEMENTS[FLARE_ELEMENT_COUNT] = {};
void drawLensFlare(Vec3, const CoordFrame&, float, Texture&, Texture&, Color4) {}
void drawFlareElement(Vec3, float, const CoordFrame&, Texture&, Color4) {}
} // namespace starbloom
