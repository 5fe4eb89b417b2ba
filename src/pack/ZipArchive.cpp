#include "pack/ZipArchive.h"

#include "brand/ByteIo.h"
#include "pack/ArchiveEntries.h"
#include "pack/Deflate.h"
#include "pack/ZipFormat.h"

namespace tarvik {
namespace pack {

namespace {

constexpr uint16_t VERSION_NEEDED = 20;          // 2.0: deflate and folders
constexpr uint16_t VERSION_MADE_BY = 0x0314;     // Unix, 2.0: the modes below count
constexpr uint16_t FLAG_UTF8_NAMES = 0x0800;
constexpr uint32_t DOS_FOLDER = 0x10;

// MS-DOS's date and time, which begin in 1980 and count seconds by two.
void dosTime(int64_t seconds, uint16_t& date, uint16_t& time) {
  CalendarTime t = utcCalendar(seconds);
  if (t.year < 1980) t = {1980, 1, 1, 0, 0, 0};
  if (t.year > 2107) t = {2107, 12, 31, 23, 59, 58};
  date = static_cast<uint16_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
  time = static_cast<uint16_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
}

template <typename T>
void put(std::string& out, T value) {
  brand::LeWriter writer(out, out.size());
  writer(value);
}

}  // namespace

std::optional<std::string> zipArchive(const ImageFiles& files, const std::string& top, int64_t time) {
  uint16_t date = 0, clock = 0;
  dosTime(time, date, clock);
  const std::vector<ArchiveEntry> entries = archiveEntries(files, top + "/");
  if (entries.size() > 0xFFFF) return std::nullopt;
  std::string out, central;
  for (const ArchiveEntry& entry : entries) {
    const std::string& plain = entry.file ? entry.file->bytes : std::string();
    std::string data = plain.empty() ? std::string() : rawDeflate(plain);
    uint16_t method = ZIP_DEFLATED;
    if (data.size() >= plain.size()) {
      data = plain;
      method = ZIP_STORED;
    }
    const uint32_t crc = crc32Of(plain);
    if (out.size() > 0xFFFFFFFFull - 64 - entry.path.size() - data.size() ||
        plain.size() > 0xFFFFFFFFull)
      return std::nullopt;
    const uint32_t offset = static_cast<uint32_t>(out.size());
    put(out, ZIP_LOCAL_HEADER);
    put(out, VERSION_NEEDED);
    put(out, FLAG_UTF8_NAMES);
    put(out, method);
    put(out, clock);
    put(out, date);
    put(out, crc);
    put(out, static_cast<uint32_t>(data.size()));
    put(out, static_cast<uint32_t>(plain.size()));
    put(out, static_cast<uint16_t>(entry.path.size()));
    put(out, uint16_t{0});
    out += entry.path;
    out += data;

    put(central, ZIP_CENTRAL_HEADER);
    put(central, VERSION_MADE_BY);
    put(central, VERSION_NEEDED);
    put(central, FLAG_UTF8_NAMES);
    put(central, method);
    put(central, clock);
    put(central, date);
    put(central, crc);
    put(central, static_cast<uint32_t>(data.size()));
    put(central, static_cast<uint32_t>(plain.size()));
    put(central, static_cast<uint16_t>(entry.path.size()));
    put(central, uint16_t{0});  // extra field
    put(central, uint16_t{0});  // comment
    put(central, uint16_t{0});  // disk
    put(central, uint16_t{0});  // internal attributes
    const uint32_t folderMode = entry.file ? 0100000u : 0040000u;
    put(central, ((folderMode | entry.mode()) << 16) | (entry.file ? 0 : DOS_FOLDER));
    put(central, offset);
    central += entry.path;
  }
  if (out.size() + central.size() > 0xFFFFFFFFull - 22) return std::nullopt;
  const uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out += central;
  put(out, ZIP_END_OF_CENTRAL_DIRECTORY);
  put(out, uint16_t{0});
  put(out, uint16_t{0});
  put(out, static_cast<uint16_t>(entries.size()));
  put(out, static_cast<uint16_t>(entries.size()));
  put(out, static_cast<uint32_t>(central.size()));
  put(out, centralOffset);
  put(out, uint16_t{0});
  return out;
}

}  // namespace pack
}  // namespace tarvik
