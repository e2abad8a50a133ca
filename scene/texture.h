#pragma once
// Textures made from the program's pictures: kept in memory as RGBA texels
// for the whole run and uploaded to OpenGL the first time they are bound.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace starbloom {

// Resource ids of the pictures compiled into the program.
constexpr int SPRITE_BITMAP = 116;
constexpr int GROUND_BITMAP = 123;
constexpr int GLOW_BITMAP = 125;
constexpr int RING_BITMAP = 127;

struct Texture {
  bool hasPixels = false;  // pixels holds a loaded picture
  bool uploaded = false;   // glName names an uploaded copy
  unsigned int glName = 0; // OpenGL texture name, valid when uploaded
  std::int32_t width = 0;  // texels, a power of two 8..1024
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels; // width*height RGBA texels, row 0 at the bottom

  Texture() = default;
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Fills the texture from picture resourceId of the program; a missing or
  // unreadable picture leaves it empty.
  void loadBitmapResource(int resourceId);
  // Fills the texture from an encoded picture file (PNG) in memory; data
  // that does not decode leaves it empty.
  void loadEncodedPicture(const std::uint8_t* bytes, std::size_t size);
  // Fills the texture from a decoded RGB picture (3 bytes a pixel, top row
  // first): the top-left width x height block, turned upside down.
  void loadPicture(const std::uint8_t* rgb, int pictureWidth, int pictureHeight);
  void releaseTexture();
};

// What drawing code needs to bind textures into the rendering context: the
// upload count of its GL surface and its two texture switches.
struct TextureTarget {
  int* textureCount = nullptr; // GlSurface::textureCount of the surface drawn into
  bool useTextures = true;     // the context's switches; the flares follow them
  bool smoothTextures = true;
};

// 1024, 512, ..., 16 for n at least that; 8 below 16.
int textureDimension(int n);

// Binds texture (uploading it on first use, counted in textureCount, the
// count of the GL surface it is uploaded through) or disables texturing,
// then sets the filters of the bound texture to linear or nearest. A texture
// without pixels is never uploaded.
bool bindTexture(int& textureCount, bool enable, Texture& texture, bool linear);

// The program's four textures; defined with the other program objects.
extern Texture spriteTexture; // 64x64 round glow
extern Texture glowTexture;   // 128x128 soft glow
extern Texture ringTexture;   // 128x128 ring
extern Texture groundTexture; // 64x64 grey noise

} // namespace starbloom
