// What the archive writers get right by themselves: the calendar of a
// time, and the names a tar header holds.
#include <gtest/gtest.h>

#include "pack/ArchiveEntries.h"
#include "pack/TarArchive.h"

namespace tarvik {
namespace pack {
namespace {

struct CalendarRow {
  int64_t seconds;
  CalendarTime time;
};

const CalendarRow CALENDAR_ROWS[] = {
    {0, {1970, 1, 1, 0, 0, 0}},
    {1700000000, {2023, 11, 14, 22, 13, 20}},
    {951782400, {2000, 2, 29, 0, 0, 0}},      // a leap day of a century
    {4107542399, {2100, 2, 28, 23, 59, 59}},  // 2100 has none
    {-1, {1969, 12, 31, 23, 59, 59}},
};

class CalendarTest : public ::testing::TestWithParam<CalendarRow> {};

TEST_P(CalendarTest, IsUtcsDate) {
  const CalendarTime t = utcCalendar(GetParam().seconds), want = GetParam().time;
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            std::vector<int>({want.year, want.month, want.day, want.hour, want.minute, want.second}));
}

INSTANTIATE_TEST_SUITE_P(Rows, CalendarTest, ::testing::ValuesIn(CALENDAR_ROWS));

struct TarNameRow {
  const char* name;
  std::string path;    // below the top folder "t"
  std::string prefix;  // the header's prefix field; "-" when refused
};

const TarNameRow TAR_NAME_ROWS[] = {
    {"Short", "a.jar", ""},
    {"HundredBytesStayAName", std::string(98, 'n'), ""},
    {"LongerIsCutAtAFolder", "runtime/" + std::string(60, 'f') + "/" + std::string(60, 'g'),
     "t/runtime/" + std::string(60, 'f')},
    {"ANameOverAHundredIsRefused", "runtime/" + std::string(101, 'n'), "-"},
};

class TarNameTest : public ::testing::TestWithParam<TarNameRow> {};

TEST_P(TarNameTest, FitsUstarsFields) {
  std::string error;
  const std::optional<std::string> tar =
      tarArchive({{GetParam().path, "x", false, ""}}, "t", 0, error);
  if (GetParam().prefix == "-") {
    EXPECT_FALSE(tar);
    EXPECT_EQ(error, "t/" + GetParam().path + ": the name is too long for a tar archive");
    return;
  }
  ASSERT_TRUE(tar) << error;
  // The file's header is the last but its data's block and the end's two.
  const std::string header = tar->substr(tar->size() - 4 * 512, 512);
  const std::string full = "t/" + GetParam().path;
  EXPECT_EQ(header.substr(345, GetParam().prefix.size()), GetParam().prefix);
  EXPECT_EQ(header.substr(0, std::min<size_t>(100, header.find('\0'))),
            GetParam().prefix.empty() ? full : full.substr(GetParam().prefix.size() + 1));
}

INSTANTIATE_TEST_SUITE_P(Rows, TarNameTest, ::testing::ValuesIn(TAR_NAME_ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pack
}  // namespace tarvik
