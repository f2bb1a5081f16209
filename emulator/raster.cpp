#include "emulator/raster.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace talvor {
namespace {

// kNightDim in 1/256ths, for integer dimming.
constexpr uint32_t kDimScale = static_cast<uint32_t>(kNightDim * 256 + 0.5);

uint32_t Div255(uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

void CheckSize(int w, int h, const char* what) {
  if (w <= 0 || h <= 0 || w > kMaxBmpSide || h > kMaxBmpSide ||
      uint64_t(w) * uint64_t(h) > kMaxBmpPixels) {
    throw std::invalid_argument(std::string(what) + " size " + std::to_string(w) + "x" + std::to_string(h) +
                                " is not positive or exceeds " + std::to_string(kMaxBmpSide) + " a side and " +
                                std::to_string(kMaxBmpPixels) + " pixels in all");
  }
}

// One source pixel as drawn: black keyed out under transparency, dimmed at
// night, premultiplied.
struct SourceStyle {
  bool key_black;
  bool dim;
  bool operator==(const SourceStyle& o) const { return key_black == o.key_black && dim == o.dim; }
};

inline uint32_t SourcePixel(const uint8_t* p, SourceStyle style) {
  uint32_t r = p[0], g = p[1], b = p[2];
  const uint32_t a = p[3];
  if (style.key_black && (r | g | b) == 0) return 0;
  if (style.dim) {
    r = (r * kDimScale + 128) >> 8;
    g = (g * kDimScale + 128) >> 8;
    b = (b * kDimScale + 128) >> 8;
  }
  if (a != 255) {
    r = Div255(r * a);
    g = Div255(g * a);
    b = Div255(b * a);
  }
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// A run of pixels converted; the style's branches hoisted out of the loop.
// (__restrict__: without it every store may alias the byte reads, which
// keeps the compiler from doing more than a byte at a time.)
template <bool kKey, bool kDim>
void ConvertRun(const uint8_t* __restrict__ src, uint32_t* __restrict__ dst, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = SourcePixel(src + i * 4, {kKey, kDim});
}
void ConvertRun(const uint8_t* src, uint32_t* dst, size_t n, SourceStyle style) {
  if (style.key_black) {
    style.dim ? ConvertRun<true, true>(src, dst, n) : ConvertRun<true, false>(src, dst, n);
  } else {
    style.dim ? ConvertRun<false, true>(src, dst, n) : ConvertRun<false, false>(src, dst, n);
  }
}

inline void StraightPixel(uint32_t argb, uint8_t* __restrict__ rgba) {
  const uint32_t a = argb >> 24;
  uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  if (a == 0) {
    r = g = b = 0;
  } else if (a != 255) {
    r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
    g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
    b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
  }
  rgba[0] = static_cast<uint8_t>(r);
  rgba[1] = static_cast<uint8_t>(g);
  rgba[2] = static_cast<uint8_t>(b);
  rgba[3] = static_cast<uint8_t>(a);
}

// Premultiplied source over premultiplied destination.
uint32_t Over(uint32_t s, uint32_t d) {
  const uint32_t inv = 255 - (s >> 24);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t c = ((s >> shift) & 0xFF) + Div255(((d >> shift) & 0xFF) * inv);
    out |= std::min<uint32_t>(c, 255) << shift;
  }
  return out;
}

// Converted copies of the bitmaps drawn on the cairo canvas, so a scaled
// face is not converted again at every frame. An entry is found by the raster's
// address and style and used only while its pixels still equal the copy it
// was made from: a memcmp is several times cheaper than converting, and a
// new raster at a freed one's address can never show stale pixels.
class SourceCache {
 public:
  // The premultiplied pixels of `bm` in `style`, width x height, valid until
  // the next call.
  const uint32_t* Get(const Raster& bm, SourceStyle style) {
    const size_t n = size_t(bm.width) * size_t(bm.height);
    ++clock_;
    Entry* slot = nullptr;
    for (Entry& e : entries_) {
      if (e.key != &bm || !(e.style == style)) continue;
      if (e.pixels == bm.rgba) {
        e.last_use = clock_;
        return e.argb.data();
      }
      slot = &e;  // the same raster with new pixels: refill its entry
      break;
    }
    const size_t bytes = n * 8;
    if (bytes > kMaxBytes / 4) {  // too big to keep: convert for this draw only
      scratch_.resize(n);
      ConvertRun(bm.rgba.data(), scratch_.data(), n, style);
      return scratch_.data();
    }
    if (slot == nullptr) slot = FreeSlot(bytes);
    bytes_ = bytes_ - slot->argb.size() * 8 + bytes;
    slot->key = &bm;
    slot->style = style;
    slot->last_use = clock_;
    slot->pixels = bm.rgba;
    slot->argb.resize(n);
    ConvertRun(bm.rgba.data(), slot->argb.data(), n, style);
    return slot->argb.data();
  }

 private:
  static constexpr size_t kMaxEntries = 64;
  static constexpr size_t kMaxBytes = size_t{64} << 20;

  struct Entry {
    const Raster* key = nullptr;
    SourceStyle style{false, false};
    uint64_t last_use = 0;
    std::vector<uint8_t> pixels;  // the RGBA the entry was made from
    std::vector<uint32_t> argb;
  };

  // An entry to fill with `bytes` more, evicting the least recently used
  // while the cache is full.
  Entry* FreeSlot(size_t bytes) {
    while (!entries_.empty() && (entries_.size() >= kMaxEntries || bytes_ + bytes > kMaxBytes)) {
      auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                     [](const Entry& a, const Entry& b) { return a.last_use < b.last_use; });
      bytes_ -= oldest->argb.size() * 8;
      entries_.erase(oldest);
    }
    entries_.emplace_back();
    return &entries_.back();
  }

  std::vector<Entry> entries_;
  size_t bytes_ = 0;
  uint64_t clock_ = 0;
  std::vector<uint32_t> scratch_;
};

// How one item reaches the canvas.
struct Placement {
  enum Kind { kSkip, kCopy, kPaint } kind = kSkip;
  int x0 = 0, y0 = 0;  // kCopy: the top-left pixel
  cairo_matrix_t to_canvas{};  // kPaint: bitmap pixels to canvas pixels
  bool bilinear = false;
  SourceStyle style{false, false};
};

// State kept per thread across calls, so a frame allocates little more than
// its result.
struct Scratch {
  std::vector<uint32_t> canvas;
  std::vector<Placement> plan;
  SourceCache cache;
};
Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// The part of bm at (x0, y0) that lies on a w x h canvas, for a row-by-row copy.
struct Clip {
  int xa, xb, ya, yb;
  bool Empty() const { return xa >= xb || ya >= yb; }
};
Clip ClipTo(const Raster& bm, int x0, int y0, int w, int h) {
  return {std::max(0, x0), std::min(w, x0 + bm.width), std::max(0, y0), std::min(h, y0 + bm.height)};
}

// One row of an unscaled copy straight into RGBA: opaque pixels move as
// they are (the usual case: bitmaps from BMP files are opaque), keyed black
// is skipped, and only translucent ones are blended.
template <bool kKey, bool kDim>
void StraightRow(const uint8_t* __restrict__ src, uint8_t* __restrict__ dst, size_t n) {
  for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
    if (kKey && (src[0] | src[1] | src[2]) == 0) continue;
    if (src[3] == 255) {
      if (kDim) {
        for (int c = 0; c < 3; ++c) dst[c] = static_cast<uint8_t>((src[c] * kDimScale + 128) >> 8);
        dst[3] = 255;
      } else {
        std::memcpy(dst, src, 4);
      }
    } else if (src[3] != 0) {
      StraightPixel(Over(SourcePixel(src, {kKey, kDim}), SourcePixel(dst, {false, false})), dst);
    }
  }
}

