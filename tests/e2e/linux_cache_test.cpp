// The startup cache with a real JVM (OpenJDK 17; Java 25 too where one is
// installed, whose cache is the ahead-of-time one): the archive is made by
// one launch and used by the next, in child and in-process mode, and no
// launch is harmed by a damaged archive or by another launch beside it.
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

// The test application as a JAR file: the VM archives classes from JAR
// files only.
const std::string& greeterJar() {
  static const std::string jar = [] {
    const std::string dir = newCaseDir("greeter");
    if (!compileJava("tests/e2e/java/cache/*.java", dir + "/classes"))
      return std::string();
    const std::string path = dir + "/greeter.jar";
    const std::string command = "'" + javaHome() + "/bin/jar' cf '" + path +
                                "' -C '" + dir + "/classes' .";
    return std::system(command.c_str()) == 0 ? path : std::string();
  }();
  return jar;
}

struct Mode {
  const char* name;
  std::string runtimeLine;
};

std::vector<Mode> modes() {
  return {{"child", "javapath " + javaHome() + "/bin/java\n"},
          {"in-process", "javalib " + javaHome() + "/lib/server/libjvm.so\n"}};
}

// Whether a cache file is an archive the VM is named: a dynamic archive, or
// Java 25's ahead-of-time cache.
bool isArchiveName(const std::string& name) {
  for (const char* ending : {".jsa", ".aot"})
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ending) == 0) return true;
  return false;
}

// The lines of a text, sorted: what was said, whatever its order.
std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Everything but the launcher's record of the command line, which names
// the cache's options.
std::string applicationOutput(const std::string& out) {
  const size_t record = out.find("#Command line=\n");
  if (record == std::string::npos) return out;
  const size_t line = out.find('\n', record + 15);
  return out.substr(0, record) + out.substr(line + 1);
}

class LinuxCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(greeterJar().empty()) << "javac failed"; }

  // A launcher "app" in a case folder of its own, with its cache there.
  std::string makeApp(const Mode& mode, bool cache = true) {
    dir = newCaseDir(std::string("cache-") + mode.name);
    return installNativeLauncher(
        dir, "app",
        mode.runtimeLine + "addjar " + greeterJar() + "\nmainclass cache.Greeter\n" +
            (cache ? "startupCache true\n" : "") +
            "vmparam -Xlog:class+load=info:file=" + dir + "/load.txt\n");
  }

  RunResult run(const std::string& exe, std::vector<std::string> args) {
    return runIn(exe, std::move(args), {{"XDG_CACHE_HOME", dir + "/cache"}});
  }

  RunResult runIn(const std::string& exe, std::vector<std::string> args,
                  std::vector<std::pair<std::string, std::string>> env) {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    return runWithoutDesktop(exe, options);
  }

  // The archives in a cache folder.
  static std::vector<std::string> archivesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* handle = opendir(folder.c_str())) {
      while (dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (isArchiveName(name)) names.push_back(name);
      }
      closedir(handle);
    }
    return names;
  }

  // The cache's files; the parts of keys beside the archives only when
  // asked.
  std::vector<std::string> cacheFiles(bool withKeyParts = false) const {
    std::vector<std::string> names;
    if (DIR* folder = opendir((dir + "/cache/tarvik").c_str())) {
      while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        const bool keyParts = name.size() > 4 && name.compare(name.size() - 4, 4, ".key") == 0;
        if (name[0] != '.' && (withKeyParts || !keyParts)) names.push_back(name);
      }
      closedir(folder);
    }
    return names;
  }

  std::string archive() const {
    for (const std::string& name : cacheFiles())
      if (isArchiveName(name)) return dir + "/cache/tarvik/" + name;
    return std::string();
  }

  // Whether the last run loaded the application's class from the archive,
  // as the VM's own class loading log says ("(top)" for a dynamic archive).
  bool classCameFromArchive() const {
    const std::string log = readFile(dir + "/load.txt");
    const size_t line = log.find("cache.Greeter ");
    return line != std::string::npos &&
           log.compare(line + 14, 27, "source: shared objects file") == 0;
  }

  bool crashReportLeft() const {
    return std::system(("ls '" + dir + "' | grep -q hs_err").c_str()) == 0;
  }

  std::string dir;
};

