#include "cache/StartupCache.h"
#include "launch/ResolvedLaunch.h"

#include <functional>
#include <regex>
#include <set>

#include "Tarvik.h"
#include "cache/ArchiveHeader.h"
#include "cache/CacheKey.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

const char FOLDER[] = "C:\\Users\\u\\AppData\\Local\\Tarvik\\cache";

// A dynamic archive of Java 17's header layout: regions at 4096 and 8192 of
// 4096 bytes each, so the file is whole at 12288 bytes.
std::string archive17(size_t size = 12288) {
  std::string bytes(std::max<size_t>(size, 600), '\0');
  const auto put = [&bytes](size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
      bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
  };
  put(0, 0xf00baba8, 4);
  put(8, 11, 4);
  put(16 + 24, 4096, 8);
  put(16 + 40, 4096, 8);
  put(16 + 72 + 24, 8192, 8);
  put(16 + 72 + 40, 4096, 8);
  bytes.resize(size);
  return bytes;
}

// The size of the ahead-of-time caches of these tests.
constexpr size_t AOT_CACHE_BYTES = 2u << 20;

// The first bytes of Java 25's files: a training's configuration, and the
// ahead-of-time cache made from it (a static archive).
std::string startingWith(uint32_t magic, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((magic >> (8 * i)) & 0xff);
  bytes[8] = 19;
  return bytes;
}
std::string aotConfiguration() { return startingWith(0xcafea07c, 4096); }
std::string aotCache() { return startingWith(0xf00baba2, AOT_CACHE_BYTES); }

// A VM log as -XX:+LogVMOutput writes it, around the console's text.
std::string vmLog(const std::string& tty, bool ended) {
  std::string log =
      "<?xml version='1.0' encoding='UTF-8'?>\n<hotspot_log version='160 1'>\n"
      "<vm_version>\n<name>\nOpenJDK 64-Bit Server VM\n</name>\n</vm_version>\n"
      "<tty>\n<writer thread='7895'/>\n<blob name='Adapter' total_size='4224'>\n"
      "<sect index='1' size='369'/>\n</blob>\n" + tty;
  if (ended)
    log += " AOTConfiguration recorded: x.aotconf\n<statistics type='deoptimization'>\n"
           "Deoptimization traps recorded:\n</statistics>\n<destroy_vm stamp='0.7'/>\n"
           "<tty_done stamp='0.7'/>\n</tty>\n<hotspot_log_done stamp='0.7'/>\n</hotspot_log>\n";
  return log;
}

class StartupCacheTest : public LauncherTest {
 protected:
  StartupCacheTest() { prepare(); }

  // A fresh fixture state for the next row of a table.
  void reset() {
    resetLaunchState();
    os = FakePlatform();
    prepare();
  }

  void prepare() {
    startup().exePath = "C:\\Apps\\tool.exe";
    set.startupCache = true;
    set.javaPath = "C:\\jdk\\bin\\java.exe";
    set.classPath = {"C:\\Apps\\a.jar"};
    os.env["LOCALAPPDATA"] = "C:\\Users\\u\\AppData\\Local";
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"17.0.9\"\n";
    os.files["C:\\jdk\\bin\\server\\classes.jsa"] = "base";
    os.files["C:\\jdk\\bin\\server\\jvm.dll"] = "vm";
    os.files["C:\\Apps\\a.jar"] = "jar";
  }

  std::string options(bool dryRun = false) {
    std::string text;
    for (const std::string& option : startupCacheOptions(*resolveLaunch(), dryRun))
      text += option + " ";
    return text;
  }

  // The options with the folder as F and each key as K.
  std::string shownOptions(bool dryRun = false) {
    return hidden(options(dryRun));
  }

  static std::string hidden(std::string text) {
    text = std::regex_replace(text, std::regex("[0-9a-f]{32}"), "K");
    size_t at;
    while ((at = text.find(FOLDER)) != std::string::npos)
      text.replace(at, sizeof FOLDER - 1, "F");
    return text;
  }

  // The names of the files in the cache folder (keys hidden when asked),
  // but the parts of keys beside the archives (KeyPartsSayWhatChanged).
  std::vector<std::string> cacheFiles(bool hideKeys = true) {
    std::vector<std::string> names;
    for (const auto& file : os.files)
      if (file.first.rfind(FOLDER, 0) == 0 &&
          file.first.compare(file.first.size() - 4, 4, ".key") != 0)
        names.push_back(hideKeys ? hidden(file.first)
                                 : file.first.substr(sizeof FOLDER));
    return names;
  }

  // The key part of the options' archive name.
  std::string keyOfOptions() {
    std::smatch match;
    const std::string text = options(true);
    return std::regex_search(text, match, std::regex("[0-9a-f]{32}"))
               ? match.str()
               : std::string();
  }

  std::string file(const std::string& name) {
    return std::string(FOLDER) + "\\" + name;
  }
};

