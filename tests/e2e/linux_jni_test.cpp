// The native launcher running the machine's real OpenJDK inside its own
// process (javalib), with the small application of tests/e2e/java/inproc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

std::string libjvm() { return javaHome() + "/lib/server/libjvm.so"; }

// The compiled test application, in a folder whose name holds a blank.
const std::string& classesDir() {
  static const std::string dir = [] {
    std::string classes = newCaseDir("java") + "/test classes";
    if (!compileJava("tests/e2e/java/inproc/*.java", classes)) return std::string();
    return classes;
  }();
  return dir;
}

class LinuxJniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(libjvm())) << libjvm();
    ASSERT_FALSE(classesDir().empty()) << "javac failed";
  }

  // A launcher copy named "app" with `config` beside it; returns its path.
  std::string makeApp(const std::string& name, const std::string& config) {
    caseDir = newCaseDir(name);
    return installNativeLauncher(caseDir, "app", config);
  }

  std::string probeConfig(const std::string& extra = "") {
    return "javalib " + libjvm() + "\nmainclass inproc.Probe\naddpath " +
           classesDir() + "\n" + extra;
  }

  // Runs without a desktop, so that error boxes come out on stderr.
  RunResult run(const std::string& exe, std::vector<std::string> args,
                std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    return runWithoutDesktop(exe, options);
  }

  std::string caseDir;
};

