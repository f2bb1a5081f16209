// Compositing of gauges for the emulator's pictures.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/bmp.h"

#include "emulator/session.h"

namespace talvor {

// Image flags the raster honours (the rest are ignored here).
inline constexpr uint32_t kDrawTransparent = 0x1;  // pure black not drawn
inline constexpr uint32_t kDrawErase = 0x2;        // clear the item's area first
inline constexpr uint32_t kDrawBright = 0x4;       // not dimmed at night
inline constexpr uint32_t kDrawBilinear = 0x80;    // bilinear when scaled

// Factor applied to the colour of non-bright items at night.
inline constexpr double kNightDim = 0.35;

struct DrawItem {
  const Raster* bitmap = nullptr;  // the frame's bitmap
  uint32_t kind = 0;               // host element kind: 0 static, 1 icon, 2 needle, 4 slider
  double x = 0, y = 0;             // face pixels: top-left; for a needle, the pivot's place on the face
  double pivot_x = 0, pivot_y = 0; // needle: the pivot inside its bitmap
  double angle_radians = 0;        // needle: 0 = the bitmap as drawn (pointing right), positive clockwise on screen
  uint32_t image_flags = 0;        // 0x1 transparency, 0x2 erase, 0x4 bright, 0x80 bilinear
};

// Draws one gauge: items in order (later over earlier) onto a transparent
// out_w x out_h canvas that shows the face_w x face_h face scaled; each item
// filtered bilinearly when scaled if its 0x80 flag says so, nearest
// otherwise; needles always bilinear when turned; under night lighting items
// without the bright flag are dimmed.
//
// Every call draws the whole gauge afresh, so nothing of an earlier frame
// lingers under a moved element: that is what the erase flag asks for, and
// it needs no further work here. (Clearing the item's rectangle instead
// would punch holes through the face wherever a transparent item is black.)
//
// Each thread keeps premultiplied copies of the bitmaps it drew lately (at
// most 64 entries, 64 MiB), each checked against its raster's pixels before
// reuse, so bitmaps may change or be freed at any time.
//
// An item whose geometry is not finite, or that falls wholly outside the
// canvas, is not drawn. Throws std::invalid_argument for a face or canvas
// size that is not positive or exceeds the bitmap limits, a null bitmap, or
// a raster whose pixel buffer does not match its size.
Raster DrawGauge(int face_w, int face_h, const std::vector<DrawItem>& items, int out_w, int out_h,
                 bool night);

// An opaque w x h raster of one colour given as 0xRRGGBB (note: not the
// interface's 0x00BBGGRR colour order).
Raster SolidRaster(int w, int h, uint32_t rgb);

// Alpha-over of src onto dst with src's top-left at (x, y), clipped to dst.
void BlitOver(Raster& dst, const Raster& src, int x, int y);
// The same, touching only dst's pixels inside the clip rectangle.
void BlitOver(Raster& dst, const Raster& src, int x, int y, int clip_x, int clip_y, int clip_w, int clip_h);

// PNG bytes of a raster (8-bit RGBA). Throws std::invalid_argument for an
// empty or inconsistent raster.
std::vector<uint8_t> EncodePng(const Raster& raster);

// Pixel conversion between RGBA and cairo's ARGB32 (premultiplied alpha, one
// native-endian 32-bit word a pixel).
uint32_t ToCairoPixel(const uint8_t* rgba);
void FromCairoPixel(uint32_t argb, uint8_t* rgba);

// Throws std::invalid_argument unless the raster's buffer holds exactly
// width x height pixels; `what` names it in the message.
void CheckRaster(const Raster& raster, const char* what);

}  // namespace talvor