TEST_F(LinuxCacheTest, FirstLaunchMakesTheArchiveAndTheSecondUsesIt) {
  for (const Mode& mode : modes()) {
    const std::string plain = makeApp(mode, false);
    const RunResult without = run(plain, {"-passExitCode", "exit", "0"});
    const std::string exe = makeApp(mode);
    const RunResult first = run(exe, {"-passExitCode", "exit", "0"});
    EXPECT_FALSE(classCameFromArchive()) << mode.name;
    ASSERT_FALSE(archive().empty()) << mode.name << first.err;
    const RunResult second = run(exe, {"-passExitCode", "exit", "0"});
    EXPECT_TRUE(classCameFromArchive()) << mode.name << readFile(dir + "/load.txt");
    for (const RunResult* r : {&first, &second}) {
      EXPECT_EQ(r->exitCode, 0u) << mode.name;
      EXPECT_EQ(applicationOutput(r->out), applicationOutput(without.out)) << mode.name;
      EXPECT_EQ(r->err, without.err) << mode.name;
    }
  }
}

// A VM that cannot start says the same with the cache as without; Java 25's
// training hides the VM's console (standard output), and the launcher
// shows what it said once the VM has ended (a VM in the launcher's process
// that gives up as it starts ends it through its abort hook).
TEST_F(LinuxCacheTest, AVmThatCannotStartSaysTheSame) {
  const char* const options[] = {"-Xss1k", "-Xmx1k"};
  for (const Mode& runtime : modes()) {
    for (const char* option : options) {
      const Mode mode{runtime.name, runtime.runtimeLine + "vmparam " + option + "\n"};
      const RunResult without = run(makeApp(mode, false), {"-passExitCode"});
      const RunResult with = run(makeApp(mode), {"-passExitCode"});
      EXPECT_NE(without.exitCode, 0u) << mode.name << option;
      EXPECT_EQ(with.exitCode, without.exitCode) << mode.name << option;
      EXPECT_EQ(sortedLines(with.err), sortedLines(without.err))
          << mode.name << option << with.err;
      EXPECT_EQ(sortedLines(applicationOutput(with.out)),
                sortedLines(applicationOutput(without.out)))
          << mode.name << option << with.out;
      EXPECT_EQ(cacheFiles(true), std::vector<std::string>()) << mode.name << option;
    }
  }
}

TEST_F(LinuxCacheTest, ATruncatedArchiveStillLaunchesAndIsMadeAgain) {
  for (const Mode& mode : modes()) {
    const std::string exe = makeApp(mode);
    run(exe, {"-passExitCode"});
    const std::string made = archive();
    ASSERT_FALSE(made.empty()) << mode.name;
    ASSERT_EQ(truncate(made.c_str(), 50000), 0);
    const RunResult r = run(exe, {"-passExitCode", "again"});
    EXPECT_EQ(r.exitCode, 0u) << mode.name << r.err;
    EXPECT_EQ(r.err, "greeter stderr line\n") << mode.name;
    EXPECT_FALSE(crashReportLeft()) << mode.name;
    run(exe, {"-passExitCode"});
    EXPECT_TRUE(classCameFromArchive()) << mode.name;
  }
}

