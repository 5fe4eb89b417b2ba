// What tarvik-brand needs of the operating system: its arguments, whole
// files, and its error stream. A real one per system, a fake in the tests.
#ifndef TARVIK_BRAND_BRANDSYSTEM_H
#define TARVIK_BRAND_BRANDSYSTEM_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {
namespace brand {

class BrandSystem {
 public:
  virtual ~BrandSystem() = default;
  // The command line's words after the program's name, in UTF-8.
  virtual std::vector<std::string> arguments() = 0;
  // The file, at most its first `limit` bytes, or nothing and the
  // system's reason in `error`.
  virtual std::optional<std::string> readFile(const std::string& path, size_t limit,
                                              std::string& error) = 0;
  // Writes a temporary file beside `path` and renames it into place, so
  // `path` is either as it was or whole; false and the reason in `error`.
  virtual bool replaceFile(const std::string& path, const std::string& bytes,
                           std::string& error) = 0;
  virtual void writeStderr(const std::string& text) = 0;
  virtual void writeStdout(const std::string& text) = 0;
};

// The system the tool runs on (PosixBrandSystem.cpp or Win32BrandSystem.cpp).
std::unique_ptr<BrandSystem> makeBrandSystem(int argc, char** argv);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_BRANDSYSTEM_H
