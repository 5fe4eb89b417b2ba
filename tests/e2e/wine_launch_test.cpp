// The real tarvik.exe under Wine starting its Java child: fakejava.exe is
// installed as java.exe and javaw.exe of a runtime registered in the
// prefix's registry, and records what it was given.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include <unistd.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string RUNTIMES = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

std::string withoutCr(std::string text) {
  for (size_t pos; (pos = text.find('\r')) != std::string::npos;)
    text.erase(pos, 1);
  return text;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class WineLaunchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WineEnvironment& wine = WineEnvironment::get();
    runtimeHome() = newCaseDir("runtime") + "/fake jre";
    makeDirs(runtimeHome() + "/bin");
    std::string fake = readFile(wine.testTool("fakejava.exe"));
    writeFile(runtimeHome() + "/bin/java.exe", fake);
    writeFile(runtimeHome() + "/bin/javaw.exe", fake);
    wine.registryAdd(RUNTIMES, "CurrentVersion", "1.8");
    wine.registryAdd(RUNTIMES + "\\1.8", "JavaHome",
                     WineEnvironment::windowsPath(runtimeHome()));
  }

  static std::string& runtimeHome() {
    static std::string home;
    return home;
  }

  // The registered runtime's javaw.exe as the launcher writes it.
  static std::string quotedJavaw() {
    return "\"" + WineEnvironment::windowsPath(runtimeHome()) +
           "\\bin\\javaw.exe\"";
  }

  // A launcher tool.exe with `config` beside it, in a fresh folder.
  std::string makeApp(const std::string& name, const std::string& config) {
    dir = newCaseDir(name);
    winDir = WineEnvironment::windowsPath(dir);
    writeFile(dir + "/tool.config", config);
    recordPath = dir + "/record.txt";
    return wine.installLauncher(dir, "tool.exe");
  }

  RunOptions options(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions o = RunOptions::of(std::move(args));
    o.env = std::move(env);
    o.env.push_back({"FAKEJAVA_RECORD", WineEnvironment::windowsPath(recordPath)});
    return o;
  }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir;
  std::string winDir;
  std::string recordPath;
};

int link_(const std::string& target, const std::string& name) {
  return link(target.c_str(), name.c_str());
}

TEST_F(WineLaunchTest, CommandLineReachesJavaAndTheCommandFileHoldsIt) {
  std::string exe = makeApp(
      "cmdline",
      "mainclass app.Main\n"
      "addjar lib\\a.jar\n"
      "addpath C:\\My Libs\\classes\\\n"
      "vmparam -Dmode=1\n"
      "argument C:\\dir\\\n"
      "argument say \"hi\"\n"
      "argument a\"b\n");
  RunResult run = wine.runLauncher(exe, options({"first", "-passExitCode"}));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(run.boxes.empty());

  const std::string line =
      quotedJavaw() + " -Dexe.mainConfig=\"" + winDir +
      "\\tool.config\" -Dmode=1 -classpath \"lib\\a.jar;C:\\My "
      "Libs\\classes\\\\\" app.Main \"first\" \"C:\\dir\\\\\" \"say "
      "\\\"hi\\\"\" \"a\\\"b\" ";
  const std::string out = withoutCr(run.out);
  EXPECT_EQ(out.rfind("#Version @(#)src/Tarvik Version: 2.2.1 Dovrel "
                      "Compiled: ", 0), 0u) << out;
  ASSERT_NE(out.find('\n'), std::string::npos);
  EXPECT_EQ(out.substr(out.find('\n') + 1), "#Command line=\n" + line + "\n");

  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].cmdline, line);
  std::vector<std::string> expected = {
      WineEnvironment::windowsPath(runtimeHome()) + "\\bin\\javaw.exe",
      "-Dexe.mainConfig=" + winDir + "\\tool.config",
      "-Dmode=1",
      "-classpath",
      "lib\\a.jar;C:\\My Libs\\classes\\",
      "app.Main",
      "first",
      "C:\\dir\\",
      "say \"hi\"",
      "a\"b"};
  EXPECT_EQ(records[0].args, expected);
  EXPECT_EQ(records[0].cwd, winDir) << "the child starts in the launcher's folder";

  // -o writes the same line to tool.out, in text mode, and starts nothing.
  RunResult o = wine.runLauncher(exe, options({"first", "-o"}));
  EXPECT_EQ(o.exitCode, 0u);
  EXPECT_TRUE(o.out.empty()) << o.out;
  std::string file = readFile(dir + "/tool.out");
  EXPECT_EQ(file.rfind("#Version @(#)src/Tarvik Version: 2.2.1 Dovrel "
                       "Compiled: ", 0), 0u) << file;
  EXPECT_NE(file.find("\r\n#Command line=\r\n" + line + "\r\n"),
            std::string::npos) << file;
  EXPECT_EQ(file.size(), file.find("#Command line=") + 16 + line.size() + 2);
  EXPECT_EQ(readFakeJavaRuns(recordPath).size(), 1u);
}

