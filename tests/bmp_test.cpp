// Windows bitmap decoding: every stored form the artwork uses, round trips
// through the generator's writer, and damaged files refused with a reason.
#include "emulator/bmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/artgen/bmp_writer.h"

namespace talvor {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// Offsets in a file (file header + 40-byte info header).
constexpr size_t kOffBits = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22, kPlanes = 26, kBpp = 28,
                 kCompression = 30, kSizeImage = 34, kClrUsed = 46, kPalette = 54;

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bpp = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB
  Bytes bits;
};

Bytes File(const BmpLayout& s) {
  const size_t bits_at = kPalette + s.palette.size() * 4;
  Bytes b(bits_at, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(bits_at + s.bits.size()));
  Put32(b, kOffBits, static_cast<uint32_t>(bits_at));
  Put32(b, kHeaderSize, 40);
  Put32(b, kWidth, static_cast<uint32_t>(s.width));
  Put32(b, kHeight, static_cast<uint32_t>(s.height));
  Put16(b, kPlanes, 1);
  Put16(b, kBpp, s.bpp);
  Put32(b, kCompression, s.compression);
  Put32(b, kSizeImage, s.compression == 0 ? 0 : static_cast<uint32_t>(s.bits.size()));
  Put32(b, kClrUsed, static_cast<uint32_t>(s.palette.size()));
  for (size_t i = 0; i < s.palette.size(); ++i) {
    b[kPalette + i * 4] = static_cast<uint8_t>(s.palette[i]);
    b[kPalette + i * 4 + 1] = static_cast<uint8_t>(s.palette[i] >> 8);
    b[kPalette + i * 4 + 2] = static_cast<uint8_t>(s.palette[i] >> 16);
  }
  b.insert(b.end(), s.bits.begin(), s.bits.end());
  return b;
}

Raster Decode(const Bytes& b) { return DecodeBmp(b.data(), b.size()); }

uint32_t Rgb(const Raster& r, int x, int y) {
  const uint8_t* p = &r.rgba[(size_t(y) * r.width + x) * 4];
  EXPECT_EQ(p[3], 255) << "at " << x << "," << y;
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

// Palette for index tests: index i is colour 0x0000ii plus a marker in red.
std::vector<uint32_t> Ramp(int n) {
  std::vector<uint32_t> p;
  for (int i = 0; i < n; ++i) p.push_back(0x100000u * 0x0A + static_cast<uint32_t>(i));
  return p;
}

// The indices a decoded ramp-palette image shows, top row first.
std::vector<int> Indices(const Raster& r) {
  std::vector<int> out;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) out.push_back(static_cast<int>(Rgb(r, x, y) & 0xFF));
  return out;
}

TEST(Bmp, TwentyFourBitRowsArePaddedAndStoredBottomUp) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  // Stored bottom row first, blue-green-red, each 9-byte row padded to 12.
  s.bits = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0xEE, 0xEE, 0xEE,
            0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0xEE, 0xEE, 0xEE};
  const Raster r = Decode(File(s));
  ASSERT_EQ(r.width, 3);
  ASSERT_EQ(r.height, 2);
  ASSERT_EQ(r.rgba.size(), 3u * 2 * 4);
  EXPECT_EQ(Rgb(r, 0, 0), 0x131211u);
  EXPECT_EQ(Rgb(r, 2, 0), 0x191817u);
  EXPECT_EQ(Rgb(r, 0, 1), 0x030201u);
  EXPECT_EQ(Rgb(r, 2, 1), 0x090807u);

  s.height = -2;  // the same bytes read top-down
  const Raster t = Decode(File(s));
  EXPECT_EQ(Rgb(t, 0, 0), 0x030201u);
  EXPECT_EQ(Rgb(t, 2, 1), 0x191817u);
}

TEST(Bmp, EightBitLooksUpThePaletteAndSkipsRowPadding) {
  BmpLayout s;
  s.width = 5;
  s.height = 2;
  s.bpp = 8;
  s.palette = Ramp(6);
  s.bits = {5, 4, 3, 2, 1, 0xEE, 0xEE, 0xEE,  // bottom row, padded to 8
            0, 1, 2, 3, 4, 0xEE, 0xEE, 0xEE};
  const Raster r = Decode(File(s));
  EXPECT_EQ(Indices(r), (std::vector<int>{0, 1, 2, 3, 4, 5, 4, 3, 2, 1}));
  EXPECT_EQ(Rgb(r, 0, 0), 0xA00000u);

  // A resource's bytes start at the info header; the pixels follow the palette.
  const Bytes file = File(s);
  const Raster d = DecodeDib(file.data() + 14, file.size() - 14);
  EXPECT_EQ(d.rgba, r.rgba);
}

