// Windows bitmap decoding for the emulator: the module's artwork arrives
// either as .bmp files (with the 14-byte file header) or as RT_BITMAP
// resource bytes (starting at the info header).
#pragma once

#include <cstddef>
#include <cstdint>

#include "emulator/session.h"

namespace talvor {

// Largest image accepted: 16384 pixels a side and 64 Mpixels in all (a 256 MiB
// raster, far beyond any panel). A few bytes of RLE8 can describe a huge
// image, so the limit is what bounds the decoder's allocation.
inline constexpr int kMaxBmpSide = 16384;
inline constexpr uint64_t kMaxBmpPixels = 8192ull * 8192ull;

// Decodes a Windows bitmap file (with its 14-byte file header): 24 bits per
// pixel, 8 bits with a palette, 8 bits run-length compressed (RLE8).
// Bottom-up and top-down. Every pixel comes out opaque; pixels an RLE8
// stream leaves unset take palette colour 0, as Windows fills them with the
// background. Throws std::runtime_error with a clear reason for malformed or
// truncated input.
Raster DecodeBmp(const uint8_t* data, size_t size);

// The same for a resource's bytes that start at the BITMAPINFOHEADER (no
// file header), as Windows stores RT_BITMAP.
Raster DecodeDib(const uint8_t* data, size_t size);

}  // namespace talvor
