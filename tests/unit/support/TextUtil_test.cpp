#include "support/TextUtil.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using Pieces = std::vector<std::string>;

TEST(TextUtilTest, SplitOnReadsPiecesLikeLines) {
  struct Case {
    const char* text;
    char delimiter;
    Pieces pieces;
  } cases[] = {
      {"", '/', {}},
      {"abc", '/', {"abc"}},
      {"a//b/", '/', {"a", "", "b"}},
      {"/a", '/', {"", "a"}},
      {"C:/data/app", '/', {"C:", "data", "app"}},
      {"/", '/', {""}},
      {"//", '/', {"", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(splitOn(c.text, c.delimiter), c.pieces) << c.text;
}

TEST(TextUtilTest, SplitWordsDropsEveryKindOfWhitespace) {
  struct Case {
    const char* text;
    Pieces words;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"  true   30 ", {"true", "30"}},
      {"a\tb\nc\rd\ve\ff", {"a", "b", "c", "d", "e", "f"}},
      {"one", {"one"}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitWords(c.text), c.words) << c.text;
}

TEST(TextUtilTest, LowerCaseChangesOnlyAsciiCapitals) {
  EXPECT_EQ(toLowerCase("-XMX2G"), "-xmx2g");
  EXPECT_EQ(toLowerCase("TRUE"), "true");
  EXPECT_EQ(toLowerCase("\xC4\xD6 [@Z]"), "\xC4\xD6 [@z]");
}

TEST(TextUtilTest, ForwardSlashesKeepTheLength) {
  std::string text = "C:\\a\\\\b/c\\";
  toForwardSlashes(text);
  EXPECT_EQ(text, "C:/a//b/c/");
}

// Each answer is std::string::find_first_of's.
TEST(TextUtilTest, FindFirstOfFindsWhatTheStandardFindFirstOfFinds) {
  const struct {
    std::string text;
    std::string chars;
    size_t from;
  } cases[] = {
      {"", " \t", 0},
      {"C:\\Program Files\\app", " \t\"", 0},
      {"a\\b\"c", "\\\"", 2},
      {"a\\b\"c", "\\\"", 4},
      {"abc", "c", 3},
      {"abc", "c", 9},
      {"abc", "", 0},
      {"\xE9t\xE9 \xFF", "\xFF\x80", 0},
      {"\x7F@?\x01", std::string("\0?", 2), 0},
      {std::string("a\0b", 3), std::string("\0", 1), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(findFirstOf(c.text, c.chars, c.from), c.text.find_first_of(c.chars, c.from))
        << c.text << " / " << c.chars << " from " << c.from;
}

TEST(TextUtilTest, CutAtNulReadsLikeACString) {
  EXPECT_EQ(cutAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(cutAtNul("abc"), "abc");
}

}  // namespace
}  // namespace tarvik
