// The native launcher starting the machine's real OpenJDK as its child,
// with the small application of tests/e2e/java/child.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

std::string java() { return javaHome() + "/bin/java"; }

// The compiled test application, in a folder whose name holds a blank.
const std::string& classesDir() {
  static const std::string dir = [] {
    std::string classes = newCaseDir("java") + "/child classes";
    if (!compileJava("tests/e2e/java/child/*.java", classes)) return std::string();
    return classes;
  }();
  return dir;
}

class LinuxLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(java())) << java();
    ASSERT_FALSE(classesDir().empty()) << "javac failed";
  }

  // A launcher copy named "app" with `config` beside it; returns its path.
  std::string makeApp(const std::string& name, const std::string& config) {
    caseDir = newCaseDir(name);
    return installNativeLauncher(caseDir, "app", config);
  }

  std::string probeConfig(const std::string& extra = "") {
    return "javapath " + java() + "\nmainclass child.Probe\naddpath " +
           classesDir() + "\n" + extra;
  }

  // Runs without a desktop, so that message boxes come out on stderr.
  RunResult run(const std::string& exe, std::vector<std::string> args,
                std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    // Java decodes its arguments by the locale; the bytes are the launcher's
    // business, the decoding is not.
    options.env.push_back({"LC_ALL", "C.UTF-8"});
    return runWithoutDesktop(exe, options);
  }

  std::string caseDir;
};