// Java 25's cache changed in place, its size kept: by a write, which the
// name's time shows, so the cache is made again; and, in-process, with its
// time put back, which the VM's checksums catch, so the launch runs
// without it (and so does every launch after it, as the launcher cannot
// tell). (A child VM may die on a cache damaged so, as Java 17's may on an
// archive: that costs one launch, and the cache goes.)
TEST_F(LinuxCacheTest, ACacheDamagedInPlaceStillLaunches) {
  if (readFile(javaHome() + "/release").find("JAVA_VERSION=\"25") == std::string::npos)
    GTEST_SKIP() << "Java 25's ahead-of-time cache";
  const struct {
    const char* name;
    bool timeKept;
    bool madeAgain;
  } rows[] = {
      {"written in place", false, true},
      {"written in place, its time put back (in-process)", true, false},
  };
  for (const Mode& mode : modes()) {
    for (const auto& row : rows) {
      if (row.timeKept && mode.name != std::string("in-process")) continue;
      const std::string exe = makeApp(mode);
      run(exe, {"-passExitCode"});
      const std::string made = archive();
      ASSERT_FALSE(made.empty()) << mode.name;
      const std::string damage =
          "cp -p '" + made + "' '" + dir + "/kept' && dd if=/dev/urandom of='" + made +
          "' bs=4096 count=1 seek=64 conv=notrunc 2>/dev/null" +
          // A write a minute on; the seconds of the time are what counts.
          (row.timeKept ? " && touch -r '" + dir + "/kept' '" + made + "'"
                        : " && touch -d @$(($(date +%s) + 60)) '" + made + "'");
      ASSERT_EQ(std::system(damage.c_str()), 0);
      const RunResult r = run(exe, {"-passExitCode", "again"});
      EXPECT_EQ(r.exitCode, 0u) << mode.name << row.name << r.err;
      EXPECT_EQ(r.err, "greeter stderr line\n") << mode.name << row.name;
      EXPECT_FALSE(crashReportLeft()) << mode.name << row.name;
      run(exe, {"-passExitCode"});
      EXPECT_EQ(classCameFromArchive(), row.madeAgain) << mode.name << row.name;
    }
  }
}

// A relative class path entry of an application that runs in a folder of
// its own (workingDir) is the launcher's folder's, handed by its full path:
// the VM records that, and finds it again when it makes and maps the cache.
TEST_F(LinuxCacheTest, ARelativeClassPathInAFolderOfItsOwn) {
  for (const Mode& mode : modes()) {
    dir = newCaseDir(std::string("cache-relative-") + mode.name);
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/work' && cp '" + greeterJar() + "' '" +
                           dir + "/greeter.jar'").c_str()),
              0);
    const std::string exe = installNativeLauncher(
        dir, "app",
        mode.runtimeLine + "workingDir " + dir + "/work\naddjar greeter.jar\n"
            "mainclass cache.Greeter\nstartupCache true\n"
            "vmparam -Xlog:class+load=info:file=" + dir + "/load.txt\n");
    for (int launch = 0; launch < 2; ++launch) {
      const RunResult r = run(exe, {"-passExitCode", "exit", "0"});
      EXPECT_EQ(r.exitCode, 0u) << mode.name << r.err;
      EXPECT_EQ(r.err, "greeter stderr line\n") << mode.name;
    }
    EXPECT_TRUE(classCameFromArchive()) << mode.name;
    for (const std::string& name : cacheFiles())
      EXPECT_EQ(name.find(".failed"), std::string::npos) << mode.name << name;
  }
}

TEST_F(LinuxCacheTest, TwoLaunchesAtOnceBothSucceedAndAThirdUsesTheArchive) {
  for (const Mode& mode : modes()) {
    const std::string exe = makeApp(mode);
    const std::string one = "XDG_CACHE_HOME='" + dir + "/cache' '" + exe +
                            "' -passExitCode >/dev/null 2>&1; echo $? >";
    const std::string both = "(" + one + "'" + dir + "/rc1') & (" + one + "'" +
                             dir + "/rc2') & wait";
    ASSERT_EQ(std::system(both.c_str()), 0);
    EXPECT_EQ(readFile(dir + "/rc1"), "0\n") << mode.name;
    EXPECT_EQ(readFile(dir + "/rc2"), "0\n") << mode.name;
    const RunResult third = run(exe, {"-passExitCode"});
    EXPECT_EQ(third.exitCode, 0u) << mode.name;
    EXPECT_TRUE(classCameFromArchive()) << mode.name;
    EXPECT_EQ(cacheFiles().size(), 1u) << mode.name;
  }
}

