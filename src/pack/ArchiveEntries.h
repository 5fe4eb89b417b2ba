// What the archive writers share: an image's folders and files as one list
// in the order of their paths, and a time as the calendar reads it in UTC.
#ifndef TARVIK_PACK_ARCHIVEENTRIES_H
#define TARVIK_PACK_ARCHIVEENTRIES_H

#include <cstdint>
#include <string>
#include <vector>

#include "pack/AppImage.h"

namespace tarvik {
namespace pack {

struct ArchiveEntry {
  std::string path;          // below the archive's top; a folder's ends in '/'
  const ImageFile* file;     // null for a folder
  uint32_t mode() const;     // the POSIX permissions: 755 or 644
};

// The entries below `top` ("acme/"): the top folder, then every folder and
// file of the image.
std::vector<ArchiveEntry> archiveEntries(const ImageFiles& files, const std::string& top);

struct CalendarTime {
  int year, month, day, hour, minute, second;
};
CalendarTime utcCalendar(int64_t seconds);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_ARCHIVEENTRIES_H
