// The readers of the archives a runtime comes in: a zip (as Windows runtimes
// are shipped) and a tar (inside a .tar.gz, as Linux ones are). They take
// the archive as hostile: what it says of itself is checked before it is
// believed, and it is read no further than the bounds.
#ifndef TARVIK_PACK_ARCHIVEREADERS_H
#define TARVIK_PACK_ARCHIVEREADERS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {
namespace pack {

struct PackedEntry {
  enum class Kind { File, Folder, Link, HardLink };
  std::string name;  // as the archive holds it
  Kind kind = Kind::File;
  std::string bytes;  // a file's content; a link's target
  bool executable = false;
};

// What an archive may unpack to: the bytes of its files and its entries.
struct UnpackLimits {
  uint64_t bytes;
  size_t entries;
};

// The entries of a zip or of a tar, in the archive's order; nothing, and
// what is wrong in `error`, when the archive is damaged, goes past the
// bounds, or holds what a runtime never holds (a device, a FIFO, an
// encrypted file).
std::optional<std::vector<PackedEntry>> zipEntries(const std::string& zip, const UnpackLimits& limits,
                                                   std::string& error);
std::optional<std::vector<PackedEntry>> tarEntries(const std::string& tar, const UnpackLimits& limits,
                                                   std::string& error);

// Adds `size` bytes and one entry to what `limits` allow; false, with what
// is wrong in `error`, past either bound.
class UnpackBudget {
 public:
  explicit UnpackBudget(const UnpackLimits& limits) : limits_(limits) {}
  bool take(uint64_t size, std::string& error);

 private:
  UnpackLimits limits_;
  uint64_t bytes_ = 0;
  size_t entries_ = 0;
};

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_ARCHIVEREADERS_H