// Unscaled whole-pixel copies straight into the RGBA result: the path of a
// gauge drawn at its own size with nothing turned, which needs no cairo.
void CopyStraight(Raster& out, const Raster& bm, int x0, int y0, SourceStyle style) {
  const Clip c = ClipTo(bm, x0, y0, out.width, out.height);
  if (c.Empty()) return;
  const size_t n = size_t(c.xb - c.xa);
  for (int y = c.ya; y < c.yb; ++y) {
    const uint8_t* src = &bm.rgba[(size_t(y - y0) * size_t(bm.width) + size_t(c.xa - x0)) * 4];
    uint8_t* dst = &out.rgba[(size_t(y) * size_t(out.width) + size_t(c.xa)) * 4];
    if (style.key_black) {
      style.dim ? StraightRow<true, true>(src, dst, n) : StraightRow<true, false>(src, dst, n);
    } else {
      style.dim ? StraightRow<false, true>(src, dst, n) : StraightRow<false, false>(src, dst, n);
    }
  }
}

// A premultiplied canvas that cairo draws on, for gauges with anything
// scaled, turned or between pixels.
class Canvas {
 public:
  Canvas(int w, int h, std::vector<uint32_t>& pixels) : w_(w), h_(h), px_(pixels) {
    px_.assign(size_t(w) * size_t(h), 0);
    surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(px_.data()),
                                                   CAIRO_FORMAT_ARGB32, w_, h_, w_ * 4);
    cr_ = cairo_create(surface_);
  }
  ~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // `source`: bm's pixels as drawn, premultiplied. Onto untouched canvas
  // (the face, usually) rows are copied whole: over transparent, a pixel is
  // itself.
  void Copy(const Raster& bm, const uint32_t* source, int x0, int y0) {
    const Clip c = ClipTo(bm, x0, y0, w_, h_);
    if (c.Empty()) return;
    cairo_surface_flush(surface_);
    const size_t n = size_t(c.xb - c.xa);
    for (int y = c.ya; y < c.yb; ++y) {
      const uint32_t* __restrict__ src = source + size_t(y - y0) * size_t(bm.width) + size_t(c.xa - x0);
      uint32_t* __restrict__ dst = &px_[size_t(y) * size_t(w_) + size_t(c.xa)];
      if (!drawn_) {
        std::memcpy(dst, src, n * 4);
        continue;
      }
      for (size_t i = 0; i < n; ++i) {
        const uint32_t s = src[i];
        if ((s >> 24) == 255) {
          dst[i] = s;
        } else if (s != 0) {
          dst[i] = Over(s, dst[i]);
        }
      }
    }
    drawn_ = true;
    cairo_surface_mark_dirty(surface_);
  }

  void Paint(const Raster& bm, const uint32_t* source, const cairo_matrix_t& to_canvas, bool bilinear) {
    cairo_surface_t* src = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(source)), CAIRO_FORMAT_ARGB32, bm.width, bm.height,
        bm.width * 4);
    cairo_save(cr_);
    cairo_set_matrix(cr_, &to_canvas);
    cairo_set_source_surface(cr_, src, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr_);
    cairo_pattern_set_filter(pattern, bilinear ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    // Padding keeps a scaled image's own edge pixels opaque; the rectangle
    // bounds it.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_rectangle(cr_, 0, 0, bm.width, bm.height);
    cairo_fill(cr_);
    cairo_restore(cr_);
    cairo_surface_destroy(src);
    drawn_ = true;
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
      throw std::runtime_error(std::string("drawing a gauge: ") + cairo_status_to_string(cairo_status(cr_)));
    }
  }

  Raster Result() {
    cairo_surface_flush(surface_);
    Raster out;
    out.width = w_;
    out.height = h_;
    out.rgba.resize(px_.size() * 4);
    const uint32_t* __restrict__ src = px_.data();
    uint8_t* __restrict__ dst = out.rgba.data();
    for (size_t i = 0, n = px_.size(); i < n; ++i) StraightPixel(src[i], dst + i * 4);
    return out;
  }

 private:
  int w_, h_;
  std::vector<uint32_t>& px_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
  bool drawn_ = false;  // whether anything has been drawn yet
};

