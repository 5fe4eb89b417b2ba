// The real tarvik.exe under Wine finding its Java runtime through the
// registry of the test's Wine prefix: the default runtime, version and
// patch-level selection, and the ends with codes 2, 5 and 11.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

using Versions = std::vector<std::pair<std::string, std::string>>;

const std::string RUNTIMES =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment";

std::string withoutCr(std::string text) {
  for (size_t pos; (pos = text.find('\r')) != std::string::npos;)
    text.erase(pos, 1);
  return text;
}


class WineRuntimeTest : public ::testing::Test {
 protected:
  // Replaces the registered runtimes by these (version, JavaHome) pairs
  // with one import; an empty currentVersion leaves that value out.
  void registerRuntimes(const std::string& currentVersion,
                        const Versions& versions) {
    std::string reg = "REGEDIT4\r\n\r\n[-" + RUNTIMES + "]\r\n\r\n[" +
                      RUNTIMES + "]\r\n";
    if (!currentVersion.empty())
      reg += "\"CurrentVersion\"=" + regString(currentVersion) + "\r\n";
    for (const auto& version : versions)
      reg += "\r\n[" + RUNTIMES + "\\" + version.first + "]\r\n" +
             "\"JavaHome\"=" + regString(version.second) + "\r\n";
    std::string file = newCaseDir("registry") + "/runtimes.reg";
    writeFile(file, reg);
    ASSERT_EQ(wine.wine({"regedit", "/S", WineEnvironment::windowsPath(file)}),
              0);
  }

  // Boxes as "caption | text | icon-or-plain | buttons".
  static std::vector<std::string> describe(const RunResult& run) {
    std::vector<std::string> lines;
    for (const Box& box : run.boxes)
      lines.push_back(box.caption + " | " + box.text + " | " +
                      (box.icon ? "icon" : "plain") + " | " + box.buttons);
    return lines;
  }

  WineEnvironment& wine = WineEnvironment::get();
};

TEST_F(WineRuntimeTest, DefaultRuntimeIsTheCurrentVersionAndIsStarted) {
  std::string dir = newCaseDir("default");
  std::string home = dir + "/Java Home/jre8";
  makeDirs(home + "/bin");
  writeFile(home + "/bin/javaw.exe", readFile(wine.testTool("fakejava.exe")));
  std::string winHome = WineEnvironment::windowsPath(home);
  registerRuntimes("1.8.0_60", {{"1.7", "Z:\\nowhere\\jre7"},
                                {"1.8.0_60", winHome},
                                {"1.8.0_99", "Z:\\nowhere\\jre899"}});
  std::string exe = wine.installLauncher(dir, "tool.exe");
  // The fake java learns where to record from the environment the
  // configuration gives the child.
  writeFile(dir + "/tool.config",
            "mainclass com.acme.Main\n"
            "setenv FAKEJAVA_RECORD=" +
                WineEnvironment::windowsPath(dir + "/record") +
                "\nsetenv FAKEJAVA_EXIT=7\n");

  RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_TRUE(run.boxes.empty()) << describe(run)[0];
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record");
  ASSERT_EQ(runs.size(), 1u);
  // Quoted for the blank (and because Wine reports a Vista or later).
  EXPECT_EQ(runs[0].cmdline.rfind("\"" + winHome + "\\bin\\javaw.exe\" ", 0), 0u)
      << runs[0].cmdline;
  ASSERT_FALSE(runs[0].args.empty());
  EXPECT_EQ(runs[0].args[0], winHome + "\\bin\\javaw.exe");
}

