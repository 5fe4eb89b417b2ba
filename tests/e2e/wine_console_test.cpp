// The real tarvikc.exe, the console launcher, under Wine: fakejava.exe is
// the java.exe (and the only executable) of a registered runtime.
#include <gtest/gtest.h>

#include <cstdint>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string RUNTIMES = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

bool hasRecord(const RunResult& run, const std::string& record) {
  for (const std::string& line : run.records)
    if (line == record) return true;
  return false;
}

// The PE subsystem field of an image: 2 windowed, 3 console.
int subsystemOf(const std::string& image) {
  if (image.size() < 0x40) return -1;
  const auto at = [&image](size_t offset) {
    return static_cast<uint32_t>(static_cast<unsigned char>(image[offset])) |
           static_cast<uint32_t>(static_cast<unsigned char>(image[offset + 1])) << 8;
  };
  const size_t pe = at(0x3c) | static_cast<size_t>(at(0x3e)) << 16;
  // Signature (4), file header (20), then the subsystem at 68.
  if (pe + 24 + 70 > image.size()) return -1;
  return static_cast<int>(at(pe + 24 + 68));
}

class WineConsoleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WineEnvironment& wine = WineEnvironment::get();
    home() = newCaseDir("runtime") + "/jre";
    makeDirs(home() + "/bin");
    // No javaw.exe: a launcher that asked for it would find no runtime.
    writeFile(home() + "/bin/java.exe", readFile(wine.testTool("fakejava.exe")));
    wine.registryAdd(RUNTIMES, "CurrentVersion", "17");
    wine.registryAdd(RUNTIMES + "\\17", "JavaHome", WineEnvironment::windowsPath(home()));
  }
  static std::string& home() {
    static std::string path;
    return path;
  }

  // tool.exe, a copy of tarvikc.exe, with `config` beside it; the caller
  // works in another folder.
  std::string makeTool(const std::string& name,
                       const std::string& config = "mainclass app.Main\n") {
    dir = newCaseDir(name);
    caller = dir + "/caller";
    makeDirs(caller);
    if (!config.empty()) writeFile(dir + "/tool.config", config);
    return wine.installLauncher(dir, "tool.exe", "tarvikc.exe");
  }

  RunOptions options(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions o = RunOptions::of(std::move(args));
    o.cwd = caller;
    o.env = std::move(env);
    o.env.push_back({"FAKEJAVA_RECORD", WineEnvironment::windowsPath(dir + "/record")});
    return o;
  }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir;
  std::string caller;
};

TEST_F(WineConsoleTest, IsAConsoleProgramAndStaysOneWhenBranded) {
  const std::string exe = makeTool("subsystem");
  EXPECT_EQ(subsystemOf(readFile(exe)), 3);
  EXPECT_EQ(subsystemOf(readFile(wine.installLauncher(dir, "w.exe"))), 2);
  const std::string branded = dir + "/acme.exe";
  const std::string brand = std::string(TARVIK_BRAND_TOOL) + " --icon " +
                            sourceDir() + "/resources/tarvik.ico --name Acme " +
                            "--version 1.0.0.0 " + exe + " " + branded;
  ASSERT_EQ(std::system(brand.c_str()), 0);
  EXPECT_EQ(subsystemOf(readFile(branded)), 3);
}

TEST_F(WineConsoleTest, EveryWordReachesJavaExeInTheCallersFolder) {
  const std::string exe = makeTool("words");
  const std::vector<std::string> words = {"-o", "-q", "-v", "-DskipTests", "-cp", "x",
                                          "-log", "y", "--", "-c:z", "-passExitCode",
                                          "-help", "two words"};
  RunResult run = wine.runLauncher(exe, options(words));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record");
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<std::string>& args = runs[0].args;
  ASSERT_GE(args.size(), words.size());
  EXPECT_EQ(std::vector<std::string>(args.end() - static_cast<long>(words.size()), args.end()),
            words);
  EXPECT_EQ(args[0], WineEnvironment::windowsPath(home()) + "\\bin\\java.exe");
  EXPECT_EQ(runs[0].cwd, WineEnvironment::windowsPath(caller));
  EXPECT_FALSE(fileExists(caller + "/y")) << "-log was the application's word";
}

TEST_F(WineConsoleTest, PipedInputAndOutputAreTheApplicationsAlone) {
  const std::string exe = makeTool("pipes");
  RunOptions o = options({}, {{"FAKEJAVA_ECHO", "1"}});
  o.pipes = true;
  o.input = "first line\r\nsecond \xc3\xa9 line\n\x01\x02";
  RunResult run = wine.runLauncher(exe, o);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, o.input);
  EXPECT_EQ(run.err, "");
}

// Exit codes: all 32 bits, and restarts on 999.
TEST_F(WineConsoleTest, ExitCodesArePassedOnWhole) {
  struct Row {
    std::string exits;
    uint32_t code;
    size_t runs;
  };
  const Row rows[] = {{"3000000000", 3000000000u, 1}, {"1", 1u, 1}, {"999,999,7", 7u, 3}};
  for (const Row& row : rows) {
    const std::string exe = makeTool("code");
    RunResult run = wine.runLauncher(
        exe, options({}, {{"FAKEJAVA_EXITS", row.exits},
                          {"FAKEJAVA_COUNTER", WineEnvironment::windowsPath(dir + "/n")}}));
    EXPECT_EQ(run.exitCode, row.code) << row.exits;
    EXPECT_EQ(readFakeJavaRuns(dir + "/record").size(), row.runs) << row.exits;
    EXPECT_TRUE(run.boxes.empty()) << row.exits;
    EXPECT_EQ(run.err, "") << row.exits;
  }
}