bool Finite(const DrawItem& item) {
  return std::isfinite(item.x) && std::isfinite(item.y) && std::isfinite(item.pivot_x) &&
         std::isfinite(item.pivot_y) && std::isfinite(item.angle_radians);
}

// Whether the bitmap's rectangle, taken through m, reaches the canvas.
bool Reaches(const cairo_matrix_t& m, const Raster& bm, int w, int h) {
  double lo_x = INFINITY, lo_y = INFINITY, hi_x = -INFINITY, hi_y = -INFINITY;
  for (int corner = 0; corner < 4; ++corner) {
    double x = (corner & 1) ? bm.width : 0, y = (corner & 2) ? bm.height : 0;
    cairo_matrix_transform_point(&m, &x, &y);
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    lo_x = std::min(lo_x, x);
    hi_x = std::max(hi_x, x);
    lo_y = std::min(lo_y, y);
    hi_y = std::max(hi_y, y);
  }
  return hi_x > 0 && hi_y > 0 && lo_x < w && lo_y < h;
}

bool Whole(double v) { return v == std::floor(v) && std::fabs(v) < 1e9; }

}  // namespace

uint32_t ToCairoPixel(const uint8_t* rgba) { return SourcePixel(rgba, {false, false}); }


void FromCairoPixel(uint32_t argb, uint8_t* rgba) { StraightPixel(argb, rgba); }