TEST_F(StartupCacheTest, OptionsByRuntimeVersion) {
  const std::string quiet = "-Xshare:auto -Xlog:cds*=off ";
  const struct {
    const char* release;
    std::string options;
  } cases[] = {
      {"JAVA_VERSION=\"1.8.0_392\"", ""},
      {"JAVA_VERSION=\"11.0.2\"", ""},
      {"JAVA_VERSION=\"17.0.9\"",
       quiet + "-XX:ArchiveClassesAtExit=F\\tool.K.4242-1000000.part "},
      {"JAVA_VERSION=\"21.0.5\"",
       quiet + "-XX:+AutoCreateSharedArchive -XX:SharedArchiveFile=F\\tool.K.jsa "},
      {"JAVA_VERSION=\"24.0.2\"",
       quiet + "-XX:+AutoCreateSharedArchive -XX:SharedArchiveFile=F\\tool.K.jsa "},
      // Java 25's training keeps no method profiles: replayed at each
      // start they cost more than they give there.
      {"JAVA_VERSION=\"25\"",
       "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTMode=record "
       "-XX:AOTConfiguration=F\\tool.K.4242-1000000.aotconf "
       "-XX:+UnlockDiagnosticVMOptions -XX:-AOTRecordTraining "
       "-XX:-DisplayVMOutput -XX:+LogVMOutput "
       "-XX:LogFile=F\\tool.K.4242-1000000.vmlog "},
      {"JAVA_VERSION=\"26.0.1\"",
       "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTMode=record "
       "-XX:AOTConfiguration=F\\tool.K.4242-1000000.aotconf "
       "-XX:+UnlockDiagnosticVMOptions -XX:-DisplayVMOutput -XX:+LogVMOutput "
       "-XX:LogFile=F\\tool.K.4242-1000000.vmlog "},
      {"IMPLEMENTOR=\"unknown\"", ""},
  };
  for (const auto& row : cases) {
    os.files["C:\\jdk\\release"] = row.release;
    EXPECT_EQ(shownOptions(true), row.options) << row.release;
  }
  // The ahead-of-time cache holds the runtime's classes itself: a runtime
  // made without an archive of its own still gets one.
  os.files.erase("C:\\jdk\\bin\\server\\classes.jsa");
  os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
  EXPECT_NE(options(true).find("-XX:AOTMode=record"), std::string::npos);
  // Nothing at all without the directive.
  set.startupCache = false;
  EXPECT_EQ(options(), "");
}

TEST_F(StartupCacheTest, TheTrainingIsMadeIntoTheCacheOnceTheVmHasEnded) {
  const struct {
    const char* name;
    std::string configuration;  // what the training VM recorded, if anything
    std::string log;
    uint32_t makingExitCode;
    std::vector<std::string> after;
    const char* out;  // what the VM would have shown on its console
    bool cleared = false;  // -clearCache removes the training's files meanwhile
    bool filled = false;   // the disk fills as the cache is made
  } cases[] = {
      {"recorded", aotConfiguration(), vmLog("", true), 0, {"F\\tool.K.2097152-1000000.aot"}, ""},
      // What the VM showed reaches standard output once it has ended.
      {"the VM wrote on its console", aotConfiguration(),
       vmLog("Picked up JAVA_TOOL_OPTIONS: -Da=&lt;b&gt;\n", true), 0,
       {"F\\tool.K.2097152-1000000.aot"}, "Picked up JAVA_TOOL_OPTIONS: -Da=<b>\n"},
      {"the VM did not start", "",
       vmLog("\nThe Java thread stack size specified is too small. Specify at least 136k", false),
       0, {}, "\nThe Java thread stack size specified is too small. Specify at least 136k\n"},
      {"the VM could not make the cache", aotConfiguration(), vmLog("", true), 1,
       {"F\\tool.K.failed"}, ""},
      // Its end says nothing of the key: the next launch makes the cache.
      {"the VM's second step ended by Ctrl-C", aotConfiguration(), vmLog("", true), 0xC000013Au,
       {"F\\tool.K.4242-1000000.aotconf", "F\\tool.K.4242-1000000.vmlog"}, ""},
      {"a damaged configuration", std::string(4096, 'x'), vmLog("", true), 0, {}, ""},
      // The VM then says it failed, and exits with 0: no fault of the key's.
      {"-clearCache as the cache is made", aotConfiguration(), vmLog("", true), 0, {}, "", true},
      // A full disk passes: the training stays for a launch with room.
      {"the disk filled as the cache was made", aotConfiguration(), vmLog("", true), 1,
       {"F\\tool.K.4242-1000000.aotconf", "F\\tool.K.4242-1000000.vmlog"}, "", false, true},
  };
  for (const auto& row : cases) {
    reset();
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
    set.workingDir = "C:\\Work";
    options();
    const std::string base = startup().pendingTraining;
    ASSERT_FALSE(base.empty()) << row.name;
    if (!row.configuration.empty()) os.files[base + ".aotconf"] = row.configuration;
    os.files[base + ".vmlog"] = row.log;
    // What the VM's second step writes, when it is run.
    FakeChildScript making;
    making.writes[base + ".part"] = aotCache();
    making.exitCode = row.makingExitCode;
    if (row.cleared)
      making.whileRunning = [this, base] {
        for (const char* ending : {".aotconf", ".part", ".vmlog"}) os.files.erase(base + ending);
      };
    if (row.filled) making.whileRunning = [this] { os.freeBytes = 1 << 20; };
    os.children.push_back(making);
    const size_t started = os.started.size();
    finishStartupCache();
    EXPECT_EQ(cacheFiles(), row.after) << row.name;
    EXPECT_EQ(os.out, row.out) << row.name;
    const bool made = row.name == std::string("recorded");
    if (made) {
      ASSERT_EQ(os.started.size(), started + 1);
      const ChildStart& step = os.started.back();
      EXPECT_TRUE(step.discardOutput);
      // Where the training's VM ran: it reads the recorded class path's
      // relative entries from there.
      EXPECT_EQ(step.workingDir, std::optional<std::string>("C:\\Work"));
      EXPECT_EQ(hidden(step.commandLine),
                "C:\\jdk\\bin\\java.exe -XX:AOTMode=create "
                "-XX:AOTConfiguration=F\\tool.K.4242-1000000.aotconf "
                "-XX:AOTCache=F\\tool.K.4242-1000000.part -XX:+VerifySharedSpaces "
                "-Xlog:cds*=off -Xlog:aot*=off "
                "-classpath C:\\Apps\\a.jar");
      // The next launch starts from it.
      EXPECT_EQ(shownOptions(), "-Xlog:cds*=off -Xlog:aot*=off "
                                "-XX:AOTCache=F\\tool.K.2097152-1000000.aot ");
      // In-process, the VM checks the cache as it maps it: a VM that died
      // on it would take the launcher along.
      set.javaLib = "C:\\jdk\\bin\\server\\jvm.dll";
      EXPECT_EQ(shownOptions(), "-Xlog:cds*=off -Xlog:aot*=off -XX:+VerifySharedSpaces "
                                "-XX:AOTCache=F\\tool.K.2097152-1000000.aot ");
    }
  }
}

