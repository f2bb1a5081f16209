// The emulator's bitmap reader on any bytes: a .bmp file, or the same bytes
// read as a resource's DIB (no file header). Malformed input must end in the
// reader's own error, a decoded picture must hold exactly its pixels.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "emulator/bmp.h"

namespace {

void Check(const talvor::Raster& r) {
  if (r.width <= 0 || r.height <= 0 || r.rgba.size() != size_t(r.width) * size_t(r.height) * 4) {
    std::fprintf(stderr, "bmp_fuzz: a %dx%d picture with %zu bytes\n", r.width, r.height, r.rgba.size());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    Check(talvor::DecodeBmp(data, size));
  } catch (const std::runtime_error&) {
  }
  // The resource form starts at the info header, 14 bytes in.
  if (size >= 14) {
    try {
      Check(talvor::DecodeDib(data + 14, size - 14));
    } catch (const std::runtime_error&) {
    }
  }
  return 0;
}
