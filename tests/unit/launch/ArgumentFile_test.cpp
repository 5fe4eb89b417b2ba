#include "launch/ArgumentFile.h"

#include "LaunchSettings.h"
#include "Version.h"
#include "launch/ChildLauncher.h"
#include "launch/CommandLineBuilder.h"
#include "support/RandomName.h"
#include "support/Utf8.h"

#include <functional>
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

TEST(ArgumentFileText, QuotesAndEscapesEveryWord) {
  EXPECT_EQ(argumentFileText({}), "");
  EXPECT_EQ(argumentFileText({"-cp", "", "a b", "say \"hi\"", "C:\\dir\\",
                              "#x", "l1\nl2\r\t\f", "h\xc3\xa9"}),
            "\"-cp\"\n\"\"\n\"a b\"\n\"say \\\"hi\\\"\"\n\"C:\\\\dir\\\\\"\n"
            "\"#x\"\n\"l1\\nl2\\r\\t\\f\"\n\"h\xc3\xa9\"\n");
}

FakeChildScript runningChild() {
  FakeChildScript script;
  script.runsForever = true;
  return script;
}

class ArgumentFileLaunchTest : public LauncherTest {
 protected:
  ArgumentFileLaunchTest() { prepare(); }

  // A Java 17 and a command line longer than the system takes.
  void prepare() {
    resetLaunchState();
    startup().exePath = "C:\\Apps\\tool.exe";
    set.javaPath = "\"C:\\jdk 17\\bin\\java.exe\"";
    set.mainClass = "app.Main";
    opt.vistaOrLater = true;
    set.appArguments = {std::string(32760, 'a'), "b c"};
    os.files["C:\\jdk 17\\release"] = "JAVA_VERSION=\"17.0.9\"\n";
    os.randomNumbers = {0x1111222233334444, 0xaaaabbbbccccdddd};
  }

  // The refusal of a command line that is too long.
  std::string refusal() {
    return "Unable to start Java " + *set.javaPath + ": The command line has " +
           std::to_string(utf16Length(*buildCommandLine())) +
           " characters; the system accepts at most 32766.";
  }

  const std::string argumentFile = "C:\\Temp\\tool-1111222233334444.args";
  const std::string secondName = "C:\\Temp\\tool-aaaabbbbccccdddd.args";
};

TEST_F(ArgumentFileLaunchTest, JavaNineOnGetsItsArgumentsFromAFile) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    std::vector<int64_t> waits;
  } cases[] = {
      {"ended within the wait", [] {}, {3000}},
      {"still running after 3 s", [&] { os.children = {runningChild()}; }, {3000}},
      {"a shorter wait is made up before the file goes",
       [&] {
         set.keepAliveMillis = 1000;
         os.children = {runningChild()};
       },
       {1000, 2000}},
      // The file goes at 3 s however long the launcher waits beside it.
      {"-passExitCode", [&] { opt.passExitCodeFlag = true; }, {3000}},
      {"keepalive true",
       [&] {
         set.keepAlive = true;
         FakeChildScript longRun;
         longRun.runSeconds = 60;
         os.children = {longRun};
       },
       {3000, -1}},
      {"a longer wait goes on after the file went",
       [&] {
         set.keepAliveMillis = 8000;
         os.children = {runningChild()};
       },
       {3000, 5000}},
  };
  for (Case& c : cases) {
    prepare();
    os.started.clear();
    os.exitWaits.clear();
    os.removed.clear();
    os.children.clear();
    os.out.clear();
    os.privateFiles.clear();
    c.setUp();
    const std::string whole = *buildCommandLine();
    launchJava();
    ASSERT_EQ(os.started.size(), 1u) << c.name;
    EXPECT_EQ(os.started[0].commandLine,
              "\"C:\\jdk 17\\bin\\java.exe\" @" + argumentFile)
        << c.name;
    EXPECT_EQ(os.privateFiles, std::vector<std::string>{argumentFile}) << c.name;
    EXPECT_EQ(os.exitWaits, c.waits) << c.name;
    EXPECT_EQ(os.removed, std::vector<std::string>{argumentFile}) << c.name;
    EXPECT_EQ(os.files.count(argumentFile), 0u) << c.name;
    // The records show the whole command line, as ever.
    EXPECT_NE(os.out.find("#Command line=\n" + whole + "\n"), std::string::npos)
        << c.name;
    EXPECT_TRUE(os.err.empty()) << os.err;
  }
}

