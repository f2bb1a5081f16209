// Gauge compositing: transparency, night lighting, scaling filters, needle
// turning, blitting, PNG output and the golden-image helper.
#include "emulator/raster.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "emulator/bmp.h"
#include "emulator/png.h"
#include "resources/artgen/bmp_writer.h"
#include "tests/golden.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

struct Px {
  int r, g, b, a;
  bool operator==(const Px& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator!=(const Px& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const Px& p) {
  return os << "(" << p.r << "," << p.g << "," << p.b << "," << p.a << ")";
}

Px At(const Raster& r, int x, int y) {
  const uint8_t* p = &r.rgba[(size_t(y) * r.width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void Set(Raster& r, int x, int y, uint32_t rgb) {
  uint8_t* p = &r.rgba[(size_t(y) * r.width + x) * 4];
  p[0] = static_cast<uint8_t>(rgb >> 16);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb);
  p[3] = 255;
}

DrawItem Image(const Raster& bm, double x, double y, uint32_t flags) {
  DrawItem item;
  item.bitmap = &bm;
  item.kind = 0;
  item.x = x;
  item.y = y;
  item.image_flags = flags;
  return item;
}

constexpr Px kClear{0, 0, 0, 0};
constexpr Px kRed{255, 0, 0, 255};
constexpr Px kWhite{255, 255, 255, 255};
constexpr Px kBlack{0, 0, 0, 255};

// A 2x2 item over a red 4x4 face: black, near-black / white, black.
struct KeyFixture {
  Raster face = SolidRaster(4, 4, 0xFF0000);
  Raster item = SolidRaster(2, 2, 0x000000);
  KeyFixture() {
    Set(item, 1, 0, 0x050505);
    Set(item, 0, 1, 0xFFFFFF);
  }
};

TEST(Raster, TransparencyDropsPureBlackOnly) {
  KeyFixture f;
  struct Case {
    uint32_t flags;
    Px black_shows;
  };
  for (const Case& c : {Case{0x1, kRed}, Case{0x3, kRed}, Case{0x83, kRed}, Case{0x0, kBlack}, Case{0x80, kBlack}}) {
    const Raster out = DrawGauge(4, 4, {Image(f.face, 0, 0, 0), Image(f.item, 1, 1, c.flags)}, 4, 4, false);
    EXPECT_EQ(At(out, 1, 1), c.black_shows) << "flags " << c.flags;
    EXPECT_EQ(At(out, 2, 2), c.black_shows) << "flags " << c.flags;
    EXPECT_EQ(At(out, 2, 1), (Px{5, 5, 5, 255})) << "flags " << c.flags;
    EXPECT_EQ(At(out, 1, 2), kWhite) << "flags " << c.flags;
    EXPECT_EQ(At(out, 0, 0), kRed);
  }
  // Where nothing is drawn the canvas stays transparent, so a panel shows through.
  const Raster alone = DrawGauge(4, 4, {Image(f.item, 1, 1, 0x1)}, 4, 4, false);
  EXPECT_EQ(At(alone, 0, 0), kClear);
  EXPECT_EQ(At(alone, 1, 1), kClear);
  EXPECT_EQ(At(alone, 1, 2), kWhite);
}

TEST(Raster, TransparencyKeysAPaletteBlackOfAnEightBitBitmap) {
  art::Image img{3, 1, {{0, 0, 0}, {255, 255, 255}, {5, 5, 5}}};
  for (const art::Depth depth : {art::Depth::kPalette8, art::Depth::kPalette8Rle}) {
    const std::vector<uint8_t> file = art::EncodeBmp(img, depth);
    const Raster bm = DecodeBmp(file.data(), file.size());
    const Raster face = SolidRaster(3, 1, 0x0000FF);
    const Raster out = DrawGauge(3, 1, {Image(face, 0, 0, 0), Image(bm, 0, 0, 0x3)}, 3, 1, false);
    EXPECT_EQ(At(out, 0, 0), (Px{0, 0, 255, 255}));
    EXPECT_EQ(At(out, 1, 0), kWhite);
    EXPECT_EQ(At(out, 2, 0), (Px{5, 5, 5, 255}));
  }
}

TEST(Raster, NightDimsAllButBrightItems) {
  const Raster grey = SolidRaster(1, 1, 0xC86432);  // (200,100,50)
  struct Case {
    uint32_t flags;
    bool night;
    bool dimmed;
  };
  for (const Case& c : {Case{0x0, false, false}, Case{0x0, true, true}, Case{0x83, true, true},
                        Case{0x4, true, false}, Case{0x7, true, false}}) {
    const Px p = At(DrawGauge(1, 1, {Image(grey, 0, 0, c.flags)}, 1, 1, c.night), 0, 0);
    if (c.dimmed) {
      EXPECT_NEAR(p.r, 200 * kNightDim, 1.5) << "flags " << c.flags;
      EXPECT_NEAR(p.g, 100 * kNightDim, 1.5) << "flags " << c.flags;
      EXPECT_NEAR(p.b, 50 * kNightDim, 1.5) << "flags " << c.flags;
    } else {
      EXPECT_EQ(p, (Px{200, 100, 50, 255})) << "flags " << c.flags;
    }
    EXPECT_EQ(p.a, 255);
  }
}

// A 2x2 checker of red and blue, drawn four times larger.
TEST(Raster, ScalingPlacesItemsAndFiltersByFlag) {
  Raster checker = SolidRaster(2, 2, 0xFF0000);
  Set(checker, 1, 0, 0x0000FF);
  Set(checker, 0, 1, 0x0000FF);
  const auto draw = [&](uint32_t flags) { return DrawGauge(2, 2, {Image(checker, 0, 0, flags)}, 8, 8, false); };

  const Raster nearest = draw(0x0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(At(nearest, x, y), ((x < 4) == (y < 4) ? kRed : Px{0, 0, 255, 255})) << x << "," << y;
    }
  }
  // Bilinear: a blend across the middle, the corners still pure and opaque.
  const Raster smooth = draw(0x80);
  EXPECT_EQ(At(smooth, 0, 0), kRed);
  EXPECT_EQ(At(smooth, 7, 0), (Px{0, 0, 255, 255}));
  const Px mid = At(smooth, 3, 0);
  EXPECT_GT(mid.r, 20);
  EXPECT_GT(mid.b, 20);
  EXPECT_EQ(mid.a, 255);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(At(smooth, i, 7).a, 255) << "edge pixel " << i;

  // An element's place scales with the face: (2,1) on a 10x10 face drawn 20x20.
  const Raster face = SolidRaster(10, 10, 0x000000);
  const Raster dot = SolidRaster(1, 1, 0xFFFFFF);
  const Raster out = DrawGauge(10, 10, {Image(face, 0, 0, 0), Image(dot, 2, 1, 0)}, 20, 20, false);
  EXPECT_EQ(At(out, 4, 2), kWhite);
  EXPECT_EQ(At(out, 5, 3), kWhite);
  EXPECT_EQ(At(out, 6, 2), kBlack);
  EXPECT_EQ(At(out, 4, 4), kBlack);
}

// Where the brightest pixel of the canvas lies.
std::pair<int, int> Brightest(const Raster& r, int channel) {
  std::pair<int, int> best{-1, -1};
  int value = -1;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const int v = r.rgba[(size_t(y) * r.width + x) * 4 + channel];
      if (v > value) value = v, best = {x, y};
    }
  }
  return best;
}

TEST(Raster, NeedlesTurnClockwiseAboutTheirPivot) {
  // Pointing right: a blue shaft through the green pivot at (1,1), a red tip
  // at x 8; one colour a channel, so each part can be found.
  Raster needle = SolidRaster(9, 3, 0x000000);
  for (int x = 0; x < 8; ++x) Set(needle, x, 1, 0x0000FF);
  Set(needle, 8, 1, 0xFF0000);
  Set(needle, 1, 1, 0x00FF00);  // the pivot
  struct Case {
    double angle;
    int tip_x, tip_y;
  };
  for (const Case& c : {Case{0, 17, 10}, Case{kPi / 2, 10, 17}, Case{kPi, 3, 10}, Case{-kPi / 2, 10, 3},
                        Case{2 * kPi + kPi / 2, 10, 17}}) {
    DrawItem item;
    item.bitmap = &needle;
    item.kind = 2;
    item.x = 10.5;  // the pivot pixel's centre on the face
    item.y = 10.5;
    item.pivot_x = 1.5;
    item.pivot_y = 1.5;
    item.angle_radians = c.angle;
    item.image_flags = 0x1;
    const Raster out = DrawGauge(21, 21, {item}, 21, 21, false);
    EXPECT_EQ(Brightest(out, 1), std::make_pair(10, 10)) << "pivot stays, angle " << c.angle;
    const Px tip = At(out, c.tip_x, c.tip_y);
    EXPECT_GT(tip.r, 200) << "angle " << c.angle << " tip " << tip;
    EXPECT_LT(tip.g, 60) << "angle " << c.angle << " tip " << tip;
    EXPECT_EQ(At(out, 0, 0), kClear) << "black around the needle is keyed out";
  }

  // At a scale the pivot lands at its scaled place: (10.5,10.5) on 21 -> 42.
  DrawItem item;
  item.bitmap = &needle;
  item.kind = 2;
  item.x = item.y = 10.5;
  item.pivot_x = item.pivot_y = 1.5;
  item.angle_radians = kPi / 2;
  item.image_flags = 0x1;
  const Raster big = DrawGauge(21, 21, {item}, 42, 42, false);
  const auto [px, py] = Brightest(big, 1);
  EXPECT_NEAR(px, 20.5, 1.0);
  EXPECT_NEAR(py, 20.5, 1.0);
  EXPECT_GT(At(big, 21, 35).r, 200);
}

TEST(Raster, ItemsThatCannotBeDrawnAreSkippedOrRefused) {
  const Raster face = SolidRaster(4, 4, 0x00FF00);
  const Raster dot = SolidRaster(1, 1, 0xFFFFFF);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [x, y] : {std::pair{nan, 0.0}, std::pair{0.0, inf}, std::pair{1e300, 1.0},
                              std::pair{-5.0, 1.0}, std::pair{-1e18, -1e18}}) {
    for (const int scale : {1, 3}) {
      const Raster out = DrawGauge(4, 4, {Image(face, 0, 0, 0), Image(dot, x, y, 0)}, 4 * scale, 4 * scale, false);
      for (size_t i = 0; i < out.rgba.size(); i += 4) {
        ASSERT_EQ(out.rgba[i], 0) << "dot drawn from (" << x << "," << y << ") at scale " << scale;
      }
    }
  }
  DrawItem turned = Image(dot, 1, 1, 0);
  turned.kind = 2;
  turned.angle_radians = nan;
  EXPECT_EQ(At(DrawGauge(4, 4, {Image(face, 0, 0, 0), turned}, 4, 4, false), 1, 1), (Px{0, 255, 0, 255}));

