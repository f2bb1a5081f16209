// S_TEC55's artwork: the face, the display-test pattern, the annunciator
// frames and the readout's seven-segment figures. Annunciators and figures
// are drawn at the places the gauge's elements put them, so the pattern's
// legends and the lit frames line up pixel for pixel.
#include <cmath>
#include <string>

#include "resources/artgen/art.h"

namespace art {
namespace {

constexpr Rgb kLcdGreen{218, 234, 136};
constexpr Rgb kLegend{5, 5, 5};
constexpr Rgb kBezel{22, 24, 23};
constexpr Rgb kPlateTop{74, 76, 80};
constexpr Rgb kPlateBottom{46, 48, 51};
constexpr Rgb kPlateText{232, 232, 228};

// The display window and the test pattern's place on the face.
constexpr int kWindowX = 30, kWindowY = 25, kWindowW = 442, kWindowH = 27;  // x 30..471, y 25..51
constexpr int kPatternX = 29, kPatternY = 24, kPatternW = 444, kPatternH = 29;

// The font of the display's legends.
constexpr double kLegendSize = 10.5;

enum class Layout { kLine, kStepped };

struct Annunciator {
  uint32_t id;      // frame 0; frame 1 is id + 1
  int x, y, w, h;   // where the gauge's element puts it
  const char* text;
  Layout layout;
  double size;
};

const Annunciator kAnnunciators[] = {
    {0x1110, 36, 32, 37, 13, "HDG", Layout::kLine, kLegendSize},
    {0x1120, 76, 27, 15, 22, "RDY", Layout::kStepped, 7.5},
    {0x1130, 96, 32, 35, 13, "NAV", Layout::kLine, kLegendSize},
    {0x1140, 153, 32, 36, 13, "APR", Layout::kLine, kLegendSize},
    {0x1150, 325, 32, 33, 13, "ALT", Layout::kLine, kLegendSize},
    {0x1160, 366, 32, 24, 13, "GS", Layout::kLine, kLegendSize},
    {0x1170, 396, 32, 23, 13, "VS", Layout::kLine, kLegendSize},
    {0x1180, 221, 32, 35, 13, "REV", Layout::kLine, kLegendSize},
    {0x1190, 203, 28, 13, 21, "GPSS", Layout::kStepped, 6.5},
};

// Legends that only the test pattern lights: the gauge has no element for them.
const Annunciator kPatternOnly[] = {
    {0, 131, 32, 22, 13, "CWS", Layout::kLine, 7.5},
    {0, 189, 28, 13, 21, "FAIL", Layout::kStepped, 6.5},
    {0, 259, 32, 36, 13, "TRIM", Layout::kLine, 9.0},
};

// The readout: sign, thousands and hundreds figures, 11 x 18 each.
constexpr int kFigureW = 11, kFigureH = 18;
constexpr int kSignX = 427, kThousandsX = 440, kHundredsX = 455, kFigureY = 29;

// One legend inside its box at (0, 0): centred on a line, or its letters
// stepped downward from the top left to the bottom right.
void Legend(cairo_t* cr, const Annunciator& a) {
  const std::string text = a.text;
  if (a.layout == Layout::kLine) {
    TextCentered(cr, text, a.w / 2.0, a.h / 2.0, a.size, kLegend);
    return;
  }
  const int n = static_cast<int>(text.size());
  const double cell_w = a.w / (n + 1.0);  // neighbours overlap by half a cell
  const double cell_h = a.h / static_cast<double>(n);
  for (int i = 0; i < n; ++i) {
    TextCentered(cr, text.substr(i, 1), cell_w * (i + 1), cell_h * (i + 0.5), a.size, kLegend);
  }
}

// A segment-shaped figure: each bar with bevelled ends, as on the display.
void Figure(cairo_t* cr, double x, double y, unsigned segments) {
  const double w = kFigureW - 2.0, h = kFigureH - 2.0, t = 2.0;
  x += 1.0;
  y += 1.0;
  const double mid = y + h / 2;
  auto bar = [&](double x0, double y0, double len, bool horizontal) {
    const double e = t / 2;
    if (horizontal) {
      cairo_move_to(cr, x0, y0 + e);
      cairo_line_to(cr, x0 + e, y0);
      cairo_line_to(cr, x0 + len - e, y0);
      cairo_line_to(cr, x0 + len, y0 + e);
      cairo_line_to(cr, x0 + len - e, y0 + t);
      cairo_line_to(cr, x0 + e, y0 + t);
    } else {
      cairo_move_to(cr, x0 + e, y0);
      cairo_line_to(cr, x0 + t, y0 + e);
      cairo_line_to(cr, x0 + t, y0 + len - e);
      cairo_line_to(cr, x0 + e, y0 + len);
      cairo_line_to(cr, x0, y0 + len - e);
      cairo_line_to(cr, x0, y0 + e);
    }
    cairo_close_path(cr);
  };
  const double gap = 0.4;
  const double vlen = h / 2 - gap;
  if (segments & 0x01) bar(x + gap, y, w - 2 * gap, true);               // a
  if (segments & 0x02) bar(x + w - t, y + gap, vlen, false);             // b
  if (segments & 0x04) bar(x + w - t, mid + gap, vlen, false);           // c
  if (segments & 0x08) bar(x + gap, y + h - t, w - 2 * gap, true);       // d
  if (segments & 0x10) bar(x, mid + gap, vlen, false);                   // e
  if (segments & 0x20) bar(x, y + gap, vlen, false);                     // f
  if (segments & 0x40) bar(x + gap, mid - t / 2, w - 2 * gap, true);     // g
  SetColor(cr, kLegend);
  cairo_fill(cr);
}

// Sign figures: 0 blank, 1 plus, 2 minus.
void Sign(cairo_t* cr, double x, double y, int sign) {
  if (sign == 0) return;
  const double cx = x + kFigureW / 2.0, cy = y + kFigureH / 2.0, t = 2.0, arm = 4.0;
  FillRect(cr, cx - arm, cy - t / 2, 2 * arm, t, kLegend);
  if (sign == 1) FillRect(cr, cx - t / 2, cy - arm, t, 2 * arm, kLegend);
}

void Triangle(cairo_t* cr, double cx, double cy, double half, bool up) {
  const double dy = up ? -half : half;
  cairo_move_to(cr, cx, cy + dy);
  cairo_line_to(cr, cx + half, cy - dy);
  cairo_line_to(cr, cx - half, cy - dy);
  cairo_close_path(cr);
  SetColor(cr, kLegend);
  cairo_fill(cr);
}

void Gradient(cairo_t* cr, double x, double y, double w, double h, Rgb top, Rgb bottom) {
  cairo_pattern_t* pat = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(pat, 0, top.r / 255.0, top.g / 255.0, top.b / 255.0);
  cairo_pattern_add_color_stop_rgb(pat, 1, bottom.r / 255.0, bottom.g / 255.0, bottom.b / 255.0);
  cairo_set_source(cr, pat);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
}

// A push button filling the mouse area (x, y, 37, 30).
void Button(cairo_t* cr, int x, int y, const char* legend) {
  const double w = 37, h = 30;
  RoundedRect(cr, x + 0.5, y + 1.5, w - 1, h - 1, 3.5);  // shadow
  SetColor(cr, {24, 25, 27});
  cairo_fill(cr);
  RoundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 2, 3.5);
  cairo_pattern_t* pat = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(pat, 0, 0.30, 0.31, 0.33);
  cairo_pattern_add_color_stop_rgb(pat, 1, 0.13, 0.135, 0.145);
  cairo_set_source(cr, pat);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(pat);
  SetColor(cr, {96, 98, 102});
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  TextCentered(cr, legend, x + w / 2, y + h / 2 - 0.5, 10.0, kPlateText);
}

// The vertical-speed knob, centred in its mouse area (426, 67, 50, 46).
void Knob(cairo_t* cr) {
  const double cx = 451, cy = 90, r = 21;
  cairo_arc(cr, cx + 1, cy + 2, r, 0, 2 * M_PI);  // shadow
  SetColor(cr, {26, 27, 29});
  cairo_fill(cr);
  cairo_pattern_t* pat = cairo_pattern_create_radial(cx - 6, cy - 8, 2, cx, cy, r);
  cairo_pattern_add_color_stop_rgb(pat, 0, 0.36, 0.37, 0.39);
  cairo_pattern_add_color_stop_rgb(pat, 1, 0.10, 0.105, 0.11);
  cairo_set_source(cr, pat);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
  // Knurled rim.
  SetColor(cr, {120, 122, 126});
  cairo_set_line_width(cr, 1.0);
  for (int i = 0; i < 40; ++i) {
    const double a = i * 2 * M_PI / 40;
    cairo_move_to(cr, cx + (r - 3.5) * std::cos(a), cy + (r - 3.5) * std::sin(a));
    cairo_line_to(cr, cx + (r - 0.5) * std::cos(a), cy + (r - 0.5) * std::sin(a));
  }
  cairo_stroke(cr);
  // Cap.
  cairo_arc(cr, cx, cy, r - 6, 0, 2 * M_PI);
  cairo_pattern_t* cap = cairo_pattern_create_linear(0, cy - r, 0, cy + r);
  cairo_pattern_add_color_stop_rgb(cap, 0, 0.32, 0.33, 0.35);
  cairo_pattern_add_color_stop_rgb(cap, 1, 0.14, 0.145, 0.155);
  cairo_set_source(cr, cap);
  cairo_fill(cr);
  cairo_pattern_destroy(cap);
  // Halves: turning left decreases, right increases.
  SetColor(cr, {200, 200, 196});
  cairo_move_to(cr, cx - 9, cy);
  cairo_line_to(cr, cx - 4, cy - 3.5);
  cairo_line_to(cr, cx - 4, cy + 3.5);
  cairo_close_path(cr);
  cairo_move_to(cr, cx + 9, cy);
  cairo_line_to(cr, cx + 4, cy - 3.5);
  cairo_line_to(cr, cx + 4, cy + 3.5);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void Face(cairo_t* cr) {
  Gradient(cr, 0, 0, 498, 119, kPlateTop, kPlateBottom);
  // Bevelled edge of the plate.
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, {110, 112, 116});
  cairo_move_to(cr, 0.5, 118);
  cairo_line_to(cr, 0.5, 0.5);
  cairo_line_to(cr, 497, 0.5);
  cairo_stroke(cr);
  SetColor(cr, {28, 29, 31});
  cairo_move_to(cr, 497.5, 1);
  cairo_line_to(cr, 497.5, 118.5);
  cairo_line_to(cr, 1, 118.5);
  cairo_stroke(cr);

  Screw(cr, 9, 9, 4);
  Screw(cr, 489, 9, 4);
  Screw(cr, 9, 110, 4);
  Screw(cr, 489, 110, 4);

  TextAt(cr, "S-TEC", 32, 19, 15, kPlateText);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 10.5);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, "FIFTY FIVE X", &ext);
  TextAt(cr, "FIFTY FIVE X", 471 - ext.width - ext.x_bearing, 18, 10.5, kPlateText);

  // Window: a dark bezel whose innermost ring is the test pattern's border.
  RoundedRect(cr, kPatternX - 3, kPatternY - 3, kPatternW + 6, kPatternH + 6, 3);
  SetColor(cr, {36, 38, 40});
  cairo_fill(cr);
  FillRect(cr, kPatternX, kPatternY, kPatternW, kPatternH, kBezel);
  FillRect(cr, kWindowX, kWindowY, kWindowW, kWindowH, kLcdGreen);

  Button(cr, 32, 72, "HDG");
  Button(cr, 101, 75, "NAV");
  Button(cr, 165, 75, "APR");
  Button(cr, 233, 75, "REV");
  Button(cr, 298, 75, "ALT");
  Button(cr, 365, 75, "VS");

  TextCentered(cr, "VS x 100", 451, 61, 8.5, kPlateText);
  Knob(cr);
  TextCentered(cr, "DECR", 416, 90, 6.5, kPlateText);
  TextCentered(cr, "INCR", 486, 90, 6.5, kPlateText);
}

