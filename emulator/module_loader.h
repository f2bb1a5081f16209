// Opening a gauge module file and reading the bitmaps it ships. This is the
// one file that knows how a platform loads a module: dlopen on POSIX,
// LoadLibrary on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvor {

// A bitmap's bytes as the module ships them: a .bmp file (with its 14-byte
// file header) beside a shared object, or RT_BITMAP resource bytes (starting
// at the info header) inside a Windows module.
struct BitmapBytes {
  std::vector<uint8_t> data;
  bool has_file_header = true;
};

class ModuleFile {
 public:
  // Loads the file; throws std::runtime_error naming the path and the reason.
  explicit ModuleFile(const std::string& path);
  // Unloads the module, discarding its state.
  ~ModuleFile();
  ModuleFile(const ModuleFile&) = delete;
  ModuleFile& operator=(const ModuleFile&) = delete;

  const std::string& path() const { return path_; }
  // An exported data symbol, or null when the module has none by that name.
  void* Symbol(const char* name) const;

  // Where the bitmaps come from, for messages: the folder beside a shared
  // object, the module's resources on Windows.
  std::string BitmapSource() const;
  bool HasBitmap(uint32_t id) const;
  // Throws std::runtime_error naming the id (hex) and the source when the
  // bitmap is not shipped or cannot be read.
  BitmapBytes ReadBitmap(uint32_t id) const;

 private:
  std::string path_;
  std::string bitmap_dir_;  // POSIX: <dir>/<stem>.bitmaps
  void* handle_ = nullptr;
};

// "1100" for 0x1100: the lower-case hex file stem of a bitmap.
std::string BitmapHexName(uint32_t id);

}  // namespace talvor