// A value is text inside the word it stands in; a -D switch is one option,
// with quotes of its own or a trailing backslash.
TEST_F(WineLaunchTest, ValuesAndSwitchesAddNoJvmOption) {
  std::string exe = makeApp("words",
                            "mainclass app.Main\n"
                            "vmparam -Dq=$V\n"
                            "vmparam $UNSET_OPTS\n"
                            "leadingArgument --first\n");
  RunResult run = wine.runLauncher(
      exe, options({"-Dx=say \"hi\" now", "-Dy=C:\\my dir\\", "last"},
                   {{"V", "a\" -Dinjected=1 \"b"}}));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  std::vector<std::string> expected = {
      WineEnvironment::windowsPath(runtimeHome()) + "\\bin\\javaw.exe",
      "-Dx=say \"hi\" now",
      "-Dy=C:\\my dir\\",
      "-Dexe.mainConfig=" + winDir + "\\tool.config",
      "-Dq=a\" -Dinjected=1 \"b",
      "-classpath",
      "",
      "app.Main",
      "--first",
      "last"};
  EXPECT_EQ(records[0].args, expected) << records[0].cmdline;
}

TEST_F(WineLaunchTest, PassExitCodeHandsTheChildsCodeOn) {
  std::string exe = makeApp("pass", "mainclass app.Main\n");
  RunResult run = wine.runLauncher(
      exe, options({"-q", "-passExitCode"}, {{"FAKEJAVA_EXIT", "3"}}));
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_TRUE(run.boxes.empty());
  RunResult without = wine.runLauncher(exe, options({"-q"}, {{"FAKEJAVA_EXIT", "3"}}));
  EXPECT_EQ(without.exitCode, 0u);
}

TEST_F(WineLaunchTest, RestartsOn999) {
  std::string exe = makeApp("restart", "mainclass app.Main\n");
  RunResult run = wine.runLauncher(
      exe, options({"-passExitCode"},
                   {{"FAKEJAVA_EXITS", "999,999,0"},
                    {"FAKEJAVA_COUNTER", WineEnvironment::windowsPath(dir + "/counter")}}));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].cmdline, records[0].cmdline);
}

TEST_F(WineLaunchTest, BoundedWaitLeavesTheChildRunning) {
  std::string exe = makeApp("keepalive", "mainclass app.Main\n");
  auto begin = std::chrono::steady_clock::now();
  RunResult run = wine.runLauncher(
      exe, options({}, {{"FAKEJAVA_SLEEP_MS", "15000"}, {"FAKEJAVA_EXIT", "1"}}));
  double seconds = std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - begin).count();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_GE(seconds, 2.9);
  EXPECT_LT(seconds, 12.0) << "the launcher waited for the child";
  EXPECT_EQ(readFakeJavaRuns(recordPath).size(), 1u);
}