void CheckRaster(const Raster& raster, const char* what) {
  if (raster.width < 0 || raster.height < 0 ||
      raster.rgba.size() != size_t(raster.width) * size_t(raster.height) * 4) {
    throw std::invalid_argument(std::string(what) + ": a " + std::to_string(raster.width) + "x" +
                                std::to_string(raster.height) + " raster with " +
                                std::to_string(raster.rgba.size()) + " bytes of pixels");
  }
}

Raster DrawGauge(int face_w, int face_h, const std::vector<DrawItem>& items, int out_w, int out_h,
                 bool night) {
  CheckSize(face_w, face_h, "gauge face");
  CheckSize(out_w, out_h, "gauge canvas");
  for (const DrawItem& item : items) {
    if (item.bitmap == nullptr) throw std::invalid_argument("DrawGauge: an item without a bitmap");
    CheckRaster(*item.bitmap, "DrawGauge item");
  }
  Scratch& scratch = ThreadScratch();
  const double sx = double(out_w) / face_w, sy = double(out_h) / face_h;
  const bool unscaled = out_w == face_w && out_h == face_h;
  bool needs_cairo = false;
  scratch.plan.resize(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const DrawItem& item = items[i];
    const Raster& bm = *item.bitmap;
    Placement& p = scratch.plan[i];
    p.kind = Placement::kSkip;
    if (bm.width == 0 || bm.height == 0 || !Finite(item)) continue;
    p.style = {(item.image_flags & kDrawTransparent) != 0, night && (item.image_flags & kDrawBright) == 0};
    const bool needle = item.kind == 2;
    const bool turned = needle && item.angle_radians != 0;
    const double left = needle ? item.x - item.pivot_x : item.x;
    const double top = needle ? item.y - item.pivot_y : item.y;
    if (unscaled && !turned && Whole(left) && Whole(top)) {
      p.kind = Placement::kCopy;
      p.x0 = static_cast<int>(left);
      p.y0 = static_cast<int>(top);
      continue;
    }
    cairo_matrix_init_scale(&p.to_canvas, sx, sy);
    cairo_matrix_translate(&p.to_canvas, item.x, item.y);
    if (needle) {
      cairo_matrix_rotate(&p.to_canvas, item.angle_radians);  // y points down: positive turns clockwise
      cairo_matrix_translate(&p.to_canvas, -item.pivot_x, -item.pivot_y);
    }
    if (!Reaches(p.to_canvas, bm, out_w, out_h)) continue;
    p.kind = Placement::kPaint;
    p.bilinear = turned || (item.image_flags & kDrawBilinear) != 0;
    needs_cairo = true;
  }

  if (!needs_cairo) {
    Raster out;
    out.width = out_w;
    out.height = out_h;
    out.rgba.resize(size_t(out_w) * size_t(out_h) * 4);
    for (size_t i = 0; i < items.size(); ++i) {
      const Placement& p = scratch.plan[i];
      if (p.kind == Placement::kCopy) CopyStraight(out, *items[i].bitmap, p.x0, p.y0, p.style);
    }
    return out;
  }
  Canvas canvas(out_w, out_h, scratch.canvas);
  for (size_t i = 0; i < items.size(); ++i) {
    const Placement& p = scratch.plan[i];
    const Raster& bm = *items[i].bitmap;
    if (p.kind == Placement::kCopy) {
      canvas.Copy(bm, scratch.cache.Get(bm, p.style), p.x0, p.y0);
    } else if (p.kind == Placement::kPaint) {
      canvas.Paint(bm, scratch.cache.Get(bm, p.style), p.to_canvas, p.bilinear);
    }
  }
  return canvas.Result();
}

