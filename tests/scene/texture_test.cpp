#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "resources/resource_data.h"
#include "scene/texture.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The RGBA texel at (row, column); row 0 is the picture's lowest row.
Bytes texel(const Texture& t, int row, int column) {
  const auto at = t.pixels.begin() + (static_cast<std::ptrdiff_t>(row) * t.width + column) * 4;
  return Bytes(at, at + 4);
}

// The bound texture's name, or a parameter of the bound texture.
GLint glValue(GLenum which) {
  GLint value = 0;
  if (which == GL_TEXTURE_BINDING_2D) glGetIntegerv(which, &value);
  else glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
  return value;
}

TEST(TextureDimension, LargestPowerOfTwoUpTo1024AndAtLeast8) {
  const struct { int n, expected; } cases[] = {
      {1500, 1024}, {1024, 1024}, {1023, 512}, {300, 256}, {100, 64}, {64, 64}, {63, 32},
      {16, 16}, {15, 8}, {8, 8}, {1, 8}, {0, 8}, {-5, 8},
  };
  for (const auto& c : cases) EXPECT_EQ(textureDimension(c.n), c.expected) << "n = " << c.n;
}

// Picture pixel (x, y), y from the top, tells where it is, so each texel shows where it came from.
Bytes where(int x, int y) { return {std::uint8_t(x), std::uint8_t(y & 255), std::uint8_t(y >> 8)}; }

// Exactly the RGB bytes of a w x h picture, so an overread trips the sanitizer;
// every pixel `flat`, or where it is when flat is empty.
Bytes picture(int w, int h, const Bytes& flat = {}) {
  Bytes rgb;
  for (int k = 0; k < w * h; ++k) {
    const Bytes p = flat.empty() ? where(k % w, k / w) : flat;
    rgb.insert(rgb.end(), p.begin(), p.end());
  }
  return rgb;
}

