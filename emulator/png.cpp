#include "emulator/png.h"

#include <cairo.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "emulator/raster.h"

namespace talvor {
namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

struct Reader {
  const uint8_t* data;
  size_t left;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
  auto* in = static_cast<Reader*>(closure);
  if (length > in->left) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, in->data, length);
  in->data += length;
  in->left -= length;
  return CAIRO_STATUS_SUCCESS;
}

Raster FromSurface(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  Raster r;
  r.width = cairo_image_surface_get_width(surface);
  r.height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* base = cairo_image_surface_get_data(surface);
  if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) {
    throw std::runtime_error("PNG: unexpected pixel format " + std::to_string(format));
  }
  r.rgba.resize(size_t(r.width) * size_t(r.height) * 4);
  for (int y = 0; y < r.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(base + size_t(y) * size_t(stride));
    for (int x = 0; x < r.width; ++x) {
      uint32_t p = row[x];
      if (format == CAIRO_FORMAT_RGB24) p |= 0xFF000000u;  // the high byte is undefined there
      FromCairoPixel(p, &r.rgba[(size_t(y) * size_t(r.width) + size_t(x)) * 4]);
    }
  }
  return r;
}

}  // namespace

std::vector<uint8_t> EncodePng(const Raster& raster) {
  CheckRaster(raster, "EncodePng");
  if (raster.width == 0 || raster.height == 0) {
    throw std::invalid_argument("EncodePng: a PNG cannot hold an empty raster");
  }
  if (raster.width > kMaxBmpSide || raster.height > kMaxBmpSide) {
    throw std::invalid_argument("EncodePng: raster too large");
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, raster.width, raster.height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    throw std::runtime_error(std::string("EncodePng: ") + cairo_status_to_string(status));
  }
  unsigned char* base = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < raster.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(base + size_t(y) * size_t(stride));
    for (int x = 0; x < raster.width; ++x) {
      row[x] = ToCairoPixel(&raster.rgba[(size_t(y) * size_t(raster.width) + size_t(x)) * 4]);
    }
  }
  cairo_surface_mark_dirty(surface);
  std::vector<uint8_t> out;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, AppendBytes, &out);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(std::string("EncodePng: ") + cairo_status_to_string(status));
  }
  return out;
}

Raster DecodePng(const uint8_t* data, size_t size) {
  Reader reader{data, data == nullptr ? 0 : size};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadBytes, &reader);
  const cairo_status_t status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    throw std::runtime_error(std::string("PNG: ") + cairo_status_to_string(status));
  }
  try {
    Raster r = FromSurface(surface);
    cairo_surface_destroy(surface);
    return r;
  } catch (...) {
    cairo_surface_destroy(surface);
    throw;
  }
}

Raster ReadPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    return DecodePng(bytes.data(), bytes.size());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

void WritePng(const Raster& raster, const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = EncodePng(raster);
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot write PNG " + path + ": " + e.what());
  }
  // Into a neighbour first and renamed over the target, so a failure leaves
  // no partial file under the real name.
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write PNG " + path + ": " + std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int write_errno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    const int err = !written ? write_errno : errno;
    std::remove(tmp.c_str());
    throw std::runtime_error("cannot write PNG " + path + ": " + std::strerror(err));
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(tmp.c_str());
    throw std::runtime_error("cannot write PNG " + path + ": " + std::strerror(err));
  }
}

}  // namespace talvor
