#include "brand/IconFile.h"

#include <algorithm>
#include <map>

#include "brand/ByteIo.h"

namespace tarvik {
namespace brand {

template <typename Io>
void fields(Io& io, ICONDIR& d) {
  io(d.idReserved); io(d.idType); io(d.idCount);
}
template <typename Io>
void fields(Io& io, ICONDIRENTRY& e) {
  io(e.bWidth); io(e.bHeight); io(e.bColorCount); io(e.bReserved);
  io(e.wPlanes); io(e.wBitCount); io(e.dwBytesInRes); io(e.dwImageOffset);
}
template <typename Io>
void fields(Io& io, GRPICONDIRENTRY& e) {
  io(e.bWidth); io(e.bHeight); io(e.bColorCount); io(e.bReserved);
  io(e.wPlanes); io(e.wBitCount); io(e.dwBytesInRes); io(e.nID);
}

namespace {

const char PNG_SIGNATURE[] = "\x89PNG\r\n\x1a\n";

// The bytes a BITMAPINFOHEADER image needs: header, palette, colour rows
// and mask rows (rows padded to 32 bits). Nothing when its header is not
// one an icon can have.
std::optional<uint64_t> dibSize(const std::string& data, uint16_t& bitCount) {
  const uint32_t headerSize = le32(data, 0);
  const int32_t width = static_cast<int32_t>(le32(data, 4));
  const int32_t doubledHeight = static_cast<int32_t>(le32(data, 8));
  const uint16_t planes = le16(data, 12);
  bitCount = le16(data, 14);
  const uint32_t colorsUsed = le32(data, 32);
  if (data.size() < 40 || headerSize < 40 || headerSize > data.size() || width <= 0 ||
      width > 1024 || doubledHeight <= 0 || doubledHeight > 2048 || planes != 1)
    return std::nullopt;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 &&
      bitCount != 24 && bitCount != 32)
    return std::nullopt;
  const uint64_t height = uint64_t(doubledHeight) / 2;
  uint64_t palette = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : colorsUsed;
  if (palette > 256) return std::nullopt;
  const uint64_t colorRow = (uint64_t(width) * bitCount + 31) / 32 * 4;
  const uint64_t maskRow = (uint64_t(width) + 31) / 32 * 4;
  return headerSize + palette * 4 + (colorRow + maskRow) * height;
}

// Why an image cannot be shown, or nothing; its bit count in `bitCount`.
std::string imageError(const std::string& data, const std::string& number, uint16_t& bitCount) {
  if (data.compare(0, 8, PNG_SIGNATURE, 8) == 0) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height, depth, colour type.
    if (data.size() < 33 || data.compare(12, 4, "IHDR") != 0)
      return "damaged icon file: " + number + " is a PNG without its header";
    const uint8_t depth = uint8_t(data[24]);
    const uint8_t colorType = uint8_t(data[25]);
    const unsigned channels = colorType == 6 ? 4 : colorType == 2 ? 3 : colorType == 4 ? 2 : 1;
    bitCount = static_cast<uint16_t>(depth * channels);
    return "";
  }
  std::optional<uint64_t> needed = dibSize(data, bitCount);
  if (!needed) return "damaged icon file: " + number + " is neither a PNG nor an icon bitmap";
  if (*needed > data.size())
    return "truncated icon file: " + number + " holds fewer pixels than its size needs";
  return "";
}

}  // namespace

