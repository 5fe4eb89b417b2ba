// The console launcher tarvikc on Linux, starting the machine's OpenJDK 17
// with Debian's Ant and Rhino and a small tool of tests/e2e/java/console;
// and the signals both Linux launchers pass on to their child.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

std::string java() { return javaHome() + "/bin/java"; }

std::string quoted(const std::string& text) { return shellQuoted(text); }

const std::string& toolClasses() {
  static const std::string dir = [] {
    std::string classes = newCaseDir("console-java") + "/classes";
    return compileJava("tests/e2e/java/console/*.java", classes) ? classes : "";
  }();
  return dir;
}

const std::string ANT_CONFIG =
    "mainclass org.apache.tools.ant.launch.Launcher\n"
    "addjar /usr/share/ant/lib/ant-launcher.jar\n"
    "vmparam -Dant.home=/usr/share/ant\n";
const std::string RHINO_CONFIG =
    "mainclass org.mozilla.javascript.tools.shell.Main\n"
    "addjar /usr/share/java/js.jar\n";
const std::string RHINO_SCRIPT =
    "print(java.lang.System.getProperty('user.dir') + ' ' + version() + ' ' + "
    "org.mozilla.javascript.Context.getCurrentContext().getOptimizationLevel() + "
    "' \\u00e9')";

class LinuxConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fileExists(java())) << java(); }

  // `name`, a copy of tarvikc (or of `launcher`), in a folder of its own
  // with `config` beside it; javapath is the test JDK's.
  std::string install(const std::string& name, const std::string& config,
                      const std::string& launcher = nativeConsoleLauncher()) {
    const std::string dir = newCaseDir(name) + "/bin";
    makeDirs(dir);
    const std::string exe = dir + "/" + name;
    EXPECT_EQ(std::system(("cp " + quoted(launcher) + " " + quoted(exe)).c_str()), 0);
    writeFile(exe + ".config", "javapath " + java() + "\n" + config);
    return exe;
  }

  // Runs a shell command line; its exit status.
  static int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

// Runtime discovery's failures are tarvikc's line on standard error like
// its every other failure, with a desktop too: no dialog, no page opened.
TEST_F(LinuxConsoleTest, DiscoveryFailuresAreLinesEvenOnADesktop) {
  const std::string url = "https://example.com/java";
  struct Row {
    std::string config;
    uint32_t code;
    std::string line;
  } rows[] = {
      {"mainclass app.Main\n", 2, "Error!: No Java Installation Found\n"},
      {"mainclass app.Main\njavaDownloadUrl " + url + "\n", 2,
       "Error!: No Java Installation Found Java can be downloaded from " + url + "\n"},
      {"mainclass app.Main\njavaDownloadUrl " + url + "\njavaVersion 17\n", 5,
       "Java Runtime Environment Not Found: app.Main requires the Java Runtime "
       "Environment version 17. Java can be downloaded from " + url + "\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.config);
    const std::string dir = newCaseDir("no-runtime");
    const std::string tools = dir + "/desktop";
    makeDirs(tools);
    makeDirs(dir + "/no-jvm");
    for (const std::string tool : {"zenity", "kdialog", "xdg-open"}) {
      writeFile(tools + "/" + tool,
                "#!/bin/sh\necho " + tool + " >> " + quoted(dir + "/ran") + "\n");
      ASSERT_EQ(0, shell("chmod +x " + quoted(tools + "/" + tool)));
    }
    const std::string exe = dir + "/tool";
    ASSERT_EQ(0, shell("cp " + quoted(nativeConsoleLauncher()) + " " + quoted(exe)));
    writeFile(exe + ".config", row.config);
    RunOptions options;
    options.env = {{"DISPLAY", ":9"}, {"PATH", tools}, {"JAVA_HOME", ""},
                   {"TARVIK_JVM_DIR", dir + "/no-jvm"}, {"HOME", dir},
                   {"TARVIK_REGISTRY", dir + "/no-registry"}};
    RunResult r = runNative(exe, options);
    EXPECT_EQ(r.exitCode, row.code) << r.err;
    EXPECT_TRUE(has(r.err, row.line)) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fileExists(dir + "/ran")) << readFile(dir + "/ran");
  }
}

TEST_F(LinuxConsoleTest, AntBuildsTheProjectItIsStartedIn) {
  const std::string ant = install("ant", ANT_CONFIG);
  const std::string project = newCaseDir("project");
  writeFile(project + "/build.xml",
            "<project default='hello'>\n"
            "  <target name='hello'><echo message='hello from ${user.dir}'/></target>\n"
            "  <target name='broken'><fail message='broken on purpose'/></target>\n"
            "</project>\n");
  RunOptions options = RunOptions::of({"-q", "hello"});
  options.cwd = project;
  RunResult built = runWithoutDesktop(ant, options);
  EXPECT_EQ(built.exitCode, 0u) << built.out << built.err;
  EXPECT_EQ(built.out, "     [echo] hello from " + project + "\n\nBUILD SUCCESSFUL\n" +
                           built.out.substr(built.out.find("Total time")))
      << "-q reached Ant, and nothing of the launcher's is in its output";
  options.args = {"broken"};
  RunResult failed = runWithoutDesktop(ant, options);
  EXPECT_EQ(failed.exitCode, 1u);
  EXPECT_NE(failed.err.find("broken on purpose"), std::string::npos) << failed.err;
  EXPECT_EQ(failed.err.find("Error launching"), std::string::npos) << failed.err;
}

