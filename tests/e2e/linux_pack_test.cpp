// tarvik-pack on Linux: the example application made into the Linux app
// image and a .deb that dpkg installs into a root folder, whose launcher
// runs the application on the real OpenJDK; the same inputs and
// SOURCE_DATE_EPOCH make the same bytes; a runtime given as a .tar.gz makes
// the .deb its folder makes, and the launcher runs with it; a bad
// description and a missing tool leave nothing behind.
#include <gtest/gtest.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string EPOCH = "1700000000";

std::string nativeBuild() {
  const std::string launcher = nativeLauncher();
  return launcher.substr(0, launcher.find_last_of('/'));
}

// Whatever is in a folder, by name ("" for an empty one).
std::string listing(const std::string& dir) { return shellOutput("ls -A " + shellQuoted(dir)); }

class LinuxPackTest : public ::testing::Test {
 protected:
  // The example application as a jar, its configuration and a description
  // of it with `lines` added.
  std::string prepare(const std::string& name, const std::string& lines) {
    dir_ = newCaseDir(name);
    if (!compileJava("examples/hello/Hello.java", dir_ + "/classes")) return "";
    makeDirs(dir_ + "/lib");
    shellOutput(shellQuoted(javaHome() + "/bin/jar") + " cf " + shellQuoted(dir_ + "/lib/hello.jar") +
          " -C " + shellQuoted(dir_ + "/classes") + " .");
    writeFile(dir_ + "/hello.config", "mainclass Hello\naddjars lib\nargument packed\n");
    writeFile(dir_ + "/hello.pack",
              "# The example application\n"
              "name Hello World\nfileName hello\nversion 1.2.0\nvendor Acme Ltd\n"
              "maintainer Acme Ltd <ops@acme.example>\n"
              "icon " + sourceDir() + "/resources/tarvik.ico\n"
              "config hello.config\njars lib\n" + lines);
    return dir_ + "/hello.pack";
  }

  RunResult pack(const std::string& description, const std::string& output,
                 std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of({"--output", output, "--linux-launchers", nativeBuild(), description});
    options.env = std::move(env);
    options.env.push_back({"SOURCE_DATE_EPOCH", EPOCH});
    return runNative(TARVIK_PACK_TOOL, options);
  }

  // The root folder that dpkg installed the package into; "" when it failed.
  std::string installed(const std::string& deb) {
    const std::string root = dir_ + "/root";
    makeDirs(root + "/var/lib/dpkg/info");
    makeDirs(root + "/var/lib/dpkg/updates");
    writeFile(root + "/var/lib/dpkg/status", "");
    const std::string output = shellOutput("dpkg --root=" + shellQuoted(root) + " --force-not-root -i " +
                                           shellQuoted(deb) + " 2>&1; echo rc=$?");
    EXPECT_TRUE(has(output, "rc=0")) << output;
    return has(output, "rc=0") ? root : "";
  }

  std::string dir_;
};

TEST_F(LinuxPackTest, DebInstallsAndItsLauncherRunsTheApplication) {
  const std::string description = prepare("deb", "output tar.gz deb\n");
  ASSERT_FALSE(description.empty());
  RunResult run = pack(description, dir_ + "/dist");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(listing(dir_ + "/dist"),
            "hello-1.2.0-linux-x64\nhello-1.2.0-linux-x64.tar.gz\nhello_1.2.0_amd64.deb\n");
  const std::string deb = dir_ + "/dist/hello_1.2.0_amd64.deb";

  const std::string info = shellOutput("dpkg-deb -I " + shellQuoted(deb));
  EXPECT_TRUE(has(info, " Package: hello\n") && has(info, " Version: 1.2.0\n") &&
              has(info, " Maintainer: Acme Ltd <ops@acme.example>\n"))
      << info;
  EXPECT_TRUE(has(shellOutput("tar -tvzf " + shellQuoted(dir_ + "/dist/hello-1.2.0-linux-x64.tar.gz")),
                  "-rwxr-xr-x root/root"));

  const std::string root = installed(deb);
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(shellOutput("readlink " + shellQuoted(root + "/usr/bin/hello")), "/opt/hello/hello\n");
  EXPECT_TRUE(has(readFile(root + "/usr/share/applications/hello.desktop"),
                  "Name=Hello World\nExec=/opt/hello/hello %f\nIcon=/opt/hello/hello.ico\n"));
  EXPECT_TRUE(fileExists(root + "/opt/hello/lib/hello.jar"));

  RunOptions options = RunOptions::of({"given"});
  options.env = {{"JAVA_HOME", javaHome()}};
  RunResult app = runWithoutDesktop(root + "/opt/hello/hello", options);
  EXPECT_EQ(app.exitCode, 0u) << app.err;
  EXPECT_TRUE(has(app.out, "Hello from OpenJDK") && has(app.out, "[0] given\n  [1] packed\n")) << app.out;
}