// Every lit legend, seen from the pattern's top-left corner.
void TestPattern(cairo_t* cr) {
  FillRect(cr, 0, 0, kPatternW, kPatternH, kBezel);
  FillRect(cr, 1, 1, kPatternW - 2, kPatternH - 2, kLcdGreen);
  cairo_translate(cr, -kPatternX, -kPatternY);
  auto place = [&](const Annunciator& a) {
    cairo_save(cr);
    cairo_translate(cr, a.x, a.y);
    Legend(cr, a);
    cairo_restore(cr);
  };
  for (const Annunciator& a : kAnnunciators) place(a);
  for (const Annunciator& a : kPatternOnly) place(a);
  // TRIM's up and down triangles, right of its legend.
  Triangle(cr, 302, 38.5, 3.5, true);
  Triangle(cr, 312, 38.5, 3.5, false);
  Sign(cr, kSignX, kFigureY, 1);
  Figure(cr, kThousandsX, kFigureY, DigitSegments(1));
  Figure(cr, kHundredsX, kFigureY, DigitSegments(8));
}

}  // namespace

void DrawAutopilotArt(Book& book) {
  book.Draw(0x1100, 498, 119, Depth::kRgb24, kPlateBottom, Face);
  book.Draw(0x1102, kPatternW, kPatternH, Depth::kRgb24, kLcdGreen, TestPattern);
  for (const Annunciator& a : kAnnunciators) {
    book.Draw(a.id, a.w, a.h, Depth::kRgb24, kLcdGreen, [](cairo_t*) {});
    book.Draw(a.id + 1, a.w, a.h, Depth::kRgb24, kLcdGreen, [&a](cairo_t* cr) { Legend(cr, a); });
  }
  for (int digit = 0; digit <= 9; ++digit) {
    book.Draw(0x11a0 + digit, kFigureW, kFigureH, Depth::kRgb24, kLcdGreen,
              [digit](cairo_t* cr) { Figure(cr, 0, 0, DigitSegments(digit)); });
  }
  for (int sign = 0; sign <= 2; ++sign) {
    book.Draw(0x11b0 + sign, kFigureW, kFigureH, Depth::kRgb24, kLcdGreen,
              [sign](cairo_t* cr) { Sign(cr, 0, 0, sign); });
  }
}

}  // namespace art
