#include "launch/JavaLauncherOptions.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using Strings = std::vector<std::string>;

TEST(JavaLauncherOptions, TranslateAsJavasLauncherDoes) {
  struct Case {
    Strings texts;
    Strings vmOptions;
    const char* splash;  // nullptr: none
    uint64_t stack;
  } cases[] = {
      {{"--add-opens java.base/java.lang=ALL-UNNAMED"},
       {"--add-opens=java.base/java.lang=ALL-UNNAMED"}, nullptr, 0},
      {{"--add-exports", "java.base/sun.nio.ch=ALL-UNNAMED", "-Da=1"},
       {"--add-exports=java.base/sun.nio.ch=ALL-UNNAMED", "-Da=1"}, nullptr, 0},
      {{"-p  mods", "--add-modules", "m"},
       {"--module-path=mods", "--add-modules=m"}, nullptr, 0},
      {{"--enable-native-access ALL-UNNAMED", "--add-reads=a=b"},
       {"--enable-native-access=ALL-UNNAMED", "--add-reads=a=b"}, nullptr, 0},
      // Alone at the end: the VM gets the word and says what it makes of it.
      {{"--add-opens"}, {"--add-opens"}, nullptr, 0},
      {{"-Dp x", "-px"}, {"-Dp x", "-px"}, nullptr, 0},
      {{"-splash:a.png", "-splash:C:\\My Pics\\b.png"}, {}, "C:\\My Pics\\b.png", 0},
      {{"-Xss64m", "-Xss2k", "-Dx"}, {"-Xss64m", "-Xss2k", "-Dx"}, nullptr, 65536},
      {{"-Xss1g", "-Xssbad", "-Xss"}, {"-Xss1g", "-Xssbad", "-Xss"}, nullptr,
       1ull << 30},
  };
  for (const Case& c : cases) {
    LauncherOptionResult result;
    translateLauncherOptions(c.texts, result);
    EXPECT_EQ(result.vmOptions, c.vmOptions) << c.texts[0];
    EXPECT_EQ(result.splashImage.value_or("(none)"), c.splash ? c.splash : "(none)");
    EXPECT_EQ(result.mainStackBytes, c.stack) << c.texts[0];
  }
}

TEST(JavaLauncherOptions, MemorySizes) {
  const std::pair<const char*, std::optional<uint64_t>> cases[] = {
      {"1048576", 1048576}, {"512k", 512 << 10},  {"64M", 64 << 20},
      {"1T", 1ull << 40},   {"", std::nullopt},    {"1mb", std::nullopt},
      {"-1m", std::nullopt}, {"99999999999999999999", std::nullopt},
      {"17179869184g", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseMemorySize(c.first), c.second) << c.first;
}

TEST(JavaLauncherOptions, VariableSplitsAtBlanksWithQuotesGrouping) {
  const std::pair<const char*, std::optional<Strings>> cases[] = {
      {"", Strings{}},
      {"  -Da=1\t-Xss4m \n", Strings{"-Da=1", "-Xss4m"}},
      {"-Dws.prop=\"white spaces\" '-Dq=say \"hi\"'",
       Strings{"-Dws.prop=white spaces", "-Dq=say \"hi\""}},
      {"-Da=\"\"", Strings{"-Da="}},
      {"-Da=\"open", std::nullopt},
      {"'", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(splitJavaOptionsVariable(c.first), c.second) << c.first;
  for (const char* refused : {"app.Main", "", "-jar", "-version", "--help", "-m"})
    EXPECT_TRUE(refusedInJavaOptionsVariable(refused)) << refused;
  for (const char* allowed : {"-Da=1", "@args", "-showversion", "--add-opens"})
    EXPECT_FALSE(refusedInJavaOptionsVariable(allowed)) << allowed;
}

TEST(JavaLauncherOptions, AnOptionThatEndsTheLaunchIsLeftOutWithItsValue) {
  std::vector<std::string> refused;
  EXPECT_EQ(optionsOfVariable("OPTS", "-d java.base -Da=1 --describe-module=m", refused),
            std::vector<Strings>{{"-Da=1"}});
  EXPECT_EQ(refused, (Strings{"OPTS holds -d java.base, which is left out: it names "
                              "the main class or ends the launch",
                              "OPTS holds --describe-module=m, which is left out: it "
                              "names the main class or ends the launch"}));
}

TEST(JavaLauncherOptions, AnOptionThatEndsTheLaunchByOneValueKeepsItsOthers) {
  std::vector<std::string> refused;
  EXPECT_EQ(optionsOfVariable("OPTS", "-XX:AOTMode=record -XX:AOTMode=create", refused),
            std::vector<Strings>{{"-XX:AOTMode=record"}});
  EXPECT_EQ(refused, (Strings{"OPTS holds -XX:AOTMode=create, which is left out: it "
                              "names the main class or ends the launch"}));
}

}  // namespace
}  // namespace tarvik