TEST_F(WineRuntimeTest, FamilyVersionChoosesTheHighestPatchLevel) {
  std::string dir = newCaseDir("family");
  registerRuntimes("1.8", {{"1.8", "Z:\\java\\jre1.8"},
                           {"1.8.0_45", "Z:\\java\\jre1.8.0_45"},
                           {"1.8.0_60", "Z:\\java\\jre1.8.0_60"}});
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "mainclass com.acme.Main\njavaVersion 1.8\n");

  RunResult run = wine.runLauncher(exe, RunOptions::of({"-o"}));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(withoutCr(run.out).find(
                "javaVersion=1.8, javaVer=1.8\n"
                "checking (1) 1.8\n"
                "found correct java version 1.8. checking patch level\n"
                "No patch level found in 1.8\n"
                "checking (2) 1.8.0_45\n"
                "found correct java version 1.8.0_45. checking patch level\n"
                "checking patch level 45 against 0\n"
                "found latest java version 1.8.0_45\n"
                "checking (3) 1.8.0_60\n"
                "found correct java version 1.8.0_60. checking patch level\n"
                "checking patch level 60 against 45\n"
                "found latest java version 1.8.0_60\n"),
            std::string::npos)
      << run.out;

  EXPECT_TRUE(run.boxes.empty()) << describe(run)[0];
  const std::string javaExe = "\"Z:\\java\\jre1.8.0_60\\bin\\javaw.exe\"";
  std::string commandFile = withoutCr(readFile(dir + "/tool.out"));
  EXPECT_NE(commandFile.find("\n" + javaExe + " "), std::string::npos)
      << commandFile;
}

TEST_F(WineRuntimeTest, PatchLevelAboveEveryRegisteredOneEndsWith11) {
  std::string dir = newCaseDir("incompatible");
  registerRuntimes("1.8.0_31", {{"1.8.0_31", "Z:\\java\\jre1.8.0_31"}});
  std::string exe = wine.installLauncher(dir, "tool.exe");
  // The name in the message is what was set before the javaVersion line.
  writeFile(dir + "/tool.config",
            "mainclass com.acme.Main\njavaVersion 1.8.0_45+\nappname Later\n");

  RunResult run = wine.runLauncher(exe, RunOptions::of({"-o"}));
  EXPECT_EQ(run.exitCode, 11u);
  EXPECT_EQ(describe(run),
            (std::vector<std::string>{
                "Incompatible JRE Version Found | com.acme.Main requires the "
                "Java Runtime Environment version 1.8.0_45+\n. | plain | ok"}));
  EXPECT_NE(withoutCr(run.out).find("javaVersion=1.8.0_45+, javaVer=1.8.0\n"
                                    "checking (1) 1.8.0_31\n"
                                    "found correct java version 1.8.0_31. "
                                    "checking patch level\n"
                                    "checking patch level 31 against 45\n"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(fileExists(dir + "/tool.out"));
}

TEST_F(WineRuntimeTest, MissingVersionEndsWith5AndIsSilentWhenQuiet) {
  std::string dir = newCaseDir("missing");
  registerRuntimes("1.8.0_45", {{"1.8.0_45", "Z:\\java\\jre1.8.0_45"}});
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "appname Tool\njavaVersion 1.8.0_31\n");

  RunResult run = wine.runLauncher(exe, RunOptions::of({"-o"}));
  EXPECT_EQ(run.exitCode, 5u);
  EXPECT_EQ(describe(run),
            (std::vector<std::string>{
                "Java Runtime Environment Not Found | Tool requires the Java "
                "Runtime Environment version 1.8.0_31. | plain | ok"}));
  EXPECT_EQ(withoutCr(run.out).find("checking"), std::string::npos)
      << "a version with a patch level is looked up directly";

  RunResult quiet = wine.runLauncher(exe, RunOptions::of({"-q", "-o"}));
  EXPECT_EQ(quiet.exitCode, 5u);
  EXPECT_TRUE(quiet.boxes.empty());
  EXPECT_FALSE(fileExists(dir + "/tool.out"));
}

TEST_F(WineRuntimeTest, CurrentVersionNamingAMissingSubkeyFailsEvenWhenQuiet) {
  std::string dir = newCaseDir("no-current");
  registerRuntimes("1.6", {{"1.8.0_60", "Z:\\java\\jre1.8.0_60"}});
  std::string exe = wine.installLauncher(dir, "tool.exe");
  writeFile(dir + "/tool.config", "mainclass com.acme.Main\n");

  RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(describe(run),
            (std::vector<std::string>{
                "Error! | No Java Installation (No Current Version) Found | "
                "icon | ok"}));
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