  DrawItem no_bitmap;
  EXPECT_THROW(DrawGauge(4, 4, {no_bitmap}, 4, 4, false), std::invalid_argument);
  Raster broken = face;
  broken.rgba.pop_back();
  EXPECT_THROW(DrawGauge(4, 4, {Image(broken, 0, 0, 0)}, 4, 4, false), std::invalid_argument);
  EXPECT_THROW(DrawGauge(0, 4, {}, 4, 4, false), std::invalid_argument);
  EXPECT_THROW(DrawGauge(4, 4, {}, 4, -1, false), std::invalid_argument);
  EXPECT_THROW(DrawGauge(4, 4, {}, 100000, 100000, false), std::invalid_argument);
}

// A gauge at its own size is composed without cairo unless something in it
// is turned; both ways must give the same picture, translucency included.
TEST(Raster, DirectAndCairoCompositingAgree) {
  KeyFixture f;
  Raster glass = SolidRaster(3, 2, 0x3366CC);
  for (size_t i = 3; i < glass.rgba.size(); i += 4) glass.rgba[i] = static_cast<uint8_t>(60 + i * 8);
  const Raster blank = SolidRaster(2, 2, 0x000000);  // all keyed out: draws nothing
  DrawItem nothing = Image(blank, 2, 2, 0x1);
  nothing.kind = 2;
  nothing.angle_radians = 0.3;
  for (const bool night : {false, true}) {
    std::vector<DrawItem> items{Image(f.face, 0, 0, 0x83), Image(f.item, 1, 1, 0x3), Image(glass, 1, 2, 0x0)};
    const Raster direct = DrawGauge(4, 4, items, 4, 4, night);
    items.push_back(nothing);
    const Raster through_cairo = DrawGauge(4, 4, items, 4, 4, night);
    EXPECT_EQ(direct.rgba, through_cairo.rgba) << "night " << night;
    EXPECT_NE(At(direct, 2, 3), At(direct, 0, 3)) << "the translucent item shows";
  }
}