IconReadResult readIconFile(const std::string& bytes) {
  IconReadResult result;
  ICONDIR dir;
  if (!readStruct(bytes, 0, dir)) {
    result.error = "not an icon file: it is shorter than an icon directory";
    return result;
  }
  if (dir.idReserved != 0 || (dir.idType != 1 && dir.idType != 2)) {
    result.error = "not an icon file: it does not start with an icon directory";
    return result;
  }
  if (dir.idType == 2) {
    result.error = "not an icon file: it is a cursor";
    return result;
  }
  if (dir.idCount == 0) {
    result.error = "the icon holds no image";
    return result;
  }
  if (!fits(ICONDIR_SIZE, uint64_t(dir.idCount) * ICONDIRENTRY_SIZE, bytes.size())) {
    result.error = "truncated icon file: its directory is cut short";
    return result;
  }
  IconFile icon;
  // Each distinct image by its place in the file, with the first entry
  // that names it and its bit count.
  struct Place {
    size_t data;
    uint32_t entry;
    uint16_t bitCount;
  };
  std::map<std::pair<uint32_t, uint32_t>, Place> places;
  for (uint32_t i = 0; i < dir.idCount; ++i) {
    IconImage image;
    readStruct(bytes, ICONDIR_SIZE + i * ICONDIRENTRY_SIZE, image.entry);
    const std::string number = "image " + std::to_string(i + 1);
    if (image.entry.dwBytesInRes == 0 ||
        !fits(image.entry.dwImageOffset, image.entry.dwBytesInRes, bytes.size())) {
      result.error = "truncated icon file: " + number + " lies beyond the end of the file";
      return result;
    }
    const std::pair<uint32_t, uint32_t> range{image.entry.dwImageOffset, image.entry.dwBytesInRes};
    auto place = places.find(range);
    if (place == places.end()) {
      std::string data = bytes.substr(range.first, range.second);
      uint16_t bitCount = 0;
      result.error = imageError(data, number, bitCount);
      if (!result.error.empty()) return result;
      place = places.emplace(range, Place{icon.data.size(), i + 1, bitCount}).first;
      icon.data.push_back(std::move(data));
    }
    image.data = place->second.data;
    // Windows picks an image by these; files often leave them 0.
    if (image.entry.wPlanes == 0) image.entry.wPlanes = 1;
    if (image.entry.wBitCount == 0) image.entry.wBitCount = place->second.bitCount;
    icon.images.push_back(image);
  }
  // Distinct images that overlap would let the copy outgrow the file.
  uint64_t reach = 0;   // the end of the furthest-reaching image so far
  uint32_t reacher = 0;  // its first entry
  for (const auto& [range, place] : places) {
    if (reacher && range.first < reach) {
      result.error = "damaged icon file: images " + std::to_string(std::min(reacher, place.entry)) +
                     " and " + std::to_string(std::max(reacher, place.entry)) + " overlap";
      return result;
    }
    if (range.first + uint64_t(range.second) > reach) {
      reach = range.first + uint64_t(range.second);
      reacher = place.entry;
    }
  }
  result.icon = std::move(icon);
  return result;
}

std::string groupIconResource(const IconFile& icon, const std::vector<uint16_t>& ids) {
  std::string out;
  GRPICONDIR dir{0, 1, static_cast<uint16_t>(icon.images.size())};
  writeStruct(out, 0, dir);
  for (size_t i = 0; i < icon.images.size(); ++i) {
    const ICONDIRENTRY& e = icon.images[i].entry;
    GRPICONDIRENTRY group{e.bWidth, e.bHeight, e.bColorCount, e.bReserved,
                          e.wPlanes, e.wBitCount, e.dwBytesInRes, ids[icon.images[i].data]};
    writeStruct(out, out.size(), group);
  }
  return out;
}

std::vector<uint16_t> groupIconIds(const std::string& resource) {
  std::vector<uint16_t> ids;
  GRPICONDIR dir;
  if (!readStruct(resource, 0, dir)) return ids;
  for (uint32_t i = 0; i < dir.idCount; ++i) {
    GRPICONDIRENTRY entry;
    if (!readStruct(resource, ICONDIR_SIZE + i * GRPICONDIRENTRY_SIZE, entry)) break;
    ids.push_back(entry.nID);
  }
  return ids;
}

}  // namespace brand
}  // namespace tarvik
