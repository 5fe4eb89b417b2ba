// tarvik.exe under Wine with `startupCache true`: the options it gives a
// runtime whose `release` file says 17, then 21 (recorded by the fake
// java.exe), and the cache folder it makes below %LOCALAPPDATA%. The owner
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
  };
  for (const auto& row : cases) {
    writeFile(home + "/release", std::string("JAVA_VERSION=\"") + row.release + "\"\n");
    const RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
    EXPECT_EQ(run.exitCode, 0u) << row.release << run.err;
  }
  const std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record");
  ASSERT_EQ(runs.size(), 2u);
  for (size_t i = 0; i < runs.size(); ++i) {
    const std::vector<std::string>& args = runs[i].args;
    // The options up to the one that names the archive.
    std::string shown, archive;
    for (size_t a = 1; a < args.size() && archive.empty(); ++a) {
      const bool names = args[a].rfind("-XX:SharedArchiveFile=", 0) == 0 ||
                         args[a].rfind("-XX:ArchiveClassesAtExit=", 0) == 0;
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
