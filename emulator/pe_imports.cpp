#include "emulator/pe_imports.h"

#include <cstring>
#include <string>

namespace talvor {

namespace {

// Offsets of the PE format (PE32 and PE32+).
constexpr size_t kDosLfanew = 0x3c;
constexpr size_t kFileHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint32_t kImportDirectory = 1;
constexpr size_t kImportDescriptorSize = 20;

class Image {
 public:
  Image(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <typename T>
  bool Read(size_t offset, T& out) const {
    if (offset > size_ || size_ - offset < sizeof(T)) return false;
    std::memcpy(&out, data_ + offset, sizeof(T));  // little-endian, as every PE host
    return true;
  }

  // The NUL-terminated text at offset, or false when it runs off the image.
  bool Text(size_t offset, std::string& out) const {
    if (offset >= size_) return false;
    const void* end = std::memchr(data_ + offset, 0, size_ - offset);
    if (end == nullptr) return false;
    out.assign(reinterpret_cast<const char*>(data_ + offset), static_cast<const uint8_t*>(end) - (data_ + offset));
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

bool SameDllName(std::string a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::vector<size_t> FindImportSlots(const uint8_t* data, size_t size, const char* dll, const char* function) {
  std::vector<size_t> slots;
  const Image image(data, size);
  uint16_t mz = 0;
  uint32_t nt = 0, signature = 0;
  if (!image.Read(0, mz) || mz != 0x5a4d || !image.Read(kDosLfanew, nt) || !image.Read(nt, signature) ||
      signature != 0x00004550) {
    return slots;
  }
  const size_t optional = size_t{nt} + 4 + kFileHeaderSize;
  uint16_t magic = 0;
  if (!image.Read(optional, magic)) return slots;
  const bool wide = magic == kPe32PlusMagic;
  if (!wide && magic != kPe32Magic) return slots;
  const size_t count_at = optional + (wide ? 108 : 92);
  const size_t directories = optional + (wide ? 112 : 96);
  uint32_t count = 0, imports = 0;
  if (!image.Read(count_at, count) || count <= kImportDirectory ||
      !image.Read(directories + 8 * kImportDirectory, imports) || imports == 0) {
    return slots;
  }
  const size_t thunk_size = wide ? 8 : 4;
  const uint64_t by_ordinal = wide ? uint64_t{1} << 63 : uint64_t{1} << 31;
  // An import table lists each DLL once, but nothing bounds a corrupt one but
  // the image itself.
  for (size_t desc = imports; desc + kImportDescriptorSize <= size; desc += kImportDescriptorSize) {
    uint32_t names = 0, name = 0, first = 0;
    if (!image.Read(desc, names) || !image.Read(desc + 12, name) || !image.Read(desc + 16, first)) break;
    if (name == 0) break;  // the all-zero descriptor ends the table
    std::string dll_name;
    // Without the name table (names == 0) the slots cannot be told apart.
    if (names == 0 || !image.Text(name, dll_name) || !SameDllName(dll_name, dll)) continue;
    for (size_t i = 0;; ++i) {
      uint64_t entry = 0;
      if (wide) {
        if (!image.Read(names + i * thunk_size, entry)) break;
      } else {
        uint32_t entry32 = 0;
        if (!image.Read(names + i * thunk_size, entry32)) break;
        entry = entry32;
      }
      if (entry == 0) break;
      const size_t slot = first + i * thunk_size;
      if (slot + thunk_size > size) break;
      if (entry & by_ordinal) continue;
      std::string imported;
      if (entry + 2 < size && image.Text(static_cast<size_t>(entry) + 2, imported) && imported == function) {
        slots.push_back(slot);
      }
    }
  }
  return slots;
}

}  // namespace talvor
