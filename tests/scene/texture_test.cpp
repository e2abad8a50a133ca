#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/resource_data.h"
#include "scene/texture.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

// An RGB picture, top row first.
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Each pixel tells where it is: red = x, green = y & 255, blue = y >> 8.
TestPicture positionPicture(int width, int height) {
  TestPicture p{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      p.rgb.push_back(static_cast<std::uint8_t>(x));
      p.rgb.push_back(static_cast<std::uint8_t>(y & 255));
      p.rgb.push_back(static_cast<std::uint8_t>(y >> 8));
    }
  }
  return p;
}

TestPicture flatPicture(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  TestPicture p{width, height, {}};
  for (int k = 0; k < width * height; ++k) p.rgb.insert(p.rgb.end(), {r, g, b});
  return p;
}

const std::uint8_t* texel(const Texture& t, int i, int j) {
  return &t.pixels[(static_cast<std::size_t>(i) * static_cast<std::size_t>(t.width) +
                    static_cast<std::size_t>(j)) * 4u];
}

// Grey level of picture pixel (x, y), y from the top, as stored in texel
// (height - 1 - y, x).
int pictureLevel(const Texture& t, int x, int y) { return texel(t, t.height - 1 - y, x)[0]; }

// Distance of picture pixel (x, y) from the picture's centre, both taken at
// their geometric middle: the centre of a 64 x 64 picture is between pixels
// 31 and 32.
double radiusOf(const Texture& t, int x, int y) {
  const double dx = x + 0.5 - t.width * 0.5;
  const double dy = y + 0.5 - t.height * 0.5;
  return std::sqrt(dx * dx + dy * dy);
}

// Mean grey level of the pixels whose distance from the centre is within
// half a pixel of r.
double ringMean(const Texture& t, double r) {
  double sum = 0.0;
  int count = 0;
  for (int y = 0; y < t.height; ++y) {
    for (int x = 0; x < t.width; ++x) {
      if (std::fabs(radiusOf(t, x, y) - r) < 0.5) {
        sum += pictureLevel(t, x, y);
        ++count;
      }
    }
  }
  return count > 0 ? sum / count : -1.0;
}

TEST(TextureDimension, LargestPowerOfTwoUpTo1024AndAtLeast8) {
  const struct { int n; int expected; } cases[] = {
      {1024, 1024}, {1500, 1024}, {1023, 512}, {512, 512}, {300, 256}, {128, 128}, {100, 64},
      {64, 64},     {63, 32},     {32, 32},    {16, 16},   {15, 8},    {8, 8},     {1, 8},
      {0, 8},       {-5, 8},
  };
  for (const auto& c : cases) EXPECT_EQ(textureDimension(c.n), c.expected) << "n = " << c.n;
}

