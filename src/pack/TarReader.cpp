// A tar archive as GNU tar, POSIX pax and the older ustar and v7 forms
// write it: each header's checksum checked, long names and pax records
// taken, a size believed only as far as the archive holds its bytes.
#include <utility>

#include "pack/ArchiveReaders.h"
#include "pack/TarFormat.h"

namespace tarvik {
namespace pack {

namespace {

// A number field: octal digits (blanks and NULs about them), or GNU's
// base-256 for large values.
bool number(const char* field, size_t width, uint64_t& value) {
  value = 0;
  if (static_cast<unsigned char>(field[0]) == 0x80) {
    for (size_t i = 1; i < width; ++i) {
      if (value >> 56) return false;
      value = value << 8 | static_cast<unsigned char>(field[i]);
    }
    return true;
  }
  size_t i = 0;
  while (i < width && field[i] == ' ') ++i;
  bool digits = false;
  for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i, digits = true) {
    if (value >> 60) return false;
    value = value << 3 | static_cast<uint64_t>(field[i] - '0');
  }
  for (; i < width; ++i)
    if (field[i] != ' ' && field[i] != '\0') return false;
  return digits;
}

std::string textField(const char* field, size_t width) {
  size_t length = 0;
  while (length < width && field[length] != '\0') ++length;
  return std::string(field, length);
}

// The sum of the header's bytes with its checksum field as blanks, as
// unsigned bytes and, as some old writers summed, as signed ones.
bool checksumMatches(const char* header) {
  uint64_t stored = 0;
  if (!number(header + 148, 8, stored)) return false;
  int64_t unsignedSum = 0, signedSum = 0;
  for (size_t i = 0; i < TAR_BLOCK; ++i) {
    const bool inField = i >= 148 && i < 156;
    unsignedSum += inField ? ' ' : static_cast<unsigned char>(header[i]);
    signedSum += inField ? ' ' : static_cast<signed char>(header[i]);
  }
  return static_cast<int64_t>(stored) == unsignedSum || static_cast<int64_t>(stored) == signedSum;
}

// pax records: "LENGTH key=value\n", each LENGTH bytes long.
bool readPax(const std::string& records, std::string& path, std::string& link, std::string& size,
             bool& sparse) {
  for (size_t at = 0; at < records.size();) {
    const size_t blank = records.find(' ', at);
    if (blank == std::string::npos || blank == at || blank - at > 9) return false;
    uint64_t length = 0;
    for (size_t i = at; i < blank; ++i) {
      if (records[i] < '0' || records[i] > '9') return false;
      length = length * 10 + static_cast<uint64_t>(records[i] - '0');
    }
    if (length <= blank - at + 1 || length > records.size() - at || records[at + length - 1] != '\n')
      return false;
    const std::string record = records.substr(blank + 1, at + length - blank - 2);
    const size_t equals = record.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = record.substr(0, equals), value = record.substr(equals + 1);
    if (key == "path") path = value;
    else if (key == "linkpath") link = value;
    else if (key == "size") size = value;
    else if (key.compare(0, 10, "GNU.sparse") == 0) sparse = true;
    at += length;
  }
  return true;
}

}  // namespace

std::optional<std::vector<PackedEntry>> tarEntries(const std::string& tar, const UnpackLimits& limits,
                                                   std::string& error) {
  UnpackBudget budget(limits);
  std::vector<PackedEntry> entries;
  // What the headers before an entry say of it: a GNU long name or link,
  // pax records.
  std::string longName, longLink, paxPath, paxLink, paxSize;
  bool sparse = false;
  for (size_t at = 0;; ) {
    const std::string where = "the header at byte " + std::to_string(at);
    if (tar.size() - at < TAR_BLOCK) {
      error = "the archive is cut short (it ends before its end-of-archive block)";
      return std::nullopt;
    }
    const char* header = tar.data() + at;
    if (tar.find_first_not_of('\0', at) >= at + TAR_BLOCK) return entries;  // the end
    uint64_t size = 0, mode = 0;
    if (!checksumMatches(header) || !number(header + 124, 12, size)) {
      error = "the archive is damaged (" + where + " is no tar header, or its checksum does not match)";
      return std::nullopt;
    }
    number(header + 100, 8, mode);
    const char type = header[156];
    if (!paxSize.empty()) {
      size = 0;
      for (const char c : paxSize) {
        if (c < '0' || c > '9' || size >> 59) {
          error = "the archive is damaged (" + where + " has a pax size of \"" + paxSize + "\")";
          return std::nullopt;
        }
        size = size * 10 + static_cast<uint64_t>(c - '0');
      }
    }
    std::string name = textField(header, 100);
    // POSIX's ustar keeps a prefix of long names; GNU's header has other
    // fields there.
    if (std::string(header + 257, 6) == std::string("ustar\0", 6) && header[345] != '\0')
      name = textField(header + 345, 155) + "/" + name;
    if (!longName.empty()) name = longName;
    if (!paxPath.empty()) name = paxPath;
    std::string link = textField(header + 157, 100);
    if (!longLink.empty()) link = longLink;
    if (!paxLink.empty()) link = paxLink;

    // Links, folders and devices have no data, whatever their size says.
    const bool hasData = type == '0' || type == '\0' || type == '7' || type == 'x' || type == 'g' ||
                         type == 'L' || type == 'K';
    if (!hasData) size = 0;
    if (size > tar.size() - at - TAR_BLOCK) {
      error = (name.empty() ? "the archive" : name) + " is cut short (the archive ends inside its " +
              std::to_string(size) + " bytes)";
      return std::nullopt;
    }
    const std::string label = name + " ";
    if (!budget.take(size, error)) {
      error = "the archive " + error;
      return std::nullopt;
    }
    std::string data = tar.substr(at + TAR_BLOCK, static_cast<size_t>(size));
    at += TAR_BLOCK + static_cast<size_t>((size + TAR_BLOCK - 1) / TAR_BLOCK * TAR_BLOCK);
    if (at > tar.size()) at = tar.size();

    PackedEntry entry;
    switch (type) {
      case 'x':
        if (!readPax(data, paxPath, paxLink, paxSize, sparse)) {
          error = "the archive is damaged (" + where + " holds pax records that cannot be read)";
          return std::nullopt;
        }
        continue;
      case 'g':
        continue;  // global records: nothing in them names or sizes an entry
      case 'L':
        longName = textField(data.data(), data.size());
        continue;
      case 'K':
        longLink = textField(data.data(), data.size());
        continue;
      case '0':
      case '\0':
      case '7':
        entry.kind = PackedEntry::Kind::File;
        // Old archives mark a folder by its name's slash alone.
        if (type == '\0' && !name.empty() && name.back() == '/') entry.kind = PackedEntry::Kind::Folder;
        break;
      case '5':
        entry.kind = PackedEntry::Kind::Folder;
        break;
      case '2':
        entry.kind = PackedEntry::Kind::Link;
        break;
      case '1':
        entry.kind = PackedEntry::Kind::HardLink;
        break;
      case '3':
      case '4':
        error = label + "is a device file, which a runtime holds none of";
        return std::nullopt;
      case '6':
        error = label + "is a FIFO, which a runtime holds none of";
        return std::nullopt;
      default:
        error = label + "is a tar entry of type '" + std::string(1, type) + "', which tarvik-pack does not read";
        return std::nullopt;
    }
    if (sparse) {
      error = label + "is a sparse file, which tarvik-pack does not read";
      return std::nullopt;
    }
    entry.name = name;
    entry.bytes = entry.kind == PackedEntry::Kind::File ? std::move(data) : link;
    entry.executable = (mode & 0111) != 0;
    entries.push_back(std::move(entry));
    longName.clear();
    longLink.clear();
    paxPath.clear();
    paxLink.clear();
    paxSize.clear();
    sparse = false;
  }
}

}  // namespace pack
}  // namespace tarvik
