// An .ico file (ICONDIR, ICONDIRENTRY and the images) and the resource form
// of its directory (GRPICONDIR, GRPICONDIRENTRY), which names each image by
// the ID of its RT_ICON resource instead of its place in the file.
#ifndef TARVIK_BRAND_ICONFILE_H
#define TARVIK_BRAND_ICONFILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {
namespace brand {

struct ICONDIR {
  uint16_t idReserved;  // 0
  uint16_t idType;      // 1 for icons (2 is a cursor)
  uint16_t idCount;
};
constexpr uint32_t ICONDIR_SIZE = 6;

struct ICONDIRENTRY {
  uint8_t bWidth;  // 0 means 256
  uint8_t bHeight;
  uint8_t bColorCount;
  uint8_t bReserved;
  uint16_t wPlanes;
  uint16_t wBitCount;
  uint32_t dwBytesInRes;
  uint32_t dwImageOffset;
};
constexpr uint32_t ICONDIRENTRY_SIZE = 16;

using GRPICONDIR = ICONDIR;

struct GRPICONDIRENTRY {
  uint8_t bWidth;
  uint8_t bHeight;
  uint8_t bColorCount;
  uint8_t bReserved;
  uint16_t wPlanes;
  uint16_t wBitCount;
  uint32_t dwBytesInRes;
  uint16_t nID;
};
constexpr uint32_t GRPICONDIRENTRY_SIZE = 14;

struct IconImage {
  ICONDIRENTRY entry;  // wPlanes and wBitCount filled in from the image
  std::string data;    // a DIB (BITMAPINFOHEADER, pixels, mask) or a PNG
};

struct IconFile {
  std::vector<IconImage> images;
};

struct IconReadResult {
  std::optional<IconFile> icon;
  std::string error;
};

IconReadResult readIconFile(const std::string& bytes);

// The RT_GROUP_ICON resource of the icon's images, the i-th one stored as
// the RT_ICON resource ids[i].
std::string groupIconResource(const IconFile& icon, const std::vector<uint16_t>& ids);

// The RT_ICON IDs a group icon resource names (none for a damaged one).
std::vector<uint16_t> groupIconIds(const std::string& resource);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_ICONFILE_H
