// The files of an application's image that tarvik-pack writes itself.
#include "pack/AppImage.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace pack {
namespace {

// The lines it adds come first, in the configuration's own encoding and
// after its byte-order mark, which the launcher reads only at the start.
TEST(AppImageTest, LinesAddedToAConfigurationKeepItsEncoding) {
  const std::string added = "a b\n";
  struct Case {
    const char* name;
    std::string config;
    std::string shipped;
  } cases[] = {
      {"plain", "mainclass M\n", "a b\nmainclass M\n"},
      {"UTF-8 mark", "\xEF\xBB\xBFmainclass M\n", "\xEF\xBB\xBF" "a b\nmainclass M\n"},
      {"UTF-16LE mark", std::string("\xFF\xFEm\0\n\0", 6),
       std::string("\xFF\xFE" "a\0 \0b\0\n\0m\0\n\0", 14)},
      {"UTF-16BE mark", std::string("\xFE\xFF\0m\0\n", 6),
       std::string("\xFE\xFF\0a\0 \0b\0\n\0m\0\n", 14)},
  };
  for (const Case& c : cases) EXPECT_EQ(withLinesFirst(c.config, added), c.shipped) << c.name;
}

// A desktop entry's texts take '\\' as the start of an escape: a name's
// own backslash is written doubled, or the menu shows another name.
TEST(AppImageTest, DesktopEntryTextsKeepTheirBackslashes) {
  PackDescription d;
  d.name = "Acme\\Tool";
  d.summary = "Draws \\s and \\n";
  d.fileName = "acme";
  d.icon = "acme.ico";
  const std::string entry = desktopEntryText(d);
  EXPECT_NE(entry.find("\nName=Acme\\\\Tool\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nComment=Draws \\\\s and \\\\n\n"), std::string::npos) << entry;
}

}  // namespace
}  // namespace pack
}  // namespace tarvik
