// The real tarvik.exe under Wine reading its configuration: the file beside
// the exe, a custom file named with -c, includes, setenv and createDir, seen
// through the diagnostic boxes and through the fake java it starts.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

class WineConfigTest : public ::testing::Test {
 protected:
  WineEnvironment& wine = WineEnvironment::get();

  // The record fakejava.exe wrote, without its line-end carriage returns.
  static std::string record(const std::string& path) {
    std::string text = readFile(path);
    for (size_t pos; (pos = text.find('\r')) != std::string::npos;)
      text.erase(pos, 1);
    return text;
  }

  // Text as the record escapes it.
  static std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\\') out += '\\';
      out += c;
    }
    return out;
  }

  static bool hasBox(const RunResult& run, const std::string& caption,
                     const std::string& text) {
    for (const Box& box : run.boxes)
      if (box.caption == caption && box.text == text) return true;
    return false;
  }
};

TEST_F(WineConfigTest, ConfigBesideTheExeIsReadWithItsDirectives) {
  std::string dir = newCaseDir("beside");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  std::string winDir = WineEnvironment::windowsPath(dir);
  std::string recordPath = dir + "/record.txt";
  writeFile(dir + "/extra.cfg", "mainclass com.acme.Main\r\n");
  // Windows line ends, a comment, an include, setenv seen by a later $
  // reference and by the child, and a folder chain to create. (Each debug
  // box costs about two seconds under Wine, so the file stays short.)
  writeFile(dir + "/tool.config",
            "# a comment line\r\n"
            "setenv TV_HOME=" + winDir + "\\home\r\n"
            "include extra.cfg\r\n"
            "vmparam -Dhome=$TV_HOME\\lib\r\n"
            "createDir " + winDir + "\\made\\deep\\er\r\n"
            "javapath " + WineEnvironment::windowsPath(
                              wine.testTool("fakejava.exe")) + "\r\n");
  RunOptions options;
  options.args = {"-d"};
  options.env = {{"FAKEJAVA_RECORD", WineEnvironment::windowsPath(recordPath)},
                 {"FAKEJAVA_ENV", "TV_HOME"}};
  RunResult run = wine.runLauncher(exe, options);
  ASSERT_FALSE(run.timedOut);

  EXPECT_TRUE(hasBox(run, "Reading App Config file",
                     "[" + winDir + "\\tool.config]"));
  EXPECT_TRUE(hasBox(run, "Reading Config file", winDir + "\\tool.config"));
  EXPECT_TRUE(hasBox(run, "Reading Config file", "extra.cfg"));
  EXPECT_TRUE(hasBox(run, "TV_HOME", winDir + "\\home"));
  EXPECT_TRUE(hasBox(run, "Found variable", "TV_HOME"));
  EXPECT_TRUE(hasBox(run, "MainClass is", "com.acme.Main"));

  EXPECT_TRUE(fileExists(dir + "/made/deep/er"));

  std::string seen = record(recordPath);
  ASSERT_FALSE(seen.empty()) << "the fake java was not started";
  std::string forward = winDir + "/home/lib";
  for (char& c : forward)
    if (c == '\\') c = '/';
  EXPECT_NE(seen.find("-Dhome=" + forward), std::string::npos) << seen;
  EXPECT_NE(seen.find("-Dexe.mainConfig=\"" + escaped(winDir) +
                      "\\\\tool.config\""),
            std::string::npos)
      << seen;
  // No class path: the empty word keeps the main class in its place.
  EXPECT_NE(seen.find("arg\t4\t\narg\t5\tcom.acme.Main\n"), std::string::npos)
      << seen;
  EXPECT_NE(seen.find("env\tTV_HOME\t" + escaped(winDir + "\\home") + "\n"),
            std::string::npos)
      << seen;
}

TEST_F(WineConfigTest, CustomConfigIsReadInsteadAndIncludeCyclesStop) {
  std::string dir = newCaseDir("custom");
  std::string work = newCaseDir("custom-cwd");
  std::string exe = wine.installLauncher(dir, "tool.exe");
  std::string recordPath = dir + "/record.txt";
  std::string fakeJava =
      WineEnvironment::windowsPath(wine.testTool("fakejava.exe"));
  writeFile(dir + "/tool.config", "mainclass beside.NotUsed\n");
  // A NUL byte cuts its line; the file includes itself, which is refused
  // with one line on standard error.
  writeFile(dir + "/part.cfg", "argument %v%\n");
  writeFile(dir + "/other.cfg", std::string("var v=from part\n") +
                                    "mainclass custom.Main\n" +
                                    "argument cut" + '\0' + "here\n" +
                                    "include part.cfg\n" +
                                    "include other.cfg\n" +
                                    "argument last\n" +
                                    "javapath " + fakeJava + "\n");
  RunOptions options;
  options.args = {"-cother.cfg"};
  // Started by its full path, the launcher works in its own folder, where
  // the relative custom path is found.
  options.cwd = work;
  options.env = {{"FAKEJAVA_RECORD", WineEnvironment::windowsPath(recordPath)}};
  RunResult run = wine.runLauncher(exe, options);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_NE(run.err.find("Skipped include of other.cfg: the file is already "
                         "being read"),
            std::string::npos)
      << run.err;

  std::string seen = record(recordPath);
  ASSERT_FALSE(seen.empty()) << "the fake java was not started";
  // The application is told the file's full path, in the launcher's folder.
  EXPECT_NE(seen.find("-Dexe.mainConfig=\"" +
                      escaped(WineEnvironment::windowsPath(dir) + "\\other.cfg") + "\""),
            std::string::npos)
      << seen;
  EXPECT_NE(seen.find("arg\t3\t\narg\t4\tcustom.Main\narg\t5\tcut\n"
                      "arg\t6\tfrom part\narg\t7\tlast\n"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("beside.NotUsed"), std::string::npos) << seen;
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
