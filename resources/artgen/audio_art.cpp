// Artwork of the audio panel: its face with every button, knob and unlit lamp
// in place under the gauge's mouse areas and lights, and the lit lamps, LED
// strips and HI/LO windows drawn over it.
//
// The lights are drawn with transparency, so none of them holds pure black:
// their dark parts are near-black.
#include <algorithm>
#include <cmath>
#include <string>

#include "resources/artgen/art.h"

namespace art {
namespace {

constexpr Rgb kBezel{34, 35, 38};
constexpr Rgb kButton{62, 63, 67};
constexpr Rgb kLegend{232, 232, 228};
constexpr Rgb kInk{14, 14, 14};  // "black" lettering that transparency keeps
constexpr Rgb kLedDark{40, 46, 34};
constexpr Rgb kLedLit{196, 236, 64};
constexpr Rgb kWindow{20, 22, 20};

// The lamps' colours, lit and as the face shows them unlit.
constexpr Rgb kLampAOn{250, 250, 246}, kLampAOff{112, 112, 108};
constexpr Rgb kLampOOn{140, 200, 255}, kLampOOff{44, 64, 88};
constexpr Rgb kLampMOn{255, 160, 40}, kLampMOff{96, 62, 26};

// A push button with its lighter top edge and its shadow.
void Button(cairo_t* cr, double x, double y, double w, double h) {
  SetColor(cr, {18, 18, 20});
  RoundedRect(cr, x + 1, y + 1.5, w, h, 3);
  cairo_fill(cr);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.38, 0.38, 0.40);
  cairo_pattern_add_color_stop_rgb(p, 0.12, kButton.r / 255.0, kButton.g / 255.0, kButton.b / 255.0);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.19, 0.19, 0.21);
  cairo_set_source(cr, p);
  RoundedRect(cr, x, y, w, h, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// An LED strip, dark or lit, with a thin frame.
void LedStrip(cairo_t* cr, double x, double y, Rgb c) {
  FillRect(cr, x, y, 19, 6, {24, 26, 22});
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y + 1, 0, y + 5);
  cairo_pattern_add_color_stop_rgb(p, 0, std::min(1.0, c.r / 255.0 * 1.15), std::min(1.0, c.g / 255.0 * 1.15),
                                   std::min(1.0, c.b / 255.0 * 1.15));
  cairo_pattern_add_color_stop_rgb(p, 1, c.r / 255.0 * 0.8, c.g / 255.0 * 0.8, c.b / 255.0 * 0.8);
  cairo_set_source(cr, p);
  cairo_rectangle(cr, x + 1, y + 1, 17, 4);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A legend of one or two lines centred on cx, the first line's middle at cy.
void Legend(cairo_t* cr, const std::string& first, const std::string& second, double cx, double cy, double size) {
  TextCentered(cr, first, cx, cy, size, kLegend);
  if (!second.empty()) TextCentered(cr, second, cx, cy + size + 1, size, kLegend);
}

// A selector button of the top row: LED strip at (led_x, 14), legend below.
void TopButton(cairo_t* cr, double x, double led_x, const std::string& l1, const std::string& l2 = "") {
  Button(cr, x, 9, 35, 29);
  LedStrip(cr, led_x, 14, kLedDark);
  if (l2.empty()) {
    Legend(cr, l1, "", x + 17.5, 29, 7);
  } else {
    Legend(cr, l1, l2, x + 17.5, 26, 6);
  }
}

// A tall button of the second row: LED strip at (led_x, 49), two-line legend.
void MicButton(cairo_t* cr, double x, double w, double h, double led_x, const std::string& l1, const std::string& l2) {
  Button(cr, x, 44, w, h);
  LedStrip(cr, led_x, 49, kLedDark);
  Legend(cr, l1, l2, x + w / 2, 68, 7);
}

// A wide button with its LED strip at the left end and its legend beside it.
void SideButton(cairo_t* cr, double x, double y, double led_x, double led_y, const std::string& label) {
  Button(cr, x, y, 51, 20);
  LedStrip(cr, led_x, led_y, kLedDark);
  TextCentered(cr, label, led_x + 19 + (x + 51 - led_x - 19) / 2, y + 10, 6.5, kLegend);
}

// A knurled volume knob with its pointer.
void Knob(cairo_t* cr, double cx, double cy, double r) {
  SetColor(cr, {14, 14, 16});
  cairo_arc(cr, cx + 1.5, cy + 2, r + 1, 0, 2 * M_PI);
  cairo_fill(cr);
  for (int i = 0; i < 36; ++i) {  // knurling round the skirt
    const double a = i * M_PI / 18;
    SetColor(cr, i % 2 ? Rgb{44, 44, 48} : Rgb{70, 70, 74});
    cairo_move_to(cr, cx, cy);
    cairo_arc(cr, cx, cy, r, a, a + M_PI / 18);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - r / 3, cy - r / 3, 1, cx, cy, r * 0.78);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.42, 0.42, 0.45);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.17, 0.17, 0.19);
  cairo_set_source(cr, p);
  cairo_arc(cr, cx, cy, r * 0.78, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  SetColor(cr, kLegend);
  cairo_set_line_width(cr, 1.6);
  cairo_move_to(cr, cx - r * 0.25, cy - r * 0.25);
  cairo_line_to(cr, cx - r * 0.7, cy - r * 0.7);
  cairo_stroke(cr);
}

// A marker lamp: a rounded window in `c` with its letter in near-black.
void MarkerLamp(cairo_t* cr, double x, double y, double w, double h, const std::string& letter, Rgb c) {
  FillRect(cr, x, y, w, h, {22, 22, 22});
  cairo_pattern_t* p = cairo_pattern_create_radial(x + w / 2, y + h / 2, 1, x + w / 2, y + h / 2, w * 0.7);
  cairo_pattern_add_color_stop_rgb(p, 0, c.r / 255.0, c.g / 255.0, c.b / 255.0);
  cairo_pattern_add_color_stop_rgb(p, 1, c.r / 255.0 * 0.78, c.g / 255.0 * 0.78, c.b / 255.0 * 0.78);
  cairo_set_source(cr, p);
  RoundedRect(cr, x + 1.5, y + 1.5, w - 3, h - 3, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  TextCentered(cr, letter, x + w / 2, y + h / 2, h * 0.62, kInk);
}

// The HI and LO windows, one above the other, with one lit or none.
void HiLo(cairo_t* cr, double x, double y, int lit) {  // lit: 0 LO, 1 HI, -1 none
  FillRect(cr, x, y, 19, 18, {26, 26, 28});
  const Rgb on{120, 255, 90}, off{42, 56, 40};
  for (int row = 0; row < 2; ++row) {  // row 0 HI, row 1 LO
    const bool is_lit = (row == 0 && lit == 1) || (row == 1 && lit == 0);
    FillRect(cr, x + 1, y + 1 + row * 8.5, 17, 7.5, is_lit ? Rgb{30, 64, 28} : kWindow);
    TextCentered(cr, row == 0 ? "HI" : "LO", x + 9.5, y + 5 + row * 8.5, 6, is_lit ? on : off);
  }
}

void Face(cairo_t* cr) {
  // The bezel, lighter at its top edge.
  cairo_pattern_t* bezel = cairo_pattern_create_linear(0, 0, 0, 102);
  cairo_pattern_add_color_stop_rgb(bezel, 0, 0.24, 0.24, 0.26);
  cairo_pattern_add_color_stop_rgb(bezel, 0.05, kBezel.r / 255.0, kBezel.g / 255.0, kBezel.b / 255.0);
  cairo_pattern_add_color_stop_rgb(bezel, 1, 0.10, 0.10, 0.11);
  cairo_set_source(cr, bezel);
  cairo_paint(cr);
  cairo_pattern_destroy(bezel);
  SetColor(cr, {70, 70, 74});
  cairo_set_line_width(cr, 1);
  RoundedRect(cr, 0.5, 0.5, 499, 101, 4);
  cairo_stroke(cr);

  // Logo and the unlit marker lamps at the top left.
  TextAt(cr, "TALVOR", 8, 11, 7, {200, 200, 196});
  TextAt(cr, "AUDIO", 46, 11, 6, {150, 150, 146}, false);
  MarkerLamp(cr, 7, 16, 23, 19, "A", kLampAOff);
  MarkerLamp(cr, 28, 15, 23, 21, "O", kLampOOff);
  MarkerLamp(cr, 50, 15, 23, 21, "M", kLampMOff);

  // The selector buttons along the top, each with its dark LED strip.
  TopButton(cr, 78, 84, "MKR", "MUTE");
  TopButton(cr, 121, 130, "COM1");
  TopButton(cr, 163, 171, "COM2");
  TopButton(cr, 205, 213, "COM3");
  TopButton(cr, 261, 270, "NAV1");
  TopButton(cr, 303, 311, "NAV2");
  TopButton(cr, 344, 352, "DME");
  TopButton(cr, 386, 393, "ADF");
  Button(cr, 448, 14, 36, 20);
  TextCentered(cr, "TEST", 466, 24, 7, kLegend);

  // The power lamp window, and the black circle of the photocell below it.
  FillRect(cr, 244, 35, 11, 13, {16, 16, 16});
  FillRect(cr, 245, 36, 9, 11, {60, 22, 20});
  SetColor(cr, {6, 6, 6});
  cairo_arc(cr, 249.5, 58, 4, 0, 2 * M_PI);
  cairo_fill(cr);
  SetColor(cr, {74, 74, 78});
  cairo_set_line_width(cr, 0.8);
  cairo_arc(cr, 249.5, 58, 4.5, 0, 2 * M_PI);
  cairo_stroke(cr);

  // PILOT knob with SQ and OFF/VOL, the HI/LO windows and SENS.
  Knob(cr, 23, 62, 16);
  TextCentered(cr, "SQ", 45, 47, 6, kLegend);
  TextCentered(cr, "OFF/VOL", 23, 87, 6, kLegend);
  TextCentered(cr, "PILOT", 23, 96, 6, kLegend);
  HiLo(cr, 77, 49, -1);
  Button(cr, 78, 75, 33, 18);
  TextCentered(cr, "SENS", 94.5, 84, 6.5, kLegend);

  // The MIC buttons and COM 1/2.
  MicButton(cr, 120, 36, 49, 129, "COM1", "MIC");
  MicButton(cr, 162, 36, 49, 170, "COM2", "MIC");
  MicButton(cr, 204, 36, 49, 212, "COM3", "MIC");
  MicButton(cr, 262, 33, 48, 269, "COM", "1/2");

  // CABIN AUDIO and ICS ISOLATION.
  SideButton(cr, 303, 44, 306, 50, "SPKR");
  SideButton(cr, 303, 74, 307, 80, "PA");
  TextCentered(cr, "CABIN AUDIO", 328.5, 69, 5.5, kLegend);
  SideButton(cr, 368, 44, 370, 50, "PILOT");
  SideButton(cr, 368, 74, 370, 80, "CREW");
  TextCentered(cr, "ICS ISOLATION", 393.5, 69, 5.5, kLegend);

  // The COPILOT knob at the bottom right.
  Knob(cr, 460, 64, 16);
  TextCentered(cr, "COPILOT", 460, 92, 6, kLegend);
}

}  // namespace

void DrawAudioArt(Book& book) {
  book.Draw(0x1700, 500, 102, Depth::kRgb24, kBezel, Face);
  book.Draw(0x1701, 19, 18, Depth::kRgb24, kBezel, [](cairo_t* cr) { HiLo(cr, 0, 0, 0); });
  book.Draw(0x1702, 19, 18, Depth::kRgb24, kBezel, [](cairo_t* cr) { HiLo(cr, 0, 0, 1); });
  book.Draw(0x1703, 9, 11, Depth::kRgb24, {60, 22, 20}, [](cairo_t* cr) {
    cairo_pattern_t* p = cairo_pattern_create_radial(4.5, 4.5, 0.5, 4.5, 5.5, 6);
    cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 0.85, 0.8);
    cairo_pattern_add_color_stop_rgb(p, 0.35, 1.0, 0.2, 0.12);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.6, 0.06, 0.04);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
  });
  book.Draw(0x1710, 19, 6, Depth::kRgb24, kBezel, [](cairo_t* cr) { LedStrip(cr, 0, 0, kLedDark); });
  book.Draw(0x1711, 19, 6, Depth::kRgb24, kBezel, [](cairo_t* cr) { LedStrip(cr, 0, 0, kLedLit); });
  book.Draw(0x1715, 23, 19, Depth::kRgb24, kBezel, [](cairo_t* cr) { MarkerLamp(cr, 0, 0, 23, 19, "A", kLampAOn); });
  book.Draw(0x1716, 23, 21, Depth::kRgb24, kBezel, [](cairo_t* cr) { MarkerLamp(cr, 0, 0, 23, 21, "O", kLampOOn); });
  book.Draw(0x1717, 23, 21, Depth::kRgb24, kBezel, [](cairo_t* cr) { MarkerLamp(cr, 0, 0, 23, 21, "M", kLampMOn); });
}

}  // namespace art