// Converted bitmaps are reused between frames; a bitmap whose pixels change
// (or a new one at a freed one's address) must be drawn as it now is.
TEST(Raster, ChangedBitmapsAreNotDrawnStale) {
  for (const int out : {4, 8}) {  // direct, and scaled through cairo
    Raster bm = SolidRaster(4, 4, 0x00FF00);
    EXPECT_EQ(At(DrawGauge(4, 4, {Image(bm, 0, 0, 0x80)}, out, out, false), 1, 1), (Px{0, 255, 0, 255}));
    Set(bm, 0, 0, 0xFF0000);
    EXPECT_EQ(At(DrawGauge(4, 4, {Image(bm, 0, 0, 0x80)}, out, out, false), 0, 0), kRed) << out;
    bm = SolidRaster(4, 4, 0x0000FF);
    EXPECT_EQ(At(DrawGauge(4, 4, {Image(bm, 0, 0, 0x80)}, out, out, false), 3, 3), (Px{0, 0, 255, 255})) << out;
  }
}

TEST(Raster, BlitOverClipsAndBlends) {
  Raster dst = SolidRaster(4, 3, 0x0000FF);
  Raster src = SolidRaster(2, 2, 0xFF0000);
  src.rgba[3] = 0;    // (0,0) clear
  src.rgba[7] = 128;  // (1,0) half
  BlitOver(dst, src, 3, 2);  // only src (0,0) lands, and it is clear
  EXPECT_EQ(At(dst, 3, 2), (Px{0, 0, 255, 255}));
  BlitOver(dst, src, -1, -1);  // only src (1,1) lands, at (0,0)
  EXPECT_EQ(At(dst, 0, 0), kRed);
  EXPECT_EQ(At(dst, 1, 0), (Px{0, 0, 255, 255}));
  BlitOver(dst, src, 1, 1);
  const Px half = At(dst, 2, 1);
  EXPECT_NEAR(half.r, 128, 1);
  EXPECT_NEAR(half.b, 127, 1);
  EXPECT_EQ(half.a, 255);

  // Over a transparent canvas a half-transparent pixel keeps its colour.
  Raster clear;
  clear.width = clear.height = 1;
  clear.rgba.assign(4, 0);
  Raster one = SolidRaster(1, 1, 0x336699);
  one.rgba[3] = 100;
  BlitOver(clear, one, 0, 0);
  EXPECT_EQ(At(clear, 0, 0), (Px{0x33, 0x66, 0x99, 100}));

  for (const auto& [x, y] : {std::pair{INT32_MAX, 0}, std::pair{INT32_MIN, INT32_MIN}, std::pair{4, 0}}) {
    Raster d = SolidRaster(4, 3, 0x0000FF);
    BlitOver(d, src, x, y);
    EXPECT_EQ(d.rgba, SolidRaster(4, 3, 0x0000FF).rgba);
  }
  Raster bad = src;
  bad.width = 3;
  EXPECT_THROW(BlitOver(dst, bad, 0, 0), std::invalid_argument);
}