TEST(TexturePicture, KeepsTheTopLeftBlockUpsideDown) {
  const struct { int w; int h; int tw; int th; } cases[] = {
      {100, 100, 64, 64}, {40, 300, 32, 256}, {16, 17, 16, 16}, {8, 8, 8, 8},
  };
  for (const auto& c : cases) {
    const TestPicture p = positionPicture(c.w, c.h);
    Texture t;
    t.loadPicture(p.rgb.data(), p.width, p.height);
    ASSERT_TRUE(t.hasPixels);
    ASSERT_EQ(t.width, c.tw);
    ASSERT_EQ(t.height, c.th);
    ASSERT_EQ(t.pixels.size(), static_cast<std::size_t>(c.tw * c.th * 4));
    int wrong = 0;
    for (int i = 0; i < t.height; ++i) {
      for (int j = 0; j < t.width; ++j) {
        const std::uint8_t* px = texel(t, i, j);
        const int y = px[1] + 256 * px[2];
        if (px[0] != j || y != t.height - 1 - i || px[3] != 255) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
  }
}

TEST(TexturePicture, CopiesRedGreenBlueInOrderWithOpaqueAlpha) {
  const struct { std::uint8_t r, g, b; } colours[] = {
      {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {12, 34, 56},
  };
  for (const auto& c : colours) {
    const TestPicture p = flatPicture(16, 16, c.r, c.g, c.b);
    Texture t;
    t.loadPicture(p.rgb.data(), 16, 16);
    const std::uint8_t* px = texel(t, 7, 9);
    EXPECT_EQ(px[0], c.r);
    EXPECT_EQ(px[1], c.g);
    EXPECT_EQ(px[2], c.b);
    EXPECT_EQ(px[3], 255);
  }
}

TEST(TexturePicture, SmallPictureIsPaddedWithOpaqueBlack) {
  // Exactly the picture's bytes, so reading past them trips the sanitizer.
  const TestPicture p = flatPicture(5, 3, 200, 100, 50);
  Texture t;
  t.loadPicture(p.rgb.data(), 5, 3);
  ASSERT_EQ(t.width, 8);
  ASSERT_EQ(t.height, 8);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) {
      const bool inside = j < 5 && (7 - i) < 3; // picture rows 0..2 are texel rows 7..5
      const std::uint8_t* px = texel(t, i, j);
      EXPECT_EQ(px[0], inside ? 200 : 0) << i << "," << j;
      EXPECT_EQ(px[1], inside ? 100 : 0) << i << "," << j;
      EXPECT_EQ(px[2], inside ? 50 : 0) << i << "," << j;
      EXPECT_EQ(px[3], 255);
    }
  }
}

TEST(TexturePicture, MissingOrUnreadablePictureLeavesTheTextureEmpty) {
  const ResourceData* sprite = findResource(SPRITE_BITMAP);
  ASSERT_NE(sprite, nullptr);
  const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  enum class Source { MissingId, Garbage, TruncatedPng, NoBytes, EmptyPicture };
  const Source sources[] = {Source::MissingId, Source::Garbage, Source::TruncatedPng,
                            Source::NoBytes, Source::EmptyPicture};
  for (Source s : sources) {
    Texture t;
    t.loadBitmapResource(SPRITE_BITMAP); // a previous picture must not survive
    ASSERT_TRUE(t.hasPixels);
    switch (s) {
      case Source::MissingId: t.loadBitmapResource(9999); break;
      case Source::Garbage: t.loadEncodedPicture(garbage, sizeof garbage); break;
      case Source::TruncatedPng: t.loadEncodedPicture(sprite->bytes, 60); break;
      case Source::NoBytes: t.loadEncodedPicture(nullptr, 100); break;
      case Source::EmptyPicture: t.loadPicture(garbage, 0, 4); break;
    }
    EXPECT_FALSE(t.hasPixels) << static_cast<int>(s);
    EXPECT_TRUE(t.pixels.empty()) << static_cast<int>(s);
    EXPECT_FALSE(t.uploaded);
  }
}

TEST(TextureResources, PicturesAreGreyOpaqueAndOfTheirSizes) {
  const struct { int id; int size; } cases[] = {
      {SPRITE_BITMAP, 64}, {GLOW_BITMAP, 128}, {RING_BITMAP, 128}, {GROUND_BITMAP, 64},
  };
  for (const auto& c : cases) {
    Texture t;
    t.loadBitmapResource(c.id);
    ASSERT_TRUE(t.hasPixels) << c.id;
    EXPECT_EQ(t.width, c.size);
    EXPECT_EQ(t.height, c.size);
    int notGrey = 0;
    for (std::size_t k = 0; k < t.pixels.size(); k += 4) {
      const std::uint8_t* px = &t.pixels[k];
      if (px[0] != px[1] || px[1] != px[2] || px[3] != 255) ++notGrey;
    }
    EXPECT_EQ(notGrey, 0) << c.id;
  }
}

TEST(TextureResources, RadialProfilesFollowTheirDescriptions) {
  const struct { int id; double r; double level; } cases[] = {
      {SPRITE_BITMAP, 0.71, 255}, {SPRITE_BITMAP, 8, 203}, {SPRITE_BITMAP, 16, 147},
      {SPRITE_BITMAP, 24, 81},    {SPRITE_BITMAP, 30, 22}, {GLOW_BITMAP, 0.71, 255},
      {GLOW_BITMAP, 16, 153},     {GLOW_BITMAP, 32, 76},   {GLOW_BITMAP, 48, 27},
      {RING_BITMAP, 40, 131},
  };
  for (const auto& c : cases) {
    Texture t;
    t.loadBitmapResource(c.id);
    ASSERT_TRUE(t.hasPixels);
    const double measured = ringMean(t, c.r);
    std::printf("picture %d: level %.1f at r = %.2f (about %.0f)\n", c.id, measured, c.r, c.level);
    EXPECT_NEAR(measured, c.level, 0.1 * c.level) << "picture " << c.id << " at r = " << c.r;
  }
}

TEST(TextureResources, GlowsAndRingAreBlackWhereTheyEnd) {
  // Every pixel inside `inner` and from `outer` on is black; the brightest
  // pixel lies between peakFrom and peakTo.
  const struct { int id; double inner; double outer; double peakFrom; double peakTo; } cases[] = {
      {SPRITE_BITMAP, 0, 32, 0, 1},
      {GLOW_BITMAP, 0, 64, 0, 1},
      {RING_BITMAP, 23, 57, 37, 43},
  };
  for (const auto& c : cases) {
    Texture t;
    t.loadBitmapResource(c.id);
    ASSERT_TRUE(t.hasPixels);
    int lit = 0;
    int brightest = -1;
    double brightestR = 0.0;
    for (int y = 0; y < t.height; ++y) {
      for (int x = 0; x < t.width; ++x) {
        const double r = radiusOf(t, x, y);
        const int level = pictureLevel(t, x, y);
        if ((r < c.inner || r >= c.outer) && level != 0) ++lit;
        if (level > brightest) {
          brightest = level;
          brightestR = r;
        }
      }
    }
    EXPECT_EQ(lit, 0) << "picture " << c.id;
    EXPECT_GE(brightestR, c.peakFrom) << "picture " << c.id;
    EXPECT_LE(brightestR, c.peakTo) << "picture " << c.id;
  }
}

TEST(TextureResources, GroundIsGreyNoiseWhoseEdgesDoNotMatch) {
  Texture t;
  t.loadBitmapResource(GROUND_BITMAP);
  ASSERT_TRUE(t.hasPixels);
  const int n = t.width;
  int lowest = 255;
  int highest = 0;
  double sum = 0.0;
  double neighbourStep = 0.0; // mean |difference| of horizontally adjacent pixels
  double seamStep = 0.0;      // mean |difference| across the left/right and top/bottom seams
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int v = pictureLevel(t, x, y);
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
      sum += v;
      if (x + 1 < n) neighbourStep += std::abs(v - pictureLevel(t, x + 1, y));
    }
    seamStep += std::abs(pictureLevel(t, 0, y) - pictureLevel(t, n - 1, y));
    seamStep += std::abs(pictureLevel(t, y, 0) - pictureLevel(t, y, n - 1));
  }
  const double mean = sum / (n * n);
  neighbourStep /= n * (n - 1);
  seamStep /= 2 * n;
  std::printf("ground: levels %d..%d, mean %.1f, neighbour step %.1f, seam step %.1f\n", lowest,
              highest, mean, neighbourStep, seamStep);
  EXPECT_NEAR(lowest, 76, 7.6);
  EXPECT_NEAR(highest, 253, 25.3);
  EXPECT_NEAR(mean, 180.0, 18.0);
  EXPECT_GT(neighbourStep, 1.0);      // noise, not a flat grey
  EXPECT_GT(seamStep, 3.0 * neighbourStep); // a repeated ground shows its seams
}

