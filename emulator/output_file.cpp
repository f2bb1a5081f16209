#include "emulator/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#define TALVOR_GETPID _getpid
#else
#include <unistd.h>
#define TALVOR_GETPID getpid
#endif

namespace talvor {

OutputFile::OutputFile(const std::string& path)
    : path_(path), temp_(path + ".tmp" + std::to_string(TALVOR_GETPID())) {
  out_.open(temp_, std::ios::binary | std::ios::trunc);
  if (!out_) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

OutputFile::~OutputFile() {
  if (!committed_) {
    out_.close();
    std::remove(temp_.c_str());
  }
}

void OutputFile::Commit() {
  out_.flush();
  const bool written = static_cast<bool>(out_);
  out_.close();
  if (!written || out_.fail()) {
    std::remove(temp_.c_str());
    committed_ = true;
    throw std::runtime_error("cannot write " + path_ + ": write failed");
  }
#if defined(_WIN32)
  std::remove(path_.c_str());  // rename does not replace on Windows
#endif
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(temp_.c_str());
    committed_ = true;
    throw std::runtime_error("cannot write " + path_ + ": " + why);
  }
  committed_ = true;
}

}  // namespace talvor
