// A zip archive read from its central directory, each entry's data checked
// against its local header, its sizes and its CRC.
#include <algorithm>
#include <utility>

#include "brand/ByteIo.h"
#include "pack/ArchiveReaders.h"
#include "pack/Deflate.h"
#include "pack/ZipFormat.h"

namespace tarvik {
namespace pack {

namespace {

using brand::le16;
using brand::le32;

constexpr uint32_t ZIP64_END = 0x06064b50;
constexpr uint32_t ZIP64_LOCATOR = 0x07064b50;
constexpr uint16_t ZIP64_EXTRA = 0x0001;
constexpr uint16_t FLAG_ENCRYPTED = 0x0001;
constexpr uint8_t MADE_ON_UNIX = 3;

uint64_t le64(const std::string& bytes, size_t at) {
  uint64_t v;
  brand::LeReader reader(bytes, at);
  reader(v);
  return v;
}

// The central directory: where it is and how many entries it lists.
struct Directory {
  uint64_t count = 0, size = 0, offset = 0;
  size_t end = 0;  // where its end record begins: the entries' data lie before
};

std::optional<Directory> findDirectory(const std::string& zip, std::string& error) {
  // The end record is the last 22 bytes but a comment of up to 64 KiB.
  size_t at = std::string::npos;
  for (size_t back = 22; back <= zip.size() && back <= 22 + 0xFFFF; ++back)
    if (le32(zip, zip.size() - back) == ZIP_END_OF_CENTRAL_DIRECTORY &&
        le16(zip, zip.size() - back + 20) == back - 22) {
      at = zip.size() - back;
      break;
    }
  if (at == std::string::npos) {
    error = "the archive is no zip archive, or it is cut short (it has no end of its central directory)";
    return std::nullopt;
  }
  Directory d{le16(zip, at + 10), le32(zip, at + 12), le32(zip, at + 16), at};
  if (le16(zip, at + 4) != 0 || le16(zip, at + 6) != 0) {
    error = "the archive spans several disks";
    return std::nullopt;
  }
  if ((d.count == 0xFFFF || d.size == 0xFFFFFFFF || d.offset == 0xFFFFFFFF) && at >= 20 &&
      le32(zip, at - 20) == ZIP64_LOCATOR) {
    const uint64_t end64 = le64(zip, at - 12);
    if (end64 > at - 20 || at - 20 - end64 < 56 || le32(zip, static_cast<size_t>(end64)) != ZIP64_END) {
      error = "the archive is damaged (its zip64 end record is not where it says)";
      return std::nullopt;
    }
    d = {le64(zip, end64 + 32), le64(zip, end64 + 40), le64(zip, end64 + 48), static_cast<size_t>(end64)};
  }
  if (d.offset > d.end || d.size > d.end - d.offset) {
    error = "the archive is damaged (its central directory lies outside it)";
    return std::nullopt;
  }
  return d;
}

// The 64-bit sizes and offset of an entry's zip64 extra field, for those
// fields that hold 0xFFFFFFFF.
void readZip64Extra(const std::string& extra, uint64_t& plainSize, uint64_t& packedSize, uint64_t& offset) {
  for (size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = le16(extra, at), length = le16(extra, at + 2);
    if (id == ZIP64_EXTRA) {
      size_t field = at + 4;
      for (uint64_t* value : {&plainSize, &packedSize, &offset})
        if (*value == 0xFFFFFFFF && field + 8 <= at + 4 + length) {
          *value = le64(extra, field);
          field += 8;
        }
    }
    at += 4 + length;
  }
}

}  // namespace

std::optional<std::vector<PackedEntry>> zipEntries(const std::string& zip, const UnpackLimits& limits,
                                                   std::string& error) {
  const std::optional<Directory> directory = findDirectory(zip, error);
  if (!directory) return std::nullopt;
  if (directory->count > limits.entries) {
    error = "the archive holds more than " + std::to_string(limits.entries) + " entries";
    return std::nullopt;
  }
  UnpackBudget budget(limits);
  std::vector<PackedEntry> entries;
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // each entry's bytes, to find overlaps
  size_t at = static_cast<size_t>(directory->offset);
  const size_t directoryEnd = at + static_cast<size_t>(directory->size);
  for (uint64_t i = 0; i < directory->count; ++i) {
    if (at + 46 > directoryEnd || le32(zip, at) != ZIP_CENTRAL_HEADER) {
      error = "the archive is damaged (its central directory ends inside entry " + std::to_string(i + 1) + ")";
      return std::nullopt;
    }
    const uint16_t madeBy = le16(zip, at + 4), flags = le16(zip, at + 8), method = le16(zip, at + 10);
    const uint32_t crc = le32(zip, at + 16);
    uint64_t packedSize = le32(zip, at + 20), plainSize = le32(zip, at + 24);
    const size_t nameLength = le16(zip, at + 28), extraLength = le16(zip, at + 30),
                 commentLength = le16(zip, at + 32);
    const uint32_t attributes = le32(zip, at + 38);
    uint64_t offset = le32(zip, at + 42);
    if (at + 46 + nameLength + extraLength + commentLength > directoryEnd) {
      error = "the archive is damaged (its central directory ends inside entry " + std::to_string(i + 1) + ")";
      return std::nullopt;
    }
    PackedEntry entry;
    entry.name = zip.substr(at + 46, nameLength);
    readZip64Extra(zip.substr(at + 46 + nameLength, extraLength), plainSize, packedSize, offset);
    at += 46 + nameLength + extraLength + commentLength;

    const std::string label = entry.name + " ";
    // The system's file type and permissions, where a Unix zip keeps them.
    const uint32_t mode = (madeBy >> 8) == MADE_ON_UNIX ? attributes >> 16 : 0;
    const uint32_t type = mode & 0170000;
    if (type == 0120000) entry.kind = PackedEntry::Kind::Link;
    else if (type == 0040000 || (!entry.name.empty() && entry.name.back() == '/')) entry.kind = PackedEntry::Kind::Folder;
    else if (type != 0 && type != 0100000) {
      error = label + "is a device, a FIFO or a socket, which a runtime holds none of";
      return std::nullopt;
    }
    entry.executable = (mode & 0111) != 0;
    if (flags & FLAG_ENCRYPTED) {
      error = label + "is encrypted";
      return std::nullopt;
    }
    if (method != ZIP_STORED && method != ZIP_DEFLATED) {
      error = label + "is compressed by method " + std::to_string(method) + ", which tarvik-pack does not read";
      return std::nullopt;
    }
    if (!budget.take(plainSize, error)) {
      error = "the archive " + error;
      return std::nullopt;
    }

    // The local header's own name and extra field come before the data.
    if (offset > directory->offset || directory->offset - offset < 30 || le32(zip, offset) != ZIP_LOCAL_HEADER) {
      error = label + "is damaged (its local header is not where the directory says)";
      return std::nullopt;
    }
    const uint64_t dataStart = offset + 30 + le16(zip, offset + 26) + le16(zip, offset + 28);
    if (dataStart > directory->offset || packedSize > directory->offset - dataStart) {
      error = label + "is damaged (its data runs past the central directory)";
      return std::nullopt;
    }
    spans.emplace_back(offset, dataStart + packedSize);
    const std::string data = zip.substr(static_cast<size_t>(dataStart), static_cast<size_t>(packedSize));
    if (method == ZIP_STORED) {
      if (packedSize != plainSize) {
        error = label + "is stored in " + std::to_string(packedSize) + " bytes but says it holds " +
                std::to_string(plainSize);
        return std::nullopt;
      }
      entry.bytes = data;
    } else {
      std::optional<std::string> plain = rawInflated(data, plainSize, error);
      if (!plain) {
        error = label + error;
        return std::nullopt;
      }
      entry.bytes = std::move(*plain);
    }
    if (crc32Of(entry.bytes) != crc) {
      error = label + "is damaged (its CRC does not match)";
      return std::nullopt;
    }
    entries.push_back(std::move(entry));
  }
  // Entries that share bytes make a small archive unpack to much.
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) {
      error = "the archive is damaged (two of its entries share their bytes)";
      return std::nullopt;
    }
  return entries;
}

}  // namespace pack
}  // namespace tarvik