TEST(Raster, PngRoundTrip) {
  Raster r = SolidRaster(5, 3, 0x123456);
  r.rgba[3] = 0;  // clear
  r.rgba[0] = r.rgba[1] = r.rgba[2] = 0;
  r.rgba[7] = 200;  // partly clear
  const std::vector<uint8_t> png = EncodePng(r);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  const Raster back = DecodePng(png.data(), png.size());
  ASSERT_EQ(back.width, 5);
  ASSERT_EQ(back.height, 3);
  for (size_t i = 0; i < r.rgba.size(); ++i) {
    EXPECT_NEAR(back.rgba[i], r.rgba[i], 1) << "byte " << i;  // premultiplying rounds partial alpha
  }
  EXPECT_EQ(At(back, 4, 2), (Px{0x12, 0x34, 0x56, 255}));

  EXPECT_THROW(EncodePng(Raster{}), std::invalid_argument);
  const uint8_t junk[] = {1, 2, 3};
  EXPECT_THROW(DecodePng(junk, sizeof junk), std::runtime_error);
  EXPECT_THROW(DecodePng(png.data(), png.size() / 2), std::runtime_error);
}

TEST(Raster, WritePngReplacesWholeFilesOnly) {
  const fs::path dir = fs::path(TALVOR_BINARY_DIR) / "raster-test-out";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "frame.png").string();
  WritePng(SolidRaster(3, 2, 0x00FF00), path);
  EXPECT_EQ(At(ReadPng(path), 2, 1), (Px{0, 255, 0, 255}));
  WritePng(SolidRaster(3, 2, 0xFF0000), path);
  EXPECT_EQ(At(ReadPng(path), 2, 1), kRed);

  // A failed write names the path and leaves the old picture and no stray file.
  try {
    WritePng(Raster{}, path);
    ADD_FAILURE() << "an empty raster was written";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_EQ(At(ReadPng(path), 2, 1), kRed);
  const std::string missing = (dir / "no-such-dir" / "x.png").string();
  try {
    WritePng(SolidRaster(1, 1, 0), missing);
    ADD_FAILURE() << "wrote into a missing directory";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
  EXPECT_THROW(ReadPng((dir / "absent.png").string()), std::runtime_error);
}

// A face, a transparent icon and a turned needle at an odd scale, as a
// gauge's picture is composed.
Raster Composite(bool night) {
  static const Raster face = [] {
    Raster r = SolidRaster(40, 30, 0x202830);
    for (int x = 0; x < 40; ++x) Set(r, x, 15, 0xC0C0C0);
    return r;
  }();
  static const Raster icon = [] {
    Raster r = SolidRaster(10, 6, 0x000000);
    for (int x = 1; x < 9; ++x) Set(r, x, 2, 0x40FF40), Set(r, x, 3, 0x40FF40);
    return r;
  }();
  static const Raster needle = [] {
    Raster r = SolidRaster(16, 3, 0x000000);
    for (int x = 0; x < 16; ++x) Set(r, x, 1, 0xFFFFFF);
    return r;
  }();
  DrawItem n;
  n.bitmap = &needle;
  n.kind = 2;
  n.x = 20;
  n.y = 15;
  n.pivot_x = 1.5;
  n.pivot_y = 1.5;
  n.angle_radians = 0.6;
  n.image_flags = 0x83;
  return DrawGauge(40, 30, {Image(face, 0, 0, 0x83), Image(icon, 4, 3, 0x7), n}, 60, 45, night);
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Golden, ComposedGaugeMatchesItsReference) {
  ExpectMatchesGolden(Composite(false), "raster_composite_day");
  ExpectMatchesGolden(Composite(true), "raster_composite_night");
}

TEST(Golden, MismatchesAndMissingReferencesFailClearly) {
  ScopedEnv no_update("TALVOR_UPDATE_GOLDEN", nullptr);
  const fs::path diff_dir = fs::path(TALVOR_BINARY_DIR) / "golden-diff";
  fs::remove(diff_dir / "raster_composite_day.diff.png");

  Raster changed = Composite(false);
  for (int y = 0; y < 10; ++y) Set(changed, 30, y, 0xFF00FF);
  EXPECT_NONFATAL_FAILURE(ExpectMatchesGolden(changed, "raster_composite_day"),
                          "10 of 2700 pixels differ by more than 8 (worst difference 223)");
  const Raster diff = ReadPng((diff_dir / "raster_composite_day.diff.png").string());
  EXPECT_GT(At(diff, 30, 5).r, 200);
  EXPECT_LT(At(diff, 10, 40).r, 100);
  EXPECT_EQ(ReadPng((diff_dir / "raster_composite_day.actual.png").string()).rgba, changed.rgba);

  // Within the allowed share of pixels, a few stray ones pass.
  ExpectMatchesGolden(changed, "raster_composite_day", 8, 0.01);

  EXPECT_NONFATAL_FAILURE(ExpectMatchesGolden(SolidRaster(60, 44, 0), "raster_composite_day"),
                          "the image is 60x44, the reference 60x45");
  EXPECT_NONFATAL_FAILURE(ExpectMatchesGolden(changed, "raster_no_such_reference"), "TALVOR_UPDATE_GOLDEN=1");
}

}  // namespace
}  // namespace talvor
