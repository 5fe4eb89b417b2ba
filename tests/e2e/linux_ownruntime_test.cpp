// The native launcher with a runtime of the application's own, made once
// by jlink from the machine's OpenJDK 17 into runtime/ beside it: Rhino
// in-process with `javalib auto`, in-process behaving as the child `java`
// does, and a splash screen under a virtual display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

// The application folder: the runtime, the probe's classes and a splash
// image (left half red, right half blue).
struct Application {
  std::string dir;
  bool made = false;
};

const Application& application() {
  static const Application app = [] {
    Application a;
    a.dir = newCaseDir("app");
    const std::string jdk = javaHome() + "/bin/";
    a.made = compileJava("tests/e2e/java/ownrt/*.java", a.dir + "/classes") &&
             std::system((jdk + "jlink --add-modules java.base,java.desktop,"
                          "java.compiler --no-header-files --no-man-pages "
                          "--output " + a.dir + "/runtime").c_str()) == 0 &&
             std::system((jdk + "java -cp " + a.dir + "/classes ownrt.Probe image " +
                          a.dir + "/splash.png").c_str()) == 0;
    return a;
  }();
  return app;
}

// A virtual display for the splash screen, stopped when the binary ends.
class Display {
 public:
  Display() {
    for (int n = 600 + getpid() % 300;; ++n)
      if (!fileExists("/tmp/.X" + std::to_string(n) + "-lock")) {
        name_ = ":" + std::to_string(n);
        break;
      }
    pid_ = fork();
    if (pid_ == 0) {
      execlp("Xvfb", "Xvfb", name_.c_str(), "-nolisten", "tcp", "-screen", "0",
             "800x600x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    const std::string socket = "/tmp/.X11-unix/X" + name_.substr(1);
    for (int i = 0; i < 200 && !fileExists(socket); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~Display() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  pid_t pid_ = -1;
};

class LinuxOwnRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(application().made); }

  // A launcher copy "app" in the application folder with `config`.
  RunResult run(const std::string& config, std::vector<std::string> args,
                Env env = {}) {
    const std::string exe = installNativeLauncher(application().dir, "app", config);
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    return runWithoutDesktop(exe, options);
  }

  static std::string lastLine(const std::string& text) {
    const size_t end = text.size() && text.back() == '\n' ? text.size() - 1 : text.size();
    const size_t start = text.rfind('\n', end ? end - 1 : 0);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
  }

  const std::string probe =
      "runtimeHome runtime\nmainclass ownrt.Probe\naddpath classes\n";
};

TEST_F(LinuxOwnRuntimeTest, RhinoRunsInProcessOnTheBundledRuntime) {
  const std::string& dir = application().dir;
  RunResult r = run("runtimeHome runtime\njavalib auto\n"
                    "mainclass org.mozilla.javascript.tools.shell.Main\n"
                    "addjar /usr/share/java/rhino.jar\n",
                    {"-passExitCode", "-e",
                     "print(6 * 7); print(java.lang.System.getProperty('java.home'))"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, " at " + dir + "/runtime from runtimeHome\n#Version ")) << r.out;
  EXPECT_TRUE(has(r.out, "#JVM library=\n" + dir + "/runtime/lib/server/libjvm.so\n")) << r.out;
  EXPECT_TRUE(has(r.out, "\n42\n" + dir + "/runtime\n")) << r.out;
}

// Each row: what the application sees in-process is what the child `java`
// (the same runtime's bin/java) shows it.
// The runtime is made without --generate-cds-archive, so it has no archive
// of its own classes: on Java 25 the ahead-of-time cache, which holds them
// itself, is made all the same; before it, the cache stands aside with a
// line in the -log file that says what to do.
TEST_F(LinuxOwnRuntimeTest, TheStartupCacheOnARuntimeWithoutAnArchiveOfItsOwn) {
  const std::string& dir = application().dir;
  const bool java25 =
      readFile(dir + "/runtime/release").find("JAVA_VERSION=\"25") != std::string::npos;
  const std::string log = dir + "/cache-run.log";
  const std::string config =
      "runtimeHome runtime\nmainclass org.mozilla.javascript.tools.shell.Main\n"
      "addjar /usr/share/java/rhino.jar\nstartupCache true\n"
      "vmparam -Xlog:class+load=info:file=" + dir + "/load.txt\n";
  const Env env = {{"XDG_CACHE_HOME", dir + "/own-cache"}};
  for (int launch = 0; launch < 2; ++launch) {
    const RunResult r = run(config, {"-passExitCode", "-log", log, "-e", "print(6 * 7)"}, env);
    EXPECT_EQ(0u, r.exitCode) << readFile(log);
    EXPECT_TRUE(has(readFile(log), "\n42\n")) << readFile(log);
  }
  const std::string loaded = readFile(dir + "/load.txt");
  EXPECT_EQ(has(loaded, "org.mozilla.javascript.tools.shell.Main source: shared objects file"),
            java25)
      << loaded.substr(0, 2000);
  EXPECT_EQ(has(readFile(log), "Startup cache not used: the runtime " + dir +
                                   "/runtime has no archive of its own classes (a runtime "
                                   "made by jlink needs --generate-cds-archive)\n"),
            !java25)
      << readFile(log);
}

TEST_F(LinuxOwnRuntimeTest, InProcessBehavesAsTheChildJava) {
  struct Row {
    const char* name;
    std::string config;
    Env env;
    std::vector<std::string> args;
    std::string seen;
  } rows[] = {
      {"-Xss reaches the main thread", "vmparam -Xss64m\n", {},
       {"recurse", "1000000"}, "recursed"},
      {"an option of two words", "vmparam --add-opens java.base/java.lang=ALL-UNNAMED\n",
       {}, {"opens"}, "opened"},
      {"JDK_JAVA_OPTIONS", "", {{"JDK_JAVA_OPTIONS", "-Downrt.from=\"the variable\""}},
       {"property", "ownrt.from"}, "the variable"},
      {"sun.java.command", "", {}, {"property", "sun.java.command"},
       "ownrt.Probe property sun.java.command"},
  };
  for (const Row& row : rows) {
    for (const char* mode : {"", "javalib auto\n"}) {
      std::vector<std::string> args = {"-passExitCode"};
      args.insert(args.end(), row.args.begin(), row.args.end());
      RunResult r = run(probe + row.config + mode, args, row.env);
      EXPECT_EQ(0u, r.exitCode) << row.name << " " << mode << r.err;
      EXPECT_EQ(row.seen, lastLine(r.out)) << row.name << " " << mode << r.out;
      if (!row.env.empty()) {
        EXPECT_TRUE(has(r.err, "NOTE: Picked up JDK_JAVA_OPTIONS")) << mode << r.err;
      }
    }
  }
}

TEST_F(LinuxOwnRuntimeTest, SplashScreenShowsInProcessUntilTheApplicationClosesIt) {
  static Display display;
  const std::string& dir = application().dir;
  struct Case {
    const char* image;
    std::string out;
    std::string err;
  } cases[] = {
      {"splash.png",
       "splash true\nurl file:" + dir + "/splash.png\nred true blue true\nclosed\n", ""},
      {"missing.png", "splash false\n",
       "No splash screen: the image missing.png does not exist\n"},
  };
  for (const Case& c : cases) {
    RunOptions options = RunOptions::of({"-passExitCode", "splash"});
    options.env = {{"DISPLAY", display.name()}};
    const std::string exe = installNativeLauncher(
        dir, "app", probe + "javalib auto\nvmparam -splash:" + c.image + "\n");
    RunResult r = runNative(exe, options);
    EXPECT_EQ(0u, r.exitCode) << c.image << r.err;
    EXPECT_TRUE(has(r.out, "Classpath: -Djava.class.path=classes\n" + c.out)) << r.out;
    EXPECT_EQ(c.err, r.err) << c.image;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
