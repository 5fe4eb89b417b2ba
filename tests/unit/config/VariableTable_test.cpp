#include "config/VariableTable.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

class VariableTableTest : public LauncherTest {};

TEST_F(VariableTableTest, SubstitutionFollowsTheScanRules) {
  variables()["foo"] = "bar";
  variables()["a"] = "";
  variables()["pct"] = "%foo%";
  variables()["b"] = "B";
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"-Dfoobar=%foo%", "-Dfoobar=bar"},
      {"-Dfoobar=%foobar%", "-Dfoobar=%foobar%"},
      {"-Dfoobar=%%foo%%", "-Dfoobar=%foo%"},
      {"-Dfoobar=%foo", "-Dfoobar=%foo"},
      {"test%foo%test", "testbartest"},
      {"x%a%y", "xy"},
      {"%a%%foo%", "bar"},          // scan goes on right after an empty value
      {"%pct%", "%foo%"},           // an inserted value is not scanned again
      {"%undefined%b%", "%undefined%b%"},  // closing mark used up
      {"%undefined%%b%", "%undefined%B"},
      {"%%%foo%", "%bar"},
      {"%%%", "%%"},
      {"%", "%"},
      {"", ""},
      {"no marks", "no marks"},
      {"%FOO%", "%FOO%"},           // names are case-sensitive
      {"% foo%", "% foo%"},         // and not trimmed
  };
  for (const Case& c : cases)
    EXPECT_EQ(substituteVariables(c.text), c.expected) << c.text;
}

TEST_F(VariableTableTest, ALongRunOfPercentSignsHalvesQuickly) {
  const std::string text(10000, '%');
  EXPECT_EQ(substituteVariables(text), std::string(5000, '%'));
  const std::string odd(10001, '%');
  EXPECT_EQ(substituteVariables(odd), std::string(5001, '%'));
  // Many references in a megabyte-long text.
  variables()["v"] = "value";
  std::string many;
  for (int i = 0; i < 200000; ++i) many += "%v%;";
  std::string expected;
  for (int i = 0; i < 200000; ++i) expected += "value;";
  EXPECT_EQ(substituteVariables(many), expected);
}

TEST_F(VariableTableTest, DefineVariableStoresAndReports) {
  struct Case {
    const char* argument;
    const char* name;
    const char* value;
    const char* out;
  } cases[] = {
      {"a=b=c", "a", "b=c", ""},
      {"a=", "a", "", ""},
      {"=v", "", "v", ""},
      {"a = b", "a ", " b", ""},
      {"a%b=1", "a%b", "1", "Defined unusable variable name: a%b\n"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.out.clear();
    defineVariable(c.argument);
    ASSERT_EQ(variables().count(c.name), 1u) << c.argument;
    EXPECT_EQ(variables()[c.name], c.value) << c.argument;
    EXPECT_EQ(os.out, c.out) << c.argument;
    EXPECT_TRUE(os.boxes.empty());
  }
}

TEST_F(VariableTableTest, LineWithoutEqualsDefinesNothing) {
  defineVariable("noequals");
  EXPECT_TRUE(variables().empty());
  EXPECT_EQ(os.out, "Attempted to parse invalid var line: noequals\n");
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(VariableTableTest, DebugModeShowsErrorBoxesUnlessQuiet) {
  opt.debugMode = 1;
  defineVariable("noequals");
  defineVariable("a%b=1");
  std::vector<RecordedBox> expected = {
      {"Attempted to parse var without =", "noequals", MB_STYLE_ICONERROR},
      {"Defined unusuable variable name", "a%b", MB_STYLE_ICONERROR},
  };
  EXPECT_EQ(os.boxes, expected);

  os.boxes.clear();
  opt.quietMode = true;
  defineVariable("noequals");
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(VariableTableTest, RedefinitionReplacesTheValue) {
  defineVariable("v=1");
  EXPECT_EQ(substituteVariables("%v%"), "1");
  defineVariable("v=2");
  EXPECT_EQ(substituteVariables("%v%"), "2");
}

TEST_F(VariableTableTest, DebugBoxShowsOnlyChangedTexts) {
  opt.debugMode = 1;
  variables()["foo"] = "bar";
  substituteVariables("%undefined%");
  substituteVariables("plain");
  EXPECT_TRUE(os.boxes.empty());
  substituteVariables("x=%foo%");
  std::vector<RecordedBox> expected = {
      {"Substituted variables", "x=%foo%\nto\nx=bar", MB_STYLE_OK}};
  EXPECT_EQ(os.boxes, expected);
}

}  // namespace
}  // namespace tarvik
