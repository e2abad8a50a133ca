#pragma once
// palette_png: the paletted PNG pictures of the resource generators. A
// picture given as 8-bit RGB is reduced to at most 256 colours by median
// cut: black keeps entry 0, the other pixels are split, box by box, at the
// median of the channel with the widest range, until 255 boxes are made;
// each box becomes the rounded mean of its pixels. Ties are broken by the
// whole colour and the pixel's place, so every run writes the same bytes.
// The PNG (colour type 3, 8 bits per pixel, no filter, no interlace) is
// assembled here, with stb's deflate for the pixel data.
//
// Cost: each of the 255 splits measures every box (one pass over the
// picture) and sorts the box it splits; a fraction of a second for a
// 256 x 128 picture.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// libstb exports the deflate coder of its PNG writer; the header declares it
// only inside its implementation section.
extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int dataLength, int* outLength,
                                             int quality);

namespace palette_png {

using Colour = std::array<std::uint8_t, 3>;

struct Paletted {
  std::vector<Colour> palette;       // at most 256 entries, black first
  std::vector<std::uint8_t> indices; // one per pixel
};

// The RGB picture rgbIn (3 bytes a pixel) in at most 256 colours.
inline Paletted medianCut(const std::vector<std::uint8_t>& rgbIn) {
  constexpr std::size_t MAX_COLOURS = 256;
  const std::size_t count = rgbIn.size() / 3u;
  auto colourOf = [&](std::size_t pixel) {
    return Colour{rgbIn[pixel * 3], rgbIn[pixel * 3 + 1], rgbIn[pixel * 3 + 2]};
  };
  std::vector<std::size_t> order; // the non-black pixels, grouped box by box
  for (std::size_t i = 0; i < count; ++i) {
    if (colourOf(i) != Colour{0, 0, 0}) order.push_back(i);
  }
  struct Box {
    std::size_t begin = 0; // into order
    std::size_t end = 0;
  };
  auto widest = [&](const Box& box, int& channel) {
    int bestRange = 0;
    for (int c = 0; c < 3; ++c) {
      int lo = 255, hi = 0;
      for (std::size_t i = box.begin; i < box.end; ++i) {
        const int v = rgbIn[order[i] * 3 + static_cast<std::size_t>(c)];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
      if (hi - lo > bestRange) {
        bestRange = hi - lo;
        channel = c;
      }
    }
    return bestRange;
  };
  std::vector<Box> boxes;
  if (!order.empty()) boxes.push_back({0, order.size()});
  while (boxes.size() < MAX_COLOURS - 1) {
    std::size_t pick = boxes.size();
    int pickChannel = 0, pickRange = 0;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      int channel = 0;
      const int range = widest(boxes[b], channel);
      if (range > pickRange) {
        pickRange = range;
        pickChannel = channel;
        pick = b;
      }
    }
    if (pick == boxes.size()) break; // every box holds a single colour
    const Box box = boxes[pick];
    const std::size_t c = static_cast<std::size_t>(pickChannel);
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(box.begin),
              order.begin() + static_cast<std::ptrdiff_t>(box.end),
              [&](std::size_t a, std::size_t b) {
                const Colour ca = colourOf(a), cb = colourOf(b);
                if (ca[c] != cb[c]) return ca[c] < cb[c];
                if (ca != cb) return ca < cb;
                return a < b;
              });
    // Split at the median, moved so that equal values stay in one box.
    const std::uint8_t median = colourOf(order[(box.begin + box.end) / 2])[c];
    std::size_t split = box.begin;
    while (colourOf(order[split])[c] < median) ++split;
    if (split == box.begin) {
      while (colourOf(order[split])[c] == median) ++split;
    }
    boxes[pick] = {box.begin, split};
    boxes.push_back({split, box.end});
  }

  Paletted out;
  out.palette.push_back({0, 0, 0});
  out.indices.assign(count, 0);
  for (const Box& box : boxes) {
    std::array<std::size_t, 3> sum{};
    for (std::size_t i = box.begin; i < box.end; ++i) {
      const Colour col = colourOf(order[i]);
      for (std::size_t ch = 0; ch < 3; ++ch) sum[ch] += col[ch];
    }
    const std::size_t n = box.end - box.begin;
    Colour mean{};
    for (std::size_t ch = 0; ch < 3; ++ch) {
      mean[ch] = static_cast<std::uint8_t>((sum[ch] + n / 2) / n);
    }
    const auto index = static_cast<std::uint8_t>(out.palette.size());
    out.palette.push_back(mean);
    for (std::size_t i = box.begin; i < box.end; ++i) out.indices[order[i]] = index;
  }
  return out;
}

inline std::uint32_t crc32(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

inline void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// One PNG chunk: length, type, data, CRC of type and data.
inline void appendChunk(std::vector<std::uint8_t>& png, const char* type,
                 const std::vector<std::uint8_t>& data) {
  appendBigEndian(png, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  appendBigEndian(png, crc32(typed));
}

inline bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// A width x height paletted PNG, rows top to bottom.
inline bool writePalettePng(const std::string& path, int width, int height,
                            const Paletted& picture) {
  std::vector<std::uint8_t> header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 3, 0, 0, 0}); // depth, palette, deflate, filter, no interlace
  std::vector<std::uint8_t> palette;
  for (const Colour& c : picture.palette) palette.insert(palette.end(), c.begin(), c.end());
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0); // filter type None
    const auto first = picture.indices.begin() + static_cast<std::ptrdiff_t>(y) * width;
    rows.insert(rows.end(), first, first + width);
  }
  int packedLength = 0;
  unsigned char* packed =
      stbi_zlib_compress(rows.data(), static_cast<int>(rows.size()), &packedLength, 8);
  if (!packed) return false;
  const std::vector<std::uint8_t> pixels(packed, packed + packedLength);
  std::free(packed);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  appendChunk(png, "IHDR", header);
  appendChunk(png, "PLTE", palette);
  appendChunk(png, "IDAT", pixels);
  appendChunk(png, "IEND", {});
  return writeFile(path, png);
}

} // namespace palette_png