TEST_F(LinuxConsoleTest, RhinoGetsItsWordsAndItsOutputIsJavasByteForByte) {
  const std::string rhino = install("rhino", RHINO_CONFIG);
  const std::string here = newCaseDir("rhino-caller");
  const std::string words = "-opt -1 -version 200 -e " + quoted(RHINO_SCRIPT);
  const std::string direct = here + "/direct";
  ASSERT_EQ(shell("cd " + quoted(here) + " && " + quoted(java()) +
                  " -classpath /usr/share/java/js.jar org.mozilla.javascript.tools.shell.Main " +
                  words + " > " + quoted(direct)),
            0);
  EXPECT_EQ(readFile(direct), here + " 200 -1 \xc3\xa9\n");
  EXPECT_EQ(shell("cd " + quoted(here) + " && " + quoted(rhino) + " " + words +
                  " | cmp - " + quoted(direct)),
            0);
}

// Also with a javapath relative to the launcher's folder, which is not the
// folder Java runs in.
TEST_F(LinuxConsoleTest, StandardInputReachesTheApplication) {
  ASSERT_FALSE(toolClasses().empty());
  const std::string tool = install("tool", "mainclass console.Tool\naddpath " + toolClasses() +
                                               "\njavapath jdk/bin/java\n");
  ASSERT_EQ(symlink(javaHome().c_str(), (tool.substr(0, tool.rfind('/')) + "/jdk").c_str()), 0);
  const std::string dir = newCaseDir("echo");
  writeFile(dir + "/in", binaryBytes(100000));
  EXPECT_EQ(shell("cd " + quoted(dir) + " && " + quoted(tool) + " echo < in | cmp - " +
                  quoted(dir + "/in")),
            0);
}

// Signals: the shutdown hook runs, the launcher ends after Java with its
// code, and no Java is left.
TEST_F(LinuxConsoleTest, SignalsReachJavaAndTheLauncherEndsAfterIt) {
  ASSERT_FALSE(toolClasses().empty());
  struct Row {
    const char* what;
    bool console;
    int signal;
    bool toGroup;
    bool ownPidNamespace;
    uint32_t code;
  };
  const Row rows[] = {
      {"Ctrl-C in a terminal", true, SIGINT, true, false, 130},
      {"kill", true, SIGTERM, false, false, 143},
      {"kill of a container's first process", true, SIGTERM, false, true, 143},
      {"the launcher killed: Java is asked to end", true, SIGKILL, false, false, 137},
      {"kill of tarvik -passExitCode", false, SIGTERM, false, false, 143},
      {"hang-up of tarvik -passExitCode", false, SIGHUP, false, false, 129},
  };
  const std::string config = "mainclass console.Tool\naddpath " + toolClasses() + "\n";
  const std::string tarvikc = install("tarvikc", config);
  const std::string tarvik = install("tarvik", config, nativeLauncher());
  for (const Row& row : rows) {
    const std::string dir = newCaseDir("signal");
    std::vector<std::string> words;
    if (row.ownPidNamespace) words = {"/usr/bin/unshare", "-pf"};
    words.push_back(row.console ? tarvikc : tarvik);
    if (!row.console) words.push_back("-passExitCode");
    words.insert(words.end(), {"wait", dir});
    const pid_t outer = fork();
    if (outer == 0) {
      setpgid(0, 0);
      // As a terminal starts a command, whatever started the test ignored.
      for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
      if (!freopen("/dev/null", "r", stdin) || !freopen("/dev/null", "w", stdout) ||
          !freopen("/dev/null", "w", stderr))
        _exit(126);
      setenv("DISPLAY", "", 1);
      setenv("WAYLAND_DISPLAY", "", 1);
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(&word[0]);
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (int i = 0; i < 1500 && !fileExists(dir + "/pid"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fileExists(dir + "/pid")) << row.what;
    const pid_t javaPid = std::atoi(readFile(dir + "/pid").c_str());
    // In its own namespace the launcher is unshare's child.
    pid_t launcher = outer;
    if (row.ownPidNamespace) {
      const std::string children = readFile("/proc/" + std::to_string(outer) + "/task/" +
                                            std::to_string(outer) + "/children");
      launcher = std::atoi(children.c_str());
      ASSERT_GT(launcher, 0) << row.what;
    }
    kill(row.toGroup ? -outer : launcher, row.signal);
    int status = 0;
    waitpid(outer, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    EXPECT_EQ(static_cast<uint32_t>(code), row.code) << row.what;
    // A launcher that cannot wait leaves Java to end on its own; the hook's
    // file is there before its line is.
    for (int i = 0; i < 3000 && row.signal == SIGKILL && readFile(dir + "/hook") != "hook ran\n";
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readFile(dir + "/hook"), "hook ran\n") << row.what;
    // Outside a namespace the number is Java's (reaped by the launcher).
    if (!row.ownPidNamespace && row.signal != SIGKILL) {
      EXPECT_EQ(kill(javaPid, 0), -1) << row.what << ": Java is left";
      EXPECT_EQ(errno, ESRCH) << row.what;
    }
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