// The cache goes only where the user alone may change it; elsewhere the
// launch is a plain one. A relative XDG_CACHE_HOME is ignored.
TEST_F(LinuxCacheTest, TheCacheGoesOnlyWhereTheUserAloneMayWrite) {
  const bool root = geteuid() == 0;
  const struct {
    const char* name;
    const char* prepare;  // shell commands in the case folder
    bool relative;        // XDG_CACHE_HOME=cache, HOME the case folder
    const char* archiveBelow;  // where the archive goes; none when null
  } rows[] = {
      {"relative XDG_CACHE_HOME", "chmod 755 .", true, ".cache/tarvik"},
      {"cache folder of another user",
       "mkdir -p cache/tarvik && chown nobody cache/tarvik", false, nullptr},
      {"XDG_CACHE_HOME others may write", "mkdir -p cache && chmod 777 cache",
       false, nullptr},
      {"the user's own", "mkdir -p cache && chmod 700 cache", false, "cache/tarvik"},
  };
  for (const auto& row : rows) {
    if (!root && std::string(row.prepare).find("chown") != std::string::npos)
      continue;  // only root may give a folder away
    const std::string exe = makeApp(modes()[0]);
    ASSERT_EQ(std::system(("cd '" + dir + "' && " + row.prepare).c_str()), 0) << row.name;
    const std::vector<std::pair<std::string, std::string>> env =
        row.relative ? std::vector<std::pair<std::string, std::string>>{
                           {"XDG_CACHE_HOME", "cache"}, {"HOME", dir}}
                     : std::vector<std::pair<std::string, std::string>>{
                           {"XDG_CACHE_HOME", dir + "/cache"}};
    const RunResult r = runIn(exe, {"-passExitCode", "exit", "0"}, env);
    EXPECT_EQ(r.exitCode, 0u) << row.name << r.err;
    EXPECT_EQ(r.err, "greeter stderr line\n") << row.name;
    const size_t made =
        archivesIn(dir + "/cache/tarvik").size() + archivesIn(dir + "/.cache/tarvik").size();
    EXPECT_EQ(made, row.archiveBelow ? 1u : 0u) << row.name;
    if (row.archiveBelow)
      EXPECT_EQ(archivesIn(dir + "/" + row.archiveBelow).size(), 1u) << row.name;
  }
}

TEST_F(LinuxCacheTest, ClearCacheLeavesAnApplicationOfTheSameNameElsewhere) {
  const std::string shared = newCaseDir("cache-shared");
  const std::vector<std::pair<std::string, std::string>> env = {
      {"XDG_CACHE_HOME", shared}};
  const std::string first = makeApp(modes()[0]);
  const std::string firstDir = dir;
  const std::string second = makeApp(modes()[0]);
  for (const std::string& exe : {first, second})
    ASSERT_EQ(runIn(exe, {"-passExitCode"}, env).exitCode, 0u);
  ASSERT_EQ(archivesIn(shared + "/tarvik").size(), 2u);
  const RunResult clear = runIn(first, {"-clearCache"}, env);
  EXPECT_EQ(clear.exitCode, 0u) << clear.err;
  EXPECT_EQ(archivesIn(shared + "/tarvik").size(), 1u);
  runIn(second, {"-passExitCode"}, env);
  EXPECT_TRUE(classCameFromArchive()) << "the second's archive stayed";
  dir = firstDir;
  runIn(first, {"-passExitCode"}, env);
  EXPECT_FALSE(classCameFromArchive()) << "the first's archive went";
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
