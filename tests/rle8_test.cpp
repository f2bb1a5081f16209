// Run-length compressed bitmaps read back by the emulator's reader: the
// module's own RLE8 artwork, rows built to sit on the encoder's run limits,
// and the palette reduction that decides which pixels a host leaves undrawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "emulator/bmp.h"
#include "emulator/session.h"
#include "resources/artgen/art.h"

namespace {

using Bytes = std::vector<uint8_t>;

talvor::Raster Decode(const Bytes& file) { return talvor::DecodeBmp(file.data(), file.size()); }

art::Rgb PixelAt(const talvor::Raster& r, int x, int y) {
  const uint8_t* p = &r.rgba[(static_cast<size_t>(y) * r.width + x) * 4];
  return {p[0], p[1], p[2]};
}

// The image a palette bitmap stands for: every pixel through its palette entry.
art::Image ThroughPalette(const art::Image& image) {
  const art::IndexedImage indexed = art::ToPalette(image);
  art::Image out{image.width, image.height, {}};
  for (const uint8_t i : indexed.indices) out.pixels.push_back(indexed.palette.at(i));
  return out;
}

// Counts the pixels of `decoded` that differ from `expected`; reports the first.
int Mismatches(const talvor::Raster& decoded, const art::Image& expected, const std::string& what) {
  EXPECT_EQ(decoded.width, expected.width) << what;
  EXPECT_EQ(decoded.height, expected.height) << what;
  if (decoded.width != expected.width || decoded.height != expected.height) return -1;
  int wrong = 0;
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const art::Rgb got = PixelAt(decoded, x, y), want = expected.At(x, y);
      if (got == want) continue;
      if (wrong++ == 0) {
        ADD_FAILURE() << what << ": first wrong pixel at (" << x << "," << y << "): got " << int(got.r) << ","
                      << int(got.g) << "," << int(got.b) << " want " << int(want.r) << "," << int(want.g) << ","
                      << int(want.b);
      }
    }
  }
  return wrong;
}

size_t ColourCount(const art::Image& image) {
  std::set<uint32_t> colours;
  for (const art::Rgb& c : image.pixels) colours.insert(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
  return colours.size();
}

art::Book AllArtwork() {
  art::Book book;
  art::DrawAutopilotArt(book);
  art::DrawPreselectorArt(book);
  art::DrawAirspeedArt(book);
  art::DrawClockArt(book);
  art::DrawControlsArt(book);
  art::DrawAudioArt(book);
  return book;
}

std::string BitmapDir() {
  const std::string module = talvor::Session::DefaultModulePath();
  return module.substr(0, module.find_last_of('/') + 1) + "jovTalvor.bitmaps/";
}

TEST(Rle8, ModuleArtworkReadsBackAsDrawn) {
  const art::Book book = AllArtwork();
  int checked = 0;
  for (const art::Entry& e : book.entries()) {
    if (e.depth != art::Depth::kPalette8Rle) continue;
    ++checked;
    char name[16];
    std::snprintf(name, sizeof name, "%x", e.id);
    const Bytes file = art::EncodeBmp(e.image, e.depth);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[28] | file[29] << 8, 8) << name << ": bits per pixel";
    EXPECT_EQ(file[30], 1) << name << ": stored as RLE8";
    EXPECT_EQ(Mismatches(Decode(file), ThroughPalette(e.image), name), 0);
    // Pictures of 256 colours or fewer lose nothing at all.
    if (ColourCount(e.image) > 256) continue;
    EXPECT_EQ(Mismatches(Decode(file), e.image, std::string(name) + " exact"), 0);
    // What the build shipped is the same drawing, byte for byte.
    std::ifstream shipped(BitmapDir() + name + ".bmp", std::ios::binary);
    if (shipped) {
      EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(shipped), {}), file) << name << " as shipped";
    }
  }
  EXPECT_GE(checked, 2) << "the trim picture and the spoiler are stored as RLE8";
}

