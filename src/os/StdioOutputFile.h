// An OutputFile over a C runtime stream, for the platform backends: the
// runtime's text mode gives each system its own line ends.
#ifndef TARVIK_OS_STDIOOUTPUTFILE_H
#define TARVIK_OS_STDIOOUTPUTFILE_H

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os/Platform.h"

namespace tarvik {

class StdioOutputFile : public OutputFile {
 public:
  explicit StdioOutputFile(FILE* file) : file_(file) {}
  ~StdioOutputFile() override { close(); }
  StdioOutputFile(const StdioOutputFile&) = delete;
  StdioOutputFile& operator=(const StdioOutputFile&) = delete;

  void write(const std::string& text) override {
    if (file_ && fwrite(text.data(), 1, text.size(), file_) != text.size())
      fail();
  }
  void flush() override {
    if (file_ && fflush(file_) != 0) fail();
  }
  bool good() const override { return !failed_; }
  bool close() override {
    if (!file_) return !failed_;
    if (fflush(file_) != 0 || ferror(file_)) fail();
    if (fclose(file_) != 0) fail();
    file_ = nullptr;
    return !failed_;
  }
  std::string errorText() const override {
    return error_ ? strerror(error_) : "";
  }

 private:
  // Keeps the first failure's error number, before anything else sets one.
  void fail() {
    if (!failed_) error_ = errno;
    failed_ = true;
  }

  FILE* file_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace tarvik

#endif  // TARVIK_OS_STDIOOUTPUTFILE_H