TEST(Bmp, Rle8Streams) {
  struct Case {
    const char* what;
    int width, height;
    Bytes stream;
    std::vector<int> indices;  // top row first
  };
  const Case cases[] = {
      {"encoded runs, end of line, end of bitmap", 4, 2, {4, 1, 0, 0, 2, 2, 2, 3, 0, 1}, {2, 2, 3, 3, 1, 1, 1, 1}},
      {"absolute run of odd length with its pad byte", 5, 1, {0, 3, 7, 8, 9, 0, 2, 4, 0, 1}, {7, 8, 9, 4, 4}},
      {"absolute run of even length, no pad", 4, 1, {0, 4, 1, 2, 3, 4, 0, 1}, {1, 2, 3, 4}},
      {"delta skips pixels, which keep colour 0", 4, 3, {1, 5, 0, 2, 2, 1, 1, 6, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 6, 5, 0, 0, 0}},
      {"end of bitmap early leaves the rest at colour 0", 3, 2, {3, 9, 0, 1}, {0, 0, 0, 9, 9, 9}},
      {"end of line in mid-row", 3, 2, {1, 7, 0, 0, 2, 8, 0, 1}, {8, 8, 0, 7, 0, 0}},
  };
  for (const Case& c : cases) {
    BmpLayout s;
    s.width = c.width;
    s.height = c.height;
    s.bpp = 8;
    s.compression = 1;
    s.palette = Ramp(10);
    s.bits = c.stream;
    try {
      EXPECT_EQ(Indices(Decode(File(s))), c.indices) << c.what;
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.what << ": " << e.what();
    }
  }
}

art::Image Pattern(int w, int h) {
  art::Image img{w, h, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Long runs, lone pixels and short literal stretches, in under 256 colours.
      const uint8_t v = static_cast<uint8_t>(x < w / 2 ? (y * 7) % 200 : ((x * x + y) % 13) * 17);
      img.pixels.push_back({v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(x % 3 == 0 ? 0 : 90)});
    }
  }
  return img;
}

TEST(Bmp, RoundTripsTheGeneratorsBitmaps) {
  const art::Depth depths[] = {art::Depth::kRgb24, art::Depth::kPalette8, art::Depth::kPalette8Rle};
  for (const art::Depth depth : depths) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{37, 11}, std::pair{300, 2}}) {
      const art::Image img = Pattern(w, h);
      const Bytes file = art::EncodeBmp(img, depth);
      const Raster r = Decode(file);
      ASSERT_EQ(r.width, w);
      ASSERT_EQ(r.height, h);
      int wrong = 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const art::Rgb c = img.At(x, y);
          if (Rgb(r, x, y) != ((uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b)) ++wrong;
        }
      }
      EXPECT_EQ(wrong, 0) << "depth " << int(depth) << ", " << w << "x" << h;
    }
  }
}