TEST_F(LinuxJniTest, ApplicationSeesItsClassPathPropertiesHeapAndArguments) {
  std::string exe = makeApp(
      "print", probeConfig("vmparam -Dprobe.mode=1\n"
                           "vmparam -Dprobe.home=$PROBE_HOME\n"
                           "percentRam 10\n"
                           "argument from config\n"));
  RunResult r = run(exe, {"-passExitCode", "print", "two words", "\xc3\xa9", ""},
                    {{"PROBE_HOME", "/opt/my home"}});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_EQ(0u, r.out.rfind("Classpath: -Djava.class.path=" + classesDir() +
                                "\n", 0))
      << r.out;
  // The arguments arrive intact: blanks, non-ASCII bytes, empty ones.
  EXPECT_TRUE(has(r.out, "argc=5\narg[0]=print\narg[1]=two words\n"
                         "arg[2]=\\u00e9\narg[3]=\narg[4]=from config\n"))
      << r.out;
  // Quotes added for a command line do not reach the properties.
  EXPECT_TRUE(has(r.out, "prop exe.mainConfig=" + caseDir + "/app.config\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "prop probe.mode=1\n"));
  EXPECT_TRUE(has(r.out, "prop probe.home=/opt/my home\n")) << r.out;
  EXPECT_TRUE(has(r.out, "prop java.class.path=" + classesDir() + "\n"));
  // As Java's own launcher names itself.
  EXPECT_TRUE(has(r.out, "prop sun.java.launcher=SUN_STANDARD\n")) << r.out;

  uint64_t mib = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                     static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) >> 20;
  uint64_t heap = static_cast<uint64_t>(static_cast<double>(mib) * 0.1);
  // The VM's options as Java's own launcher gives them: no "exit" hook.
  EXPECT_TRUE(has(r.out, "\nvmoption -Dexe.mainConfig=" + caseDir + "/app.config\n"
                         "vmoption -Dprobe.mode=1\nvmoption -Dprobe.home=/opt/my "
                         "home\nvmoption -Xmx" + std::to_string(heap) + "m\n"))
      << r.out;
  EXPECT_EQ(r.out.find("vmoption "), r.out.find("vmoption -Dexe.mainConfig="));
}

TEST_F(LinuxJniTest, ArgumentsBeyondU0000FFFFReachMainWhole) {
  std::string exe = makeApp("supplementary",
                            probeConfig("argument \xF0\x9F\x98\x80x\n"));
  RunResult r = run(exe, {"print", "\xF0\x90\x80\x80", "\xD0\x94"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_TRUE(has(r.out, "argc=4\narg[0]=print\narg[1]=\\ud800\\udc00\n"
                         "arg[2]=\\u0414\narg[3]=\\ud83d\\ude00x\n"))
      << r.out;
}

TEST_F(LinuxJniTest, ConfiguredHeapWinsAndWorkingDirectoryIsUsed) {
  std::string parent = classesDir().substr(0, classesDir().rfind('/'));
  // The application runs in workingDir; a class path entry is the
  // launcher's folder's (here a full path) whatever that folder is.
  std::string exe = makeApp("heap", "javalib " + libjvm() +
                                        "\nmainclass inproc.Probe\n"
                                        "workingDir " + parent + "\n"
                                        "addpath " + classesDir() + "\n"
                                        "vmparam -XMX64m\npercentRam 50\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, "prop user.dir=" + parent + "\n")) << r.out;
  EXPECT_TRUE(has(r.out, "vmoption -XMX64m\n")) << r.out;
  EXPECT_FALSE(has(r.out, "vmoption -Xmx")) << r.out;
}

TEST_F(LinuxJniTest, SystemExitEndsTheLauncherWithItsStatus) {
  std::string exe = makeApp("exit", probeConfig());
  RunResult r = run(exe, {"exit", "3"});  // without -passExitCode
  EXPECT_EQ(3u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, "exiting\n"));
}

// A VM cannot be made twice in one process: exit code 999 starts the
// launcher anew, with the same words in the folder it was started in, and
// its exit code is the launch's. tarvikc's switches, which it clears once
// read, hold again, and its -log file gets both runs.
TEST_F(LinuxJniTest, ExitCode999StartsTheLauncherAnew) {
  for (const bool console : {false, true}) {
    SCOPED_TRACE(console ? "tarvikc" : "tarvik");
    std::string exe = makeApp(console ? "restart-console" : "restart", probeConfig());
    if (console)
      ASSERT_EQ(0, std::system(("cp '" + nativeConsoleLauncher() + "' '" + exe + "'").c_str()));
    const std::string caller = caseDir + "/caller";
    makeDirs(caller);
    const std::string marker = caseDir + "/marker";
    RunOptions options = RunOptions::of({"restart", marker, "7"});
    options.cwd = caller;
    if (console) options.env.push_back({"TARVIK_OPTIONS", "-log run.log"});
    RunResult r = runWithoutDesktop(exe, options);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(7u, r.exitCode) << r.err;
    const std::string output = console ? readFile(caller + "/run.log") : r.out;
    const std::string folder = console ? caller : caseDir;
    const std::string words = " with restart " + marker + " 7\n";
    EXPECT_TRUE(has(output, "first run in " + folder + words)) << output;
    EXPECT_TRUE(has(output, "second run in " + folder + words)) << output;
    if (console) EXPECT_EQ(r.out, "");
  }
}

TEST_F(LinuxJniTest, ExceptionFromMainIsDescribedAndTheResultIsOne) {
  std::string exe = makeApp("throw", probeConfig());
  RunResult r = run(exe, {"-passExitCode", "throw"});
  EXPECT_EQ(1u, r.exitCode);
  EXPECT_TRUE(has(r.err, "Exception in thread \"main\" "
                         "java.lang.IllegalStateException: probe failure\n"))
      << r.err;
  EXPECT_TRUE(has(r.err, "at inproc.Probe.main(Probe.java:")) << r.err;
}

TEST_F(LinuxJniTest, MainReturningWaitsForTheApplicationsThreads) {
  std::string exe = makeApp("thread", probeConfig());
  RunResult r = run(exe, {"-passExitCode", "thread"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(has(r.out, "main done\nworker done\n")) << r.out;
}

TEST_F(LinuxJniTest, ClassNotOnTheClassPathGivesOne) {
  std::string exe = makeApp("noclass", "javalib " + libjvm() +
                                           "\nmainclass inproc.Missing\n"
                                           "addpath " + classesDir() + "\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(1u, r.exitCode);
  EXPECT_TRUE(has(r.err, "java.lang.NoClassDefFoundError: inproc/Missing"))
      << r.err;
  EXPECT_TRUE(has(r.err, "ClassNotFoundException: inproc.Missing")) << r.err;
}

TEST_F(LinuxJniTest, ClassWithoutMainIsDescribedAndGivesOne) {
  std::string exe = makeApp("nomain", "javalib " + libjvm() +
                                          "\nmainclass inproc.NoMain\n"
                                          "addpath " + classesDir() + "\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(1u, r.exitCode);
  EXPECT_FALSE(has(r.out, "wrong main called"));
  EXPECT_TRUE(has(r.err, "java.lang.NoSuchMethodError")) << r.err;
}

struct LibraryCase {
  const char* name;
  std::string javaLib;
  uint32_t exitCode;  // the result cut to 8 bits
  std::string message;
};

TEST_F(LinuxJniTest, LibraryFailuresGiveTheirResults) {
  const LibraryCase cases[] = {
      {"nolib", "/nowhere/libjvm.so", 46,
       "Unable to load JVM library: /nowhere/libjvm.so"},  // -1234
      // A library named without a folder is the launcher's folder's: this
      // one is named by its full path.
      {"noexport", "/lib/x86_64-linux-gnu/libc.so.6", 45,
       "Unable to load JVM library, missing JNI_CreateJavaVM"},  // -1235
  };
  for (const LibraryCase& c : cases) {
    std::string exe = makeApp(c.name, "javalib " + c.javaLib +
                                          "\nmainclass inproc.Probe\n");
    RunResult r = run(exe, {"-passExitCode"});
    EXPECT_EQ(c.exitCode, r.exitCode) << c.name;
    EXPECT_TRUE(has(r.err, "Unable To Load JVM Library")) << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    EXPECT_EQ("", r.out) << c.name;
    // Without -passExitCode the launcher itself ends normally.
    EXPECT_EQ(0u, run(exe, {}).exitCode) << c.name;
  }
}

TEST_F(LinuxJniTest, NoMainClassIsReportedWithoutStartingTheVm) {
  std::string exe = makeApp("unset", "javalib " + libjvm() + "\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(1u, r.exitCode);
  EXPECT_TRUE(has(r.err, "No Main Class")) << r.err;
  EXPECT_FALSE(has(r.err, "Exception")) << r.err;
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
