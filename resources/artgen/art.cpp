#include "resources/artgen/art.h"

#include <cmath>
#include <stdexcept>

namespace art {

void Book::Draw(uint32_t id, int width, int height, Depth depth, Rgb background,
                const std::function<void(cairo_t*)>& paint) {
  for (const Entry& e : entries_) {
    if (e.id == id) throw std::logic_error("bitmap drawn twice: " + std::to_string(id));
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  FillRect(cr, 0, 0, width, height, background);
  paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  Image image{width, height, {}};
  image.pixels.reserve(static_cast<size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = row[x];
      image.pixels.push_back({static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
    }
  }
  cairo_surface_destroy(surface);
  entries_.push_back({id, depth, std::move(image)});
}

void SetColor(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void FillRect(cairo_t* cr, double x, double y, double w, double h, Rgb c) {
  SetColor(cr, c);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

namespace {
void SelectFont(cairo_t* cr, double size, bool bold) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}
}  // namespace

void TextCentered(cairo_t* cr, const std::string& text, double cx, double cy, double size, Rgb c, bool bold) {
  SelectFont(cr, size, bold);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text.c_str(), &ext);
  SetColor(cr, c);
  cairo_move_to(cr, cx - ext.width / 2 - ext.x_bearing, cy - ext.height / 2 - ext.y_bearing);
  cairo_show_text(cr, text.c_str());
}

void TextAt(cairo_t* cr, const std::string& text, double x, double y, double size, Rgb c, bool bold) {
  SelectFont(cr, size, bold);
  SetColor(cr, c);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

unsigned DigitSegments(int digit) {
  static const unsigned kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  if (digit < 0 || digit > 9) throw std::out_of_range("digit");
  return kSegments[digit];
}

void SevenSegment(cairo_t* cr, double x, double y, double w, double h, unsigned segments, Rgb on, Rgb off) {
  const double t = std::max(1.5, std::min(w, h) * 0.16);  // stroke thickness
  const double mid = y + h / 2;
  struct Seg {
    double x, y, w, h;
  };
  const Seg segs[7] = {
      {x + t, y, w - 2 * t, t},                  // a
      {x + w - t, y + t, t, h / 2 - 1.5 * t},    // b
      {x + w - t, mid + t / 2, t, h / 2 - 1.5 * t},  // c
      {x + t, y + h - t, w - 2 * t, t},          // d
      {x, mid + t / 2, t, h / 2 - 1.5 * t},      // e
      {x, y + t, t, h / 2 - 1.5 * t},            // f
      {x + t, mid - t / 2, w - 2 * t, t},        // g
  };
  for (int i = 0; i < 7; ++i) {
    FillRect(cr, segs[i].x, segs[i].y, segs[i].w, segs[i].h, (segments >> i) & 1 ? on : off);
  }
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void Screw(cairo_t* cr, double cx, double cy, double r) {
  cairo_pattern_t* pat = cairo_pattern_create_radial(cx - r / 3, cy - r / 3, r / 5, cx, cy, r);
  cairo_pattern_add_color_stop_rgb(pat, 0, 0.75, 0.75, 0.75);
  cairo_pattern_add_color_stop_rgb(pat, 1, 0.30, 0.30, 0.30);
  cairo_set_source(cr, pat);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
  SetColor(cr, {40, 40, 40});
  cairo_set_line_width(cr, std::max(1.0, r / 4));
  cairo_move_to(cr, cx - r * 0.7, cy - r * 0.3);
  cairo_line_to(cr, cx + r * 0.7, cy + r * 0.3);
  cairo_stroke(cr);
}

}  // namespace art
