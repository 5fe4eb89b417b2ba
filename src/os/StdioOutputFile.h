// An OutputFile over a C runtime stream, for the platform backends: the
// runtime's text mode gives each system its own line ends.
#ifndef TARVIK_OS_STDIOOUTPUTFILE_H
#define TARVIK_OS_STDIOOUTPUTFILE_H

#include <cerrno>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "os/Platform.h"

namespace tarvik {

class StdioOutputFile : public OutputFile {
 public:
  // A file of bytes is written as it comes: a failed write leaves nothing
  // in a buffer for a later one to write after what was taken back.
  StdioOutputFile(FILE* file, FileContent content = FileContent::Text) : file_(file) {
    if (file_ && content == FileContent::Bytes) setvbuf(file_, nullptr, _IONBF, 0);
  }
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
  std::optional<uint64_t> length() override {
    if (!file_) return std::nullopt;
    fflush(file_);
#ifdef _WIN32
    struct _stati64 info;
    if (_fstati64(_fileno(file_), &info) != 0) return std::nullopt;
#else
    struct stat info;
    if (fstat(fileno(file_), &info) != 0) return std::nullopt;
#endif
    return static_cast<uint64_t>(info.st_size);
  }
  bool cutBack(uint64_t length) override {
    if (!file_) return false;
    fflush(file_);
    clearerr(file_);
#ifdef _WIN32
    const bool cut = _chsize_s(_fileno(file_), static_cast<__int64>(length)) == 0 &&
                     _fseeki64(file_, static_cast<__int64>(length), SEEK_SET) == 0;
#else
    const bool cut = ftruncate(fileno(file_), static_cast<off_t>(length)) == 0 &&
                     fseeko(file_, static_cast<off_t>(length), SEEK_SET) == 0;
#endif
    if (cut) failed_ = false;
    return cut;
  }
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
