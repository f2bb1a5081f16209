// The previewer's page (emulator/web/), built into the program so that it
// serves the same files from a fresh clone, a build folder or an install.
#pragma once

#include <cstddef>
#include <string>

namespace talvor {

struct WebAsset {
  const char* path;          // "/index.html"
  const char* content_type;  // "text/html; charset=utf-8"
  const unsigned char* data;
  size_t size;
};

// The asset served at `path`, or null.
const WebAsset* FindWebAsset(const std::string& path);

}  // namespace talvor
