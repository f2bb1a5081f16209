#include "emulator/raster.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
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
};

uint32_t SourcePixel(const uint8_t* p, SourceStyle style) {
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

// Buffers reused across calls, one set a thread, so a frame allocates only
// its result.
struct Scratch {
  std::vector<uint32_t> canvas;
  std::vector<uint32_t> source;
};
Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

class Canvas {
 public:
  Canvas(int w, int h, std::vector<uint32_t>& pixels) : w_(w), h_(h), px_(pixels) {
    px_.assign(size_t(w) * size_t(h), 0);
  }
  ~Canvas() {
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Unscaled, unturned, at whole pixels: a plain copy, the common case.
  void Copy(const Raster& bm, int x0, int y0, SourceStyle style) {
    if (cr_ != nullptr) cairo_surface_flush(surface_);
    const int xa = std::max(0, x0), xb = std::min(w_, x0 + bm.width);
    const int ya = std::max(0, y0), yb = std::min(h_, y0 + bm.height);
    for (int y = ya; y < yb; ++y) {
      const uint8_t* src = &bm.rgba[(size_t(y - y0) * size_t(bm.width) + size_t(xa - x0)) * 4];
      uint32_t* dst = &px_[size_t(y) * size_t(w_)];
      for (int x = xa; x < xb; ++x, src += 4) {
        const uint32_t s = SourcePixel(src, style);
        if ((s >> 24) == 255) {
          dst[x] = s;
        } else if (s != 0) {
          dst[x] = Over(s, dst[x]);
        }
      }
    }
    if (cr_ != nullptr) cairo_surface_mark_dirty(surface_);
  }

  // Anything scaled, turned or between pixels: through cairo, `to_canvas`
  // taking the bitmap's pixels to the canvas's.
  void Paint(const Raster& bm, const cairo_matrix_t& to_canvas, SourceStyle style, bool bilinear,
             std::vector<uint32_t>& source) {
    source.resize(size_t(bm.width) * size_t(bm.height));
    for (size_t i = 0; i < source.size(); ++i) source[i] = SourcePixel(&bm.rgba[i * 4], style);
    cairo_surface_t* src = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(source.data()), CAIRO_FORMAT_ARGB32, bm.width, bm.height, bm.width * 4);
    cairo_t* cr = Context();
    cairo_save(cr);
    cairo_set_matrix(cr, &to_canvas);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_filter(pattern, bilinear ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    // Padding keeps a scaled image's own edge pixels opaque; the rectangle
    // bounds it.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, bm.width, bm.height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(src);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
      throw std::runtime_error(std::string("drawing a gauge: ") + cairo_status_to_string(cairo_status(cr)));
    }
  }

  Raster Result() {
    if (cr_ != nullptr) cairo_surface_flush(surface_);
    Raster out;
    out.width = w_;
    out.height = h_;
    out.rgba.resize(px_.size() * 4);
    for (size_t i = 0; i < px_.size(); ++i) FromCairoPixel(px_[i], &out.rgba[i * 4]);
    return out;
  }

 private:
  cairo_t* Context() {
    if (cr_ == nullptr) {
      surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(px_.data()),
                                                     CAIRO_FORMAT_ARGB32, w_, h_, w_ * 4);
      cr_ = cairo_create(surface_);
    }
    return cr_;
  }

  int w_, h_;
  std::vector<uint32_t>& px_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
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

void FromCairoPixel(uint32_t argb, uint8_t* rgba) {
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
  Canvas canvas(out_w, out_h, scratch.canvas);
  const double sx = double(out_w) / face_w, sy = double(out_h) / face_h;
  const bool unscaled = out_w == face_w && out_h == face_h;
  for (const DrawItem& item : items) {
    const Raster& bm = *item.bitmap;
    if (bm.width == 0 || bm.height == 0 || !Finite(item)) continue;
    const SourceStyle style{(item.image_flags & kDrawTransparent) != 0,
                            night && (item.image_flags & kDrawBright) == 0};
    const bool needle = item.kind == 2;
    const bool turned = needle && item.angle_radians != 0;
    const double left = needle ? item.x - item.pivot_x : item.x;
    const double top = needle ? item.y - item.pivot_y : item.y;
    if (unscaled && !turned && Whole(left) && Whole(top)) {
      canvas.Copy(bm, static_cast<int>(left), static_cast<int>(top), style);
      continue;
    }
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sx, sy);
    cairo_matrix_translate(&m, item.x, item.y);
    if (needle) {
      cairo_matrix_rotate(&m, item.angle_radians);  // y points down: positive turns clockwise
      cairo_matrix_translate(&m, -item.pivot_x, -item.pivot_y);
    }
    if (!Reaches(m, bm, out_w, out_h)) continue;
    canvas.Paint(bm, m, style, turned || (item.image_flags & kDrawBilinear) != 0, scratch.source);
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
  r.rgba.resize(size_t(w) * size_t(h) * 4);
  for (size_t i = 0; i < r.rgba.size(); i += 4) {
    r.rgba[i] = static_cast<uint8_t>(rgb >> 16);
    r.rgba[i + 1] = static_cast<uint8_t>(rgb >> 8);
    r.rgba[i + 2] = static_cast<uint8_t>(rgb);
    r.rgba[i + 3] = 255;
  }
  return r;
}

void BlitOver(Raster& dst, const Raster& src, int x, int y) {
  CheckRaster(dst, "BlitOver destination");
  CheckRaster(src, "BlitOver source");
  // In 64 bits: x + width must not overflow for placements far off the raster.
  const int64_t xa = std::max<int64_t>(0, x), xb = std::min<int64_t>(dst.width, int64_t(x) + src.width);
  const int64_t ya = std::max<int64_t>(0, y), yb = std::min<int64_t>(dst.height, int64_t(y) + src.height);
  for (int64_t row = ya; row < yb; ++row) {
    const uint8_t* s = &src.rgba[(size_t(row - y) * size_t(src.width) + size_t(xa - x)) * 4];
    uint8_t* d = &dst.rgba[(size_t(row) * size_t(dst.width) + size_t(xa)) * 4];
    for (int64_t col = xa; col < xb; ++col, s += 4, d += 4) {
      const uint32_t sa = s[3];
      if (sa == 255) {
        std::copy(s, s + 4, d);
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
