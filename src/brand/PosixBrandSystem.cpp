// tarvik-brand's files and streams on Linux.
#ifdef _WIN32
#error "PosixBrandSystem.cpp is for POSIX builds only"
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "brand/BrandSystem.h"

namespace tarvik {
namespace brand {

namespace {

class PosixBrandSystem : public BrandSystem {
 public:
  PosixBrandSystem(int argc, char** argv) : args_(argv + (argc > 0 ? 1 : 0), argv + argc) {}

  std::vector<std::string> arguments() override { return args_; }

  std::optional<std::string> readFile(const std::string& path, size_t limit,
                                      std::string& error) override {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = std::strerror(errno);
      return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < limit) {
      const ssize_t n = read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = std::strerror(errno);
        close(fd);
        return std::nullopt;
      }
      if (n == 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return bytes;
  }

  bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) override {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
      error = std::strerror(errno);
      return false;
    }
    // An executable, as a linker would make it.
    const mode_t mask = umask(0);
    umask(mask);
    bool ok = fchmod(fd, 0777 & ~mask) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    int saved = errno;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
      ok = false;
      saved = errno;
    }
    if (!ok) {
      error = std::strerror(saved ? saved : EIO);
      unlink(temp.c_str());
    }
    return ok;
  }

  void writeStderr(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
  void writeStdout(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

 private:
  std::vector<std::string> args_;
};

}  // namespace

std::unique_ptr<BrandSystem> makeBrandSystem(int argc, char** argv) {
  return std::make_unique<PosixBrandSystem>(argc, argv);
}

}  // namespace brand
}  // namespace tarvik
