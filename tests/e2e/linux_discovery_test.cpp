// The native launcher finding runtimes where the registry store and the
// installed-runtime view have no match: /usr/lib/jvm (here TARVIK_JVM_DIR),
// ~/.sdkman/candidates/java and JAVA_HOME, with the real OpenJDK 17 and a
// "newer" runtime whose release file claims 25 and whose bin/java starts
// the real one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

class LinuxDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(javaHome() + "/bin/java")) << javaHome();
    dir_ = newCaseDir("discovery");
    classes_ = dir_ + "/classes";
    ASSERT_TRUE(compileJava("tests/e2e/java/child/*.java", classes_));
    // The runtime folder holds the real 17 under its own name.
    makeDirs(dir_ + "/jvm");
    ASSERT_EQ(symlink(javaHome().c_str(), (dir_ + "/jvm/java-17").c_str()), 0);
    newer_ = dir_ + "/home/.sdkman/candidates/java/25.0.1-tem";
    makeDirs(newer_ + "/bin");
    writeFile(newer_ + "/release", "JAVA_VERSION=\"25.0.1\"\n");
    writeFile(newer_ + "/bin/java",
              "#!/bin/sh\necho newer runtime started\nexec " + javaHome() +
                  "/bin/java \"$@\"\n");
    chmod((newer_ + "/bin/java").c_str(), 0755);
  }

  RunResult run(const std::string& config, const std::vector<std::string>& args) {
    const std::string exe = installNativeLauncher(
        dir_, "app", "mainclass child.Probe\naddpath " + classes_ + "\n" + config);
    RunOptions options = RunOptions::of(args);
    options.env = {{"TARVIK_REGISTRY", dir_ + "/no-store"},
                   {"TARVIK_USER_REGISTRY", dir_ + "/no-user-store"},
                   {"TARVIK_JVM_DIR", dir_ + "/jvm"},
                   {"HOME", dir_ + "/home"},
                   {"JAVA_HOME", ""},
                   {"PATH", "/usr/bin:/bin"}};
    return runWithoutDesktop(exe, options);
  }

  std::string dir_;
  std::string classes_;
  std::string newer_;
};

TEST_F(LinuxDiscoveryTest, AtLeast17StartsTheNewerRuntime) {
  RunResult r = run("javaVersion 17+\n", {"-passExitCode"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(r.out, "runtime chosen: 25.0.1 at " + newer_ + " from " + dir_ +
                             "/home/.sdkman/candidates/java\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "newer runtime started\nargc=0\n")) << r.out;
}

TEST_F(LinuxDiscoveryTest, RangesAndFamiliesPickTheirMatch) {
  const struct {
    const char* config;
    std::string java;  // empty: today's failure (the view has 17: code 5)
  } cases[] = {
      {"javaVersion 11..17\n", dir_ + "/jvm/java-17/bin/java"},
      {"javaVersion 25\n", newer_ + "/bin/java"},
      {"", javaHome() + "/bin/java"},  // the installed-runtime view, as before
      {"javaVersion 26+\n", ""},
  };
  for (const auto& c : cases) {
    RunResult r = run(c.config, {"-o"});
    if (c.java.empty()) {
      EXPECT_EQ(r.exitCode, 5u) << c.config;
      EXPECT_TRUE(has(r.err, "Java Runtime Environment Not Found")) << r.err;
      continue;
    }
    EXPECT_EQ(r.exitCode, 0u) << c.config << r.err;
    EXPECT_TRUE(has(readFile(dir_ + "/app.out"), "#Command line=\n\"" + c.java + "\" "))
        << c.config << readFile(dir_ + "/app.out");
  }
  // JAVA_HOME alone, with no folder to look in.
  const std::string exe = dir_ + "/app";
  RunOptions options = RunOptions::of({"-o"});
  options.env = {{"TARVIK_REGISTRY", dir_ + "/no-store"},
                 {"TARVIK_JVM_DIR", dir_ + "/none"},
                 {"HOME", dir_ + "/none"},
                 {"JAVA_HOME", newer_ + "/"},
                 {"PATH", "/bin"}};
  writeFile(dir_ + "/app.config", "mainclass child.Probe\njavaVersion 21+\n");
  RunResult r = runWithoutDesktop(exe, options);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(r.out, "runtime chosen: 25.0.1 at " + newer_ + " from JAVA_HOME\n"))
      << r.out;
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
