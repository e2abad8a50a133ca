// Textures from the program's pictures. A picture compiled into the program
// is decoded once (stb_image, 3 bytes a pixel) and copied into an RGBA texel
// array that stays in memory for the whole run: the top-left width x height
// block of the picture, where width and height are the powers of two that
// textureDimension gives, turned upside down so that texel row 0 is the
// lowest row of that block (OpenGL's convention). Alpha is always 255.
// Texels that fall outside a picture smaller than 8 pixels are black.
//
// The OpenGL copy is made lazily by the first bindTexture that enables the
// texture and is never made again; every bind after that costs a bind, an
// enable and two filter settings, the filters being set on every bind so the
// caller's linear / nearest choice always holds. A texture without pixels (a
// picture that is missing or does not decode) is never uploaded: binding it
// turns texturing off, so whatever uses it is drawn untextured.
//
// Invariants: hasPixels <=> pixels holds width * height * 4 bytes;
// uploaded <=> glName names a texture object created by bindTexture.
#include "scene/texture.h"

#include <GL/gl.h>
#include <stb_image.h>

#include <climits>

#include "resources/resource_data.h"

namespace starbloom {

namespace {

constexpr int DIMENSIONS[] = {1024, 512, 256, 128, 64, 32, 16}; // largest first
constexpr int SMALLEST_DIMENSION = 8;

void setFilters(bool linear) {
  const GLfloat filter = static_cast<GLfloat>(linear ? GL_LINEAR : GL_NEAREST);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

// Creates the OpenGL texture of a texture with pixels, leaving it bound and
// texturing enabled.
void upload(int& textureCount, Texture& texture) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glEnable(GL_TEXTURE_2D);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));
  // Rows are width * 4 bytes with width >= 8, so the default unpack
  // alignment of 4 reads them as they are stored.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, texture.pixels.data());
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
  texture.uploaded = true;
  texture.glName = name;
  textureCount += 1;
}

} // namespace

int textureDimension(int n) {
  for (int d : DIMENSIONS) {
    if (n >= d) return d;
  }
  return SMALLEST_DIMENSION;
}

Texture::~Texture() { releaseTexture(); }

void Texture::loadBitmapResource(int resourceId) {
  const ResourceData* resource = findResource(resourceId);
  if (resource == nullptr) {
    loadEncodedPicture(nullptr, 0);
    return;
  }
  loadEncodedPicture(resource->bytes, resource->size);
}

void Texture::loadEncodedPicture(const std::uint8_t* bytes, std::size_t size) {
  int pictureWidth = 0;
  int pictureHeight = 0;
  int channels = 0;
  stbi_uc* rgb = nullptr;
  if (bytes != nullptr && size > 0 && size <= static_cast<std::size_t>(INT_MAX)) {
    rgb = stbi_load_from_memory(bytes, static_cast<int>(size), &pictureWidth, &pictureHeight,
                                &channels, 3);
  }
  if (rgb == nullptr) {
    // Nothing to read: an empty texture, sized as for a picture of no pixels.
    loadPicture(nullptr, 0, 0);
    return;
  }
  loadPicture(rgb, pictureWidth, pictureHeight);
  stbi_image_free(rgb);
}

void Texture::loadPicture(const std::uint8_t* rgb, int pictureWidth, int pictureHeight) {
  // A texture filled again starts from nothing, so a stale OpenGL copy is
  // never drawn and the old array is not kept.
  releaseTexture();
  width = textureDimension(pictureWidth);
  height = textureDimension(pictureHeight);
  if (rgb == nullptr || pictureWidth <= 0 || pictureHeight <= 0) return;

  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t pw = static_cast<std::size_t>(pictureWidth);
  pixels.assign(w * static_cast<std::size_t>(height) * 4u, 0);
  for (int i = 0; i < height; ++i) {
    const int y = height - 1 - i; // picture row, counted from the top
    for (int j = 0; j < width; ++j) {
      std::uint8_t* texel = &pixels[(static_cast<std::size_t>(i) * w + static_cast<std::size_t>(j)) * 4u];
      texel[3] = 255;
      if (y >= pictureHeight || j >= pictureWidth) continue; // outside: black
      const std::uint8_t* px = &rgb[(static_cast<std::size_t>(y) * pw + static_cast<std::size_t>(j)) * 3u];
      texel[0] = px[0];
      texel[1] = px[1];
      texel[2] = px[2];
    }
  }
  hasPixels = true;
}

void Texture::releaseTexture() {
  if (uploaded) {
    const GLuint name = glName;
    glDeleteTextures(1, &name);
  }
  uploaded = false;
  glName = 0;
  std::vector<std::uint8_t>().swap(pixels);
  hasPixels = false;
}

bool bindTexture(int& textureCount, bool enable, Texture& texture, bool linear) {
  if (enable && texture.hasPixels) {
    if (!texture.uploaded) {
      upload(textureCount, texture);
    } else {
      glBindTexture(GL_TEXTURE_2D, texture.glName);
      glEnable(GL_TEXTURE_2D);
    }
  } else {
    // Texturing off; a texture without pixels is drawn the same way. The
    // filters still go to whatever texture OpenGL has bound.
    glDisable(GL_TEXTURE_2D);
  }
  setFilters(linear);
  return true;
}

} // namespace starbloom
