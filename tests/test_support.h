// Helpers for tests that drive modules through the emulator.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace talvor::testing {

// The emulator's test module (tests/fixtures/test_module.cpp), built with the tests.
inline std::string TestModulePath() { return TALVOR_TEST_MODULE; }
inline std::string SourcePath(const std::string& relative) { return std::string(TALVOR_SOURCE_DIR) + "/" + relative; }
inline std::string BinaryPath(const std::string& relative) { return std::string(TALVOR_BINARY_DIR) + "/" + relative; }

#if !defined(_WIN32)
// A data symbol of a module that a Session has loaded (null if absent).
template <typename T>
T* ModuleSymbol(const std::string& module_path, const char* name) {
  void* handle = ::dlopen(module_path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return nullptr;
  void* symbol = ::dlsym(handle, name);
  ::dlclose(handle);  // the Session's own reference keeps it loaded
  return static_cast<T*>(symbol);
}
#endif

// A fresh, empty folder for one test under the build tree.
inline std::string FreshDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(TALVOR_BINARY_DIR) / "test-tmp" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace talvor::testing