// --- OpenGL ---

GLint boundName() {
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return name;
}

GLint parameter(GLenum which) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
  return value;
}

TEST(BindTexture, UploadsOnceAndCountsEachTextureOnce) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  Texture sprite;
  Texture ground;
  sprite.loadBitmapResource(SPRITE_BITMAP);
  ground.loadBitmapResource(GROUND_BITMAP);
  GlSurface& surface = renderContext.surface;
  const int before = surface.textureCount;

  EXPECT_TRUE(bindTexture(surface, true, sprite, true));
  ASSERT_TRUE(sprite.uploaded);
  const unsigned int name = sprite.glName;
  EXPECT_EQ(glIsTexture(name), GL_TRUE);
  EXPECT_EQ(surface.textureCount, before + 1);
  EXPECT_EQ(boundName(), static_cast<GLint>(name));
  EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_TRUE);
  EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
  GLint envMode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
  EXPECT_EQ(envMode, GL_MODULATE);

  bindTexture(surface, true, ground, false);
  EXPECT_NE(ground.glName, name);
  EXPECT_EQ(boundName(), static_cast<GLint>(ground.glName));
  bindTexture(surface, true, sprite, false);
  EXPECT_EQ(sprite.glName, name);
  EXPECT_EQ(boundName(), static_cast<GLint>(name));
  EXPECT_EQ(surface.textureCount, before + 2);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  sprite.releaseTexture();
  EXPECT_FALSE(sprite.uploaded);
  EXPECT_FALSE(sprite.hasPixels);
  EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

