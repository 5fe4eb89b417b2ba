// The real tarvik.exe under Wine: its switches, the sample file and the
// diagnostic boxes, read back through the harness.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

class WineEntryTest : public ::testing::Test {
 protected:
  WineEnvironment& wine = WineEnvironment::get();
};

TEST_F(WineEntryTest, HelpPrintsEveryLineAndExitsZero) {
  std::string dir = newCaseDir("help");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-help"}));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  std::string out = run.out;
  for (size_t pos; (pos = out.find('\r')) != std::string::npos;) out.erase(pos, 1);
  EXPECT_EQ(out.rfind("Version: 2.2.1\n\nTarvik Options:\n-D\t\tAdd an additional "
                      "-D flag to the JVM\n", 0), 0u) << out;
  EXPECT_NE(out.find("\n-passExitCode\tIf the process launches and terminates, "
                     "this flag causes Tarvik to exit with the same exit code "
                     "(thus passing the exit code). Useful in scripts that "
                     "require the exit code from the Java Application.\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find("\n-q\t\tEnable quiet mode. Suppresses any popups or dialogs "
                     "(such as \"Exited with nonzero exit code\"). Useful for "
                     "running in headless mode.\n"), std::string::npos);
}

TEST_F(WineEntryTest, SampleFileIsWrittenInTextModeAndReplacesAnOldOne) {
  std::string dir = newCaseDir("sample");
  std::string work = newCaseDir("sample-cwd");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(work + "/sample.config", std::string(20000, 'x'));
  RunOptions options;
  options.args = {"-sample", "-v"};
  options.cwd = work;
  RunResult run = wine.runLauncher(exe, options);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty()) << "words after -sample are not looked at";
  EXPECT_FALSE(fileExists(dir + "/sample.config"))
      << "written in the directory the launcher started in";
  std::string bytes = readFile(work + "/sample.config");
  ASSERT_EQ(bytes.rfind("#Created with version @(#)src/Tarvik Version: 2.2.1 "
                        "Dovrel Compiled: ", 0), 0u);
  size_t firstEnd = bytes.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos);
  std::string rest = bytes.substr(firstEnd + 2);
  EXPECT_EQ(rest.rfind("\r\n## Remove the '#' to uncomment a line\r\n", 0), 0u);
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\n') {
      ++lf;
      if (i > 0 && rest[i - 1] == '\r') ++crlf;
    }
  }
  EXPECT_EQ(lf, 161u);
  EXPECT_EQ(crlf, 161u);
  EXPECT_LT(bytes.size(), 20000u) << "the old file is replaced, not appended to";
}

TEST_F(WineEntryTest, SampleFileThatCannotBeCreatedEndsWithOne) {
  std::string dir = newCaseDir("sample-blocked");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  makeDirs(dir + "/sample.config");  // a folder takes the name
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-sample"}));
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
}

TEST_F(WineEntryTest, VersionBoxShowsAndTheLaunchGoesOn) {
  std::string dir = newCaseDir("version");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "javapath Z:\\nowhere\\java.exe\n");
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-v", "-passExitCode"}));
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(run.boxes[0].caption, "Version");
  EXPECT_EQ(run.boxes[0].text, "2.2.1");
  EXPECT_EQ(run.boxes[0].buttons, "ok");
  EXPECT_FALSE(run.boxes[0].icon);
  // The launch ran: a java that cannot be started is reported after it.
  EXPECT_GE(run.boxes.size(), 2u);
  EXPECT_NE(run.exitCode, 0u);
}

TEST_F(WineEntryTest, QuietBeforeVersionShowsNothing) {
  std::string dir = newCaseDir("quiet");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "javapath Z:\\nowhere\\java.exe\n");
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-v"}));
  EXPECT_TRUE(run.boxes.empty());
  // A java that cannot be started is never a silent success, even quiet.
  EXPECT_EQ(run.exitCode, 4u);
}

TEST_F(WineEntryTest, DebugShowsTheDiagnosticBoxesInOrder) {
  std::string dir = newCaseDir("debug");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "mainclass com.acme.Main\n");
  std::string winExe = WineEnvironment::windowsPath(exe);
  std::string winDir = WineEnvironment::windowsPath(dir);
  RunOptions options;
  options.args = {"-d", "-o"};
  RunResult run = wine.runLauncher(exe, options);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"Running on Vista", "2.2.1"},
      {"Version", "2.2.1"},
      {"LpCmdLine", "[" + winExe + "]"},
      {"passExitCode", "false"},
      {"CWD", winDir},
      {"Reading App Config file", "[" + winDir + "\\tool.config]"},
      {"Reading Config file", winDir + "\\tool.config"},
      {"MainClass is", "com.acme.Main"},
  };
  ASSERT_GE(run.boxes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(run.boxes[i].caption, expected[i].first) << i;
    EXPECT_EQ(run.boxes[i].text, expected[i].second) << i;
    EXPECT_EQ(run.boxes[i].buttons, "ok") << i;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
