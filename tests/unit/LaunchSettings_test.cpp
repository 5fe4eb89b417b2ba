#include "LaunchSettings.h"

#include <algorithm>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

using Names = std::vector<std::string>;
using Values = std::map<std::string, std::string>;

class LaunchSettingsTest : public LauncherTest {};

TEST_F(LaunchSettingsTest, DefaultsAreTheDocumentedOnes) {
  EXPECT_FALSE(set.javaPath);
  EXPECT_FALSE(set.mainClass);
  EXPECT_EQ(set.keepAliveMillis, 3000);
  EXPECT_EQ(set.percentRam, -1);
  EXPECT_FALSE(set.keepAlive);
  EXPECT_FALSE(set.showConsole);
  EXPECT_TRUE(set.javaLib.empty());
  EXPECT_EQ(opt.debugMode, 0);
  EXPECT_FALSE(opt.quietMode);
}

TEST_F(LaunchSettingsTest, AddVmParamStoresNamesAndLastValues) {
  struct Case {
    Names added;
    Names names;
    Values values;
  } cases[] = {
      {{"-Dfoo=1", "-Dfoo=2"}, {"-Dfoo", "-Dfoo"}, {{"-Dfoo", "2"}}},
      {{"-Dflag="}, {"-Dflag"}, {{"-Dflag", ""}}},
      {{"-server"}, {"-server"}, {}},
      {{"-Da=b=c"}, {"-Da"}, {{"-Da", "b=c"}}},
      {{"=x"}, {""}, {{"", "x"}}},
      // Options Java takes many times keep each line's value.
      {{"--add-opens=java.base/java.lang=ALL-UNNAMED",
        "--add-opens=java.base/java.util=ALL-UNNAMED"},
       {"--add-opens=java.base/java.lang=ALL-UNNAMED",
        "--add-opens=java.base/java.util=ALL-UNNAMED"},
       {}},
      {{"--add-exports=a/b=c", "--add-reads=a=b", "--add-modules=m",
        "--patch-module=m=p", "-XX:CompileCommand=quiet",
        "--enable-native-access=ALL-UNNAMED", "--add-modules=n"},
       {"--add-exports=a/b=c", "--add-reads=a=b", "--add-modules=m",
        "--patch-module=m=p", "-XX:CompileCommand=quiet",
        "--enable-native-access=ALL-UNNAMED", "--add-modules=n"},
       {}},
      {{"--add-opensx=1", "--add-opensx=2"}, {"--add-opensx", "--add-opensx"},
       {{"--add-opensx", "2"}}},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    for (const std::string& text : c.added) addVmParam(text);
    EXPECT_EQ(set.vmParams, c.names) << c.added[0];
    EXPECT_EQ(set.vmParamValues, c.values) << c.added[0];
  }
}

TEST_F(LaunchSettingsTest, LogFileParameterNamesTheApplicationLog) {
  addVmParam("-DLOGFILE=C:\\temp\\app.log");
  EXPECT_EQ(set.appLogFile, std::string("C:\\temp\\app.log"));
  EXPECT_EQ(set.vmParams, Names{"-DLOGFILE"});
  addVmParam("-DLOGFILE=D:\\other.log");
  EXPECT_EQ(set.appLogFile, std::string("D:\\other.log"));
  addVmParam("-DLOGFILEX=nope");
  EXPECT_EQ(set.appLogFile, std::string("D:\\other.log"));
}

TEST_F(LaunchSettingsTest, RemoveVmParamsByNameOrPrefix) {
  const Names start = {"-Dexe.mainConfig", "-Xmx512m", "-Dfoo", "-Dfoo.bar",
                       "-Xmx1g", "-Dfoo"};
  struct Case {
    const char* pattern;
    Names left;
  } cases[] = {
      {"-Xmx512m", {"-Dexe.mainConfig", "-Dfoo", "-Dfoo.bar", "-Xmx1g", "-Dfoo"}},
      {"-Xmx*", {"-Dexe.mainConfig", "-Dfoo", "-Dfoo.bar", "-Dfoo"}},
      {"-Dfoo", {"-Dexe.mainConfig", "-Xmx512m", "-Dfoo.bar", "-Xmx1g"}},
      {"-Dfoo*", {"-Dexe.mainConfig", "-Xmx512m", "-Xmx1g"}},
      {"-Dfoo=1", start},
      {"*", {}},
      {"", start},
      {"-dfoo", start},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    for (const std::string& name : start) addVmParam(name + "=v");
    removeVmParams(c.pattern);
    EXPECT_EQ(set.vmParams, c.left) << c.pattern;
    for (const std::string& name : start) {
      bool kept = std::find(c.left.begin(), c.left.end(), name) != c.left.end();
      EXPECT_EQ(set.vmParamValues.count(name), kept ? 1u : 0u)
          << c.pattern << " " << name;
    }
  }
}

TEST_F(LaunchSettingsTest, NameForMessagesFallsBackToTheMainClass) {
  EXPECT_EQ(applicationNameForMessages(), "(null)");
  set.mainClass = "com.acme.Main";
  EXPECT_EQ(applicationNameForMessages(), "com.acme.Main");
  set.appName = "";
  EXPECT_EQ(applicationNameForMessages(), "com.acme.Main");
  set.appName = "Acme";
  EXPECT_EQ(applicationNameForMessages(), "Acme");
}

}  // namespace
}  // namespace tarvik