Raster SolidRaster(int w, int h, uint32_t rgb) {
  if (w < 0 || h < 0) {
    throw std::invalid_argument("SolidRaster: size " + std::to_string(w) + "x" + std::to_string(h));
  }
  if (w > 0 && h > 0) CheckSize(w, h, "SolidRaster");
  Raster r;
  r.width = w;
  r.height = h;
  const uint8_t pixel[4] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                           static_cast<uint8_t>(rgb), 255};
  r.rgba.resize(size_t(w) * size_t(h) * 4);
  if (r.rgba.empty()) return r;
  // One row pixel by pixel, the others copied from it.
  const size_t row = size_t(w) * 4;
  for (size_t i = 0; i < row; i += 4) std::memcpy(&r.rgba[i], pixel, 4);
  for (int y = 1; y < h; ++y) std::memcpy(&r.rgba[size_t(y) * row], r.rgba.data(), row);
  return r;
}

void BlitOver(Raster& dst, const Raster& src, int x, int y) { BlitOver(dst, src, x, y, 0, 0, dst.width, dst.height); }

void BlitOver(Raster& dst, const Raster& src, int x, int y, int clip_x, int clip_y, int clip_w, int clip_h) {
  CheckRaster(dst, "BlitOver destination");
  CheckRaster(src, "BlitOver source");
  // In 64 bits: x + width must not overflow for placements far off the raster.
  const int64_t xa = std::max<int64_t>({0, x, clip_x});
  const int64_t xb = std::min<int64_t>({dst.width, int64_t(x) + src.width, int64_t(clip_x) + clip_w});
  const int64_t ya = std::max<int64_t>({0, y, clip_y});
  const int64_t yb = std::min<int64_t>({dst.height, int64_t(y) + src.height, int64_t(clip_y) + clip_h});
  for (int64_t row = ya; row < yb; ++row) {
    const uint8_t* s = &src.rgba[(size_t(row - y) * size_t(src.width) + size_t(xa - x)) * 4];
    uint8_t* d = &dst.rgba[(size_t(row) * size_t(dst.width) + size_t(xa)) * 4];
    for (int64_t col = xa; col < xb; ++col, s += 4, d += 4) {
      const uint32_t sa = s[3];
      if (sa == 255) {
        // Opaque runs (most of a gauge's face) are copied whole.
        size_t run = 1;
        while (col + int64_t(run) < xb && s[run * 4 + 3] == 255) ++run;
        std::memcpy(d, s, run * 4);
        col += int64_t(run) - 1;
        s += (run - 1) * 4;
        d += (run - 1) * 4;
      } else if (sa != 0) {
        // Straight alpha: out = s*sa + d*da*(1-sa), divided by the new alpha.
        const uint32_t da = d[3];
        const uint32_t dw = da * (255 - sa);          // d's weight, in 255ths squared
        const uint32_t total = sa * 255 + dw;         // out alpha, in 255ths squared
        for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * sa * 255 + d[c] * dw + total / 2) / total);
        d[3] = static_cast<uint8_t>(Div255(total));
      }
    }
  }
}

}  // namespace talvor
