// A zip archive (PKWARE's APPNOTE): each file's local header and data, then
// the central directory and its end record.
#ifndef TARVIK_PACK_ZIPARCHIVE_H
#define TARVIK_PACK_ZIPARCHIVE_H

#include <cstdint>
#include <string>

#include "pack/AppImage.h"

namespace tarvik {
namespace pack {

// The files below one folder `top`, every entry dated `time` (seconds since
// 1970, UTC): the same files and time give the same bytes. Nothing when the
// archive would need ZIP64 (4 GiB, 65535 entries).
std::optional<std::string> zipArchive(const ImageFiles& files, const std::string& top, int64_t time);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_ZIPARCHIVE_H
