#include "tests/golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "emulator/png.h"
#include "emulator/raster.h"

namespace {

namespace fs = std::filesystem;

fs::path ReferencePath(const std::string& name) {
  return fs::path(TALVOR_SOURCE_DIR) / "tests" / "golden" / (name + ".png");
}

fs::path DiffDir() { return fs::path(TALVOR_BINARY_DIR) / "golden-diff"; }

bool Updating() {
  const char* v = std::getenv("TALVOR_UPDATE_GOLDEN");
  return v != nullptr && std::string(v) == "1";
}

// Matching pixels as a faint grey of the actual image; differing ones red,
// brighter the larger the difference, so the faults stand out.
talvor::Raster DiffImage(const talvor::Raster& actual, const talvor::Raster& expected, int tolerance) {
  talvor::Raster diff = talvor::SolidRaster(actual.width, actual.height, 0);
  for (size_t i = 0; i < actual.rgba.size(); i += 4) {
    int worst = 0;
    for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(actual.rgba[i + c] - expected.rgba[i + c]));
    uint8_t* d = &diff.rgba[i];
    if (worst > tolerance) {
      d[0] = static_cast<uint8_t>(std::min(255, 128 + worst));
      d[1] = d[2] = 0;
    } else {
      const int grey = (actual.rgba[i] + actual.rgba[i + 1] + actual.rgba[i + 2]) / 3;
      const int shown = 32 + grey * actual.rgba[i + 3] / 255 / 4;
      d[0] = d[1] = d[2] = static_cast<uint8_t>(shown);
    }
  }
  return diff;
}

void WriteOrFail(const talvor::Raster& image, const fs::path& path) {
  try {
    fs::create_directories(path.parent_path());
    talvor::WritePng(image, path.string());
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

}  // namespace

void ExpectMatchesGolden(const talvor::Raster& image, const std::string& name, int tolerance,
                         double max_bad_fraction) {
  const fs::path reference = ReferencePath(name);
  if (Updating()) {
    WriteOrFail(image, reference);
    std::printf("golden: wrote %s\n", reference.string().c_str());
    return;
  }
  const fs::path actual_path = DiffDir() / (name + ".actual.png");
  if (!fs::exists(reference)) {
    WriteOrFail(image, actual_path);
    ADD_FAILURE() << "no reference image " << reference.string()
                  << "; this run's picture is at " << actual_path.string()
                  << ". Create the reference with TALVOR_UPDATE_GOLDEN=1 and look at it before committing.";
    return;
  }
  talvor::Raster expected;
  try {
    expected = talvor::ReadPng(reference.string());
  } catch (const std::exception& e) {
    ADD_FAILURE() << "golden " << name << ": " << e.what();
    return;
  }
  if (expected.width != image.width || expected.height != image.height) {
    WriteOrFail(image, actual_path);
    ADD_FAILURE() << "golden " << name << ": the image is " << image.width << "x" << image.height
                  << ", the reference " << expected.width << "x" << expected.height << " (this run's picture: "
                  << actual_path.string() << ")";
    return;
  }
  size_t bad = 0;
  int worst = 0;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    int pixel_worst = 0;
    for (int c = 0; c < 4; ++c) pixel_worst = std::max(pixel_worst, std::abs(image.rgba[i + c] - expected.rgba[i + c]));
    worst = std::max(worst, pixel_worst);
    if (pixel_worst > tolerance) ++bad;
  }
  const size_t pixels = image.rgba.size() / 4;
  if (static_cast<double>(bad) > max_bad_fraction * static_cast<double>(pixels)) {
    const fs::path diff_path = DiffDir() / (name + ".diff.png");
    WriteOrFail(image, actual_path);
    WriteOrFail(DiffImage(image, expected, tolerance), diff_path);
    ADD_FAILURE() << "golden " << name << ": " << bad << " of " << pixels << " pixels differ by more than "
                  << tolerance << " (worst difference " << worst << "); see " << actual_path.string() << " and "
                  << diff_path.string();
  }
}