TEST_F(WineLaunchTest, ErrorBoxOnlyForAQuickFailure) {
  std::string exe = makeApp("quick", "mainclass app.Main\n");
  RunResult quick = wine.runLauncher(
      exe, options({"-passExitCode"}, {{"FAKEJAVA_EXIT", "1"}}));
  EXPECT_EQ(quick.exitCode, 1u);
  ASSERT_EQ(quick.boxes.size(), 1u);
  EXPECT_EQ(quick.boxes[0].caption, "Error");
  EXPECT_EQ(quick.boxes[0].text, "Error launching Class app.Main\n with Java " +
                                     quotedJavaw() + ".\nError=1");
  EXPECT_EQ(quick.boxes[0].buttons, "ok");
  EXPECT_TRUE(quick.boxes[0].icon);

  RunResult slow = wine.runLauncher(
      exe, options({"-passExitCode"},
                   {{"FAKEJAVA_EXIT", "1"}, {"FAKEJAVA_SLEEP_MS", "5000"}}));
  EXPECT_EQ(slow.exitCode, 1u);
  EXPECT_TRUE(slow.boxes.empty());
}

TEST_F(WineLaunchTest, UnexpectedCloseOpensTheLogFileOnYes) {
  std::string opener = newCaseDir("opener") + "/opener.exe";
  writeFile(opener, readFile(wine.testTool("fakejava.exe")));
  wine.registryAdd("HKCR\\.tvlog", "", "TarvikTestLog");
  wine.registryAdd("HKCR\\TarvikTestLog\\shell\\open\\command", "",
                   "\"" + WineEnvironment::windowsPath(opener) + "\" \"%1\"");

  for (const char* answer : {"yes", "no"}) {
    std::string exe = makeApp(std::string("close-") + answer,
                              "mainclass app.Main\nappname My Tool\n");
    std::string log = winDir + "\\app.tvlog";
    writeFile(dir + "/app.tvlog", "log\n");
    RunOptions o = options({"-DLOGFILE=" + log, "-passExitCode"},
                           {{"FAKEJAVA_EXIT", "2"}});
    o.answers = {answer};
    RunResult run = wine.runLauncher(exe, o);
    EXPECT_EQ(run.exitCode, 2u) << answer;
    ASSERT_EQ(run.boxes.size(), 1u) << answer;
    EXPECT_EQ(run.boxes[0].caption, "Unexpected Close");
    EXPECT_EQ(run.boxes[0].text,
              "My Tool has closed in an unexpected way. Would you like to "
              "view the log file?\n\nLog file location:" + log +
                  "\n\nJava returned the following error code: 2");
    EXPECT_EQ(run.boxes[0].buttons, "yesno");
    EXPECT_TRUE(run.boxes[0].icon);

    // The associated program runs on its own; give it time to record.
    size_t wanted = std::string(answer) == "yes" ? 2 : 1;
    for (int i = 0; i < 100 && readFakeJavaRuns(recordPath).size() < wanted; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (wanted == 1) std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
    ASSERT_EQ(records.size(), wanted) << answer;
    if (wanted == 2) {
      ASSERT_GE(records[1].args.size(), 2u);
      EXPECT_TRUE(contains(records[1].args[0], "opener.exe"));
      EXPECT_EQ(records[1].args.back(), log);
    }
  }
}

TEST_F(WineLaunchTest, LogFileHoldsTheLaunchersAndTheChildsOutput) {
  std::string exe = makeApp("log", "mainclass app.Main\n");
  RunResult run = wine.runLauncher(
      exe, options({"-log", "launch.log", "-passExitCode"},
                   {{"FAKEJAVA_PRINT", "hello from java"}}));
  EXPECT_EQ(run.exitCode, 0u);
  std::string log = withoutCr(readFile(dir + "/launch.log"));
  EXPECT_EQ(log.rfind("#Version @(#)src/Tarvik", 0), 0u) << log;
  EXPECT_TRUE(contains(log, "\n#Command line=\n" + quotedJavaw())) << log;
  EXPECT_TRUE(contains(log, "\nhello from java\n")) << log;
  EXPECT_TRUE(contains(log, "\nhello from java (stderr)\n")) << log;
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].stdoutKind, "disk");
  EXPECT_EQ(records[0].stderrKind, "disk");
  EXPECT_FALSE(contains(run.out, "#Command line=")) << "all of it in the log";
}

