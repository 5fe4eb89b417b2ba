// An OutputFile over a C runtime stream, for the platform backends: the
// runtime's text mode gives each system its own line ends.
#ifndef TARVIK_OS_STDIOOUTPUTFILE_H
#define TARVIK_OS_STDIOOUTPUTFILE_H

#include <cstdio>

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
      failed_ = true;
  }
  void flush() override {
    if (file_ && fflush(file_) != 0) failed_ = true;
  }
  bool good() const override { return !failed_; }
  bool close() override {
    if (!file_) return !failed_;
    if (fflush(file_) != 0 || ferror(file_)) failed_ = true;
    if (fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
  }

 private:
  FILE* file_;
  bool failed_ = false;
};

}  // namespace tarvik

#endif  // TARVIK_OS_STDIOOUTPUTFILE_H