TEST_F(LinuxPackTest, SameInputsAndEpochMakeTheSameBytes) {
  const std::string description = prepare("same", "output tar.gz deb\n");
  ASSERT_FALSE(description.empty());
  ASSERT_EQ(pack(description, dir_ + "/one").exitCode, 0u);
  // Later, with every input file touched.
  shellOutput("sleep 1; touch -c " + shellQuoted(dir_) + "/lib/* " + shellQuoted(dir_) + "/hello.config");
  ASSERT_EQ(pack(description, dir_ + "/two").exitCode, 0u);
  for (const char* file : {"hello-1.2.0-linux-x64.tar.gz", "hello_1.2.0_amd64.deb"})
    EXPECT_EQ(readFile(dir_ + "/one/" + file), readFile(dir_ + "/two/" + file)) << file;
}

TEST_F(LinuxPackTest, ARuntimeAsATarGzIsItsFolderAndTheLauncherRunsWithIt) {
  const std::string description = prepare("runtime", "output deb\n");
  ASSERT_FALSE(description.empty());
  // A stand-in runtime that says it ran and hands on to OpenJDK, packed as
  // jlink's runtimes are shipped: one folder at the top, a link among its
  // legal files.
  const std::string jre = dir_ + "/jdk-17.0.9+9-jre";
  makeDirs(jre + "/bin");
  makeDirs(jre + "/legal/java.base");
  makeDirs(jre + "/legal/java.xml");
  writeFile(jre + "/bin/java", "#!/bin/sh\necho 'stand-in runtime' >&2\nexec " +
                                   shellQuoted(javaHome() + "/bin/java") + " \"$@\"\n");
  writeFile(jre + "/legal/java.base/LICENSE", "GPLv2 with the Classpath Exception\n");
  writeFile(jre + "/release", "JAVA_VERSION=\"17.0.9\"\n");
  shellOutput("cd " + shellQuoted(dir_) + " && chmod 755 " + shellQuoted(jre + "/bin/java") +
              " && ln -s ../java.base/LICENSE " + shellQuoted(jre + "/legal/java.xml/LICENSE") +
              " && tar -czf jre.tar.gz jdk-17.0.9+9-jre");
  const std::string text = readFile(description);
  writeFile(description, text + "linuxRuntime jre.tar.gz\n");
  RunResult run = pack(description, dir_ + "/dist");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  writeFile(description, text + "linuxRuntime jdk-17.0.9+9-jre\n");
  ASSERT_EQ(pack(description, dir_ + "/folder").exitCode, 0u);
  const std::string deb = dir_ + "/dist/hello_1.2.0_amd64.deb";
  EXPECT_EQ(readFile(deb), readFile(dir_ + "/folder/hello_1.2.0_amd64.deb"));

  const std::string contents = shellOutput("dpkg-deb -c " + shellQuoted(deb));
  const size_t javaLine = contents.rfind('\n', contents.find("./opt/hello/runtime/bin/java\n")) + 1;
  EXPECT_EQ(contents.substr(javaLine, 20), "-rwxr-xr-x root/root") << contents;
  EXPECT_TRUE(has(contents, "./opt/hello/runtime/legal/java.xml/LICENSE\n") && !has(contents, "jdk-17.0.9"))
      << contents;
  const std::string root = installed(deb);
  ASSERT_FALSE(root.empty());
  RunOptions options = RunOptions::of({"given"});
  options.env = {{"JAVA_HOME", "/nonexistent"}, {"PATH", "/usr/bin:/bin"}};
  RunResult app = runWithoutDesktop(root + "/opt/hello/hello", options);
  EXPECT_EQ(app.exitCode, 0u) << app.err;
  EXPECT_TRUE(has(app.err, "stand-in runtime")) << app.err;
  EXPECT_TRUE(has(app.out, "Hello from OpenJDK") && has(app.out, "[0] given\n  [1] packed\n")) << app.out;
}

TEST_F(LinuxPackTest, FaultsAndMissingToolsLeaveNothing) {
  const std::string description = prepare("faults", "output deb\nscope somewhere\ncolour blue\n");
  ASSERT_FALSE(description.empty());
  RunResult run = pack(description, dir_ + "/dist");
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(run.err, "tarvik-pack: " + description +
                         ":11: scope: the scope is perMachine or perUser, not \"somewhere\"\n"
                         "tarvik-pack: " + description + ":12: unknown keyword \"colour\"\n"
                         "tarvik-pack: nothing written\n");
  EXPECT_FALSE(fileExists(dir_ + "/dist"));

  writeFile(description, readFile(description).substr(0, readFile(description).find("scope")));
  run = pack(description, dir_ + "/dist", {{"PATH", "/nonexistent"}});
  EXPECT_EQ(run.exitCode, 4u);
  EXPECT_EQ(run.err, "tarvik-pack: dpkg-deb cannot be run (No such file or directory): install "
                     "Debian's package dpkg; nothing written\n");
  EXPECT_EQ(listing(dir_ + "/dist"), "");
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
