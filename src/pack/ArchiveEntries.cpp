#include "pack/ArchiveEntries.h"

#include <algorithm>

namespace tarvik {
namespace pack {

uint32_t ArchiveEntry::mode() const { return !file || file->program ? 0755 : 0644; }

std::vector<ArchiveEntry> archiveEntries(const ImageFiles& files, const std::string& top) {
  std::vector<ArchiveEntry> entries = {{top, nullptr}};
  for (const std::string& folder : imageFolders(files)) entries.push_back({top + folder, nullptr});
  for (const ImageFile& file : files) entries.push_back({top + file.path, &file});
  std::sort(entries.begin() + 1, entries.end(),
            [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.path < b.path; });
  return entries;
}

CalendarTime utcCalendar(int64_t seconds) {
  // Howard Hinnant's days-to-civil: no time zone, no C library.
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
          static_cast<int>(rest % 60)};
}

}  // namespace pack
}  // namespace tarvik