TEST_F(StartupCacheTest, OfTwoTrainingsAtOnceTheFirstCacheInPlaceStays) {
  os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
  options();
  const std::string base = startup().pendingTraining;
  os.files[base + ".aotconf"] = aotConfiguration();
  os.files[base + ".vmlog"] = vmLog("", true);
  // Another launch's cache moves into place while this one's is made.
  const std::string other = file("tool." + keyOfOptions() + ".2097152-999999.aot");
  FakeChildScript making;
  making.writes[base + ".part"] = aotCache();
  making.whileRunning = [this, other] {
    os.files[other] = aotCache();
    os.fileTimes[other] = 999999;
  };
  os.children.push_back(making);
  finishStartupCache();
  EXPECT_EQ(cacheFiles(), std::vector<std::string>{"F\\tool.K.2097152-999999.aot"});
}

TEST_F(StartupCacheTest, AnAheadOfTimeCacheChangedSinceItWasMadeIsMadeAgain) {
  const struct {
    const char* name;
    std::string bytes;
    int64_t modified;
    bool used;
  } cases[] = {
      {"as made", aotCache(), 1000000, true},
      {"cut short", aotCache().substr(0, 5000), 1000000, false},
      {"written in place, its size kept", aotCache(), 1000060, false},
      {"a configuration, not a cache", aotConfiguration() + std::string(AOT_CACHE_BYTES - 4096, 'x'),
       1000000, false},
  };
  for (const auto& row : cases) {
    reset();
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
    const std::string cache = file("tool." + keyOfOptions() + ".2097152-1000000.aot");
    os.files[cache] = row.bytes;
    os.fileTimes[cache] = row.modified;
    const std::string shown = shownOptions();
    EXPECT_EQ(shown.find("-XX:AOTCache=") != std::string::npos, row.used) << row.name;
    EXPECT_EQ(shown.find("-XX:AOTMode=record") != std::string::npos, !row.used) << row.name;
  }
}

TEST_F(StartupCacheTest, ALaterLaunchMakesTheCacheOfATrainingWhoseVmHasEnded) {
  const struct {
    const char* name;
    bool logEnded;
    const char* options;  // the start of this launch's options
  } cases[] = {
      {"ended", true, "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTCache=F\\tool.K.2097152-1000000.aot"},
      {"still running", false, "-Xlog:cds*=off -Xlog:aot*=off -XX:AOTMode=record"},
  };
  for (const auto& row : cases) {
    reset();
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
    const std::string base = file("tool." + keyOfOptions() + ".7-7");
    os.files[base + ".aotconf"] = aotConfiguration();
    os.files[base + ".vmlog"] = vmLog("", row.logEnded);
    // What the VM's second step writes.
    FakeChildScript making;
    making.writes[base + ".part"] = aotCache();
    if (row.logEnded) os.children.push_back(making);
    EXPECT_EQ(shownOptions().rfind(row.options, 0), 0u) << row.name << shownOptions();
    EXPECT_EQ(os.files.count(base + ".aotconf"), row.logEnded ? 0u : 1u) << row.name;
  }
}

// The VM's second step reads the class path as the training's VM read it:
// java.exe takes its command line in the system's code page, and a class
// path too long for one command line goes in an argument file.
TEST_F(StartupCacheTest, TheSecondStepGetsTheClassPathTheTrainingsVmRead) {
  std::vector<std::string> longClassPath;
  for (int i = 0; i < 300; ++i)
    longClassPath.push_back("C:\\Apps\\lib\\" + std::string(100, 'a') + std::to_string(i) +
                            ".jar");
  const struct {
    const char* name;
    std::vector<std::string> classPath;
    std::map<std::string, std::string> shortPaths;
    std::string command;  // the step's command line, its class path or argument file
  } cases[] = {
      {"a folder beyond the code page", {"C:\\Apps\\\xe6\x97\xa5\xe6\x9c\xac\\a.jar"},
       {{"C:\\Apps\\\xe6\x97\xa5\xe6\x9c\xac\\a.jar", "C:\\Apps\\8F2A~1\\a.jar"}},
       "-classpath C:\\Apps\\8F2A~1\\a.jar"},
      // Java's launcher expands it as it did for the training.
      {"a folder's jar files", {"C:\\Apps\\lib\\*"}, {}, "-classpath C:\\Apps\\lib\\*"},
      {"longer than a command line", longClassPath, {},
       "C:\\jdk\\bin\\java.exe @C:\\Temp\\tool-1111222233334444.args"},
  };
  for (const auto& row : cases) {
    reset();
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
    set.classPath = row.classPath;
    for (const std::string& entry : row.classPath)
      os.files[entry.back() == '*' ? "C:\\Apps\\lib\\b.jar" : entry] = "jar";
    os.shortPaths = row.shortPaths;
    os.randomNumbers = {0x1111222233334444};
    options();
    const std::string base = startup().pendingTraining;
    os.files[base + ".aotconf"] = aotConfiguration();
    os.files[base + ".vmlog"] = vmLog("", true);
    FakeChildScript making;
    making.writes[base + ".part"] = aotCache();
    os.children.push_back(making);
    finishStartupCache();
    ASSERT_FALSE(os.started.empty()) << row.name;
    const std::string& line = os.started.back().commandLine;
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), row.command.size())),
              row.command) << row.name;
    EXPECT_EQ(cacheFiles(), std::vector<std::string>{"F\\tool.K.2097152-1000000.aot"})
        << row.name;
    EXPECT_EQ(os.files.count("C:\\Temp\\tool-1111222233334444.args"), 0u) << row.name;
  }
}

