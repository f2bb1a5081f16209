// jovAltPreselector's bitmaps: the face, the test pattern, the seven-segment
// digits and signs, the decimal point and the annunciator words. Everything on
// the display window is dark ink on the window's green; no pixel of the small
// bitmaps is pure black, so the transparency bit never punches holes in them.
#include <cmath>
#include <string>

#include "resources/artgen/art.h"

namespace art {

namespace {

constexpr Rgb kWindowGreen{218, 234, 136};
constexpr Rgb kInk{4, 4, 4};
constexpr Rgb kBezel{34, 35, 38};
constexpr Rgb kPlate{52, 53, 57};
constexpr Rgb kLegend{228, 228, 222};
constexpr Rgb kButtonFace{78, 80, 86};

constexpr int kDigitW = 13;
constexpr int kDigitH = 22;

// Where the elements sit on the face, for artwork that must line up with them.
constexpr double kWindowX = 46, kWindowY = 26, kWindowW = 157, kWindowH = 45;
constexpr double kKnobX = 228, kKnobY = 53, kKnobR = 18;

// A word in capitals fitted to a w x h box: its capitals one pixel short of
// the box's height, squeezed sideways when it would not fit the width.
void FittedWord(cairo_t* cr, const std::string& text, double x, double y, double w, double h, Rgb c,
                double cap = 0) {
  cairo_save(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  const double cap_height = cap > 0 ? cap : h - 2;
  cairo_set_font_size(cr, cap_height / 0.729);  // DejaVu Sans capitals stand 0.729 em
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text.c_str(), &ext);
  const double squeeze = ext.width > w - 1 ? (w - 1) / ext.width : 1.0;
  cairo_translate(cr, x + w / 2, y + h / 2);
  cairo_scale(cr, squeeze, 1.0);
  SetColor(cr, c);
  cairo_move_to(cr, -ext.width / 2 - ext.x_bearing, cap_height / 2);
  cairo_show_text(cr, text.c_str());
  cairo_restore(cr);
}

// One segment of a liquid-crystal figure: a bar with pointed ends between two
// points on its centre line.
void Segment(cairo_t* cr, double x1, double y1, double x2, double y2, double t) {
  const double half = t / 2;
  if (y1 == y2) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 + half, y1 - half);
    cairo_line_to(cr, x2 - half, y1 - half);
    cairo_line_to(cr, x2, y1);
    cairo_line_to(cr, x2 - half, y1 + half);
    cairo_line_to(cr, x1 + half, y1 + half);
  } else {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 + half, y1 + half);
    cairo_line_to(cr, x1 + half, y2 - half);
    cairo_line_to(cr, x1, y2);
    cairo_line_to(cr, x1 - half, y2 - half);
    cairo_line_to(cr, x1 - half, y1 + half);
  }
  cairo_close_path(cr);
}

enum SegmentBits : unsigned { kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64, kPlusBar = 128 };

// A figure in a digit's 13 x 22 cell at (x, y). Segments lie on whole pixels
// so that the figures stay crisp at the size the panel shows them.
void Figure(cairo_t* cr, double x, double y, unsigned segments) {
  constexpr double t = 2.0, gap = 0.5;
  constexpr double left = 3, right = 10, top = 2, bottom = 20;
  constexpr double mid = (top + bottom) / 2;
  cairo_save(cr);
  cairo_translate(cr, x, y);
  if (segments & kA) Segment(cr, left + gap, top, right - gap, top, t);
  if (segments & kB) Segment(cr, right, top + gap, right, mid - gap, t);
  if (segments & kC) Segment(cr, right, mid + gap, right, bottom - gap, t);
  if (segments & kD) Segment(cr, left + gap, bottom, right - gap, bottom, t);
  if (segments & kE) Segment(cr, left, mid + gap, left, bottom - gap, t);
  if (segments & kF) Segment(cr, left, top + gap, left, mid - gap, t);
  if (segments & kG) Segment(cr, left + gap, mid, right - gap, mid, t);
  if (segments & kPlusBar) {
    const double cx = (left + right) / 2, half = (right - left) / 2;
    Segment(cr, cx, mid - half - gap, cx, mid - gap, t);
    Segment(cr, cx, mid + gap, cx, mid + half + gap, t);
  }
  SetColor(cr, kInk);
  cairo_fill(cr);
  cairo_restore(cr);
}

void Digit(cairo_t* cr, double x, double y, int digit) { Figure(cr, x, y, DigitSegments(digit)); }

void Point(cairo_t* cr, double x, double y) {
  SetColor(cr, kInk);
  cairo_arc(cr, x + 1.5, y + 4.4, 1.45, 0, 2 * M_PI);
  cairo_fill(cr);
}

