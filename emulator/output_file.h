// An output file that appears whole or not at all: written to a temporary
// file beside it and renamed into place once closed.
#pragma once

#include <fstream>
#include <string>

namespace talvor {

class OutputFile {
 public:
  // Throws std::runtime_error naming the path when it cannot be created.
  explicit OutputFile(const std::string& path);
  // Without Commit(), the temporary file is removed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::ostream& stream() { return out_; }
  // Closes and renames into place; throws std::runtime_error (and leaves
  // nothing behind) when writing failed.
  void Commit();

 private:
  std::string path_;
  std::string temp_;
  std::ofstream out_;
  bool committed_ = false;
};

}  // namespace talvor