// A training's configuration is made into a cache once, and a cache that
// another launch moved into place is no failure of the VM.
TEST_F(StartupCacheTest, ATrainingIsMadeIntoACacheOnce) {
  const struct {
    const char* name;
    bool stepStillRuns;       // the first launch's step outlasts its wait
    bool movedByAnother;      // another launch renamed the step's file
    size_t steps;             // steps started by both launches
    std::vector<std::string> after;
  } cases[] = {
      {"a launch while the step runs", true, false, 1,
       {"F\\tool.K.4242-1000000.aotconf", "F\\tool.K.4242-1000000.part",
        "F\\tool.K.4242-1000000.vmlog"}},
      {"a launch moved the cache into place as the step ended", false, true, 1,
       {"F\\tool.K.2097152-1000000.aot"}},
  };
  for (const auto& row : cases) {
    reset();
    os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
    // Unchanged while both launches run.
    for (const char* path : {"C:\\jdk\\release", "C:\\Apps\\a.jar"}) os.fileTimes[path] = 1;
    const std::string key = keyOfOptions();
    options();
    const std::string base = startup().pendingTraining;
    os.files[base + ".aotconf"] = aotConfiguration();
    os.files[base + ".vmlog"] = vmLog("", true);
    FakeChildScript making;
    making.runsForever = row.stepStillRuns;
    // The part, unwhole while the VM writes it; or, moved by another
    // launch, the cache in place.
    if (row.movedByAnother)
      making.writes[file("tool." + key + ".2097152-1000000.aot")] = aotCache();
    else
      making.writes[base + ".part"] = std::string(100, '\0');
    os.children.push_back(making);
    finishStartupCache();
    if (row.stepStillRuns) {
      // The second launch, another process, sees the training ended.
      os.pid = 5151;
      const std::string second = shownOptions();
      EXPECT_NE(second.find("-XX:AOTMode=record"), std::string::npos) << row.name;
      startup().pendingTraining.clear();
    }
    EXPECT_EQ(os.started.size(), row.steps) << row.name;
    std::vector<std::string> files = cacheFiles();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const std::string& f) { return f.find(".5151-") != std::string::npos; }),
                files.end());
    EXPECT_EQ(files, row.after) << row.name;
  }
}

TEST_F(StartupCacheTest, AWholeArchiveIsUsedAndAnyOtherMadeAgain) {
  const std::string key = keyOfOptions();
  const struct {
    const char* name;
    std::string bytes;
    const char* options;
  } cases[] = {
      {"whole", archive17(), "-XX:SharedArchiveFile=F\\tool.K.12288.jsa"},
      {"cut short after it was named", archive17().substr(0, 9000),
       "-XX:ArchiveClassesAtExit="},
      {"header of another kind", std::string(12288, 'x'),
       "-XX:ArchiveClassesAtExit="},
  };
  for (const auto& row : cases) {
    reset();
    os.files[file("tool." + key + ".12288.jsa")] = row.bytes;
    EXPECT_NE(shownOptions().find(row.options), std::string::npos) << row.name;
  }
}

TEST_F(StartupCacheTest, WhatChangesTheKey) {
  const struct {
    const char* change;
    std::function<void(FakePlatform&, LaunchSettings&)> apply;
    bool newArchive;
  } cases[] = {
      {"nothing", [](FakePlatform&, LaunchSettings&) {}, false},
      {"a jar's size", [](FakePlatform& os, LaunchSettings&) { os.files["C:\\Apps\\a.jar"] = "jar2"; }, true},
      {"a jar's time", [](FakePlatform& os, LaunchSettings&) { os.fileTimes["C:\\Apps\\a.jar"] = 5; }, true},
      {"a jar more", [](FakePlatform&, LaunchSettings& set) { set.classPath.push_back("C:\\Apps\\b.jar"); }, true},
      {"the release file", [](FakePlatform& os, LaunchSettings&) { os.files["C:\\jdk\\release"] += "X=1\n"; }, true},
      {"a module option", [](FakePlatform&, LaunchSettings&) { addVmParam("--add-modules=java.sql"); }, true},
      {"compressed pointers", [](FakePlatform&, LaunchSettings&) { addVmParam("-XX:-UseCompressedOops"); }, true},
      {"a property", [](FakePlatform&, LaunchSettings&) { addVmParam("-Dmode=1"); }, false},
      // The VM would start without an archive made with other settings of
      // its heap, silently.
      {"the heap size", [](FakePlatform&, LaunchSettings&) { addVmParam("-Xmx2g"); }, true},
      {"the garbage collector", [](FakePlatform&, LaunchSettings&) { addVmParam("-XX:+UseSerialGC"); }, true},
      {"the garbage collector in JAVA_TOOL_OPTIONS", [](FakePlatform& os, LaunchSettings&) { os.env["JAVA_TOOL_OPTIONS"] = "-XX:+UseParallelGC"; }, true},
      {"the heap's share of memory in JDK_JAVA_OPTIONS", [](FakePlatform& os, LaunchSettings&) { os.env["JDK_JAVA_OPTIONS"] = "-XX:MaxRAMPercentage=50"; }, true},
      {"another build of the same version (its VM library, not its release file)",
       [](FakePlatform& os, LaunchSettings&) { os.files["C:\\jdk\\bin\\server\\jvm.dll"] = "vm2"; }, true},
      // A cache folder copied from a machine of another processor: the VM
      // would start without the archive, silently.
      {"another processor", [](FakePlatform& os, LaunchSettings&) { os.processor = "AuthenticAMD 00a20f12 7ef8320b 178bfbff 219c97a9 0040068c 00000010"; }, true},
      {"the main class", [](FakePlatform&, LaunchSettings& set) { set.mainClass = "b.Main"; }, false},
      {"the arguments", [](FakePlatform&, LaunchSettings& set) { set.appArguments = {"x"}; }, false},
      {"the launcher's folder (another application of that name)",
       [](FakePlatform&, LaunchSettings&) { startup().launcherDir = "D:\\Other"; }, true},
  };
  for (const auto& row : cases) {
    const std::string before = keyOfOptions();
    row.apply(os, set);
    EXPECT_EQ(keyOfOptions() != before, row.newArchive) << row.change;
    reset();
  }
}

