// The artwork book: every bitmap the module names, drawn with cairo and
// written as BMP files named by number in lower-case hex (1100.bmp, 11a0.bmp).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "resources/artgen/bmp_writer.h"

namespace art {

struct Entry {
  uint32_t id;
  Depth depth;
  Image image;
};

class Book {
 public:
  // Draws one bitmap of width x height on an opaque surface that starts
  // filled with `background`, and files it under `id`.
  void Draw(uint32_t id, int width, int height, Depth depth, Rgb background,
            const std::function<void(cairo_t*)>& paint);
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

// Drawing helpers shared by the gauges' artwork.
void SetColor(cairo_t* cr, Rgb c);
void FillRect(cairo_t* cr, double x, double y, double w, double h, Rgb c);
// Text in DejaVu Sans (bold when asked), centred on (cx, cy).
void TextCentered(cairo_t* cr, const std::string& text, double cx, double cy, double size, Rgb c,
                  bool bold = true);
// Text with its left end at x and baseline at y.
void TextAt(cairo_t* cr, const std::string& text, double x, double y, double size, Rgb c, bool bold = true);
// A seven-segment figure in the box (x, y, w, h). `segments` is a bit set
// a..g (bit 0 = a, top; b top right; c bottom right; d bottom; e bottom left;
// f top left; g middle); lit segments in `on`, the others in `off`.
void SevenSegment(cairo_t* cr, double x, double y, double w, double h, unsigned segments, Rgb on, Rgb off);
unsigned DigitSegments(int digit);
// A rectangle path with corners rounded to radius r (not filled or stroked).
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// A slotted screw head centred on (cx, cy).
void Screw(cairo_t* cr, double cx, double cy, double r);

// Each gauge's artwork, one function per gauge folder.
void DrawAutopilotArt(Book& book);
void DrawPreselectorArt(Book& book);
void DrawAirspeedArt(Book& book);
void DrawClockArt(Book& book);
void DrawControlsArt(Book& book);
void DrawAudioArt(Book& book);

}  // namespace art
