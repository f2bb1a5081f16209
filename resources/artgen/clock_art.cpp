// Davtron 803 artwork: the 205 x 205 face and its 24-bit cells. Every cell is
// window colour where it is blank, so a hidden cell looks like an unlit one,
// and holds no pure black (which the icons' flags would make transparent).
#include <cmath>

#include "resources/artgen/art.h"

namespace art {

namespace {

constexpr Rgb kWindow{105, 114, 84};
constexpr Rgb kSegment{28, 32, 22};
constexpr int kCellW = 17;
constexpr int kCellH = 30;

// Seven-segment bit sets (a top .. g middle) of the unit letters.
constexpr unsigned kLetterE = 0x79;
constexpr unsigned kLetterF = 0x71;
constexpr unsigned kLetterC = 0x39;

void Segments(cairo_t* cr, unsigned segments) {
  SevenSegment(cr, 2.5, 2.5, kCellW - 5, kCellH - 5, segments, kSegment, kWindow);
}

void Disc(cairo_t* cr, double cx, double cy, double r, Rgb c) {
  SetColor(cr, c);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
}

// A round push button lit from the upper left.
void Button(cairo_t* cr, double cx, double cy, double r, Rgb light, Rgb dark) {
  Disc(cr, cx, cy, r + 1.5, {22, 22, 24});
  cairo_pattern_t* pat = cairo_pattern_create_radial(cx - r / 3, cy - r / 3, r / 6, cx, cy, r);
  cairo_pattern_add_color_stop_rgb(pat, 0, light.r / 255.0, light.g / 255.0, light.b / 255.0);
  cairo_pattern_add_color_stop_rgb(pat, 1, dark.r / 255.0, dark.g / 255.0, dark.b / 255.0);
  cairo_set_source(cr, pat);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
}

// A window: a recessed frame around a plain patch of window colour.
void Window(cairo_t* cr, double x, double y, double w, double h) {
  FillRect(cr, x - 2, y - 2, w + 4, h + 4, {18, 18, 20});
  FillRect(cr, x, y, w, h, kWindow);
}

void DrawFace(cairo_t* cr) {
  const Rgb label{225, 225, 225};
  // The corners stay pure black (transparent); the bezel fills the circle.
  cairo_pattern_t* bezel = cairo_pattern_create_linear(0, 0, 205, 205);
  cairo_pattern_add_color_stop_rgb(bezel, 0, 0.27, 0.27, 0.29);
  cairo_pattern_add_color_stop_rgb(bezel, 1, 0.12, 0.12, 0.13);
  cairo_set_source(cr, bezel);
  cairo_arc(cr, 102.5, 102.5, 101.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(bezel);
  Disc(cr, 102.5, 102.5, 95, {34, 34, 37});

  Screw(cr, 10, 10, 7);
  Screw(cr, 195, 10, 7);
  Screw(cr, 10, 195, 7);
  Screw(cr, 195, 195, 7);

  // The top button between O.A.T. and VOLTS (its mouse area is 87,5 35x28).
  Button(cr, 104.5, 20, 10, {255, 190, 90}, {200, 90, 10});
  TextCentered(cr, "O.A.T.", 70, 21, 9, label);
  TextCentered(cr, "VOLTS", 139, 21, 9, label);

  // Upper window: digit, digit, point, digit, letter (cells at y 52).
  Window(cr, 45, 48, 112, 38);
  // Lower window: annunciator, two digits, colon, two digits (cells at y 100).
  Window(cr, 19, 97, 162, 40);

  // SELECT and CONTROL over their buttons (areas 47,159 and 120,159, 41x38).
  TextCentered(cr, "SELECT", 67.5, 150, 8, label);
  TextCentered(cr, "CONTROL", 140.5, 150, 8, label);
  Button(cr, 67.5, 178, 13, {120, 215, 205}, {20, 110, 105});
  Button(cr, 140.5, 178, 13, {120, 215, 205}, {20, 110, 105});
  TextCentered(cr, "DAVTRON", 104, 192, 7, {200, 200, 200});
}

// 43 x 34 annunciator patch with its legend in one corner.
void Annunciator(cairo_t* cr, const char* text, bool right, bool bottom, bool bar) {
  const double x = right ? 31 : 11;
  const double y = bottom ? 23 : 9;
  TextCentered(cr, text, x, y, 11, kSegment);
  if (bar) FillRect(cr, x - 8, y + 7, 16, 2.5, kSegment);
}

}  // namespace

void DrawClockArt(Book& book) {
  book.Draw(0x1500, 205, 205, Depth::kRgb24, {0, 0, 0}, DrawFace);

  struct Legend {
    uint32_t id;
    const char* text;
    bool right, bottom, bar;
  };
  const Legend legends[] = {
      {0x1510, "UT", false, false, false},
      {0x1511, "LT", true, false, false},
      {0x1512, "FT", false, true, true},
      {0x1513, "ET", true, true, false},
  };
  for (const Legend& l : legends) {
    book.Draw(l.id, 43, 34, Depth::kRgb24, kWindow,
              [&](cairo_t* cr) { Annunciator(cr, l.text, l.right, l.bottom, l.bar); });
  }

  for (int digit = 0; digit <= 9; ++digit) {
    book.Draw(0x1550 + digit, kCellW, kCellH, Depth::kRgb24, kWindow,
              [digit](cairo_t* cr) { Segments(cr, DigitSegments(digit)); });
  }
  book.Draw(0x1560, kCellW, kCellH, Depth::kRgb24, kWindow,
            [](cairo_t* cr) { FillRect(cr, 1, kCellH - 6, 3.5, 3.5, kSegment); });
  book.Draw(0x1570, kCellW, kCellH, Depth::kRgb24, kWindow, [](cairo_t* cr) {
    FillRect(cr, 7, 9, 3.5, 3.5, kSegment);
    FillRect(cr, 7, 18, 3.5, 3.5, kSegment);
  });
  const unsigned letters[] = {kLetterE, kLetterF, kLetterC};
  for (int i = 0; i < 3; ++i) {
    book.Draw(0x1580 + i, kCellW, kCellH, Depth::kRgb24, kWindow,
              [&, i](cairo_t* cr) { Segments(cr, letters[i]); });
  }
}

}  // namespace art