// A launch that finds the archive of its runtime under another key says in
// the -log file which part of the key changed, from the parts kept beside
// the archive.
TEST_F(StartupCacheTest, KeyPartsSayWhatChanged) {
  const std::string heap = "the heap's or garbage collector's options changed";
  const std::string processor = "the processor changed (a cache from another machine)";
  const struct {
    const char* change;
    std::function<void(FakePlatform&, LaunchSettings&)> apply;
    std::string line;
    bool logging;
  } cases[] = {
      {"nothing", [](FakePlatform&, LaunchSettings&) {}, "", true},
      {"the heap size", [](FakePlatform&, LaunchSettings&) { addVmParam("-Xmx2g"); }, heap, true},
      {"the garbage collector", [](FakePlatform&, LaunchSettings&) { addVmParam("-XX:+UseZGC"); }, heap, true},
      {"the garbage collector in JAVA_TOOL_OPTIONS",
       [](FakePlatform& os, LaunchSettings&) { os.env["JAVA_TOOL_OPTIONS"] = "-XX:+UseParallelGC"; },
       "the options of JAVA_TOOL_OPTIONS, JDK_JAVA_OPTIONS or _JAVA_OPTIONS changed", true},
      {"another processor", [](FakePlatform& os, LaunchSettings&) { os.processor = "AuthenticAMD"; }, processor, true},
      {"another build of the same version",
       [](FakePlatform& os, LaunchSettings&) { os.files["C:\\jdk\\bin\\server\\jvm.dll"] = "vm2"; },
       "the runtime's VM library changed (another build)", true},
      {"the release file", [](FakePlatform& os, LaunchSettings&) { os.files["C:\\jdk\\release"] += "X=1\n"; },
       "the runtime's release changed", true},
      {"a jar", [](FakePlatform& os, LaunchSettings&) { os.files["C:\\Apps\\a.jar"] = "jar2"; }, "the class path changed", true},
      {"a module option", [](FakePlatform&, LaunchSettings&) { addVmParam("--add-modules=java.sql"); },
       "the VM options that change class loading changed", true},
      {"two parts",
       [](FakePlatform& os, LaunchSettings&) {
         addVmParam("-Xmx2g");
         os.processor = "AuthenticAMD";
       },
       processor + "; " + heap, true},
      {"the heap size, no -log", [](FakePlatform&, LaunchSettings&) { addVmParam("-Xmx2g"); }, "", false},
  };
  // A launch that made the archive of its key; the key.
  const auto archived = [this](bool logging) {
    reset();
    opt.logToFile = logging;
    options();
    const std::string key = keyOfOptions();
    os.files[file("tool." + key + ".12288.jsa")] = archive17();
    return key;
  };
  for (const auto& row : cases) {
    archived(row.logging);
    row.apply(os, set);
    os.err.clear();
    options();
    EXPECT_EQ(os.err, row.line.empty() ? "" : "Startup cache: made anew: " + row.line + "\n")
        << row.change;
  }
  // Parts not known: an archive made before they were kept, or a file of
  // another kind under their name.
  for (const char* parts : {"", "gone", "runtime\nheap 12\0\xff"}) {
    const std::string key = archived(true);
    if (std::string(parts) == "gone")
      os.files.erase(file("tool." + key + ".key"));
    else
      os.files[file("tool." + key + ".key")] = parts;
    addVmParam("-Xmx2g");
    os.err.clear();
    options();
    EXPECT_EQ(os.err, "Startup cache: made anew: the key changed\n") << parts;
  }
}

TEST_F(StartupCacheTest, TheCacheStandsAside) {
  const struct {
    const char* why;
    std::function<void(FakePlatform&, LaunchSettings&)> apply;
  } cases[] = {
      {"the user's own sharing option", [](FakePlatform&, LaunchSettings&) { addVmParam("-Xshare:off"); }},
      {"the user's own archive", [](FakePlatform&, LaunchSettings&) { addVmParam("-XX:SharedArchiveFile=x.jsa"); }},
      {"a loader of the user's", [](FakePlatform&, LaunchSettings&) { addVmParam("-Djava.system.class.loader=a.L"); }},
      {"a folder on the class path", [](FakePlatform& os, LaunchSettings& set) { os.directories.insert("C:\\Apps\\classes"); set.classPath.push_back("C:\\Apps\\classes"); }},
      {"a runtime without its base archive", [](FakePlatform& os, LaunchSettings&) { os.files.erase("C:\\jdk\\bin\\server\\classes.jsa"); }},
      {"no LOCALAPPDATA", [](FakePlatform& os, LaunchSettings&) { os.env.erase("LOCALAPPDATA"); }},
      {"an option that writes on the VM's console, which a training hides",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         addVmParam("-XX:+PrintFlagsFinal");
       }},
      // The VM reads two variables of options, Java's launcher a third.
      {"a sharing option in JAVA_TOOL_OPTIONS, which the VM refuses beside a training",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.env["JAVA_TOOL_OPTIONS"] = "-Dx=1 -Xshare:off";
       }},
      {"a sharing option in _JAVA_OPTIONS", [](FakePlatform& os, LaunchSettings&) { os.env["_JAVA_OPTIONS"] = "-Xshare:off"; }},
      {"an option in JDK_JAVA_OPTIONS that writes on the VM's console",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.env["JDK_JAVA_OPTIONS"] = "'-XX:+PrintFlagsFinal'";
       }},
      // An argument file or options file the VM reads holds a sharing
      // option: the VM refuses it beside a training as it does written out.
      {"a sharing option in an argument file named in JDK_JAVA_OPTIONS",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.files["C:\\Apps\\opts.txt"] = "-Xshare:off\n";
         os.env["JDK_JAVA_OPTIONS"] = "@C:\\Apps\\opts.txt";
       }},
      {"a sharing option in a VM options file named in JAVA_TOOL_OPTIONS",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.files["C:\\Apps\\opts.txt"] = "-Xshare:off\n";
         os.env["JAVA_TOOL_OPTIONS"] = "-XX:VMOptionsFile=C:\\Apps\\opts.txt";
       }},
      {"a sharing option in an argument file of the configuration (Java 17)",
       [](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\Apps\\opts.txt"] = "-Xshare:off\n";
         addVmParam("@C:\\Apps\\opts.txt");
       }},
      {"the VM could not make the cache before",
       [this](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.files[file("tool." + keyOfOptions() + ".failed")] = "";
       }},
  };
  for (const auto& row : cases) {
    reset();
    row.apply(os, set);
    EXPECT_EQ(options(), "") << row.why;
  }
}

