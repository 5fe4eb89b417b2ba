// A tar archive in the POSIX ustar format.
#ifndef TARVIK_PACK_TARARCHIVE_H
#define TARVIK_PACK_TARARCHIVE_H

#include <cstdint>
#include <optional>
#include <string>

#include "pack/AppImage.h"

namespace tarvik {
namespace pack {

// The files below one folder `top`, with their folders, owned by root and
// dated `time`: the same files and time give the same bytes. Nothing, with
// the path in `error`, when a name does not fit ustar's fields.
std::optional<std::string> tarArchive(const ImageFiles& files, const std::string& top,
                                      int64_t time, std::string& error);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_TARARCHIVE_H