// Failures: a line on standard error, never a box (the harness runs under
// Xvfb and would see one).
TEST_F(WineConsoleTest, FailuresAreLinesOnStandardError) {
  struct Row {
    std::string config;
    std::string tarvikOptions;
    uint32_t code;
    std::string line;
    bool noRuntime = false;  // none registered while the row runs
  };
  const Row rows[] = {
      {"", "", 2, "Configuration File Not Found: The configuration file @\\tool.config "
                  "cannot be read.\r\n"},
      {"javapath C:\\nowhere\\java.exe\nmainclass app.Main\n", "", 4,
       "Unable To Start Java: Unable to start Java for class app.Main\n with Java "
       "C:\\nowhere\\java.exe."},
      {"mainclass app.Main\n", "-q word", 3,
       "Not A Tarvik Switch: TARVIK_OPTIONS holds \"word\", which is not a switch"},
      // No fitting runtime: the line names the download page, and no box asks.
      {"mainclass app.Main\njavaDownloadUrl https://example.com/java\njavaVersion 99\n", "", 5,
       "Java Runtime Environment Not Found: app.Main requires the Java Runtime Environment "
       "version 99. Java can be downloaded from https://example.com/java\r\n"},
      {"mainclass app.Main\njavaDownloadUrl https://example.com/java\n", "", 2,
       "Error!: No Java Installation Found Java can be downloaded from "
       "https://example.com/java\r\n", true},
  };
  for (const Row& row : rows) {
    const std::string exe = makeTool("failure", row.config);
    if (row.noRuntime) wine.registryDeleteTree(RUNTIMES);
    RunResult run = wine.runLauncher(exe, options({}, {{"TARVIK_OPTIONS", row.tarvikOptions}}));
    if (row.noRuntime) {
      wine.registryAdd(RUNTIMES, "CurrentVersion", "17");
      wine.registryAdd(RUNTIMES + "\\17", "JavaHome", WineEnvironment::windowsPath(home()));
    }
    std::string line = row.line;
    if (line.find('@') != std::string::npos)
      line.replace(line.find('@'), 1, WineEnvironment::windowsPath(dir));
    EXPECT_EQ(run.exitCode, row.code) << row.line;
    EXPECT_TRUE(has(crlfToLf(run.err), crlfToLf(line))) << run.err;
    EXPECT_TRUE(run.boxes.empty()) << row.line;
    EXPECT_EQ(run.out, "") << row.line;
  }
}

TEST_F(WineConsoleTest, TarvikOptionsAreTheLaunchersSwitches) {
  const std::string exe = makeTool("options");
  RunResult o = wine.runLauncher(exe, options({"a"}, {{"TARVIK_OPTIONS", "-o"}}));
  EXPECT_EQ(o.exitCode, 0u) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_TRUE(has(readFile(dir + "/tool.out"), "\\bin\\java.exe\" ")) << "-o";
  EXPECT_FALSE(fileExists(dir + "/record")) << "-o starts nothing";

  const std::string log = dir + "/run log.txt";
  RunResult logged = wine.runLauncher(
      exe, options({"b"}, {{"TARVIK_OPTIONS",
                            "-log \"" + WineEnvironment::windowsPath(log) + "\""},
                           {"FAKEJAVA_PRINT", "said"}}));
  EXPECT_EQ(logged.exitCode, 0u) << logged.err;
  EXPECT_EQ(logged.out, "");
  const std::string text = crlfToLf(readFile(log));
  EXPECT_EQ(text.rfind("#Version ", 0), 0u) << text;
  EXPECT_TRUE(has(text, "#Command line=\n")) << text;
  EXPECT_TRUE(has(text, "said\n")) << text;
}

// Ctrl-C reaches the application, which ends as its handler says; the
// launcher waits for it and passes its code on.
TEST_F(WineConsoleTest, CtrlCGoesToTheApplication) {
  const std::string exe = makeTool("ctrl-c");
  RunOptions o = options({}, {{"FAKEJAVA_READY", WineEnvironment::windowsPath(dir + "/ready")},
                              {"FAKEJAVA_CTRL_EXIT", "58"},
                              {"FAKEJAVA_SLEEP_MS", "30000"}});
  o.console = true;
  o.interruptWhen = dir + "/ready";
  RunResult run = wine.runLauncher(exe, o);
  EXPECT_TRUE(hasRecord(run, "interrupt\tsent"));
  EXPECT_EQ(readFile(dir + "/ready.ctrl"), "ctrl 0\n");
  EXPECT_EQ(run.exitCode, 58u) << run.err;
}

TEST_F(WineConsoleTest, EndingTheLauncherEndsTheApplication) {
  const std::string exe = makeTool("end");
  RunOptions o = options({}, {{"FAKEJAVA_READY", WineEnvironment::windowsPath(dir + "/ready")},
                              {"FAKEJAVA_SLEEP_MS", "30000"}});
  o.console = true;
  o.endWhen = dir + "/ready";
  RunResult run = wine.runLauncher(exe, o);
  EXPECT_TRUE(hasRecord(run, "other\tended")) << ::testing::PrintToString(run.records);
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