TEST_F(StartupCacheTest, AReadOnlyOrFullFolderIsANormalStartWithOneLogLine) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&, LaunchSettings&)> apply;
    const char* line;
  } cases[] = {
      {"read-only", [](FakePlatform& os, LaunchSettings&) { os.readOnlyFolders.insert(FOLDER); },
       "Startup cache not used: cannot create a file in C:\\Users\\u\\AppData\\Local\\Tarvik\\cache\n"},
      {"full", [](FakePlatform& os, LaunchSettings&) { os.freeBytes = 10 << 20; },
       "Startup cache not used: less than 256 MiB free in C:\\Users\\u\\AppData\\Local\\Tarvik\\cache\n"},
      {"cannot be made", [](FakePlatform& os, LaunchSettings&) { os.mkdirErrors["C:\\Users\\u\\AppData\\Local\\Tarvik"] = 13; },
       "Startup cache not used: cannot create the folder C:\\Users\\u\\AppData\\Local\\Tarvik\\cache\n"},
      // A name the folder takes for the training's log but not for its
      // configuration, which is longer (a long application name): every
      // launch would train for nothing.
      {"the training's configuration cannot be made",
       [this](FakePlatform& os, LaunchSettings&) {
         os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"25.0.3\"";
         os.unwritable.insert(file("tool." + keyOfOptions() + ".4242-1000000.aotconf"));
       },
       "Startup cache not used: cannot create a file in C:\\Users\\u\\AppData\\Local\\Tarvik\\cache\n"},
      // Options of the environment are not the configuration's choice.
      {"a sharing option in JAVA_TOOL_OPTIONS",
       [](FakePlatform& os, LaunchSettings&) { os.env["JAVA_TOOL_OPTIONS"] = "-Xshare:off"; },
       "Startup cache not used: the option -Xshare:off of the environment's Java options\n"},
  };
  for (const auto& row : cases) {
    for (bool logging : {false, true}) {
      reset();
      row.apply(os, set);
      opt.logToFile = logging;
      EXPECT_EQ(options(), "") << row.name;
      EXPECT_EQ(os.err, logging ? row.line : "") << row.name;
      EXPECT_EQ(cacheFiles(), std::vector<std::string>()) << row.name;
    }
  }
}

TEST_F(StartupCacheTest, StaleFilesGoAndTheCacheStaysBounded) {
  const std::string key = keyOfOptions();
  const std::string runtime = key.substr(0, 16);
  const std::string other = "00000000000000000000000000000000";
  // This launcher's part, then another runtime's.
  const std::string launcher = runtime.substr(0, 8);
  os.files[file("tool." + runtime + other.substr(16) + ".12288.jsa")] = archive17();
  for (int i = 1; i <= 3; ++i) {
    const std::string name = "tool." + launcher + std::string(7, '1') +
                             std::to_string(i) + other.substr(16) + ".jsa";
    os.files[file(name)] = archive17();
    os.fileTimes[file(name)] = os.clock - i;
  }
  os.files[file("tool." + other + ".1-1.part")] = "";
  os.fileTimes[file("tool." + other + ".1-1.part")] = os.clock - 601;
  os.files[file("tool." + other + ".2-2.part")] = "";
  os.files[file("tool." + key + ".3-3.part")] = archive17();
  os.files[file("other." + other + ".jsa")] = archive17();
  os.files[file("tool.notours.jsa")] = "x";

  EXPECT_EQ(shownOptions(), "-Xshare:auto -Xlog:cds*=off "
                            "-XX:SharedArchiveFile=F\\tool.K.12288.jsa ");
  const std::string others = other.substr(16) + ".jsa";
  EXPECT_EQ(cacheFiles(false),
            (std::vector<std::string>{
                "other." + other + ".jsa",                    // another application
                "tool." + other + ".2-2.part",                // still being written
                "tool." + launcher + std::string(7, '1') + "1" + others,  // the newest two
                "tool." + launcher + std::string(7, '1') + "2" + others,  // of other runtimes
                "tool." + key + ".12288.jsa",                 // moved into place
                "tool.notours.jsa",
            }));
}

TEST_F(StartupCacheTest, EachFolderKeepsTheArchiveOfItsApplicationOfTheSameName) {
  for (int launch = 0; launch < 8; ++launch) {
    const std::string folder = std::string("C:\\") + "ABCD"[launch % 4];
    startup().exePath = folder + "\\tool.exe";
    startup().launcherDir = folder;
    if (launch >= 4) {  // each one's archive, made by its first launch
      EXPECT_NE(options().find("-XX:SharedArchiveFile="), std::string::npos) << folder;
      continue;
    }
    options();
    os.files[startup().pendingArchive] = archive17();
    finishStartupCache();
  }
  EXPECT_EQ(cacheFiles().size(), 4u);
}

TEST_F(StartupCacheTest, TheArchiveWrittenAtExitMovesIntoPlaceWhenWhole) {
  const struct {
    const char* name;
    std::string written;
    std::vector<std::string> after;
  } cases[] = {
      {"whole", archive17(), {"F\\tool.K.12288.jsa"}},
      {"not written", "", {}},
      {"cut short", archive17().substr(0, 5000), {}},
  };
  for (const auto& row : cases) {
    reset();
    const std::string line = options();
    const std::string partial = startup().pendingArchive;
    ASSERT_NE(line.find("-XX:ArchiveClassesAtExit=" + partial), std::string::npos);
    os.files[partial] = row.written;
    finishStartupCache();
    EXPECT_EQ(cacheFiles(), row.after) << row.name;
  }
}

