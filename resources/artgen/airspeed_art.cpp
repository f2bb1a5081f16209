// Airspeed artwork: the 306 x 306 dial (8-bit palette) and the 150 x 20 needle.
// The scale is laid out from the needle's own non-linear table, so every tick
// and number sits where the host turns the needle for that speed.
#include <cmath>
#include <string>

#include "resources/artgen/art.h"

namespace art {

namespace {

constexpr double kCx = 153;
constexpr double kCy = 153;

// The needle table's spots on the face and their speeds (knots).
struct ScalePoint {
  double x, y, knots;
};
constexpr ScalePoint kScale[] = {
    {152, 37, 0},    {211, 51, 40},  {262, 121, 60}, {252, 207, 80}, {190, 260, 100},
    {101, 258, 120}, {52, 211, 140}, {34, 153, 160}, {46, 102, 180}, {75, 62, 200},
};
constexpr int kScaleCount = sizeof kScale / sizeof kScale[0];

// The needle's direction (radians, screen coordinates, clockwise from +x) at
// a speed: each spot's direction from the pivot, consecutive spots turning the
// short way, interpolated linearly by speed as the host does.
double SpeedAngle(double knots) {
  double angles[kScaleCount];
  for (int i = 0; i < kScaleCount; ++i) {
    angles[i] = std::atan2(kScale[i].y - kCy, kScale[i].x - kCx);
    if (i > 0) {
      while (angles[i] - angles[i - 1] > M_PI) angles[i] -= 2 * M_PI;
      while (angles[i] - angles[i - 1] < -M_PI) angles[i] += 2 * M_PI;
    }
  }
  if (knots <= kScale[0].knots) return angles[0];
  for (int i = 1; i < kScaleCount; ++i) {
    if (knots <= kScale[i].knots) {
      const double t = (knots - kScale[i - 1].knots) / (kScale[i].knots - kScale[i - 1].knots);
      return angles[i - 1] + t * (angles[i] - angles[i - 1]);
    }
  }
  return angles[kScaleCount - 1];
}

void Radial(cairo_t* cr, double angle, double r0, double r1, double width, Rgb c) {
  SetColor(cr, c);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, kCx + r0 * std::cos(angle), kCy + r0 * std::sin(angle));
  cairo_line_to(cr, kCx + r1 * std::cos(angle), kCy + r1 * std::sin(angle));
  cairo_stroke(cr);
}

// A band between radii r0 and r1 from one speed to another.
void Band(cairo_t* cr, double from_knots, double to_knots, double r0, double r1, Rgb c) {
  SetColor(cr, c);
  cairo_set_line_width(cr, r1 - r0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_new_path(cr);
  cairo_arc(cr, kCx, kCy, (r0 + r1) / 2, SpeedAngle(from_knots), SpeedAngle(to_knots));
  cairo_stroke(cr);
}

void DrawDial(cairo_t* cr) {
  const Rgb plate{38, 38, 42};
  const Rgb bezel{70, 70, 76};
  const Rgb face{12, 12, 14};  // near-black: pure black is transparent under the face's flags
  const Rgb white{240, 240, 240};
  const Rgb green{20, 170, 60};
  const Rgb yellow{235, 200, 30};
  const Rgb red{220, 30, 30};

  FillRect(cr, 0, 0, 306, 306, plate);
  Screw(cr, 17, 17, 9);
  Screw(cr, 289, 17, 9);
  Screw(cr, 17, 289, 9);
  Screw(cr, 289, 289, 9);

  SetColor(cr, bezel);
  cairo_arc(cr, kCx, kCy, 151, 0, 2 * M_PI);
  cairo_fill(cr);
  SetColor(cr, face);
  cairo_arc(cr, kCx, kCy, 144, 0, 2 * M_PI);
  cairo_fill(cr);

  // Arcs at the rim: the white one inside the green at the low end.
  Band(cr, 40, 100, 124, 129, white);
  Band(cr, 55, 160, 130, 138, green);
  Band(cr, 160, 200, 130, 138, yellow);

  for (int knots = 40; knots <= 200; knots += 5) {
    const double a = SpeedAngle(knots);
    if (knots % 20 == 0) {
      Radial(cr, a, 110, 138, 3.0, white);
    } else if (knots % 10 == 0) {
      Radial(cr, a, 118, 138, 2.0, white);
    } else {
      Radial(cr, a, 126, 138, 1.5, white);
    }
  }
  Radial(cr, SpeedAngle(200), 106, 141, 4.0, red);

  for (int knots = 40; knots <= 200; knots += 20) {
    const double a = SpeedAngle(knots);
    TextCentered(cr, std::to_string(knots), kCx + 92 * std::cos(a), kCy + 92 * std::sin(a), 17, white);
  }

  TextCentered(cr, "AIRSPEED", kCx, 108, 15, white);
  TextCentered(cr, "KNOTS", kCx, 200, 12, white, false);
}

// Pointing right, pivot at (36,10), on pure black (transparent under 0x1).
void DrawNeedle(cairo_t* cr) {
  const Rgb grey{150, 150, 154};
  const Rgb dark_grey{90, 90, 94};
  const Rgb white{245, 245, 245};

  // Counterweight: a grey bar from the hub to the tail disc.
  FillRect(cr, 9, 8, 27, 4, grey);
  SetColor(cr, grey);
  cairo_arc(cr, 9, 10, 6.5, 0, 2 * M_PI);
  cairo_fill(cr);

  SetColor(cr, white);
  cairo_move_to(cr, 36, 6.5);
  cairo_line_to(cr, 128, 7.8);
  cairo_line_to(cr, 148, 10);
  cairo_line_to(cr, 128, 12.2);
  cairo_line_to(cr, 36, 13.5);
  cairo_close_path(cr);
  cairo_fill(cr);

  SetColor(cr, grey);
  cairo_arc(cr, 36, 10, 8.5, 0, 2 * M_PI);
  cairo_fill(cr);
  SetColor(cr, dark_grey);
  cairo_arc(cr, 36, 10, 3, 0, 2 * M_PI);
  cairo_fill(cr);
}

}  // namespace

void DrawAirspeedArt(Book& book) {
  book.Draw(0x1300, 306, 306, Depth::kPalette8, {0, 0, 0}, DrawDial);
  book.Draw(0x1310, 150, 20, Depth::kRgb24, {0, 0, 0}, DrawNeedle);
}

}  // namespace art
