// The Linux launcher as a user installs it: the example application found
// by full path, through a symbolic link and PATH-free runtime discovery,
// restart on 999, exit codes, and boxes on standard error without a desktop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t pos = text.find(part); pos != std::string::npos;
       pos = text.find(part, pos + 1))
    ++n;
  return n;
}

class LinuxPortTest : public ::testing::Test {
 protected:
  // The example installed as a vendor would: <dir>/hello beside
  // <dir>/hello.config, with its classes in <dir>/classes.
  std::string installExample(const std::string& name) {
    // Compiled once, copied for each case: javac takes a second of CPU.
    static const std::string classes = [] {
      const std::string made = newCaseDir("classes") + "/classes";
      const bool compiled =
          compileJava("examples/hello/Hello.java", made) &&
          compileJava("tests/e2e/java/port/Exits.java", made);
      return compiled ? made : std::string();
    }();
    EXPECT_FALSE(classes.empty()) << "the example did not compile";
    dir = newCaseDir(name);
    const std::string copy = "cp -r " + shellQuoted(classes) + " " + shellQuoted(dir + "/classes");
    EXPECT_EQ(std::system(copy.c_str()), 0);
    return installNativeLauncher(
        dir, "hello", readFile(sourceDir() + "/examples/hello/hello.config"));
  }

  // No registry store and no desktop: what a fresh machine has.
  RunResult run(const std::string& exe, std::vector<std::string> args,
                const std::string& cwd = "/") {
    RunOptions options = RunOptions::of(std::move(args));
    options.cwd = cwd;
    options.env = {{"TARVIK_REGISTRY", dir + "/no-registry"}};
    return runWithoutDesktop(exe, options);
  }

  std::string dir;
};

TEST_F(LinuxPortTest, ExampleStartedByFullPathFromElsewhere) {
  std::string exe = installExample("full-path");
  RunResult r = run(exe, {"-passExitCode", "from the command line"},
                    newCaseDir("elsewhere"));
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(r.out, "greeting property: Hi-from-the-config")) << r.out;
  EXPECT_TRUE(has(r.out, "configuration file: " + dir + "/hello.config")) << r.out;
  EXPECT_TRUE(has(r.out, "  [0] from the command line\n  [1] from the config file\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, " -Xmx")) << "percentRam reaches the JVM";
}

TEST_F(LinuxPortTest, ExampleStartedThroughASymbolicLink) {
  std::string exe = installExample("symlink");
  std::string bin = newCaseDir("bin");
  ASSERT_EQ(0, symlink(exe.c_str(), (bin + "/hello-tool").c_str()));
  RunResult r = run(bin + "/hello-tool", {"-passExitCode"}, bin);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(r.out, "configuration file: " + dir + "/hello.config")) << r.out;
}

// However it is typed, the launcher works in its own folder: the -o file
// lands beside the configuration, typed by its full path or by a bare name
// found through PATH.
TEST_F(LinuxPortTest, TheCommandFileLandsInTheLaunchersFolderHoweverItIsTyped) {
  std::string exe = installExample("start-forms");
  const std::string project = newCaseDir("project");
  struct Case {
    std::string command;
    std::string folder;
  } cases[] = {{"hello -o", dir}, {exe + " -o", dir}};
  for (const Case& c : cases) {
    RunOptions options = RunOptions::of({"-c", "exec " + c.command});
    options.cwd = project;
    options.env = {{"TARVIK_REGISTRY", dir + "/no-registry"},
                   {"PATH", dir + ":/usr/bin:/bin"}};
    RunResult r = runWithoutDesktop("/bin/sh", options);
    EXPECT_EQ(r.exitCode, 0u) << c.command << r.err;
    EXPECT_TRUE(fileExists(c.folder + "/hello.out")) << c.command;
    unlink((c.folder + "/hello.out").c_str());
  }
}