TEST_F(LinuxLaunchTest, ChildSeesItsArgumentsPropertiesAndHeap) {
  std::string exe = makeApp(
      "print", probeConfig("vmparam -Dprobe.mode=1\n"
                           "vmparam -Dprobe.spaced=\"two words\"\n"
                           "percentRam 10\n"
                           "argument C:\\dir\\\n"
                           "argument say \"hi\"\n"));
  RunResult r = run(exe, {"-passExitCode", "two words", "a\"b", "", "tail\\",
                          "\xc3\xa9"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, "#Command line=\n" + java() + " -Dexe.mainConfig=\"" +
                             caseDir + "/app.config\" -Dprobe.mode=1 "))
      << r.out;
  EXPECT_TRUE(has(r.out, "argc=7\narg[0]=two words\narg[1]=a\"b\narg[2]=\n"
                         "arg[3]=tail\\\narg[4]=\\u00e9\narg[5]=C:\\dir\\\n"
                         "arg[6]=say \"hi\"\n"))
      << r.out;
  // The quotes are for the command line; the properties are without them.
  EXPECT_TRUE(has(r.out, "prop exe.mainConfig=" + caseDir + "/app.config\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "prop probe.mode=1\n"));
  EXPECT_TRUE(has(r.out, "prop probe.spaced=two words\n")) << r.out;
  EXPECT_TRUE(has(r.out, "prop java.class.path=" + classesDir() + "\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "prop user.dir=" + caseDir + "\n")) << r.out;

  uint64_t mib = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                     static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) >> 20;
  uint64_t heap = static_cast<uint64_t>(static_cast<double>(mib) * 0.1);
  EXPECT_TRUE(has(r.out, "vmoption -Dprobe.spaced=two words\nvmoption -Xmx" +
                             std::to_string(heap) + "m\n"))
      << r.out;
  EXPECT_TRUE(has(r.err, "probe stderr line\n")) << r.err;
}

// A value is text inside the word it stands in; a -D switch is one option.
TEST_F(LinuxLaunchTest, ValuesAndSwitchesAddNoJvmOption) {
  std::string exe = makeApp("words", probeConfig("vmparam -Dprobe.mode=$V\n"
                                                 "vmparam $UNSET_OPTS\n"
                                                 "leadingArgument --first\n"));
  RunResult r = run(exe, {"-Dprobe.spaced=say \"hi\" now", "last"},
                    {{"V", "a\" -Dinjected=1 \"b"}});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, "argc=2\narg[0]=--first\narg[1]=last\n")) << r.out;
  EXPECT_TRUE(has(r.out, "prop probe.mode=a\" -Dinjected=1 \"b\n")) << r.out;
  EXPECT_TRUE(has(r.out, "prop probe.spaced=say \"hi\" now\n")) << r.out;
  EXPECT_FALSE(has(r.out, "vmoption -Dinjected=1\n")) << r.out;
  EXPECT_FALSE(has(r.out, "vmoption $UNSET_OPTS")) << r.out;
}

TEST_F(LinuxLaunchTest, ExitCodeIsPassedOnOnlyWhenAsked) {
  std::string exe = makeApp("exit", probeConfig());
  RunResult passed = run(exe, {"-passExitCode", "exit", "3"});
  EXPECT_EQ(3u, passed.exitCode) << passed.err;
  EXPECT_TRUE(has(passed.out, "arg[0]=exit\narg[1]=3\n")) << passed.out;
  // Ended within 3 seconds with an error code: reported.
  EXPECT_TRUE(has(passed.err, "Error launching Class child.Probe")) << passed.err;
  RunResult quiet = run(exe, {"-q", "exit", "3"});
  EXPECT_EQ(0u, quiet.exitCode);
  EXPECT_FALSE(has(quiet.err, "Error launching")) << quiet.err;
}

TEST_F(LinuxLaunchTest, EnvironmentWorkingDirectoryAndLogFile) {
  std::string work = newCaseDir("work dir");
  std::string exe = makeApp("env", probeConfig("setenv PROBE_GREETING=hello there\n"
                                               "workingDir " + work + "\n"));
  std::string log = caseDir + "/launch.log";
  RunResult r = run(exe, {"-log", log, "-passExitCode"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_EQ("", r.out);
  std::string text = readFile(log);
  EXPECT_EQ(0u, text.rfind("#Version @(#)src/Tarvik Version: 2.2.1", 0)) << text;
  EXPECT_TRUE(has(text, "\n#Command line=\n" + java() + " ")) << text;
  EXPECT_TRUE(has(text, "env PROBE_GREETING=hello there\n")) << text;
  EXPECT_TRUE(has(text, "prop user.dir=" + work + "\n")) << text;
  EXPECT_TRUE(has(text, "probe stderr line\n")) << text;
}

TEST_F(LinuxLaunchTest, BoundedWaitLeavesTheChildRunning) {
  std::string exe = makeApp("keepalive", probeConfig());
  auto begin = std::chrono::steady_clock::now();
  RunResult r = run(exe, {"sleep", "20000"});
  double seconds = std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - begin).count();
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_GE(seconds, 2.9);
  EXPECT_LT(seconds, 15.0) << "the launcher waited for the child";
}

// The Java child holds the lock after the launcher has ended; a second
// launch meanwhile is refused with 12, one after Java has ended starts.
TEST_F(LinuxLaunchTest, SingleInstanceHoldsWhileJavaRuns) {
  std::string exe = makeApp("single", probeConfig("singleInstance e2e single\n"
                                                  "keepalive false 0\n"));
  const std::pair<std::string, std::string> runtimeDir{"XDG_RUNTIME_DIR", caseDir};
  RunResult first = run(exe, {"sleep", "3000"}, {runtimeDir});
  EXPECT_EQ(0u, first.exitCode) << first.err;
  RunResult second = run(exe, {"-q", "second"}, {runtimeDir});
  EXPECT_EQ(12u, second.exitCode);
  EXPECT_FALSE(has(second.out, "#Command line")) << second.out;
  EXPECT_EQ(second.err, "singleInstance e2e single: the application runs already\n");
  EXPECT_TRUE(fileExists(caseDir + "/tarvik-" + std::to_string(getuid()) +
                         "-e2e single.lock"));
  // Refused until the first Java (3 s) has ended.
  RunResult third;
  for (int i = 0; i < 100; ++i) {
    third = run(exe, {"-passExitCode", "third"}, {runtimeDir});
    if (third.exitCode != 12u) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(0u, third.exitCode) << third.err;
  EXPECT_TRUE(has(third.out, "arg[0]=third\n")) << third.out;
}

TEST_F(LinuxLaunchTest, MissingJavaIsReportedWithCodeFour) {
  std::string exe = makeApp("missing", "javapath /nowhere/bin/java\n"
                                       "mainclass child.Probe\n");
  RunResult r = run(exe, {});
  EXPECT_EQ(4u, r.exitCode);
  EXPECT_TRUE(has(r.err, "Unable to start Java /nowhere/bin/java: No such file "
                         "or directory\n"))
      << r.err;
  EXPECT_TRUE(has(r.err, "Unable To Start Java")) << r.err;
}

// Started with its standard output a pipe whose reader has gone, the
// launcher's records are written in vain and the application still runs.
TEST_F(LinuxLaunchTest, OutputPipeClosedBeforeTheStartStopsNothing) {
  std::string exe = makeApp("closed-pipe", probeConfig());
  const std::string marker = caseDir + "/ran";
  int ends[2];
  ASSERT_EQ(0, pipe(ends));
  close(ends[0]);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(ends[1], 1);
    close(ends[1]);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    execl(exe.c_str(), exe.c_str(), "-passExitCode", "mark", marker.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(0, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  EXPECT_EQ("ran\n", fileExists(marker) ? readFile(marker) : "<none>");
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