TEST_F(WineLaunchTest, EnvironmentAndWorkingDirectoryReachTheChild) {
  std::string work = newCaseDir("work dir");
  std::string exe = makeApp("env", "mainclass app.Main\n"
                                   "setenv TV_GREETING=hello there\n"
                                   "workingDir " +
                                       WineEnvironment::windowsPath(work) + "\n");
  RunResult run = wine.runLauncher(
      exe, options({"-passExitCode"}, {{"FAKEJAVA_ENV", "TV_GREETING,TV_UNSET"}}));
  EXPECT_EQ(run.exitCode, 0u);
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].env["TV_GREETING"], "hello there");
  EXPECT_EQ(records[0].env["TV_UNSET"], "<unset>");
  EXPECT_EQ(records[0].cwd, WineEnvironment::windowsPath(work));
}

TEST_F(WineLaunchTest, JavaThatCannotStartIsReportedWithCodeFour) {
  std::string exe = makeApp("missing", "mainclass app.Main\n"
                                       "javapath Z:\\nowhere\\java.exe\n");
  RunResult run = wine.runLauncher(exe, options({}));
  EXPECT_EQ(run.exitCode, 4u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, "Unable To Start Java");
  EXPECT_EQ(run.boxes[0].text.rfind("Unable to start Java for class app.Main\n"
                                    " with Java Z:\\nowhere\\java.exe.\n", 0),
            0u)
      << run.boxes[0].text;
  EXPECT_GT(run.boxes[0].text.size(), 70u) << "the system's reason follows";
  EXPECT_TRUE(contains(run.err, "Unable to start Java Z:\\nowhere\\java.exe: "))
      << run.err;
}

// A `$` value with a blank, used as a path: the class path entry and the
// working directory are the folder itself, not the folder in quotes. The
// application runs in that folder, so the relative entry is handed by its
// full path, the launcher's folder's.
TEST_F(WineLaunchTest, SpacedDollarValuesAreUsedAsPaths) {
  std::string home = newCaseDir("acme home");
  makeDirs(home + "/lib");
  std::string exe = makeApp("spaced", "mainclass app.Main\n"
                                      "addpath $APPHOME\\lib\naddjar plain.jar\n"
                                      "workingDir $APPHOME\n");
  RunResult run = wine.runLauncher(
      exe, options({"-passExitCode"}, {{"APPHOME", WineEnvironment::windowsPath(home)}}));
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(run.boxes.empty());
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  std::string slashed = WineEnvironment::windowsPath(home);
  for (char& c : slashed)
    if (c == '\\') c = '/';
  ASSERT_GE(records[0].args.size(), 4u);
  EXPECT_EQ(records[0].args[2], "-classpath");
  const std::string plain =
      WineEnvironment::windowsPath(exe.substr(0, exe.rfind('/'))) + "\\plain.jar";
  EXPECT_EQ(records[0].args[3], slashed + "/lib;" + plain);
  EXPECT_TRUE(contains(records[0].cmdline, "-classpath \"" + slashed + "/lib;" + plain + "\" "))
      << records[0].cmdline;
  EXPECT_EQ(records[0].cwd, WineEnvironment::windowsPath(home));
}

// Under -log the launcher's own error lines reach the log file too. (That a
// console opened for java.exe keeps the child's output in the log file,
// Wine cannot show: its consoles leave the standard handles alone.)
TEST_F(WineLaunchTest, LogFileHoldsTheLaunchersErrorLines) {
  std::string exe = makeApp("log-err", "mainclass app.Main\n"
                                       "javapath Z:\\nowhere\\java.exe\n");
  RunResult failed = wine.runLauncher(exe, options({"-q", "-log", "failed.log"}));
  EXPECT_EQ(failed.exitCode, 4u);
  EXPECT_TRUE(contains(readFile(dir + "/failed.log"),
                       "Unable to start Java Z:\\nowhere\\java.exe: "))
      << readFile(dir + "/failed.log") << "\nstderr: " << failed.err;
  EXPECT_FALSE(contains(failed.err, "Unable to start Java")) << failed.err;
}

