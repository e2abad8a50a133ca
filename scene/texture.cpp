// STUB: replaced by the texture work.
#include "scene/texture.h"

namespace starbloom {
Texture::~Texture() { releaseTexture(); }
void Texture::loadBitmapResource(int) {}
void Texture::loadPicture(const std::uint8_t*, int, int) {}
void Texture::releaseTexture() {}
int textureDimension(int) { return 8; }
bool bindTexture(GlSurface&, bool, Texture&, bool) { return true; }
} // namespace starbloom
