// Writes Windows bitmaps: 24 bits per pixel, or 8 bits with a 256-colour
// palette, stored plain or run-length compressed (RLE8).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

enum class Depth { kRgb24, kPalette8, kPalette8Rle };

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Pixels top row first, width x height.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A palette image: at most 256 colours and an index per pixel, top row first.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<Rgb> palette;
  std::vector<uint8_t> indices;
};

// Reduces an image to at most 256 colours, deterministically. Images with
// 256 colours or fewer keep them exactly.
IndexedImage ToPalette(const Image& image);

// Encodes rows (bottom row first) with the RLE8 scheme, ending with the
// end-of-bitmap marker.
std::vector<uint8_t> EncodeRle8(const IndexedImage& image);

// The whole BMP file, with its 14-byte file header.
std::vector<uint8_t> EncodeBmp(const Image& image, Depth depth);

}  // namespace art