// Pictures of one flat colour show the channel order; texels beyond a small picture are black.
TEST(TexturePicture, KeepsTheTopLeftBlockUpsideDownInRgbOrder) {
  const struct { int w, h, tw, th; Bytes flat; } cases[] = {
      {100, 100, 64, 64, {}}, {40, 300, 32, 256, {}}, {5, 3, 8, 8, {}}, {8, 8, 8, 8, {255, 0, 0}},
      {8, 8, 8, 8, {0, 0, 255}},
  };
  for (const auto& c : cases) {
    const Bytes rgb = picture(c.w, c.h, c.flat);
    Texture t;
    t.loadPicture(rgb.data(), c.w, c.h);
    ASSERT_EQ(t.width, c.tw);
    ASSERT_EQ(t.height, c.th);
    ASSERT_EQ(t.pixels.size(), static_cast<std::size_t>(c.tw * c.th * 4));
    int wrong = 0;
    for (int i = 0; i < t.height; ++i) {
      for (int j = 0; j < t.width; ++j) {
        const int y = t.height - 1 - i;
        Bytes expected = j >= c.w || y >= c.h ? Bytes{0, 0, 0} : c.flat.empty() ? where(j, y) : c.flat;
        expected.push_back(255);
        wrong += texel(t, i, j) != expected;
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h << " " << c.flat.size();
  }
}

// Grey and opaque; black inside `inner` and from `outer` on; brightest between peakFrom and
// peakTo; the mean level of the pixels within half a pixel of each ring's radius within 10 %.
TEST(TextureResources, GeneratedPicturesFollowTheirRadialProfiles) {
  const struct {
    int id, size;
    double inner, outer, peakFrom, peakTo;
    std::vector<std::pair<double, double>> rings; // radius, mean level
  } cases[] = {
      {SPRITE_BITMAP, 64, 0, 32, 0, 1, {{0.71, 255}, {8, 203}, {16, 147}, {24, 81}, {30, 22}}},
      {GLOW_BITMAP, 128, 0, 64, 0, 1, {{0.71, 255}, {16, 153}, {32, 76}, {48, 27}}},
      {RING_BITMAP, 128, 23, 57, 37, 43, {{40, 131}}},
  };
  for (const auto& c : cases) {
    Texture t;
    t.loadBitmapResource(c.id);
    ASSERT_EQ(t.width, c.size);
    ASSERT_EQ(t.height, c.size);
    int wrong = 0, brightest = -1;
    double brightestR = 0.0;
    std::vector<double> sum(c.rings.size()), count(c.rings.size());
    for (int i = 0; i < t.height; ++i) {
      for (int j = 0; j < t.width; ++j) {
        const Bytes px = texel(t, i, j);
        const double r = std::hypot(j + 0.5 - t.width / 2.0, i + 0.5 - t.height / 2.0);
        const bool outside = r < c.inner || r >= c.outer;
        wrong += px[0] != px[1] || px[1] != px[2] || px[3] != 255 || (outside && px[0] != 0);
        if (px[0] > brightest) brightest = px[0], brightestR = r;
        for (std::size_t k = 0; k < c.rings.size(); ++k) {
          if (std::fabs(r - c.rings[k].first) < 0.5) sum[k] += px[0], count[k] += 1.0;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << "picture " << c.id;
    EXPECT_GE(brightestR, c.peakFrom) << "picture " << c.id;
    EXPECT_LE(brightestR, c.peakTo) << "picture " << c.id;
    for (std::size_t k = 0; k < c.rings.size(); ++k) {
      const auto [r, level] = c.rings[k];
      EXPECT_NEAR(sum[k] / count[k], level, 0.1 * level) << "picture " << c.id << " at r = " << r;
    }
  }
}

// Each texture is uploaded by its first enabled bind and keeps its name; every bind
// sets the enable state and the filters of the bound texture, and disabling leaves
// the texture passed in untouched.
TEST(BindTexture, UploadsEachTextureOnceAndSetsEnableAndFiltersOnEveryBind) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  Texture positions, ground, unused; // positions: 32 x 16 texels
  const Bytes rgb = picture(40, 20);
  positions.loadPicture(rgb.data(), 40, 20);
  ground.loadBitmapResource(GROUND_BITMAP);
  unused.loadBitmapResource(RING_BITMAP);
  GlSurface& surface = renderContext.surface;
  const int before = surface.textureCount;
  bindTexture(surface.textureCount, true, positions, true);
  const unsigned int positionsName = positions.glName;
  EXPECT_EQ(surface.textureCount, before + 1);
  EXPECT_EQ(glValue(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(glValue(GL_TEXTURE_WRAP_T), GL_REPEAT);
  GLint envMode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
  EXPECT_EQ(envMode, GL_MODULATE);
  Bytes uploaded(positions.pixels.size());
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, uploaded.data());
  EXPECT_EQ(uploaded, positions.pixels); // row 0 of both is the picture's lowest row

  const struct { bool enable, linear, useGround; } cases[] = {
      {false, true, false}, {true, false, false}, {true, true, true}, {false, false, false},
      {true, false, false}, {false, true, true}, {true, true, false},
  };
  GLint bound = glValue(GL_TEXTURE_BINDING_2D);
  for (const auto& c : cases) {
    Texture& t = c.useGround ? ground : c.enable ? positions : unused;
    bindTexture(surface.textureCount, c.enable, t, c.linear);
    if (c.enable) bound = static_cast<GLint>(t.glName);
    const GLint filter = c.linear ? GL_LINEAR : GL_NEAREST;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), c.enable ? GL_TRUE : GL_FALSE);
    EXPECT_EQ(glValue(GL_TEXTURE_BINDING_2D), bound);
    EXPECT_EQ(glValue(GL_TEXTURE_MAG_FILTER), filter) << c.enable << c.linear;
    EXPECT_EQ(glValue(GL_TEXTURE_MIN_FILTER), filter) << c.enable << c.linear;
  }
  EXPECT_EQ(positions.glName, positionsName);
  EXPECT_NE(ground.glName, positionsName);
  EXPECT_FALSE(unused.uploaded);
  EXPECT_EQ(surface.textureCount, before + 2);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  positions.releaseTexture();
  EXPECT_EQ(glIsTexture(positionsName), GL_FALSE);
}

// A missing or unreadable picture empties the texture, even one that held a
// picture before, and binding it turns texturing off.
TEST(BindTexture, TextureWithoutPixelsIsNeverUploaded) {
  OffscreenGl gl;
  ASSERT_TRUE(gl.ok());
  const ResourceData* sprite = findResource(SPRITE_BITMAP);
  ASSERT_NE(sprite, nullptr);
  const std::uint8_t junk[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const int before = renderContext.surface.textureCount;
  for (int source = 0; source < 5; ++source) {
    Texture t;
    t.loadBitmapResource(SPRITE_BITMAP);
    if (source == 0) t.loadBitmapResource(9999);
    if (source == 1) t.loadEncodedPicture(junk, sizeof junk);
    if (source == 2) t.loadEncodedPicture(sprite->bytes, 60); // a cut PNG
    if (source == 3) t.loadEncodedPicture(nullptr, 100);
    if (source == 4) t.loadPicture(junk, 0, 4);
    EXPECT_TRUE(t.pixels.empty()) << source;
    glEnable(GL_TEXTURE_2D);
    bindTexture(renderContext.surface.textureCount, true, t, true);
    EXPECT_FALSE(t.uploaded) << source;
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_FALSE) << source;
    EXPECT_EQ(glValue(GL_TEXTURE_BINDING_2D), 0);
  }
  EXPECT_EQ(renderContext.surface.textureCount, before);
}

} // namespace
} // namespace starbloom