TEST_F(StartupCacheTest, AnArchiveTheVmCrashedOnGoes) {
  const struct {
    uint32_t exitCode;
    bool posix;
    bool kept;
  } rows[] = {
      {0, false, true},           {1, false, true},
      {0xC0000005u, false, false},  // an access violation
      {0xC00000FDu, false, false},  // a stack overflow
      {0xC0000409u, false, false},  // a stack buffer overrun
      {0x80000002u, false, false},  // datatype misalignment
      {0xFFFFFFFFu, false, true},   // System.exit(-1)
      {0xC000013Au, false, true},   // ended by Ctrl-C
      {0xC0000142u, false, true},   // a DLL failed to start: no fault
      {134, true, false},         // SIGABRT, as after the JVM's fatal error
      {139, true, false},         // SIGSEGV
      {143, true, true},          // SIGTERM: ended, not crashed
      {130, true, true},
  };
  for (const auto& row : rows) {
    reset();
    if (row.posix) os.conv.crashExitCodes = PlatformConventions::posix().crashExitCodes;
    const std::string archive = file("tool." + keyOfOptions() + ".12288.jsa");
    os.files[archive] = archive17();
    ASSERT_NE(options().find(archive), std::string::npos);
    dropArchiveAfterCrash(row.exitCode);
    EXPECT_EQ(os.files.count(archive), row.kept ? 1u : 0u) << row.exitCode;
  }
}

TEST_F(StartupCacheTest, DryRunChangesNothingOnDisk) {
  os.files[file("tool." + std::string(32, '0') + ".jsa")] = "stale";
  options(true);
  EXPECT_EQ(os.directories.count(FOLDER), 0u);
  EXPECT_EQ(cacheFiles().size(), 1u);
  EXPECT_EQ(startup().pendingArchive, "");
}

TEST_F(StartupCacheTest, ClearCacheRemovesThisLaunchersFilesOnly) {
  // Keys of this launcher begin with its part; "00000000" is another
  // launcher of the same name in another folder.
  startup().launcherDir = "C:\\Apps";
  const std::string mine = launcherKeyPart();
  const std::string other = "00000000";
  // -clearCache finds the launcher's folder itself, in a process of its own.
  startup().launcherDir.clear();
  const struct {
    std::string name;
    bool removed;
    std::set<std::string>* mark;
  } rows[] = {
      {"tool." + mine + std::string(24, '0') + ".1234.jsa", true, nullptr},
      {"tool." + mine + std::string(24, '1') + ".jsa", true, nullptr},
      {"tool." + mine + std::string(24, '2') + ".9-9.part", true, nullptr},
      {"tool." + other + std::string(24, '0') + ".jsa", false, nullptr},
      {"toolbox." + mine + std::string(24, '0') + ".jsa", false, nullptr},
      {"tool.readme.txt", false, nullptr},
      {"tool." + mine + std::string(24, '3') + ".jsa", false, &os.links},
      {"tool." + mine + std::string(24, '4') + ".jsa", false, &os.foreignOwned},
  };
  for (const auto& row : rows) {
    os.files[file(row.name)] = "x";
    if (row.mark) row.mark->insert(file(row.name));
  }
  os.directories = {"C:\\Users\\u\\AppData\\Local",
                    "C:\\Users\\u\\AppData\\Local\\Tarvik", FOLDER};
  EXPECT_EQ(exitCodeOf([] { runLauncher({"C:\\Apps\\tool.exe", "-clearCache"}); }),
            CLEAR_CACHE_FAILED_EXIT_CODE);
  for (const auto& row : rows)
    EXPECT_EQ(os.files.count(file(row.name)), row.removed ? 0u : 1u) << row.name;
  EXPECT_TRUE(os.started.empty());
  EXPECT_EQ(std::regex_replace(os.out + os.err, std::regex("[0-9a-f]{32}"), "K"),
            "Not removed: " + std::string(FOLDER) + "\\tool.K.jsa is a link\n"
            "Not removed: " + std::string(FOLDER) +
                "\\tool.K.jsa belongs to another user\n");
}

