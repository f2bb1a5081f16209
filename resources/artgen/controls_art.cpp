// Artwork of the engine levers, the elevator trim grip and the spoiler.
//
// The lever backgrounds and the spoiler are pure black, which the host does not
// draw; the knobs stand on pure black for the same reason and keep their own
// darkest tones above it. The trim pictures are grey-toned and hold no pure
// black at all, so transparency leaves them whole.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "resources/artgen/art.h"

namespace art {
namespace {

constexpr Rgb kBlack{0, 0, 0};

void Stop(cairo_pattern_t* p, double at, Rgb c) { cairo_pattern_add_color_stop_rgb(p, at, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

// -- levers --

// A black cylindrical grip lying across, its ends curved: the lit band runs
// along the cylinder's upper third.
void ThrottleKnob(cairo_t* cr) {
  const double x0 = 4, x1 = 85, y0 = 11, y1 = 39, end = 7;  // end: depth of the curved ends
  const auto body = [&] {
    cairo_new_path(cr);
    cairo_move_to(cr, x0 + end, y0);
    cairo_line_to(cr, x1 - end, y0);
    cairo_curve_to(cr, x1 + 1, y0, x1 + 1, y1, x1 - end, y1);
    cairo_line_to(cr, x0 + end, y1);
    cairo_curve_to(cr, x0 - 1, y1, x0 - 1, y0, x0 + end, y0);
    cairo_close_path(cr);
  };
  // Shadow of the grip on the slot below it.
  cairo_pattern_t* shadow = cairo_pattern_create_linear(0, y1, 0, y1 + 6);
  Stop(shadow, 0, {22, 22, 24});
  Stop(shadow, 1, {10, 10, 11});
  cairo_set_source(cr, shadow);
  RoundedRect(cr, x0 + 5, y1 - 2, x1 - x0 - 10, 7, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(shadow);

  cairo_pattern_t* shade = cairo_pattern_create_linear(0, y0, 0, y1);
  Stop(shade, 0.00, {34, 34, 38});
  Stop(shade, 0.18, {96, 96, 104});
  Stop(shade, 0.30, {150, 150, 158});
  Stop(shade, 0.42, {70, 70, 76});
  Stop(shade, 0.75, {28, 28, 31});
  Stop(shade, 1.00, {16, 16, 18});
  body();
  cairo_set_source(cr, shade);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);

  // The curved ends catch the light a little differently from the barrel.
  for (int side = 0; side < 2; ++side) {
    const double cx = side == 0 ? x0 + end : x1 - end;
    cairo_pattern_t* cap = cairo_pattern_create_linear(cx - end, 0, cx + end, 0);
    const Rgb edge{22, 22, 25}, mid{52, 52, 58};
    Stop(cap, 0, side == 0 ? edge : mid);
    Stop(cap, 1, side == 0 ? mid : edge);
    cairo_save(cr);
    body();
    cairo_clip(cr);
    cairo_set_source(cr, cap);
    cairo_rectangle(cr, side == 0 ? x0 - 1 : x1 - end, y0, end + 1, y1 - y0);
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, 0.55);
    cairo_restore(cr);
    cairo_pattern_destroy(cap);
  }
  // Knurled grooves across the barrel.
  cairo_set_line_width(cr, 1);
  for (double x = x0 + end + 6; x < x1 - end - 4; x += 6) {
    SetColor(cr, {18, 18, 20});
    cairo_move_to(cr, x + 0.5, y0 + 2);
    cairo_line_to(cr, x + 0.5, y1 - 2);
    cairo_stroke(cr);
  }
  // A thin rim line keeps the dark grip apart from the panel behind it.
  body();
  SetColor(cr, {60, 60, 66});
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

// A red fluted knob seen from the side, its dark stem at the left.
void MixtureKnob(cairo_t* cr) {
  // Stem.
  cairo_pattern_t* stem = cairo_pattern_create_linear(0, 20, 0, 31);
  Stop(stem, 0, {30, 30, 33});
  Stop(stem, 0.35, {74, 74, 80});
  Stop(stem, 1, {16, 16, 18});
  cairo_set_source(cr, stem);
  cairo_rectangle(cr, 0, 20, 20, 11);
  cairo_fill(cr);
  cairo_pattern_destroy(stem);
  // A collar where the stem meets the knob.
  cairo_pattern_t* collar = cairo_pattern_create_linear(0, 16, 0, 35);
  Stop(collar, 0, {60, 20, 20});
  Stop(collar, 0.3, {150, 40, 36});
  Stop(collar, 1, {50, 12, 12});
  cairo_set_source(cr, collar);
  RoundedRect(cr, 17, 16, 6, 19, 2);
  cairo_fill(cr);
  cairo_pattern_destroy(collar);

  // The knob body: a barrel with a domed face at the right.
  const double x0 = 22, x1 = 57, y0 = 5, y1 = 45;
  const auto body = [&] {
    cairo_new_path(cr);
    cairo_move_to(cr, x0, y0 + 4);
    cairo_line_to(cr, x1 - 8, y0);
    cairo_curve_to(cr, x1 + 1, y0 + 2, x1 + 1, y1 - 2, x1 - 8, y1);
    cairo_line_to(cr, x0, y1 - 4);
    cairo_close_path(cr);
  };
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, y0, 0, y1);
  Stop(shade, 0.00, {90, 14, 14});
  Stop(shade, 0.22, {214, 52, 44});
  Stop(shade, 0.32, {246, 120, 108});
  Stop(shade, 0.45, {196, 36, 30});
  Stop(shade, 0.80, {120, 18, 16});
  Stop(shade, 1.00, {60, 8, 8});
  body();
  cairo_set_source(cr, shade);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);

  // Flutes: grooves along the knob's axis, closer together toward the edges
  // as the barrel turns away.
  cairo_save(cr);
  body();
  cairo_clip(cr);
  const double cy = (y0 + y1) / 2, r = (y1 - y0) / 2;
  for (int i = -7; i <= 7; ++i) {
    const double y = cy + r * std::sin(i * M_PI / 16);
    SetColor(cr, {70, 8, 8});
    cairo_set_line_width(cr, 1.1);
    cairo_move_to(cr, x0, y);
    cairo_line_to(cr, x1 - 3, y);
    cairo_stroke(cr);
    SetColor(cr, {232, 92, 80});
    cairo_set_line_width(cr, 0.5);
    cairo_move_to(cr, x0, y + 1.1);
    cairo_line_to(cr, x1 - 5, y + 1.1);
    cairo_stroke(cr);
  }
  // The domed face darkens toward its rim.
  cairo_pattern_t* dome = cairo_pattern_create_linear(x1 - 10, 0, x1 + 1, 0);
  cairo_pattern_add_color_stop_rgba(dome, 0, 0.2, 0.02, 0.02, 0.0);
  cairo_pattern_add_color_stop_rgba(dome, 1, 0.2, 0.02, 0.02, 0.6);
  cairo_set_source(cr, dome);
  cairo_paint(cr);
  cairo_pattern_destroy(dome);
  cairo_restore(cr);
}

// -- trim grip --

// The grey photograph is drawn in colour-free tones, then given a fine grain
// and kept clear of pure black.
void FinishPhotograph(cairo_t* cr) {
  cairo_surface_t* s = cairo_get_target(cr);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      uint32_t hash = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
      hash = (hash ^ (hash >> 13)) * 0x5bd1e995u;
      const int grain = static_cast<int>((hash >> 24) % 7) - 3;
      const int grey = std::clamp((r * 30 + g * 59 + b * 11) / 100 + grain, 24, 248);
      row[x] = (static_cast<uint32_t>(grey) << 16) | (static_cast<uint32_t>(grey) << 8) | static_cast<uint32_t>(grey);
    }
  }
  cairo_surface_mark_dirty(s);
}