// A command file that cannot be written whole (a full disk) is a failure.
TEST_F(WineLaunchTest, CommandFileOnAFullDiskFails) {
  std::string exe = makeApp("full", "mainclass app.Main\n");
  ASSERT_EQ(symlink("/dev/full", (dir + "/tool.out").c_str()), 0);
  RunResult run = wine.runLauncher(exe, options({"-o"}));
  EXPECT_EQ(run.exitCode, 0xFFFFFFFDu) << run.err;
  EXPECT_TRUE(contains(run.err, "Error writing .out file: tool.out")) << run.err;
}

// A command line longer than Windows takes goes to a Java 9 or later
// through an argument file; Java 8 gets the refusal.
TEST_F(WineLaunchTest, LongCommandLinesPassThroughAnArgumentFile) {
  std::string jdk = newCaseDir("jdk17") + "/jdk";
  makeDirs(jdk + "/bin");
  writeFile(jdk + "/bin/java.exe", readFile(wine.testTool("fakejava.exe")));
  writeFile(jdk + "/release", "JAVA_VERSION=\"17.0.2\"\n");
  std::string config = "mainclass app.Main\njavapath " +
                       WineEnvironment::windowsPath(jdk) + "\\bin\\java.exe\n";
  std::string jars;
  for (int i = 0; i < 1000; ++i) {
    const std::string jar = "lib\\library-with-a-long-name-" + std::to_string(i) + ".jar";
    config += "addjar " + jar + "\n";
    jars += (i ? ";" : "") + jar;
  }
  config += "argument say \"hi\"\nargument C:\\dir\\\n";
  std::string exe = makeApp("argfile", config);
  RunResult run = wine.runLauncher(exe, options({"-passExitCode", "-q"}));
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].args.size(), 2u) << records[0].cmdline.size();
  const std::string& argument = records[0].args[1];
  EXPECT_EQ(argument.rfind("@", 0), 0u) << argument;
  EXPECT_TRUE(contains(argument, "\\tool-")) << argument;
  EXPECT_EQ(argument.substr(argument.size() - 5), ".args") << argument;
  // Each word quoted, its backslashes and quotes escaped.
  std::string text;
  for (const std::string& word :
       {"-Dexe.mainConfig=" + winDir + "\\tool.config", std::string("-classpath"),
        jars, std::string("app.Main"), std::string("say \"hi\""), std::string("C:\\dir\\")}) {
    text += '"';
    for (char c : word) text += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    text += "\"\n";
  }
  EXPECT_TRUE(crlfToLf(records[0].argFiles[1]) == text)
      << records[0].argFiles[1].substr(0, 300);
  // The whole command line is on record, and the file is gone.
  EXPECT_GT(run.out.size(), 32767u);
  EXPECT_TRUE(contains(run.out, "-classpath " + jars + " app.Main \"say \\\"hi\\\"\""));
  const std::string file = wine.unixPath(argument.substr(1));
  ASSERT_TRUE(fileExists(file.substr(0, file.rfind('/')))) << file;
  EXPECT_FALSE(fileExists(file))
      << "the argument file is removed after the child ended";

  writeFile(jdk + "/release", "JAVA_VERSION=\"1.8.0_392\"\n");
  RunResult old = wine.runLauncher(exe, options({"-passExitCode"}));
  EXPECT_EQ(old.exitCode, 4u);
  ASSERT_EQ(old.boxes.size(), 1u);
  EXPECT_EQ(old.boxes[0].caption, "Unable To Start Java");
  EXPECT_TRUE(contains(old.boxes[0].text, "The command line has ")) << old.boxes[0].text;
  EXPECT_EQ(readFakeJavaRuns(recordPath).size(), 1u);
}