TEST_F(LinuxPortTest, JavaVersionIsFoundWithoutAnySetUp) {
  std::string exe = installExample("java-version");
  writeFile(dir + "/hello.config",
            "javaVersion 17\nmainclass Hello\naddpath classes\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(r.out, "javaVersion=17, javaVer=17\n")) << r.out;
  EXPECT_TRUE(has(r.out, "Hello from OpenJDK 64-Bit Server VM 17.")) << r.out;
}

TEST_F(LinuxPortTest, RestartsOnNineNineNine) {
  std::string exe = installExample("restart");
  writeFile(dir + "/hello.config",
            "mainclass port.Exits\naddpath classes\nargument " + dir +
                "/counter\nargument 999\nargument 999\nargument 0\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(count(r.out, "of Exits\n"), 3u) << r.out;
  EXPECT_EQ(count(r.out, "#Command line=\n"), 3u);
  EXPECT_TRUE(r.err.empty()) << "no report for 999 and 0: " << r.err;
}

TEST_F(LinuxPortTest, PassesTheExitCodeAndReportsAQuickFailureOnStderr) {
  std::string exe = installExample("exit-codes");
  writeFile(dir + "/hello.config",
            "mainclass port.Exits\naddpath classes\nargument " + dir +
                "/counter\nargument 3\n");
  RunResult passed = run(exe, {"-passExitCode"});
  EXPECT_EQ(passed.exitCode, 3u);
  EXPECT_TRUE(has(passed.err, "Error: Error launching Class port.Exits\n with Java "))
      << passed.err;
  EXPECT_TRUE(has(passed.err, "Error=3\n")) << passed.err;

  RunResult quiet = run(exe, {"-q", "-passExitCode"});
  EXPECT_EQ(quiet.exitCode, 3u);
  EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

// Stand-ins for zenity and xdg-open on PATH, with a desktop to show on.
TEST_F(LinuxPortTest, DesktopDialogsGoThroughZenityAndYesOpensTheLog) {
  std::string exe = installExample("desktop");
  std::string bin = newCaseDir("fake-desktop");
  writeFile(bin + "/zenity",
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done >> " + dir +
                "/zenity.log\necho >> " + dir + "/zenity.log\n"
                "case \"$1\" in --question) exit 0;; esac\nexit 0\n");
  writeFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" > " + dir + "/opened\n");
  ASSERT_EQ(0, std::system(("chmod +x '" + bin + "/zenity' '" + bin + "/xdg-open'").c_str()));
  writeFile(dir + "/hello.config",
            "mainclass port.Exits\naddpath classes\nvmparam -DLOGFILE=" + dir +
                "/app.log\nargument " + dir + "/counter\nargument 5\n");
  RunOptions options = RunOptions::of({"-v", "-passExitCode"});
  options.env = {{"TARVIK_REGISTRY", dir + "/no-registry"},
                 {"DISPLAY", ":0"},
                 {"PATH", bin + ":/usr/bin:/bin"}};
  RunResult r = runNative(exe, options);
  EXPECT_EQ(r.exitCode, 5u);
  std::string calls = readFile(dir + "/zenity.log");
  EXPECT_TRUE(has(calls, "--info|--no-markup|--title=Version|--text=2.2.1|\n")) << calls;
  EXPECT_TRUE(has(calls, "--question|--no-markup|--title=Unexpected Close|--text="
                         "Application has closed in an unexpected way."))
      << calls;
  // xdg-open runs on after the launcher has ended: on a machine busy with
  // other suites it may take seconds to start.
  for (int i = 0; i < 750 && !fileExists(dir + "/opened"); ++i) usleep(20000);
  EXPECT_EQ(readFile(dir + "/opened"), dir + "/app.log\n");
  EXPECT_TRUE(r.err.empty()) << "nothing on stderr with a desktop: " << r.err;
}

TEST_F(LinuxPortTest, SwitchesWorkAsOnWindows) {
  std::string exe = installExample("switches");
  RunResult version = run(exe, {"-v", "-o"}, dir);
  EXPECT_EQ(version.err, "Version: 2.2.1\n");
  std::string command = readFile(dir + "/hello.out");
  EXPECT_EQ(command.rfind("#Version @(#)src/Tarvik Version: 2.2.1", 0), 0u) << command;
  EXPECT_TRUE(has(command, "\n#Command line=\n\"")) << command;

  RunResult logged = run(exe, {"-log", dir + "/run.log", "-passExitCode"});
  EXPECT_EQ(logged.exitCode, 0u);
  std::string log = readFile(dir + "/run.log");
  EXPECT_TRUE(has(log, "#Command line=\n")) << log;
  EXPECT_TRUE(has(log, "greeting property: Hi-from-the-config")) << log;
  EXPECT_FALSE(has(logged.out, "greeting")) << "all of it went to the log";

  std::string work = newCaseDir("sample");
  RunResult sample = run(exe, {"-sample"}, work);
  EXPECT_EQ(sample.exitCode, 0u);
  EXPECT_EQ(readFile(work + "/sample.config").rfind("#Created with version ", 0), 0u);

  RunResult help = run(exe, {"-help"});
  EXPECT_EQ(help.out.rfind("Version: 2.2.1\n\nTarvik Options:\n", 0), 0u);
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