TEST(BindTexture, SetsEnableAndFiltersOnEveryBind) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  Texture bound;
  Texture other;
  bound.loadBitmapResource(GLOW_BITMAP);
  other.loadBitmapResource(RING_BITMAP);
  GlSurface& surface = renderContext.surface;
  bindTexture(surface, true, bound, false);
  ASSERT_TRUE(bound.uploaded);
  const int uploads = surface.textureCount;

  // Disabling passes `other`, which must stay untouched while the filters
  // go to the texture that is bound.
  const struct { bool enable; bool linear; } cases[] = {
      {false, true}, {true, false}, {true, true}, {false, false}, {false, true}, {true, false},
  };
  for (const auto& c : cases) {
    bindTexture(surface, c.enable, c.enable ? bound : other, c.linear);
    const GLint filter = c.linear ? GL_LINEAR : GL_NEAREST;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), c.enable ? GL_TRUE : GL_FALSE);
    EXPECT_EQ(boundName(), static_cast<GLint>(bound.glName));
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), filter) << c.enable << c.linear;
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), filter) << c.enable << c.linear;
  }
  EXPECT_FALSE(other.uploaded);
  EXPECT_TRUE(other.hasPixels);
  EXPECT_EQ(surface.textureCount, uploads);
}

TEST(BindTexture, TextureWithoutPixelsIsNeverUploaded) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  Texture missing;
  missing.loadBitmapResource(9999);
  GlSurface& surface = renderContext.surface;
  const int before = surface.textureCount;
  glEnable(GL_TEXTURE_2D);
  for (bool linear : {true, false}) {
    EXPECT_TRUE(bindTexture(surface, true, missing, linear));
    EXPECT_FALSE(missing.uploaded);
    EXPECT_EQ(missing.glName, 0u);
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_FALSE); // drawn untextured
    EXPECT_EQ(boundName(), 0);
  }
  EXPECT_EQ(surface.textureCount, before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BindTexture, UploadedTexelsAreThePictureUpsideDown) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  const TestPicture p = positionPicture(40, 20); // 32 x 16 texels
  Texture t;
  t.loadPicture(p.rgb.data(), p.width, p.height);
  bindTexture(renderContext.surface, true, t, false);
  GLint w = 0;
  GLint h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  ASSERT_EQ(w, 32);
  ASSERT_EQ(h, 16);
  std::vector<std::uint8_t> read(32u * 16u * 4u, 7);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
  EXPECT_EQ(read, t.pixels);
  // Row 0 as OpenGL holds it is picture row 15, the lowest of the block.
  EXPECT_EQ(read[1], 15);
  EXPECT_EQ(read[(15u * 32u) * 4u + 1u], 0);
  EXPECT_EQ(read[(3u * 32u + 9u) * 4u], 9);
}

} // namespace
} // namespace starbloom
