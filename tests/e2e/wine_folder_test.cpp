// The configuration's folder on Windows: the real tarvik.exe and tarvikc.exe
// under Wine, started every way a user types them, with the fake java beside
// them recording its command line and working folder.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

class WineFolderTest : public ::testing::Test {
 protected:
  WineEnvironment& wine = WineEnvironment::get();

  // An application "app.exe" in `root`/`folder` whose configuration reaches
  // its java only through relative lines (include, javapath, addjars,
  // addpath), and a caller's folder `root`/work with decoys of the same
  // names. Returns the launcher's Unix path.
  std::string makeApp(const std::string& root, const std::string& folder,
                      const std::string& program) {
    const std::string app = root + "/" + folder;
    makeDirs(app + "/jre");
    makeDirs(app + "/lib");
    makeDirs(root + "/work");
    const std::string exe = wine.installLauncher(app, "app.exe", program);
    writeFile(app + "/jre/java.exe", readFile(wine.testTool("fakejava.exe")));
    writeFile(app + "/app.config", "mainclass app.Main\r\ninclude extra.config\r\naddpath res\r\n");
    writeFile(app + "/extra.config", "javapath jre\\java.exe\r\naddjars lib\r\n");
    writeFile(root + "/work/app.config", "mainclass evil.Main\r\n");
    writeFile(root + "/work/extra.config", "javapath C:\\nothing\\java.exe\r\n");
    return exe;
  }

  // One run of the launcher as `program` types it, from `root`/work.
  FakeJavaRun runFrom(const std::string& root, const std::string& exe, RunOptions options) {
    const std::string record = root + "/record.txt";
    options.cwd = root + "/work";
    options.env.push_back({"FAKEJAVA_RECORD", WineEnvironment::windowsPath(record)});
    const RunResult run = wine.runLauncher(exe, options);
    EXPECT_FALSE(run.timedOut);
    const std::vector<FakeJavaRun> runs = readFakeJavaRuns(record);
    EXPECT_EQ(runs.size(), 1u) << run.err;
    return runs.empty() ? FakeJavaRun() : runs[0];
  }
};

TEST_F(WineFolderTest, TheConfigurationIsTheLaunchersFolderHoweverItIsTyped) {
  enum class Typed { FullPath, ThroughPath, Relative, LongPath };
  struct Row {
    const char* program;
    Typed typed;
    bool runsInItsFolder;  // else in the caller's
  } rows[] = {
      {"tarvik.exe", Typed::FullPath, true},
      {"tarvik.exe", Typed::ThroughPath, false},
      {"tarvik.exe", Typed::Relative, false},
      {"tarvik.exe", Typed::LongPath, true},
      {"tarvikc.exe", Typed::FullPath, false},
      {"tarvikc.exe", Typed::ThroughPath, false},
      {"tarvikc.exe", Typed::Relative, false},
      {"tarvikc.exe", Typed::LongPath, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.program) + " " + std::to_string(static_cast<int>(row.typed)));
    const std::string root = newCaseDir("wine-folder");
    const std::string exe = makeApp(root, "app", row.program);
    const std::string app = WineEnvironment::windowsPath(root + "/app");
    RunOptions options = RunOptions::of({"probe"});
    switch (row.typed) {
      case Typed::FullPath: break;
      case Typed::ThroughPath:
        options.program = "C:\\windows\\system32\\cmd.exe";
        options.args = {"/c", "app", "probe"};
        options.env = {{"WINEPATH", app}};
        break;
      case Typed::Relative: options.program = "..\\app\\app.exe"; break;
      case Typed::LongPath: options.program = "\\\\?\\" + app + "\\app.exe"; break;
    }
    const FakeJavaRun run = runFrom(root, exe, options);
    EXPECT_TRUE(has(run.cmdline, "-Dexe.mainConfig=\"" + app + "\\app.config\" "))
        << run.cmdline;
    EXPECT_TRUE(has(run.cmdline, " app.Main \"probe\"")) << run.cmdline;
    EXPECT_TRUE(has(run.cmdline, row.runsInItsFolder ? ";res" : app + "\\res"))
        << run.cmdline;
    EXPECT_EQ(run.cwd, row.runsInItsFolder ? app : WineEnvironment::windowsPath(root + "/work"));
  }
}

// A -c file named without its folder (tarvikc's TARVIK_OPTIONS), and a
// folder whose name holds a '$': the application is told the path as it is.
TEST_F(WineFolderTest, TheConfigurationIsToldByItsFullPathAsItIs) {
  struct Row {
    const char* program;
    const char* folder;
    const char* options;
    const char* config;
  } rows[] = {
      {"tarvikc.exe", "app", "-cctc2.config", "ctc2.config"},
      {"tarvik.exe", "d$TEMP", "", "app.config"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    const std::string root = newCaseDir("wine-folder-told");
    const std::string exe = makeApp(root, row.folder, row.program);
    const std::string app = WineEnvironment::windowsPath(root + "/" + row.folder);
    writeFile(root + "/" + row.folder + "/ctc2.config",
              "mainclass app.Main\r\ninclude extra.config\r\n");
    RunOptions options = RunOptions::of({"probe"});
    if (*row.options) options.env = {{"TARVIK_OPTIONS", row.options}};
    const FakeJavaRun run = runFrom(root, exe, options);
    EXPECT_TRUE(has(run.cmdline, "-Dexe.mainConfig=\"" + app + "\\" + row.config + "\" "))
        << run.cmdline;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
