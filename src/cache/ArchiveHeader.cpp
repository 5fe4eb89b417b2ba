#include "cache/ArchiveHeader.h"

namespace tarvik {

namespace {

// The first four bytes of each kind of file, little-endian.
constexpr uint32_t DYNAMIC_ARCHIVE_MAGIC = 0xf00baba8;
constexpr uint32_t STATIC_ARCHIVE_MAGIC = 0xf00baba2;
constexpr uint32_t AOT_CONFIGURATION_MAGIC = 0xcafea07c;

// Where a header version keeps its table of regions: each record holds the
// region's offset in the file and its length.
struct RegionTable {
  uint32_t headerVersion;
  size_t first;
  size_t stride;
  size_t count;
  size_t offsetField;
  size_t lengthField;
};

const RegionTable REGION_TABLES[] = {
    // Java 17.
    {11, 16, 72, 7, 24, 40},
};

uint64_t littleEndian(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

bool archiveLooksWhole(const std::string& start, uint64_t fileSize) {
  if (start.size() < 16 || fileSize < start.size()) return false;
  const uint64_t magic = littleEndian(start, 0, 4);
  if (magic != DYNAMIC_ARCHIVE_MAGIC && magic != STATIC_ARCHIVE_MAGIC)
    return false;
  const uint32_t version = static_cast<uint32_t>(littleEndian(start, 8, 4));
  for (const RegionTable& table : REGION_TABLES) {
    if (table.headerVersion != version) continue;
    if (start.size() < table.first + table.stride * table.count) return false;
    for (size_t i = 0; i < table.count; ++i) {
      const size_t record = table.first + table.stride * i;
      const uint64_t offset = littleEndian(start, record + table.offsetField, 8);
      const uint64_t length = littleEndian(start, record + table.lengthField, 8);
      if (length > 0 && (offset > fileSize || length > fileSize - offset))
        return false;
    }
  }
  return true;
}

bool looksLikeAotConfiguration(const std::string& start) {
  return start.size() >= 16 &&
         littleEndian(start, 0, 4) == AOT_CONFIGURATION_MAGIC;
}

}  // namespace tarvik
