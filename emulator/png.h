// PNG reading for the emulator and its tests (writing: EncodePng in
// raster.h, WritePng in session.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "emulator/session.h"

namespace talvor {

// Decodes PNG bytes into RGBA. Throws std::runtime_error with the reason for
// anything that is not a readable PNG.
Raster DecodePng(const uint8_t* data, size_t size);

// Reads a PNG file; throws std::runtime_error naming the path and the reason.
Raster ReadPng(const std::string& path);

}  // namespace talvor
