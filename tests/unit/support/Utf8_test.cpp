#include "support/Utf8.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"
#include "support/AnsiCodePage.h"

namespace tarvik {
namespace {

TEST(Utf8Test, ModifiedUtf8ForTheVm) {
  struct Case {
    std::string text;
    std::string modified;
  } cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9 \xD0\x94 \xE5\xB7\xA5", "\xC3\xA9 \xD0\x94 \xE5\xB7\xA5"},
      // U+1F600 as its surrogates D83D DE00.
      {"a\xF0\x9F\x98\x80z", "a\xED\xA0\xBD\xED\xB8\x80z"},
      {"\xF4\x8F\xBF\xBF", "\xED\xAF\xBF\xED\xBF\xBF"},  // U+10FFFF
      // Bytes that are not UTF-8: each the character of its value.
      {"\xE9", "\xC3\xA9"},
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},          // overlong
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // a lone surrogate
      {"\xF0\x9F\x98", "\xC3\xB0\xC2\x9F\xC2\x98"},  // cut short
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.modified, modifiedUtf8(c.text)) << c.text;
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
}

// The ASCII run ends at the first high byte wherever it stands among the
// eight bytes looked at together; a bad sequence after a long run is found.
TEST(Utf8Test, AsciiRunsEndAtTheFirstHighByte) {
  for (size_t size = 0; size <= 20; ++size) {
    const std::string ascii(size, 'a');
    for (size_t from = 0; from <= size; ++from)
      EXPECT_EQ(endOfAscii(ascii, from), size) << size << " from " << from;
    for (size_t high = 0; high < size; ++high) {
      std::string text = ascii;
      text[high] = '\x80';
      for (size_t from = 0; from <= high; ++from)
        EXPECT_EQ(endOfAscii(text, from), high) << high << " of " << size;
      EXPECT_FALSE(isValidUtf8(text)) << high << " of " << size;
      text.replace(high, 1, "\xC3\xA9");
      EXPECT_TRUE(isValidUtf8(text)) << high << " of " << size;
    }
  }
  EXPECT_TRUE(isValidUtf8(std::string("nul \0 inside", 13)));
}

class AnsiCodePageTest : public LauncherTest {};

TEST_F(AnsiCodePageTest, PathsOutsideTheCodePageGoByTheirShortForm) {
  // The fake's code page is Latin-1: é fits, Д does not.
  os.shortPaths = {{"C:\\\xD0\x94\\a.jar", "C:\\D~1\\a.jar"},
                   {"C:\\\xD0\x94", "C:\\D~1"},
                   {"C:\\\xC3\xA9\\a.jar", "C:\\E~1\\a.jar"},
                   {"C:\\\xD0\x96", "C:\\\xD0\x96~1"}};
  struct Case {
    std::string (*convert)(const std::string&);
    std::string given;
    std::string expected;
  } cases[] = {
      {ansiReadablePath, "C:\\\xD0\x94\\a.jar", "C:\\D~1\\a.jar"},
      {ansiReadablePath, "C:\\\xC3\xA9\\a.jar", "C:\\\xC3\xA9\\a.jar"},  // fits
      {ansiReadablePath, "C:\\\xD0\x94\\none.jar", "C:\\\xD0\x94\\none.jar"},
      {ansiReadablePath, "C:\\\xD0\x96", "C:\\\xD0\x96"},  // short form unfit
      {ansiReadableClassPathEntry, "C:\\\xD0\x94/*", "C:\\D~1/*"},
      {ansiReadableClassPathEntry, "C:\\\xD0\x94\\a.jar", "C:\\D~1\\a.jar"},
      {ansiReadableClassPath, "C:\\\xD0\x94\\a.jar;b.jar;C:\\\xD0\x94",
       "C:\\D~1\\a.jar;b.jar;C:\\D~1"},
      {ansiReadableOption, "-Dexe.mainConfig=\"C:\\\xD0\x94\\a.jar\"",
       "-Dexe.mainConfig=\"C:\\D~1\\a.jar\""},
      {ansiReadableOption, "-Dx=C:\\\xD0\x94", "-Dx=C:\\D~1"},
      {ansiReadableOption, "-Dx=\xD0\x94 text", "-Dx=\xD0\x94 text"},
      {ansiReadableOption, "-Xlog:C:\\\xD0\x94", "-Xlog:C:\\\xD0\x94"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, c.convert(c.given)) << c.given;
}

}  // namespace
}  // namespace tarvik