enum class Rocker { kCentred, kUp, kDown };

void TrimGrip(cairo_t* cr, Rocker rocker) {
  // Cockpit shadows behind the grip.
  cairo_pattern_t* back = cairo_pattern_create_radial(76, 53, 10, 76, 53, 100);
  Stop(back, 0, {78, 78, 78});
  Stop(back, 1, {34, 34, 34});
  cairo_set_source(cr, back);
  cairo_paint(cr);
  cairo_pattern_destroy(back);

  // The grip's head, seen from above at a slant: a rounded slab turned so its
  // long side runs from the lower left to the upper right.
  cairo_save(cr);
  cairo_translate(cr, 76, 54);
  cairo_rotate(cr, -0.42);
  SetColor(cr, {40, 40, 40});  // its shadow
  RoundedRect(cr, -68, -36, 140, 78, 30);
  cairo_fill(cr);
  cairo_pattern_t* head = cairo_pattern_create_linear(0, -40, 0, 40);
  Stop(head, 0.00, {176, 176, 176});
  Stop(head, 0.35, {138, 138, 138});
  Stop(head, 0.80, {96, 96, 96});
  Stop(head, 1.00, {66, 66, 66});
  cairo_set_source(cr, head);
  RoundedRect(cr, -70, -40, 140, 78, 30);
  cairo_fill(cr);
  cairo_pattern_destroy(head);
  // A soft sheen along the top edge, as the plastic catches the cockpit light.
  cairo_pattern_t* sheen = cairo_pattern_create_linear(0, -40, 0, -24);
  cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.35);
  cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0.0);
  cairo_set_source(cr, sheen);
  RoundedRect(cr, -62, -39, 124, 16, 8);
  cairo_fill(cr);
  cairo_pattern_destroy(sheen);
  // The seam of the grip's two halves.
  SetColor(cr, {84, 84, 84});
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, -66, 20);
  cairo_curve_to(cr, -20, 28, 30, 28, 68, 18);
  cairo_stroke(cr);
  cairo_restore(cr);

  // The thumb switch: a grey disc in a recess, with a raised bar across it
  // from the lower left to the upper right. Pushed, it tilts that way: the
  // disc slides toward the pushed side and the far rim catches the light.
  const double cx = 58, cy = 56, r = 19;
  double dx = 0, dy = 0;
  if (rocker == Rocker::kUp) dx = -3.5, dy = 3.5;
  if (rocker == Rocker::kDown) dx = 3.5, dy = -3.5;
  cairo_pattern_t* recess = cairo_pattern_create_radial(cx, cy, r - 2, cx, cy, r + 5);
  Stop(recess, 0, {46, 46, 46});
  Stop(recess, 1, {110, 110, 110});
  cairo_set_source(cr, recess);
  cairo_arc(cr, cx, cy, r + 5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_t* disc = cairo_pattern_create_radial(cx + dx - 6 - 2 * dx, cy + dy - 7 - 2 * dy, 2, cx + dx, cy + dy, r);
  Stop(disc, 0, {214, 214, 214});
  Stop(disc, 0.55, {150, 150, 150});
  Stop(disc, 1, {92, 92, 92});
  cairo_set_source(cr, disc);
  cairo_arc(cr, cx + dx, cy + dy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(disc);
  cairo_pattern_destroy(recess);
  if (rocker != Rocker::kCentred) {
    // The gap opened on the side the disc moved away from.
    SetColor(cr, {30, 30, 30});
    cairo_set_line_width(cr, 2.5);
    const double away = rocker == Rocker::kUp ? -M_PI / 4 : 3 * M_PI / 4;
    cairo_arc(cr, cx, cy, r + 1.5, away - 1.0, away + 1.0);
    cairo_stroke(cr);
  }
  // The bar across the disc, and its knurled ends.
  cairo_save(cr);
  cairo_translate(cr, cx + dx, cy + dy);
  cairo_rotate(cr, -M_PI / 4);
  SetColor(cr, {60, 60, 60});
  RoundedRect(cr, -r + 2, -4, 2 * r - 4, 10, 4);
  cairo_fill(cr);
  cairo_pattern_t* bar = cairo_pattern_create_linear(0, -5, 0, 5);
  Stop(bar, 0, {200, 200, 200});
  Stop(bar, 1, {104, 104, 104});
  cairo_set_source(cr, bar);
  RoundedRect(cr, -r + 2, -5, 2 * r - 4, 9, 4);
  cairo_fill(cr);
  cairo_pattern_destroy(bar);
  SetColor(cr, {84, 84, 84});
  cairo_set_line_width(cr, 0.8);
  for (int i = 0; i < 3; ++i) {
    for (int side = -1; side <= 1; side += 2) {
      const double x = side * (r - 6 - i * 2.5);
      cairo_move_to(cr, x, -4);
      cairo_line_to(cr, x, 3);
    }
  }
  cairo_stroke(cr);
  cairo_restore(cr);

  // The white push button at the upper right, proud of the grip.
  const double bx = 112, by = 27, br = 11;
  SetColor(cr, {56, 56, 56});
  cairo_arc(cr, bx + 1.5, by + 2, br + 1.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_t* button = cairo_pattern_create_radial(bx - 4, by - 4, 1, bx, by, br);
  Stop(button, 0, {250, 250, 250});
  Stop(button, 0.7, {226, 226, 226});
  Stop(button, 1, {170, 170, 170});
  cairo_set_source(cr, button);
  cairo_arc(cr, bx, by, br, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(button);

  // The lettering along the right-hand edge, turned on its side.
  cairo_save(cr);
  cairo_translate(cr, 141, 100);
  cairo_rotate(cr, -M_PI / 2);
  TextAt(cr, "TRIM", 2, 0, 8, {236, 236, 236});
  TextAt(cr, "A/P", 42, 0, 8, {236, 236, 236});
  TextAt(cr, "DISC", 68, 0, 8, {236, 236, 236});
  cairo_restore(cr);
  // An arrow pair beside the switch: nose up toward the lower left.
  SetColor(cr, {230, 230, 230});
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, 22, 92);
  cairo_line_to(cr, 30, 84);
  cairo_stroke(cr);
  cairo_move_to(cr, 20, 94);
  cairo_line_to(cr, 20, 88);
  cairo_line_to(cr, 26, 94);
  cairo_close_path(cr);
  cairo_fill(cr);

  FinishPhotograph(cr);
}

}  // namespace

void DrawControlsArt(Book& book) {
  book.Draw(0x1600, 89, 224, Depth::kPalette8, kBlack, [](cairo_t*) {});
  book.Draw(0x1601, 89, 50, Depth::kPalette8, kBlack, ThrottleKnob);
  book.Draw(0x1605, 60, 224, Depth::kRgb24, kBlack, [](cairo_t*) {});
  book.Draw(0x1606, 60, 50, Depth::kPalette8, kBlack, MixtureKnob);
  book.Draw(0x1610, 152, 106, Depth::kPalette8Rle, {60, 60, 60}, [](cairo_t* cr) { TrimGrip(cr, Rocker::kCentred); });
  book.Draw(0x1611, 152, 106, Depth::kPalette8, {60, 60, 60}, [](cairo_t* cr) { TrimGrip(cr, Rocker::kUp); });
  book.Draw(0x1612, 152, 106, Depth::kPalette8, {60, 60, 60}, [](cairo_t* cr) { TrimGrip(cr, Rocker::kDown); });
  book.Draw(0x1800, 78, 60, Depth::kPalette8Rle, kBlack, [](cairo_t*) {});
}

}  // namespace art