// A push button with its legend, filling the box of its mouse area.
void Button(cairo_t* cr, const std::string& label, double x, double y, double w, double h) {
  RoundedRect(cr, x - 1, y - 1, w + 2, h + 2, 3);
  SetColor(cr, {18, 18, 20});
  cairo_fill(cr);
  cairo_pattern_t* pat = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(pat, 0, 0.42, 0.43, 0.46);
  cairo_pattern_add_color_stop_rgb(pat, 1, kButtonFace.r / 320.0, kButtonFace.g / 320.0, kButtonFace.b / 320.0);
  RoundedRect(cr, x, y, w, h, 2.5);
  cairo_set_source(cr, pat);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
  FittedWord(cr, label, x + 1, y, w - 2, h, kLegend, h >= 16 ? 6.5 : 6.0);
}

void Knob(cairo_t* cr) {
  // Knurled rim.
  cairo_pattern_t* rim = cairo_pattern_create_radial(kKnobX - 6, kKnobY - 6, 2, kKnobX, kKnobY, kKnobR);
  cairo_pattern_add_color_stop_rgb(rim, 0, 0.36, 0.36, 0.38);
  cairo_pattern_add_color_stop_rgb(rim, 1, 0.09, 0.09, 0.10);
  cairo_arc(cr, kKnobX, kKnobY, kKnobR, 0, 2 * M_PI);
  cairo_set_source(cr, rim);
  cairo_fill(cr);
  cairo_pattern_destroy(rim);
  cairo_set_line_width(cr, 1.0);
  for (int i = 0; i < 36; ++i) {
    const double a = i * M_PI / 18;
    SetColor(cr, i % 2 ? Rgb{22, 22, 24} : Rgb{92, 92, 96});
    cairo_move_to(cr, kKnobX + std::cos(a) * (kKnobR - 3), kKnobY + std::sin(a) * (kKnobR - 3));
    cairo_line_to(cr, kKnobX + std::cos(a) * (kKnobR - 0.5), kKnobY + std::sin(a) * (kKnobR - 0.5));
    cairo_stroke(cr);
  }
  // Cap.
  cairo_pattern_t* cap = cairo_pattern_create_linear(kKnobX - 12, kKnobY - 12, kKnobX + 12, kKnobY + 12);
  cairo_pattern_add_color_stop_rgb(cap, 0, 0.50, 0.50, 0.53);
  cairo_pattern_add_color_stop_rgb(cap, 1, 0.16, 0.16, 0.18);
  cairo_arc(cr, kKnobX, kKnobY, kKnobR - 4, 0, 2 * M_PI);
  cairo_set_source(cr, cap);
  cairo_fill(cr);
  cairo_pattern_destroy(cap);
  cairo_arc(cr, kKnobX, kKnobY, kKnobR - 4, 0, 2 * M_PI);
  SetColor(cr, {20, 20, 22});
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
  // Index line.
  SetColor(cr, kLegend);
  cairo_set_line_width(cr, 1.6);
  cairo_move_to(cr, kKnobX, kKnobY - kKnobR + 5);
  cairo_line_to(cr, kKnobX, kKnobY - 6);
  cairo_stroke(cr);
}

void Face(cairo_t* cr) {
  // Bezel with a lit upper edge, and the plate set into it.
  cairo_pattern_t* bezel = cairo_pattern_create_linear(0, 0, 0, 116);
  cairo_pattern_add_color_stop_rgb(bezel, 0, 0.25, 0.25, 0.27);
  cairo_pattern_add_color_stop_rgb(bezel, 1, kBezel.r / 300.0, kBezel.g / 300.0, kBezel.b / 300.0);
  RoundedRect(cr, 0.5, 0.5, 248, 115, 6);
  cairo_set_source(cr, bezel);
  cairo_fill(cr);
  cairo_pattern_destroy(bezel);
  RoundedRect(cr, 3.5, 3.5, 242, 109, 4);
  SetColor(cr, kPlate);
  cairo_fill_preserve(cr);
  SetColor(cr, {24, 24, 26});
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  for (const double sx : {9.5, 239.5}) {
    for (const double sy : {9.5, 106.5}) Screw(cr, sx, sy, 3.5);
  }

  // The display window, recessed.
  RoundedRect(cr, kWindowX - 3, kWindowY - 3, kWindowW + 6, kWindowH + 6, 3);
  SetColor(cr, {14, 14, 16});
  cairo_fill(cr);
  cairo_move_to(cr, kWindowX - 3, kWindowY + kWindowH + 3.5);
  cairo_line_to(cr, kWindowX + kWindowW + 3, kWindowY + kWindowH + 3.5);
  SetColor(cr, {96, 97, 102});
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  FillRect(cr, kWindowX, kWindowY, kWindowW, kWindowH, kWindowGreen);

  TextCentered(cr, "ALTITUDE PRESELECT", 124, 14, 7.5, {170, 172, 176});

  // Buttons at their mouse areas: DTA and BAR left of the window, the row below it.
  Button(cr, "DTA", 7, 33, 31, 16);
  Button(cr, "BAR", 7, 62, 31, 16);
  Button(cr, "ALT", 34, 92, 24, 12);
  Button(cr, "ALR", 68, 92, 24, 12);
  Button(cr, "DH", 104, 92, 24, 12);
  Button(cr, "VS", 147, 92, 24, 12);
  Button(cr, "MAN", 181, 92, 24, 12);

  // The INC knob, its arrow up to the word INC, and the pull-for-tenths legend.
  Knob(cr);
  TextCentered(cr, "INC", kKnobX, 15, 7.5, kLegend);
  SetColor(cr, kLegend);
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, kKnobX, kKnobY - kKnobR - 2);
  cairo_line_to(cr, kKnobX, 23);
  cairo_stroke(cr);
  cairo_move_to(cr, kKnobX, 20.5);
  cairo_line_to(cr, kKnobX - 3, 25);
  cairo_line_to(cr, kKnobX + 3, 25);
  cairo_close_path(cr);
  cairo_fill(cr);
  TextCentered(cr, "pull", kKnobX, 80, 7.0, kLegend, false);
  TextCentered(cr, "tenths", kKnobX, 88, 7.0, kLegend, false);
}

