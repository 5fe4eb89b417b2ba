// tarvik.exe under Wine with `startupCache true`: the options it gives a
// runtime whose `release` file says 17, then 21, then 25 twice (recorded by
// the fake java.exe, which writes what a VM writes for Java 25's cache),
// the VM's second step it runs for Java 25, and the cache folder it makes
// below %LOCALAPPDATA%. The owner
// check (GetSecurityInfo against the token's user) takes that folder and
// %LOCALAPPDATA% for the user's own; else no options would be given.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

TEST(WineCacheTest, OptionsByTheRuntimesReleaseAndTheFolderBelowLocalAppData) {
  WineEnvironment& wine = WineEnvironment::get();
  const std::string dir = newCaseDir("cache");
  const std::string home = dir + "/jdk";
  makeDirs(home + "/bin/server");
  writeFile(home + "/bin/java.exe", readFile(wine.testTool("fakejava.exe")));
  writeFile(home + "/bin/server/classes.jsa", "base archive");
  writeFile(dir + "/app.jar", "jar");
  const std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config",
            "javapath " + WineEnvironment::windowsPath(home) + "\\bin\\java.exe\n"
            "mainclass com.acme.Main\naddjar app.jar\nstartupCache true\n"
            "setenv FAKEJAVA_RECORD=" + WineEnvironment::windowsPath(dir + "/record") +
            "\n");
  const struct {
    const char* release;
    const char* options;
    const char* archive;
  } cases[] = {
      {"17.0.9", "-Xshare:auto -Xlog:cds*=off -XX:ArchiveClassesAtExit=", ".part"},
      {"21.0.5",
       "-Xshare:auto -Xlog:cds*=off -XX:+AutoCreateSharedArchive "
       "-XX:SharedArchiveFile=",
       ".jsa"},
      // A training, then the cache made from it.
      {"25.0.3",
       "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTMode=record -XX:AOTConfiguration=",
       ".aotconf"},
      {"25.0.3", "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTCache=", ".aot"},
  };
  for (const auto& row : cases) {
    writeFile(home + "/release", std::string("JAVA_VERSION=\"") + row.release + "\"\n");
    const RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
    EXPECT_EQ(run.exitCode, 0u) << row.release << run.err;
  }
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record");
  // The VM's second step, run by the launcher after the training, its
  // output the null device's.
  ASSERT_EQ(runs.size(), 5u);
  const FakeJavaRun making = runs[3];
  runs.erase(runs.begin() + 3);
  ASSERT_EQ(making.args.size(), 9u) << making.cmdline;  // with the checksums
  EXPECT_EQ(making.args[1], "-XX:AOTMode=create");
  EXPECT_EQ(making.args[2].rfind("-XX:AOTConfiguration=", 0), 0u) << making.cmdline;
  EXPECT_EQ(making.args[3].rfind("-XX:AOTCache=", 0), 0u) << making.cmdline;
  EXPECT_EQ(making.args[4], "-XX:+VerifySharedSpaces");
  EXPECT_EQ(making.args[7], "-classpath");
  // The class path as the training's VM read it, from the same folder.
  EXPECT_EQ(making.args[8], "app.jar");
  EXPECT_EQ(making.stdoutKind, "char") << "the null device";
  for (size_t i = 0; i < runs.size(); ++i) {
    const std::vector<std::string>& args = runs[i].args;
    // The options up to the one that names the archive.
    std::string shown, archive;
    for (size_t a = 1; a < args.size() && archive.empty(); ++a) {
      bool names = false;
      for (const char* option : {"-XX:SharedArchiveFile=", "-XX:ArchiveClassesAtExit=",
                                 "-XX:AOTConfiguration=", "-XX:AOTCache="})
        names = names || args[a].rfind(option, 0) == 0;
      const size_t equals = args[a].find('=');
      shown += names ? args[a].substr(0, equals + 1) : args[a] + " ";
      if (names) archive = args[a].substr(equals + 1);
    }
    EXPECT_EQ(shown, cases[i].options) << runs[i].cmdline;
    // The archive's folder: %LOCALAPPDATA%\Tarvik\cache, made by the launcher.
    ASSERT_GT(archive.size(), 5u) << runs[i].cmdline;
    const size_t folderEnd = archive.rfind('\\');
    EXPECT_NE(archive.find("\\AppData\\Local\\Tarvik\\cache\\tool."), std::string::npos)
        << archive;
    const std::string ending = cases[i].archive;
    EXPECT_EQ(archive.substr(archive.size() - ending.size()), ending) << archive;
    EXPECT_TRUE(fileExists(wine.unixPath(archive.substr(0, folderEnd)))) << archive;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