TEST_F(StartupCacheTest, OnlyWhatIsTheUsersAloneIsUsed) {
  const std::string local = "C:\\Users\\u\\AppData\\Local";
  const std::string tarvik = local + "\\Tarvik";
  // The archives' names, by the key of each row's runtime.
  const auto sizedName = [this] { return file("tool." + keyOfOptions() + ".12288.jsa"); };
  const auto keptName = [this] { return file("tool." + keyOfOptions() + ".jsa"); };
  const std::string make = "-XX:ArchiveClassesAtExit=F\\tool.K.4242-1000000.part";
  const struct {
    const char* name;
    std::string path;
    std::set<std::string> FakePlatform::*mark;
    const char* release;
    std::string shown;  // the option that names the archive, or the log line
  } rows[] = {
      {"the user's own", FOLDER, nullptr, "17", "-XX:SharedArchiveFile=F\\tool.K.12288.jsa"},
      {"folder of another user", FOLDER, &FakePlatform::foreignOwned, "17",
       "not used: F belongs to another user"},
      {"folder others may write", FOLDER, &FakePlatform::othersMayWrite, "17",
       "not used: others may write to F"},
      {"folder a link", FOLDER, &FakePlatform::links, "17", "not used: F is a link"},
      {"LOCALAPPDATA of another user", local, &FakePlatform::foreignOwned, "17",
       "belongs to another user"},
      {"LOCALAPPDATA a link", local, &FakePlatform::links, "17",
       "-XX:SharedArchiveFile=F\\tool.K.12288.jsa"},
      {"the folder between, others may write", tarvik,
       &FakePlatform::othersMayWrite, "17", "others may write to"},
      {"archive of another user", "sized", &FakePlatform::foreignOwned, "17", make},
      {"archive a link", "sized", &FakePlatform::links, "17", make},
      {"kept archive a link", "kept", &FakePlatform::links, "21",
       "not used: F\\tool.K.jsa is a link"},
      {"kept archive others may write", "kept", &FakePlatform::othersMayWrite, "21",
       "not used: others may write to F\\tool.K.jsa"},
      // The VM would write its log through the link.
      {"the training's log a link", "vmlog", &FakePlatform::links, "25",
       "not used: cannot create a file in F"},
  };
  for (const auto& row : rows) {
    reset();
    opt.logToFile = true;
    os.files["C:\\jdk\\release"] = std::string("JAVA_VERSION=\"") + row.release + "\"\n";
    os.directories = {local, tarvik, FOLDER};
    const std::string sized = sizedName(), kept = keptName();
    os.files[sized] = archive17();
    os.files[kept] = archive17();
    const std::string log = file("tool." + keyOfOptions() + ".4242-1000000.vmlog");
    if (row.path == "vmlog") os.files[log] = "";
    const std::string path = row.path == "sized" ? sized
                             : row.path == "kept" ? kept
                             : row.path == "vmlog" ? log
                                                   : row.path;
    if (row.mark) (os.*row.mark).insert(path);
    std::string shown = shownOptions();
    shown += hidden(os.err);
    EXPECT_NE(shown.find(row.shown), std::string::npos) << row.name << ": " << shown;
  }
  // The folders the launcher makes are the user's alone.
  reset();
  options();
  EXPECT_EQ(os.privateDirectories.count(FOLDER), 1u);
  EXPECT_EQ(os.privateDirectories.count(tarvik), 1u);
}

TEST_F(StartupCacheTest, APartialFileOfAnotherUserIsNotMovedIntoPlace) {
  const std::string line = options();
  const std::string partial = startup().pendingArchive;
  os.files[partial] = archive17();
  os.foreignOwned.insert(partial);
  finishStartupCache();
  EXPECT_EQ(cacheFiles(), std::vector<std::string>{"F\\tool.K.4242-1000000.part"});
}

TEST_F(StartupCacheTest, TheCacheFolderIsBelowAnAbsolutePlaceOnly) {
  os.conv = PlatformConventions::posix();
  startup().exePath = "/apps/tool";
  set.javaPath = "/jdk/bin/java";
  set.classPath = {"/apps/a.jar"};
  os.files["/jdk/release"] = "JAVA_VERSION=\"17.0.9\"\n";
  os.files["/jdk/lib/server/classes.jsa"] = "base";
  os.files["/apps/a.jar"] = "jar";
  const struct {
    const char* xdg;  // XDG_CACHE_HOME, unset when null
    const char* home;
    const char* folder;  // where the archive goes; none when null
  } rows[] = {
      {"/x/cache", "/home/u", "/x/cache/tarvik/"},
      {"x/cache", "/home/u", "/home/u/.cache/tarvik/"},
      {"./cache", "/home/u", "/home/u/.cache/tarvik/"},
      {"", "/home/u", "/home/u/.cache/tarvik/"},
      {nullptr, "/home/u/", "/home/u/.cache/tarvik/"},
      {"x/cache", "home/u", nullptr},
  };
  for (const auto& row : rows) {
    os.env.clear();
    if (row.xdg) os.env["XDG_CACHE_HOME"] = row.xdg;
    os.env["HOME"] = row.home;
    std::string shown = " ";
    for (const std::string& option : startupCacheOptions(*resolveLaunch(), true))
      shown += option + " ";
    const std::string expected =
        row.folder ? std::string("=") + row.folder + "tool." : std::string();
    if (row.folder)
      EXPECT_NE(shown.find(expected), std::string::npos) << row.xdg << " " << shown;
    else
      EXPECT_EQ(shown, " ") << row.home;
  }
  // A folder the VM cannot be told of: it takes a ':' in an archive's path
  // for two archives (Java 17 then maps none; Java 25 refuses to start), and
  // two "%p" in Java 25's training configuration for a pattern it refuses.
  for (const char* version : {"17.0.9", "25.0.3"}) {
    for (const char* home : {"/home/a:b", "/home/a%p%p"}) {
      if (version[0] == '1' && home[7] == '%') continue;  // Java 17 takes it
      os.env.clear();
      os.env["HOME"] = home;
      os.files["/jdk/release"] = std::string("JAVA_VERSION=\"") + version + "\"\n";
      EXPECT_TRUE(startupCacheOptions(*resolveLaunch(), true).empty())
          << version << " " << home;
    }
  }
  os.files["/jdk/release"] = "JAVA_VERSION=\"17.0.9\"\n";
  // LOCALAPPDATA relative, on Windows.
  reset();
  os.env["LOCALAPPDATA"] = "AppData\\Local";
  EXPECT_EQ(options(), "");
}

TEST(ArchiveHeaderTest, WholeOnlyWithItsHeaderAndEveryRegion) {
  const struct {
    const char* name;
    std::string start;
    uint64_t size;
    bool whole;
  } cases[] = {
      {"Java 17, whole", archive17(), 12288, true},
      {"Java 17, cut in its last region", archive17(), 12287, false},
      {"header not yet written", std::string(4096, '\0'), 12288, false},
      {"shorter than a header", archive17().substr(0, 12), 12, false},
      {"another header version: its magic is enough",
       archive17().replace(8, 1, "\x13"), 12288, true},
      {"Java 25's ahead-of-time cache", aotCache(), AOT_CACHE_BYTES, true},
      {"a training's configuration is no archive", aotConfiguration(), 4096, false},
  };
  for (const auto& row : cases)
    EXPECT_EQ(archiveLooksWhole(row.start.substr(0, ARCHIVE_HEADER_BYTES), row.size),
              row.whole)
        << row.name;
}

}  // namespace
}  // namespace tarvik
