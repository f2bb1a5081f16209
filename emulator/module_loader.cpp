#include "emulator/module_loader.h"

#include "emulator/pe_imports.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace talvor {

std::string BitmapHexName(uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", id);
  return buf;
}

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

// Bitmaps beside a shared object live in <dir>/<stem>.bitmaps/.
[[maybe_unused]] std::string BitmapDirFor(const std::string& module_path) {  // POSIX only
  const size_t slash = module_path.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? "." : module_path.substr(0, slash);
  std::string file = slash == std::string::npos ? module_path : module_path.substr(slash + 1);
  const size_t dot = file.find_last_of('.');
  if (dot != std::string::npos && dot > 0) file.resize(dot);
  return dir + "/" + file + ".bitmaps";
}

}  // namespace

#if defined(_WIN32)
// Windows: the module is a DLL; its bitmaps are RT_BITMAP resources
// (language 0x409) whose bytes start at the BITMAPINFOHEADER.

}  // namespace talvor

// The emulator's recorder of the module's sounds (session.cpp).
extern "C" int __stdcall TalvorSndPlaySound(const char* name, uint32_t flags);

namespace talvor {
namespace {

// Points the loaded module's import of WINMM.dll!sndPlaySoundA at the
// emulator's recorder, so that what the module plays is recorded (and
// resolved against the emulator's Sound folder) instead of played by Windows.
void RedirectSoundImport(HMODULE module) {
  auto* base = reinterpret_cast<uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  for (size_t offset : FindImportSlots(base, nt->OptionalHeader.SizeOfImage, "WINMM.dll", "sndPlaySoundA")) {
    void** slot = reinterpret_cast<void**>(base + offset);
    DWORD old = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) {
      throw std::runtime_error("cannot redirect the module's sndPlaySoundA import: error " +
                               std::to_string(::GetLastError()));
    }
    *slot = reinterpret_cast<void*>(&TalvorSndPlaySound);
    ::VirtualProtect(slot, sizeof *slot, old, &old);
  }
}

}  // namespace

ModuleFile::ModuleFile(const std::string& path) : path_(path) {
  if (!IsRegularFile(path)) throw std::runtime_error("module not found: " + path);
  std::string windows_path = path;  // LoadLibrary wants backslashes
  for (char& c : windows_path) c = c == '/' ? '\\' : c;
  HMODULE module = ::LoadLibraryA(windows_path.c_str());
  if (module == nullptr) {
    throw std::runtime_error("cannot load module " + path + ": error " + std::to_string(::GetLastError()));
  }
  handle_ = module;
  try {
    RedirectSoundImport(module);
  } catch (...) {
    ::FreeLibrary(module);
    handle_ = nullptr;
    throw;
  }
}

ModuleFile::~ModuleFile() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* ModuleFile::Symbol(const char* name) const {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string ModuleFile::BitmapSource() const { return "the resources of " + path_; }

bool ModuleFile::HasBitmap(uint32_t id) const {
  return ::FindResourceExA(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(2) /* RT_BITMAP */,
                           MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) != nullptr;
}

BitmapBytes ModuleFile::ReadBitmap(uint32_t id) const {
  HMODULE module = static_cast<HMODULE>(handle_);
  HRSRC res = ::FindResourceExA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (res == nullptr) {
    throw std::runtime_error("bitmap 0x" + BitmapHexName(id) + " is not in " + BitmapSource());
  }
  HGLOBAL loaded = ::LoadResource(module, res);
  const DWORD size = ::SizeofResource(module, res);
  const auto* bytes = static_cast<const uint8_t*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
  if (bytes == nullptr) {
    throw std::runtime_error("bitmap 0x" + BitmapHexName(id) + " cannot be read from " + BitmapSource());
  }
  BitmapBytes out;
  out.data.assign(bytes, bytes + size);
  out.has_file_header = false;
  return out;
}

#else
// POSIX: the module is a shared object; its bitmaps are files beside it.

ModuleFile::ModuleFile(const std::string& path) : path_(path), bitmap_dir_(BitmapDirFor(path)) {
  if (!IsRegularFile(path)) throw std::runtime_error("module not found: " + path);
  // A path without a slash would make dlopen search the library path.
  const std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
  // RTLD_NOW: an unresolved symbol is reported here, not at its first call.
  handle_ = ::dlopen(open_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    throw std::runtime_error("cannot load module " + path + ": " + (why != nullptr ? why : "unknown error"));
  }
}

ModuleFile::~ModuleFile() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

void* ModuleFile::Symbol(const char* name) const {
  ::dlerror();
  return ::dlsym(handle_, name);
}

std::string ModuleFile::BitmapSource() const { return bitmap_dir_ + "/"; }

bool ModuleFile::HasBitmap(uint32_t id) const {
  return IsRegularFile(bitmap_dir_ + "/" + BitmapHexName(id) + ".bmp");
}

BitmapBytes ModuleFile::ReadBitmap(uint32_t id) const {
  const std::string file = bitmap_dir_ + "/" + BitmapHexName(id) + ".bmp";
  if (!IsRegularFile(file)) {
    throw std::runtime_error("bitmap 0x" + BitmapHexName(id) + " is not shipped: no " + BitmapHexName(id) +
                             ".bmp in " + BitmapSource());
  }
  std::ifstream in(file, std::ios::binary);
  BitmapBytes out;
  out.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("bitmap 0x" + BitmapHexName(id) + " cannot be read: " + file);
  out.has_file_header = true;
  return out;
}

#endif

}  // namespace talvor
