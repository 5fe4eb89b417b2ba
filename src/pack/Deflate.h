// zlib's deflate, inflate and CRC-32, as the archive formats take them.
#ifndef TARVIK_PACK_DEFLATE_H
#define TARVIK_PACK_DEFLATE_H

#include <cstdint>
#include <optional>
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

// The `size` bytes that raw deflate data holds; nothing, and what is wrong
// ("is damaged (...)") in `error`, when it is damaged or holds more or fewer.
std::optional<std::string> rawInflated(const std::string& data, uint64_t size, std::string& error);
// What a gzip file (of one member or several) holds, read no further than
// `limit` bytes; nothing, and why in `error`, when it is damaged, cut
// short or holds more.
std::optional<std::string> gunzipped(const std::string& data, uint64_t limit, std::string& error);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_DEFLATE_H
