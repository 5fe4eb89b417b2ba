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

// An entry of the icon's directory. Entries may name the same image, which
// is then kept (and written) once.
struct IconImage {
  ICONDIRENTRY entry;  // wPlanes and wBitCount filled in from the image
  size_t data;         // its bytes: IconFile::data[data]
};

struct IconFile {
  std::vector<IconImage> images;  // the directory's entries, in order
  // Each distinct image once: a DIB (BITMAPINFOHEADER, pixels, mask) or a PNG.
  std::vector<std::string> data;
};

// The largest icon file read. Windows shows no icon image above 256 x 256;
// a file with every size and depth of those is a few hundred KB. With
// images that never overlap, the file's size bounds the copy's growth.
constexpr size_t MAX_ICON_FILE_BYTES = 16 << 20;

struct IconReadResult {
  std::optional<IconFile> icon;
  std::string error;
};

IconReadResult readIconFile(const std::string& bytes);

// The RT_GROUP_ICON resource of the icon's entries, the image data[i]
// stored as the RT_ICON resource ids[i].
std::string groupIconResource(const IconFile& icon, const std::vector<uint16_t>& ids);

// The RT_ICON IDs a group icon resource names (none for a damaged one).
std::vector<uint16_t> groupIconIds(const std::string& resource);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_ICONFILE_H