// Rows of palette indices laid on the encoder's limits: runs and literal
// stretches of 255, 256 and 257, odd literal lengths that need the pad byte,
// and one or two pixels left over at the end of a row.
TEST(Rle8, RowsOnTheEncodersRunLimits) {
  const auto run = [](int n, uint8_t v) { return std::vector<uint8_t>(n, v); };
  const auto literal = [](int n, uint8_t from) {
    std::vector<uint8_t> row;
    for (int i = 0; i < n; ++i) row.push_back(static_cast<uint8_t>(from + i % 7));
    return row;
  };
  const auto cat = [](std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> row;
    for (const auto& p : parts) row.insert(row.end(), p.begin(), p.end());
    return row;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> row;
  };
  const Case cases[] = {
      {"one pixel", {5}},
      {"two different", {5, 6}},
      {"two alike", {5, 5}},
      {"three alike", run(3, 9)},
      {"run of 255", run(255, 1)},
      {"run of 256", run(256, 2)},
      {"run of 257", run(257, 3)},
      {"run of 511", run(511, 4)},
      {"literal of 3", literal(3, 10)},
      {"literal of 5 then a run", cat({literal(5, 10), run(4, 1)})},
      {"literal of 254", literal(254, 20)},
      {"literal of 255", literal(255, 20)},
      {"literal of 256", literal(256, 20)},
      {"literal of 257", literal(257, 20)},
      {"run, literal, two left over", cat({run(4, 1), literal(6, 30), {7, 8}})},
      {"literal broken by a pair", cat({literal(4, 40), {3, 3}, literal(5, 50)})},
      {"literal up to the last pixel", cat({run(3, 1), literal(4, 60), {61}})},
  };
  for (const Case& c : cases) {
    for (const int height : {1, 3}) {
      const int w = static_cast<int>(c.row.size());
      art::Image image{w, height, {}};
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < w; ++x) {
          // Each row differs a little so that row order matters.
          const uint8_t v = static_cast<uint8_t>(c.row[x] + y);
          image.pixels.push_back({v, static_cast<uint8_t>(v * 3), static_cast<uint8_t>(255 - v)});
        }
      }
      const std::string what = std::string(c.what) + ", " + std::to_string(height) + " rows";
      try {
        EXPECT_EQ(Mismatches(Decode(art::EncodeBmp(image, art::Depth::kPalette8Rle)), image, what), 0);
      } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << e.what();
      }
    }
  }
}

// With the transparency bit a host skips pure black and draws everything
// else. Reducing a picture of many colours to a palette must keep that line:
// black stays black, and no other colour turns black.
TEST(Rle8, PaletteKeepsPureBlackApart) {
  struct Case {
    const char* what;
    std::vector<art::Rgb> shades;  // near-black pixels beside the black ones
    bool with_black;
  };
  const Case cases[] = {
      {"near-black outnumbering black", {{7, 7, 7}, {6, 7, 5}}, true},
      {"near-black without black", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, false},
  };
  for (const Case& c : cases) {
    // A gradient of 600 colours around a patch of the shades under test.
    art::Image image{40, 30, {}};
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        art::Rgb p{static_cast<uint8_t>(20 + x * 5), static_cast<uint8_t>(20 + y * 7), static_cast<uint8_t>(90)};
        if (x < 10 && y < 10) p = c.shades[(x + y) % c.shades.size()];
        if (c.with_black && x < 10 && y >= 10 && y < 13) p = {0, 0, 0};
        image.pixels.push_back(p);
      }
    }
    for (const art::Depth depth : {art::Depth::kPalette8, art::Depth::kPalette8Rle}) {
      const talvor::Raster r = Decode(art::EncodeBmp(image, depth));
      int turned_black = 0, lost_black = 0;
      for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
          const bool was_black = image.At(x, y) == art::Rgb{0, 0, 0};
          const bool is_black = PixelAt(r, x, y) == art::Rgb{0, 0, 0};
          turned_black += !was_black && is_black;
          lost_black += was_black && !is_black;
        }
      }
      EXPECT_EQ(turned_black, 0) << c.what << ", depth " << int(depth);
      EXPECT_EQ(lost_black, 0) << c.what << ", depth " << int(depth);
    }
  }
}

}  // namespace