TEST(Bmp, MalformedInputIsRefusedWithAReason) {
  BmpLayout good8;
  good8.width = 2;
  good8.height = 2;
  good8.bpp = 8;
  good8.palette = Ramp(4);
  good8.bits = {0, 1, 0, 0, 2, 3, 0, 0};
  BmpLayout rle = good8;
  rle.compression = 1;
  rle.bits = {2, 1, 0, 0, 2, 3, 0, 1};
  BmpLayout good24;
  good24.width = 2;
  good24.height = 1;
  good24.bits = Bytes(8, 0x40);

  struct Case {
    const char* what;
    Bytes bytes;
    const char* reason;  // expected within the message
  };
  const auto with = [](BmpLayout s, auto&& change) {
    change(s);
    return File(s);
  };
  const auto patched = [](Bytes b, size_t at, uint32_t v, int width = 4) {
    width == 2 ? Put16(b, at, v) : Put32(b, at, v);
    return b;
  };
  const Bytes f8 = File(good8), f24 = File(good24), frle = File(rle);
  const Case cases[] = {
      {"empty", {}, "no 'BM' signature"},
      {"another format", {'G', 'I', 'F', '8', '9', 'a'}, "no 'BM' signature"},
      {"file header cut", Bytes(f8.begin(), f8.begin() + 10), "shorter than the file header"},
      {"info header cut", Bytes(f8.begin(), f8.begin() + 30), "info header needs 40 bytes"},
      {"OS/2 header", patched(f8, kHeaderSize, 12), "OS/2"},
      {"tiny header", patched(f8, kHeaderSize, 16), "too small"},
      {"width 0", patched(f8, kWidth, 0), "width 0"},
      {"negative width", patched(f8, kWidth, uint32_t(-2)), "width -2"},
      {"height 0", patched(f8, kHeight, 0), "height 0"},
      {"height INT32_MIN", patched(f8, kHeight, 0x80000000u), "out of range"},
      {"too wide", patched(f8, kWidth, 20000), "exceeds the limit"},
      {"too many pixels", patched(patched(f8, kWidth, 16384), kHeight, 16384), "exceeds the limit"},
      {"two planes", patched(f8, kPlanes, 2, 2), "plane count 2"},
      {"16 bits", patched(f24, kBpp, 16, 2), "16 bits per pixel"},
      {"4 bits", patched(f8, kBpp, 4, 2), "4 bits per pixel"},
      {"RLE4", patched(f8, kCompression, 2), "compression 2"},
      {"RLE8 on 24 bits", patched(f24, kCompression, 1), "compression 1"},
      {"bit fields", patched(f24, kCompression, 3), "compression 3"},
      {"top-down RLE8", patched(frle, kHeight, uint32_t(-2)), "top-down"},
      {"palette over 256", patched(f8, kClrUsed, 300), "300 colours"},
      {"palette cut", Bytes(f8.begin(), f8.begin() + kPalette + 6), "palette of 4 colours"},
      {"pixel offset past the end", patched(f8, kOffBits, 5000), "past the end"},
      {"pixel offset into the headers", patched(f8, kOffBits, 20), "into the headers"},
      {"pixel offset into the palette", patched(f8, kOffBits, kPalette + 4), "into the palette"},
      {"24-bit pixels cut", Bytes(f24.begin(), f24.end() - 1), "need 8 bytes"},
      {"8-bit pixels cut", Bytes(f8.begin(), f8.end() - 3), "need 8 bytes"},
      {"index beyond the palette", with(good8, [](BmpLayout& s) { s.bits[1] = 9; }), "colour index 9"},
      {"RLE8 run overruns its row", with(rle, [](BmpLayout& s) { s.bits[0] = 3; }), "overruns row"},
      {"RLE8 absolute run overruns its row", with(rle, [](BmpLayout& s) { s.bits = {0, 3, 1, 1, 1, 0, 0, 1}; }),
       "overruns row"},
      {"RLE8 runs past the last row", with(rle, [](BmpLayout& s) { s.bits = {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}; }),
       "past the last row"},
      {"RLE8 delta past the top", with(rle, [](BmpLayout& s) { s.bits = {0, 2, 0, 2, 0, 1}; }), "delta (0,2)"},
      {"RLE8 delta past the right", with(rle, [](BmpLayout& s) { s.bits = {1, 1, 0, 2, 2, 0, 0, 1}; }), "delta (2,0)"},
      {"RLE8 absolute run past the data", with(rle, [](BmpLayout& s) { s.bits = {0, 4, 1, 2}; }), "absolute run"},
      {"RLE8 without an end", with(rle, [](BmpLayout& s) { s.bits = {2, 1, 0, 0, 2, 3}; }), "truncated RLE8 data"},
      {"RLE8 delta cut", with(rle, [](BmpLayout& s) { s.bits = {0, 2, 1}; }), "a delta"},
      {"RLE8 size over the data", patched(frle, kSizeImage, 99), "99 bytes of RLE8 data"},
      {"RLE8 index beyond the palette", with(rle, [](BmpLayout& s) { s.bits[1] = 200; }), "colour index 200"},
  };
  for (const Case& c : cases) {
    try {
      DecodeBmp(c.bytes.data(), c.bytes.size());
      ADD_FAILURE() << c.what << ": decoded without complaint";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
          << c.what << ": \"" << e.what() << "\" does not say \"" << c.reason << "\"";
      EXPECT_EQ(std::string(e.what()).rfind("BMP: ", 0), 0u) << e.what();
    }
  }
  EXPECT_THROW(DecodeBmp(nullptr, 0), std::runtime_error);
  EXPECT_THROW(DecodeDib(nullptr, 0), std::runtime_error);
  EXPECT_THROW(DecodeDib(f8.data() + 14, 20), std::runtime_error);
}

// Every prefix and many random corruptions of valid files either decode or
// throw the decoder's error; never anything else (the sanitizer build turns
// any stray read into a failure here).
TEST(Bmp, DamagedFilesNeverCrash) {
  std::vector<Bytes> files;
  for (const art::Depth depth : {art::Depth::kRgb24, art::Depth::kPalette8, art::Depth::kPalette8Rle}) {
    files.push_back(art::EncodeBmp(Pattern(13, 5), depth));
  }
  std::mt19937 rng(1234);
  int decoded = 0, refused = 0;
  for (const Bytes& file : files) {
    for (size_t n = 0; n < file.size(); ++n) {
      EXPECT_THROW(DecodeBmp(file.data(), n), std::runtime_error) << "prefix of " << n << " bytes";
    }
    for (int round = 0; round < 3000; ++round) {
      Bytes b = file;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < flips; ++k) {
        // Mostly the headers and the stream's first bytes, where the structure is.
        const size_t at = rng() % 2 ? rng() % std::min<size_t>(b.size(), 70) : rng() % b.size();
        b[at] = static_cast<uint8_t>(rng());
      }
      try {
        const Raster r = DecodeBmp(b.data(), b.size());
        EXPECT_EQ(r.rgba.size(), size_t(r.width) * size_t(r.height) * 4);
        ++decoded;
      } catch (const std::runtime_error&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace talvor
