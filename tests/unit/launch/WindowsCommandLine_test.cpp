#include "launch/WindowsCommandLine.h"

#include <gtest/gtest.h>

#include "unit/launch/WindowsCommandLineCases.h"

namespace tarvik {
namespace {

using Words = std::vector<std::string>;

TEST(WindowsCommandLineTest, SplitsLikeTheCRuntime) {
  for (const SplitCase& c : splitCases())
    EXPECT_EQ(splitWindowsCommandLine(c.commandLine), c.words)
        << "[" << c.commandLine << "]";
}

TEST(WindowsCommandLineTest, ProgramNameKeepsBackslashesAndDropsQuotes) {
  struct Case {
    const char* commandLine;
    Words words;
  } cases[] = {
      {"", {""}},
      {"java", {"java"}},
      {"\"C:\\Program Files\\Java\\bin\\javaw.exe\" -version",
       {"C:\\Program Files\\Java\\bin\\javaw.exe", "-version"}},
      // No escapes in the program name: a backslash before a quote stays.
      {"C:\\jre\\\"bin x\\\"java.exe a", {"C:\\jre\\bin x\\java.exe", "a"}},
      {"\"unterminated program name", {"unterminated program name"}},
      {"pr\"og x\" a", {"prog x", "a"}},
      {"\"a\"b c", {"ab", "c"}},
      {" leading", {"", "leading"}},
      {"prog\tx", {"prog", "x"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(splitWindowsCommandLine(c.commandLine), c.words)
        << "[" << c.commandLine << "]";
}

TEST(WindowsCommandLineTest, QuotesOnlyWhatCannotStandBare) {
  struct Case {
    const char* argument;
    bool needsQuotes;
  } cases[] = {
      {"", true},          {"a b", true},     {"a\tb", true},
      {"a\"b", true},      {"\"", true},      {"plain", false},
      {"C:\\dir\\", false}, {"a\\b", false},  {"%x%&|<>^", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(argumentNeedsQuotes(c.argument), c.needsQuotes)
        << "[" << c.argument << "]";
}

TEST(WindowsCommandLineTest, QuotingEscapesOnlyBeforeQuotes) {
  struct Case {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"", "\"\""},
      {"a b", "\"a b\""},
      {"C:\\", "\"C:\\\\\""},
      {"D:\\data\\", "\"D:\\data\\\\\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
      {"a\\b", "\"a\\b\""},
      {"\\\\server\\share", "\"\\\\server\\share\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(quoteArgument(c.argument), c.quoted) << "[" << c.argument << "]";
}

TEST(WindowsCommandLineTest, QuotedArgumentsComeBackUnchanged) {
  const std::vector<std::string>& arguments = roundTripArguments();
  std::string line = "prog";
  for (const std::string& argument : arguments)
    line += " " + quoteArgument(argument);
  Words expected = {"prog"};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(splitWindowsCommandLine(line), expected) << line;

  // Each one alone, and at the very end of the line (no blank follows).
  for (const std::string& argument : arguments) {
    EXPECT_EQ(splitWindowsCommandLine("p " + quoteArgument(argument)),
              (Words{"p", argument}))
        << "[" << argument << "]";
    EXPECT_EQ(splitWindowsCommandLine("p " + quoteArgument(argument) + " x"),
              (Words{"p", argument, "x"}))
        << "[" << argument << "]";
  }
}

TEST(WindowsCommandLineTest, BareArgumentsComeBackUnchanged) {
  for (const std::string& argument : roundTripArguments()) {
    if (argumentNeedsQuotes(argument)) continue;
    EXPECT_EQ(splitWindowsCommandLine("p " + argument + " x"),
              (Words{"p", argument, "x"}))
        << "[" << argument << "]";
  }
}

}  // namespace
}  // namespace tarvik
