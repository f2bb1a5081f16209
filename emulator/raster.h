// Compositing of gauges for the emulator's pictures.
#pragma once

#include <cstdint>
#include <vector>

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
Raster DrawGauge(int face_w, int face_h, const std::vector<DrawItem>& items, int out_w, int out_h,
                 bool night);

// An opaque w x h raster of one colour (0xRRGGBB).
Raster SolidRaster(int w, int h, uint32_t rgb);

// Alpha-over of src onto dst with src's top-left at (x, y), clipped to dst.
void BlitOver(Raster& dst, const Raster& src, int x, int y);

// PNG bytes of a raster (8-bit RGBA).
std::vector<uint8_t> EncodePng(const Raster& raster);

}  // namespace talvor
