// zlib's deflate and CRC-32, as the archive formats take them.
#ifndef TARVIK_PACK_DEFLATE_H
#define TARVIK_PACK_DEFLATE_H

#include <cstdint>
#include <string>

namespace tarvik {
namespace pack {

// Raw deflate data (no header), as a zip entry holds it.
std::string rawDeflate(const std::string& bytes);
// A gzip file of `bytes` with no name and no time in its header, and the
// header's system byte Unix on every system: the same bytes make the same
// file wherever it is made.
std::string gzipped(const std::string& bytes);
uint32_t crc32Of(const std::string& bytes);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_DEFLATE_H
