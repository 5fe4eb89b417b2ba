// The configuration's folder on Linux: the real launchers started every way
// a user types them, with the machine's OpenJDK and the probe of
// tests/e2e/java/child, whose user.dir and exe.mainConfig are read back.
#include <gtest/gtest.h>
#include <unistd.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

std::string java() { return javaHome() + "/bin/java"; }

std::string quoted(const std::string& text) { return shellQuoted(text); }

// The probe's classes in a jar, made once.
const std::string& probeJar() {
  static const std::string jar = [] {
    const std::string dir = newCaseDir("folder-java");
    if (!compileJava("tests/e2e/java/child/*.java", dir + "/classes")) return std::string();
    const std::string file = dir + "/probe.jar";
    const std::string command = quoted(javaHome() + "/bin/jar") + " cf " + quoted(file) +
                                " -C " + quoted(dir + "/classes") + " .";
    return std::system(command.c_str()) == 0 ? file : std::string();
  }();
  return jar;
}

// The value the probe printed for `name`, or "<none>".
std::string probed(const std::string& out, const std::string& name) {
  const std::string key = "prop " + name + "=";
  const size_t at = out.find(key);
  if (at == std::string::npos) return "<none>";
  const size_t end = out.find('\n', at);
  return out.substr(at + key.size(), end - at - key.size());
}

class LinuxFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(probeJar().empty()) << "javac or jar failed"; }

  // An application "app" in `root`/`folder` whose configuration reaches the
  // probe only through relative lines (include, addjars, addpath; javalib in
  // process), and a caller's folder `root`/work with decoys of the same
  // names.
  std::string makeApp(const std::string& root, const std::string& folder, bool console,
                      bool inProcess = false) {
    const std::string app = root + "/" + folder;
    makeDirs(app + "/lib");
    makeDirs(app + "/res");
    makeDirs(root + "/work/lib");
    runShellOk("cp " + quoted(console ? nativeConsoleLauncher() : nativeLauncher()) + " " +
               quoted(app + "/app"));
    runShellOk("cp " + quoted(probeJar()) + " " + quoted(app + "/lib/probe.jar"));
    writeFile(app + "/app.config", "mainclass child.Probe\ninclude extra.config\naddpath res\n");
    if (inProcess) {
      EXPECT_EQ(symlink(javaHome().c_str(), (app + "/jdk").c_str()), 0);
      writeFile(app + "/extra.config", "javalib jdk/lib/server/libjvm.so\naddjars lib\n");
    } else {
      writeFile(app + "/extra.config", "javapath " + java() + "\naddjars lib\n");
    }
    writeFile(root + "/work/app.config", "mainclass evil.Main\n");
    writeFile(root + "/work/extra.config", "javapath /bin/false\naddjars lib\n");
    return app;
  }

  static void runShellOk(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // `command` run by a shell in `cwd`, with `binDir` first on PATH; its
  // first word is the program as typed.
  static RunResult typed(const std::string& command, const std::string& cwd,
                         const std::string& binDir,
                         std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of({"-c", "exec " + command});
    options.cwd = cwd;
    options.env = std::move(env);
    options.env.push_back({"PATH", binDir + ":/usr/bin:/bin"});
    options.env.push_back({"LC_ALL", "C.UTF-8"});
    return runWithoutDesktop("/bin/sh", options);
  }
};

TEST_F(LinuxFolderTest, TheConfigurationIsTheLaunchersFolderHoweverItIsTyped) {
  enum class Typed { FullPath, ThroughPath, Relative, LinkByFullPath, LinkThroughPath };
  struct Row {
    const char* what;
    bool console;
    Typed typed;
    bool runsInItsFolder;  // else in the caller's
    bool inProcess = false;
  } rows[] = {
      {"tarvik by its full path", false, Typed::FullPath, true},
      {"tarvik through PATH", false, Typed::ThroughPath, false},
      {"tarvik by a relative path", false, Typed::Relative, false},
      {"tarvik through a link by its full path", false, Typed::LinkByFullPath, true},
      {"tarvik through a link found on PATH", false, Typed::LinkThroughPath, false},
      {"tarvikc by its full path", true, Typed::FullPath, false},
      {"tarvikc through PATH", true, Typed::ThroughPath, false},
      {"tarvikc by a relative path", true, Typed::Relative, false},
      {"tarvikc through a link found on PATH", true, Typed::LinkThroughPath, false},
      {"tarvik in process by its full path", false, Typed::FullPath, true, true},
      {"tarvik in process through PATH", false, Typed::ThroughPath, false, true},
      {"tarvik in process by a relative path", false, Typed::Relative, false, true},
      {"tarvikc in process through PATH", true, Typed::ThroughPath, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string root = newCaseDir("folder-typed");
    const std::string app = makeApp(root, "app", row.console, row.inProcess);
    const std::string work = root + "/work";
    makeDirs(root + "/links");
    ASSERT_EQ(symlink((app + "/app").c_str(), (root + "/links/app").c_str()), 0);
    std::string command;
    std::string bin = "/nonexistent";
    switch (row.typed) {
      case Typed::FullPath: command = quoted(app + "/app"); break;
      case Typed::ThroughPath: command = "app", bin = app; break;
      case Typed::Relative: command = "../app/app"; break;
      case Typed::LinkByFullPath: command = quoted(root + "/links/app"); break;
      case Typed::LinkThroughPath: command = "app", bin = root + "/links"; break;
    }
    const RunResult run = typed(command + " probe-word", work, bin);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(has(run.out, "arg[0]=probe-word")) << run.out << run.err;
    EXPECT_EQ(probed(run.out, "exe.mainConfig"), app + "/app.config");
    EXPECT_EQ(probed(run.out, "user.dir"), row.runsInItsFolder ? app : work);
    EXPECT_TRUE(has(probed(run.out, "java.class.path"), "res")) << run.out;
  }
}

// tarvikc's -c in TARVIK_OPTIONS names a file of the launcher's folder; the
// application, which runs elsewhere, is told its full path.
TEST_F(LinuxFolderTest, ARelativeConfigurationFileIsToldByItsFullPath) {
  const std::string root = newCaseDir("folder-custom");
  const std::string app = makeApp(root, "app", true);
  writeFile(app + "/ctc2.config", "mainclass child.Probe\ninclude extra.config\n");
  const RunResult run =
      typed("app", root + "/work", app, {{"TARVIK_OPTIONS", "-cctc2.config"}});
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(probed(run.out, "exe.mainConfig"), app + "/ctc2.config") << run.out;
}

// A folder name is a name: a '$' and a '"' in it neither expand nor end the
// option that tells the application its configuration.
TEST_F(LinuxFolderTest, TheLaunchersFolderNameIsNeverExpanded) {
  const std::string root = newCaseDir("folder-dollar");
  const std::string folder = "x$HOME\" -Dinjected=1 -Dq=\"y";
  const std::string app = makeApp(root, folder, false);
  const RunResult run = typed(quoted(app + "/app"), root + "/work", "/nonexistent");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(probed(run.out, "exe.mainConfig"), app + "/app.config") << run.out;
  EXPECT_FALSE(has(run.out, "vmoption -Dinjected")) << run.out;
  EXPECT_EQ(probed(run.out, "user.dir"), app);
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
