#include "pack/TarArchive.h"

#include <cstdio>

#include "pack/ArchiveEntries.h"
#include "pack/TarFormat.h"

namespace tarvik {
namespace pack {

namespace {

// An octal number in a field of `width` bytes, the last a NUL.
void octal(std::string& header, size_t at, size_t width, uint64_t value) {
  for (size_t i = width - 1; i-- > 0;) {
    header[at + i] = static_cast<char>('0' + (value & 7));
    value >>= 3;
  }
}

void text(std::string& header, size_t at, const std::string& value) {
  header.replace(at, value.size(), value);
}

// ustar's name: up to 100 bytes, or a prefix of up to 155 cut at a '/'.
bool splitName(const std::string& path, std::string& prefix, std::string& name) {
  if (path.size() <= 100) {
    prefix.clear();
    name = path;
    return true;
  }
  for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (slash > 155) break;
    if (path.size() - slash - 1 <= 100 && slash + 1 < path.size()) {
      prefix = path.substr(0, slash);
      name = path.substr(slash + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::string> tarArchive(const ImageFiles& files, const std::string& top,
                                      int64_t time, std::string& error) {
  std::string out;
  for (const ArchiveEntry& entry : archiveEntries(files, top + "/")) {
    std::string prefix, name;
    const bool link = entry.file && !entry.file->linkTarget.empty();
    if (!splitName(entry.path, prefix, name) || (link && entry.file->linkTarget.size() > 100)) {
      error = entry.path + ": the name is too long for a tar archive";
      return std::nullopt;
    }
    std::string header(TAR_BLOCK, '\0');
    text(header, 0, name);
    octal(header, 100, 8, link ? 0777 : entry.mode());
    octal(header, 108, 8, 0);  // root's user and group
    octal(header, 116, 8, 0);
    octal(header, 124, 12, entry.file && !link ? entry.file->bytes.size() : 0);
    octal(header, 136, 12, time < 0 ? 0 : static_cast<uint64_t>(time));
    header[156] = !entry.file ? '5' : link ? '2' : '0';
    if (link) text(header, 157, entry.file->linkTarget);
    text(header, 257, "ustar");
    text(header, 263, "00");
    text(header, 265, "root");
    text(header, 297, "root");
    text(header, 345, prefix);
    // The checksum is summed with its own field as blanks.
    header.replace(148, 8, 8, ' ');
    uint32_t sum = 0;
    for (const char c : header) sum += static_cast<unsigned char>(c);
    octal(header, 148, 7, sum);
    out += header;
    if (entry.file && !link) {
      out += entry.file->bytes;
      out.append((TAR_BLOCK - entry.file->bytes.size() % TAR_BLOCK) % TAR_BLOCK, '\0');
    }
  }
  out.append(2 * TAR_BLOCK, '\0');
  return out;
}

}  // namespace pack
}  // namespace tarvik