// Links another user planted in the temporary folder under every name the
// argument file and the default log file had (<app>-<pid>): none is
// followed, whether it leads to a file (symbolic or hard link) or nowhere.
TEST_F(WineLaunchTest, PlantedLinksAreNeverFollowed) {
  std::string jdk = newCaseDir("jdk17-links") + "/jdk";
  makeDirs(jdk + "/bin");
  writeFile(jdk + "/bin/java.exe", readFile(wine.testTool("fakejava.exe")));
  writeFile(jdk + "/release", "JAVA_VERSION=\"17.0.2\"\n");
  std::string config = "mainclass app.Main\njavapath " +
                       WineEnvironment::windowsPath(jdk) + "\\bin\\java.exe\n";
  for (int i = 0; i < 1000; ++i)
    config += "addjar lib\\library-with-a-long-name-" + std::to_string(i) + ".jar\n";
  std::string exe = makeApp("links", config);
  // The first launch shows where the temporary folder is.
  RunResult first = wine.runLauncher(exe, options({"-passExitCode", "-q"}));
  std::vector<FakeJavaRun> records = readFakeJavaRuns(recordPath);
  ASSERT_EQ(records.size(), 1u) << first.err;
  ASSERT_EQ(records[0].args.size(), 2u);
  const std::string argument = wine.unixPath(records[0].args[1].substr(1));
  const std::string temp = argument.substr(0, argument.rfind('/'));
  // A name nobody can guess: tool-<16 hex digits>.args.
  const std::string name = argument.substr(temp.size() + 1);
  EXPECT_EQ(name.size(), std::string("tool-0123456789abcdef.args").size()) << name;

  const std::string victim = dir + "/victim.txt", gone = dir + "/gone";
  writeFile(victim, "precious\n");
  std::vector<std::string> planted;
  for (int pid = 0; pid < 0x4000; pid += 4) {
    for (const char* ext : {".args", ".log"}) {
      const std::string link = temp + "/tool-" + std::to_string(pid) + ext;
      const int kind = (pid / 4) % 3;
      int made = kind == 0   ? symlink(victim.c_str(), link.c_str())
                 : kind == 1 ? link_(victim, link)
                             : symlink((gone + std::to_string(pid)).c_str(), link.c_str());
      if (made == 0) planted.push_back(link);
    }
  }
  RunResult run = wine.runLauncher(exe, options({"-log", "-passExitCode", "-q"}));
  for (const std::string& link : planted) unlink(link.c_str());
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(readFile(victim), "precious\n");
  EXPECT_EQ(readFakeJavaRuns(recordPath).size(), 2u);
  for (int pid = 0; pid < 0x4000; pid += 4)
    ASSERT_FALSE(fileExists(gone + std::to_string(pid))) << pid;
}

// -log and -sample refuse to replace the application's own configuration.
TEST_F(WineLaunchTest, LogAndSampleKeepTheConfigurationFile) {
  std::string exe = makeApp("keep", "mainclass app.Main\n");
  RunResult log = wine.runLauncher(exe, options({"-log", "TOOL.CONFIG"}));
  EXPECT_EQ(log.exitCode, 1u);
  ASSERT_EQ(log.boxes.size(), 1u);
  EXPECT_EQ(log.boxes[0].caption, "Configuration File Kept");
  EXPECT_EQ(log.boxes[0].text,
            "The log file TOOL.CONFIG is this application's configuration file " +
                winDir + "\\tool.config. It is left untouched: name another file "
                         "after -log.");
  EXPECT_EQ(readFile(dir + "/tool.config"), "mainclass app.Main\n");

  std::string sample = wine.installLauncher(dir, "sample.exe");
  writeFile(dir + "/sample.config", "mainclass app.Sample\n");
  RunResult refused = wine.runLauncher(sample, options({"-q", "-sample"}));
  EXPECT_EQ(refused.exitCode, 1u);
  EXPECT_TRUE(refused.boxes.empty());
  EXPECT_EQ(readFile(dir + "/sample.config"), "mainclass app.Sample\n");
  EXPECT_TRUE(readFakeJavaRuns(recordPath).empty());
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