// The test pattern, laid out over the window as the elements it covers lie.
void TestPattern(cairo_t* cr) {
  constexpr double ox = 51, oy = 31;  // the overlay's place on the face
  FittedWord(cr, "ENT", 52 - ox, 31 - oy, 20, 8, kInk);
  Digit(cr, 75 - ox, 32 - oy, 1);
  Digit(cr, 94 - ox, 32 - oy, 0);
  Point(cr, 115 - ox, 48 - oy);
  Digit(cr, 125 - ox, 32 - oy, 0);
  Digit(cr, 163 - ox, 32 - oy, 1);
  Digit(cr, 181 - ox, 32 - oy, 6);
  FittedWord(cr, "ALT", 51 - ox, 58 - oy, 20, 8, kInk);
  FittedWord(cr, "SEL", 73 - ox, 58 - oy, 20, 8, kInk);
  FittedWord(cr, "ALR", 100 - ox, 58 - oy, 21, 8, kInk);
  FittedWord(cr, "DH", 128 - ox, 58 - oy, 14, 8, kInk);
  FittedWord(cr, "VS", 147 - ox, 58 - oy, 14, 8, kInk);
  FittedWord(cr, "BARO", 167 - ox, 58 - oy, 29, 8, kInk);
}

// A two-frame annunciator: frame 0 plain green, frame 1 the word.
void Annunciator(Book& book, uint32_t id, int w, const char* word) {
  book.Draw(id, w, 8, Depth::kRgb24, kWindowGreen, [](cairo_t*) {});
  book.Draw(id + 1, w, 8, Depth::kRgb24, kWindowGreen,
            [w, word](cairo_t* cr) { FittedWord(cr, word, 0, 0, w, 8, kInk); });
}

}  // namespace

void DrawPreselectorArt(Book& book) {
  book.Draw(0x1200, 249, 116, Depth::kRgb24, {30, 30, 32}, Face);
  book.Draw(0x1202, 145, 35, Depth::kRgb24, kWindowGreen, TestPattern);
  Annunciator(book, 0x1210, 20, "ENT");
  Annunciator(book, 0x1220, 20, "ALT");
  Annunciator(book, 0x1230, 29, "BARO");
  Annunciator(book, 0x1240, 14, "VS");
  for (int d = 0; d <= 9; ++d) {
    book.Draw(0x1250 + d, kDigitW, kDigitH, Depth::kRgb24, kWindowGreen, [d](cairo_t* cr) { Digit(cr, 0, 0, d); });
  }
  book.Draw(0x1260, 3, 6, Depth::kRgb24, kWindowGreen, [](cairo_t* cr) { Point(cr, 0, 0); });
  book.Draw(0x1270, kDigitW, kDigitH, Depth::kRgb24, kWindowGreen, [](cairo_t*) {});
  book.Draw(0x1271, kDigitW, kDigitH, Depth::kRgb24, kWindowGreen,
            [](cairo_t* cr) { Figure(cr, 0, 0, kG | kPlusBar); });
  book.Draw(0x1272, kDigitW, kDigitH, Depth::kRgb24, kWindowGreen, [](cairo_t* cr) { Figure(cr, 0, 0, kG); });
  book.Draw(0x1280, 14, 8, Depth::kRgb24, kWindowGreen, [](cairo_t* cr) { FittedWord(cr, "HG", 0, 0, 14, 8, kInk); });
  book.Draw(0x1281, 15, 8, Depth::kRgb24, kWindowGreen, [](cairo_t* cr) { FittedWord(cr, "MB", 0, 0, 15, 8, kInk); });
  Annunciator(book, 0x1290, 21, "ALR");
  Annunciator(book, 0x12a0, 14, "DH");
}

}  // namespace art