TEST_F(ArgumentFileLaunchTest, OtherwiseTheLongCommandLineIsRefused) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    std::string before, after;  // around the refusal on standard error
  } cases[] = {
      {"Java 8",
       [&] { os.files["C:\\jdk 17\\release"] = "JAVA_VERSION=\"1.8.0_392\"\n"; },
       "", ""},
      {"no release file", [&] { os.files.erase("C:\\jdk 17\\release"); }, "", ""},
      {"no folder of the runtime", [&] { set.javaPath = "java"; }, "", ""},
      {"the file cannot be written",
       [&] { os.failingWrites.insert(argumentFile); }, "",
       " The argument file " + argumentFile + " could not be written."},
      {"no temporary folder",
       [&] {
         os.tempDir.reset();
         os.unwritable.insert("C:\\Work\\tool-1111222233334444.args");
       },
       "Error getting temp path!\n",
       " The argument file tool-1111222233334444.args could not be created."},
      {"no random number", [&] { os.randomFails = true; }, "",
       " The system gave no random number to name the argument file."},
      {"every name taken",
       [&] {
         os.randomNumbers.assign(NEW_NAME_TRIES, 0x1111222233334444);
         os.planted.insert(argumentFile);
       },
       "",
       " No new argument file could be created: every name tried, the last " +
           argumentFile + ", was taken."},
      {"a path beyond the code page without a short form",
       [&] { os.tempDir = "C:\\\xd0\x94\\"; }, "",
       " The argument file's path C:\\\xd0\x94\\tool-1111222233334444.args "
       "cannot be written in the system's code page, in which Java reads it, "
       "and the file system gives it no short form."},
  };
  for (Case& c : cases) {
    prepare();
    os.err.clear();
    os.tempDir = "C:\\Temp\\";
    os.unwritable.clear();
    os.failingWrites.clear();
    os.randomNumbers = {0x1111222233334444};
    os.randomFails = false;
    os.planted.clear();
    c.setUp();
    const std::string expected = c.before + refusal() + c.after + "\n";
    EXPECT_EQ(exitCodeOf([] { launchJava(); }), CHILD_START_FAILED_EXIT_CODE)
        << c.name;
    EXPECT_TRUE(os.started.empty()) << c.name;
    EXPECT_EQ(os.err, expected) << c.name;
    for (const auto& file : os.files)
      EXPECT_EQ(file.first.find(".args"), std::string::npos) << c.name;
  }
}

TEST_F(ArgumentFileLaunchTest, RestartsWriteANewFileEach) {
  FakeChildScript restart;
  restart.exitCode = RELAUNCH_EXIT_CODE;
  os.children = {restart, restart, FakeChildScript()};
  os.randomNumbers = {1, 2, 3};
  int result;
  do {
    result = launchJava();
  } while (result == RELAUNCH_EXIT_CODE);
  EXPECT_EQ(os.started.size(), 3u);
  const std::vector<std::string> names = {
      "C:\\Temp\\tool-0000000000000001.args",
      "C:\\Temp\\tool-0000000000000002.args",
      "C:\\Temp\\tool-0000000000000003.args"};
  EXPECT_EQ(os.removed, names);
  EXPECT_EQ(os.privateFiles, names);
}

// What another user planted under the name is never written, and Java
// can read the file's name.
TEST_F(ArgumentFileLaunchTest, WhereTheFileGoes) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    std::string path, argument;
  } cases[] = {
      {"a name taken goes to another", [&] { os.planted.insert(argumentFile); },
       secondName, "@" + secondName},
      {"a folder beyond the code page by its short form",
       [&] {
         os.tempDir = "C:\\\xd0\x94\\";
         os.shortPaths["C:\\\xd0\x94\\tool-1111222233334444.args"] =
             "C:\\D~1\\TOOL-1~1.ARG";
       },
       "C:\\\xd0\x94\\tool-1111222233334444.args", "@C:\\D~1\\TOOL-1~1.ARG"},
  };
  for (Case& c : cases) {
    prepare();
    os.started.clear();
    os.privateFiles.clear();
    os.tempDir = "C:\\Temp\\";
    os.children = {runningChild()};
    c.setUp();
    os.removed.clear();
    launchJava();
    ASSERT_EQ(os.started.size(), 1u) << c.name;
    EXPECT_EQ(os.started[0].arguments.back(), c.argument) << c.name;
    EXPECT_EQ(os.privateFiles, std::vector<std::string>{c.path}) << c.name;
    EXPECT_EQ(os.removed, std::vector<std::string>{c.path}) << c.name;
  }
}

// Linux takes a long command line but no single word over 32 pages: a long
// class path goes through the file there, and nothing else does.
TEST_F(ArgumentFileLaunchTest, OnLinuxAWordOverThePagesTheSystemTakesGoesThroughTheFile) {
  const struct {
    size_t length;
    bool throughFile;
  } rows[] = {{131072, true}, {131071, false}};
  for (const auto& row : rows) {
    prepare();
    os.conv = PlatformConventions::posix();
    os.tempDir = "/tmp/";
    startup().exePath = "/apps/tool";
    set.javaPath = "/jdk/bin/java";
    os.files["/jdk/release"] = "JAVA_VERSION=\"17.0.9\"\n";
    // The word and its terminator.
    set.appArguments = {std::string(row.length, 'a'), std::string(100000, 'b')};
    os.started.clear();
    os.children = {runningChild()};
    launchJava();
    ASSERT_EQ(os.started.size(), 1u) << row.length;
    EXPECT_EQ(os.started[0].arguments.back() == "@/tmp/tool-1111222233334444.args",
              row.throughFile)
        << row.length;
  }
}

}  // namespace
}  // namespace tarvik
