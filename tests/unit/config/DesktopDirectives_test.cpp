#include "config/DesktopDirectives.h"

#include "config/ConfigReader.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

class DesktopDirectivesTest : public LauncherTest {};

// (Empty names and separators: the bad-input table of the native launcher.)
TEST_F(DesktopDirectivesTest, SingleInstanceNamesAreCheckedWhenTheLineIsRead) {
  const std::string longest(MAX_INSTANCE_NAME_BYTES, 'n');
  struct Case {
    std::string line;
    OptionalText name;
    std::string err;
  } cases[] = {
      {"singleInstance Acme Tool", std::string("Acme Tool"), ""},
      {"singleInstance  \tacme\r", std::string("acme"), ""},
      {"singleInstance Инструмент", std::string("Инструмент"), ""},
      {"singleInstance " + longest, longest, ""},
      {"singleInstance \t ", {}, "singleInstance  ignored: the name is empty\n"},
      {"singleInstance a\x01z", {},
       "singleInstance a\x01z ignored: the name must not hold control characters\n"},
      {"singleInstance " + longest + "n", {},
       "singleInstance " + longest + "n ignored: the name is longer than 200 bytes\n"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.singleInstanceName, c.name) << c.line;
    EXPECT_EQ(os.err, c.err) << c.line;
  }
}

TEST_F(DesktopDirectivesTest, OnlyWebUrlsAreTakenAndTheyCannotSplitACommandLine) {
  const std::string refused = " ignored: only http and https URLs are accepted\n";
  struct Case {
    std::string value;
    OptionalText url;
  } cases[] = {
      {"https://adoptium.net/", std::string("https://adoptium.net/")},
      {"HTTP://example.com/a?b=c&d=%41#x", std::string("HTTP://example.com/a?b=c&d=%41#x")},
      {" https://example.com/ \r", std::string("https://example.com/")},
      {"https://example.com/a b\"c\" --flag",
       std::string("https://example.com/a%20b%22c%22%20--flag")},
      {"https://example.com/\r\x7f<é>\\",
       std::string("https://example.com/%0D%7F%3C%C3%A9%3E%5C")},
      {"ftp://example.com/jdk", {}},
      {"file:///C:/Windows/System32/calc.exe", {}},
      {"javascript:alert(1)", {}},
      {"C:\\Windows\\System32\\calc.exe", {}},
      {"https:example.com", {}},
      {"https://", {}},
      {"http:///path", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    parseDirectiveLine("javaDownloadUrl " + c.value);
    EXPECT_EQ(set.javaDownloadUrl, c.url) << c.value;
    const std::string err = c.url ? "" : "javaDownloadUrl " + c.value + refused;
    EXPECT_EQ(os.err, err) << c.value;
  }
}

TEST_F(DesktopDirectivesTest, AppUserModelIdsAreCheckedWhenTheLineIsRead) {
  const std::string parts = " ignored: the ID must be Company.Product[.SubProduct[.Version]]: "
                            "2 to 4 non-empty parts between dots\n";
  const std::string longest = "A." + std::string(126, 'b');
  struct Case {
    std::string value;
    std::string err;  // after the value; empty: taken
  } cases[] = {
      {"Acme.Tool", ""},
      {"Acme.Tool.Viewer.2-1_0", ""},
      {longest, ""},
      {longest + "b", " ignored: the ID is longer than 128 characters\n"},
      {"", " ignored: the ID is empty\n"},
      {"Acme", parts},
      {"A.B.C.D.E", parts},
      {"Acme..Tool", parts},
      {".Acme.Tool", parts},
      {"Acme.Tool.", parts},
      {"Acme Corp.Tool", " ignored: the ID must not hold blanks or control characters\n"},
      {"Acme.\x01Tool", " ignored: the ID must not hold blanks or control characters\n"},
      {"Acme.T\"ool", " ignored: the ID must hold only ASCII characters other than \"\n"},
      {"Äcme.Tool", " ignored: the ID must hold only ASCII characters other than \"\n"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    parseDirectiveLine("appUserModelId  " + c.value + " \r");
    EXPECT_EQ(set.appUserModelId, c.err.empty() ? OptionalText(c.value) : std::nullopt) << c.value;
    EXPECT_EQ(os.err, c.err.empty() ? "" : "appUserModelId " + c.value + c.err) << c.value;
  }
}

}  // namespace
}  // namespace tarvik
