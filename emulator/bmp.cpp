#include "emulator/bmp.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvor {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;

[[noreturn]] void Fail(const std::string& reason) { throw std::runtime_error("BMP: " + reason); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

struct Rgb {
  uint8_t r, g, b;
};

// The parts of the info header the decoder needs, checked.
struct Layout {
  int width = 0;
  int height = 0;  // rows, positive
  bool top_down = false;
  int bits = 0;
  uint32_t compression = kRgb;
  uint32_t header_size = 0;
  uint32_t image_size = 0;  // biSizeImage, 0 when the writer left it out
  uint32_t palette_count = 0;
};

Layout ReadInfoHeader(const uint8_t* dib, size_t size) {
  if (size < 4) Fail("truncated: no room for the info header");
  Layout l;
  l.header_size = U32(dib);
  if (l.header_size == 12) Fail("OS/2 core headers (12 bytes) are not supported");
  if (l.header_size < kInfoHeaderSize) {
    Fail("info header size " + std::to_string(l.header_size) + " is too small (at least 40)");
  }
  if (l.header_size > size) {
    Fail("truncated: the info header needs " + std::to_string(l.header_size) + " bytes, " +
         std::to_string(size) + " present");
  }
  const int32_t width = I32(dib + 4);
  const int32_t height = I32(dib + 8);
  const uint16_t planes = U16(dib + 12);
  l.bits = U16(dib + 14);
  l.compression = U32(dib + 16);
  l.image_size = U32(dib + 20);
  const uint32_t colours_used = U32(dib + 32);

  if (planes != 1) Fail("plane count " + std::to_string(planes) + " (must be 1)");
  if (width <= 0) Fail("width " + std::to_string(width) + " (must be positive)");
  if (height == 0) Fail("height 0");
  // A negative height marks rows stored top first; INT32_MIN has no positive twin.
  if (height == INT32_MIN) Fail("height " + std::to_string(height) + " is out of range");
  l.width = width;
  l.top_down = height < 0;
  l.height = height < 0 ? -height : height;
  if (l.width > kMaxBmpSide || l.height > kMaxBmpSide ||
      uint64_t(l.width) * uint64_t(l.height) > kMaxBmpPixels) {
    Fail("size " + std::to_string(l.width) + "x" + std::to_string(l.height) +
         " exceeds the limit of " + std::to_string(kMaxBmpSide) + " pixels a side and " +
         std::to_string(kMaxBmpPixels) + " pixels in all");
  }
  if (l.bits != 8 && l.bits != 24) {
    Fail(std::to_string(l.bits) + " bits per pixel is not supported (8 or 24)");
  }
  if (l.compression != kRgb && !(l.compression == kRle8 && l.bits == 8)) {
    Fail("compression " + std::to_string(l.compression) + " is not supported with " +
         std::to_string(l.bits) + " bits per pixel (uncompressed, or RLE8 with 8 bits)");
  }
  if (l.compression == kRle8 && l.top_down) Fail("a top-down bitmap cannot be RLE8 compressed");
  if (l.bits == 8) {
    if (colours_used > 256) Fail("palette of " + std::to_string(colours_used) + " colours (at most 256)");
    l.palette_count = colours_used == 0 ? 256 : colours_used;
  } else {
    // A 24-bit bitmap may carry an advisory colour table; it is skipped.
    if (colours_used > 256) Fail("colour table of " + std::to_string(colours_used) + " entries (at most 256)");
    l.palette_count = colours_used;
  }
  return l;
}

std::vector<Rgb> ReadPalette(const uint8_t* dib, size_t size, const Layout& l) {
  const size_t end = size_t{l.header_size} + size_t{l.palette_count} * 4;
  if (end > size) {
    Fail("truncated: the palette of " + std::to_string(l.palette_count) + " colours needs " +
         std::to_string(end) + " bytes, " + std::to_string(size) + " present");
  }
  std::vector<Rgb> palette(l.palette_count);
  for (uint32_t i = 0; i < l.palette_count; ++i) {
    const uint8_t* q = dib + l.header_size + size_t{i} * 4;
    palette[i] = {q[2], q[1], q[0]};
  }
  return palette;
}

Raster NewRaster(const Layout& l) {
  Raster r;
  r.width = l.width;
  r.height = l.height;
  r.rgba.resize(size_t(l.width) * size_t(l.height) * 4);
  return r;
}

void Put(Raster& r, int x, int row, Rgb c) {
  uint8_t* p = &r.rgba[(size_t(row) * size_t(r.width) + size_t(x)) * 4];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
  p[3] = 255;
}

[[noreturn]] void BadIndex(int index, size_t count, int x, int row) {
  Fail("colour index " + std::to_string(index) + " at pixel (" + std::to_string(x) + "," +
       std::to_string(row) + ") but the palette has " + std::to_string(count) + " colours");
}

// Uncompressed rows, each padded to four bytes.
Raster DecodeRows(const uint8_t* bits, size_t available, const Layout& l, const std::vector<Rgb>& palette) {
  const size_t stride = (size_t(l.width) * size_t(l.bits / 8) + 3) & ~size_t{3};
  const size_t needed = stride * size_t(l.height);
  if (needed > available) {
    Fail("truncated: " + std::to_string(l.width) + "x" + std::to_string(l.height) + " pixels need " +
         std::to_string(needed) + " bytes of pixel data, " + std::to_string(available) + " present");
  }
  Raster r = NewRaster(l);
  for (int row = 0; row < l.height; ++row) {
    const uint8_t* src = bits + stride * size_t(l.top_down ? row : l.height - 1 - row);
    for (int x = 0; x < l.width; ++x) {
      if (l.bits == 24) {
        Put(r, x, row, {src[x * 3 + 2], src[x * 3 + 1], src[x * 3]});
      } else {
        if (src[x] >= palette.size()) BadIndex(src[x], palette.size(), x, row);
        Put(r, x, row, palette[src[x]]);
      }
    }
  }
  return r;
}

// RLE8: (n, c) runs, and escapes after a 0: end of line, end of bitmap,
// delta (dx, dy), or an absolute run of n >= 3 literal indices padded to a
// word. Lines go bottom up. Anything that would write outside the image is an
// error rather than clipped, so a damaged stream is reported, not drawn.
Raster DecodeRle8(const uint8_t* bits, size_t available, const Layout& l, const std::vector<Rgb>& palette) {
  // Indices first: pixels the stream never reaches keep index 0, the
  // background colour Windows gives them.
  std::vector<uint8_t> index(size_t(l.width) * size_t(l.height), 0);
  int x = 0, line = 0;  // line counts from the bottom row
  size_t i = 0;
  const auto need = [&](size_t n, const char* what) {
    if (available - i < n) {
      Fail(std::string("truncated RLE8 data: ") + what + " at byte " + std::to_string(i) + " runs past the " +
           std::to_string(available) + " bytes of pixel data");
    }
  };
  const auto check_run = [&](int n) {
    if (line >= l.height) {
      Fail("RLE8 data continues past the last row (at byte " + std::to_string(i) + ")");
    }
    if (n > l.width - x) {
      Fail("RLE8 run of " + std::to_string(n) + " pixels at x " + std::to_string(x) + " overruns row " +
           std::to_string(l.height - 1 - line) + " (width " + std::to_string(l.width) + ")");
    }
  };
  const auto at = [&](int px) -> uint8_t& { return index[size_t(line) * size_t(l.width) + size_t(px)]; };
  for (;;) {
    need(2, "a code");
    const int count = bits[i], value = bits[i + 1];
    i += 2;
    if (count > 0) {
      check_run(count);
      for (int k = 0; k < count; ++k) at(x + k) = static_cast<uint8_t>(value);
      x += count;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++line;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {
      need(2, "a delta");
      const int dx = bits[i], dy = bits[i + 1];
      i += 2;
      if (x + dx > l.width || line + dy >= l.height) {
        Fail("RLE8 delta (" + std::to_string(dx) + "," + std::to_string(dy) + ") from (" + std::to_string(x) +
             ", row " + std::to_string(l.height - 1 - line) + ") leaves the image");
      }
      x += dx;
      line += dy;
    } else {
      const int n = value;
      need(size_t(n), "an absolute run");
      check_run(n);
      for (int k = 0; k < n; ++k) at(x + k) = bits[i + size_t(k)];
      x += n;
      i += size_t(n);
      if (n % 2 != 0) {  // absolute runs keep the stream word aligned
        need(1, "an absolute run's pad byte");
        ++i;
      }
    }
  }
  Raster r = NewRaster(l);
  for (int ln = 0; ln < l.height; ++ln) {
    const int row = l.height - 1 - ln;
    for (int px = 0; px < l.width; ++px) {
      const uint8_t c = index[size_t(ln) * size_t(l.width) + size_t(px)];
      if (c >= palette.size()) BadIndex(c, palette.size(), px, row);
      Put(r, px, row, palette[c]);
    }
  }
  return r;
}

// `dib` starts at the info header; the pixel data lies at `bits_offset` from it.
Raster Decode(const uint8_t* dib, size_t size, const Layout& l, size_t bits_offset) {
  const std::vector<Rgb> palette = ReadPalette(dib, size, l);
  if (bits_offset > size) {
    Fail("pixel data offset " + std::to_string(bits_offset) + " lies past the end of the " +
         std::to_string(size) + " bytes");
  }
  size_t available = size - bits_offset;
  if (l.compression == kRle8) {
    if (l.image_size > available) {
      Fail("truncated: the header gives " + std::to_string(l.image_size) + " bytes of RLE8 data, " +
           std::to_string(available) + " present");
    }
    if (l.image_size != 0) available = l.image_size;
    return DecodeRle8(dib + bits_offset, available, l, palette);
  }
  return DecodeRows(dib + bits_offset, available, l, palette);
}

}  // namespace

Raster DecodeBmp(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2 || data[0] != 'B' || data[1] != 'M') Fail("not a bitmap file (no 'BM' signature)");
  if (size < kFileHeaderSize) Fail("truncated: " + std::to_string(size) + " bytes, shorter than the file header");
  const uint32_t bits_offset = U32(data + 10);
  const Layout l = ReadInfoHeader(data + kFileHeaderSize, size - kFileHeaderSize);
  const size_t colours_end = kFileHeaderSize + size_t{l.header_size} + size_t{l.palette_count} * 4;
  if (bits_offset < kFileHeaderSize + l.header_size) {
    Fail("pixel data offset " + std::to_string(bits_offset) + " points into the headers");
  }
  if (l.bits == 8 && bits_offset < colours_end) {
    Fail("pixel data offset " + std::to_string(bits_offset) + " points into the palette (which ends at " +
         std::to_string(colours_end) + ")");
  }
  return Decode(data + kFileHeaderSize, size - kFileHeaderSize, l, bits_offset - kFileHeaderSize);
}

Raster DecodeDib(const uint8_t* data, size_t size) {
  if (data == nullptr) Fail("no data");
  const Layout l = ReadInfoHeader(data, size);
  return Decode(data, size, l, size_t{l.header_size} + size_t{l.palette_count} * 4);
}

}  // namespace talvor
