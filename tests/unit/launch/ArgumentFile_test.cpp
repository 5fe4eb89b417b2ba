#include "launch/ArgumentFile.h"

#include "LaunchSettings.h"
#include "Version.h"
#include "launch/ChildLauncher.h"
#include "launch/CommandLineBuilder.h"
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
  }

  // The refusal of a command line that is too long.
  std::string refusal() {
    return "Unable to start Java " + *set.javaPath + ": The command line has " +
           std::to_string(utf16Length(*buildCommandLine())) +
           " characters; the system accepts at most 32766.";
  }

  const std::string argumentFile = "C:\\Temp\\tool-4242.args";
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
      {"-passExitCode", [&] { opt.passExitCodeFlag = true; }, {-1}},
  };
  for (Case& c : cases) {
    prepare();
    os.started.clear();
    os.exitWaits.clear();
    os.removed.clear();
    os.children.clear();
    os.out.clear();
    c.setUp();
    const std::string whole = *buildCommandLine();
    launchJava();
    ASSERT_EQ(os.started.size(), 1u) << c.name;
    EXPECT_EQ(os.started[0].commandLine,
              "\"C:\\jdk 17\\bin\\java.exe\" @C:\\Temp\\tool-4242.args")
        << c.name;
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
      {"text the code page cannot hold",
       [&] { set.appArguments.push_back("\xe2\x82\xac"); }, "",
       " The arguments cannot be written in the system's code page, in which "
       "Java reads an argument file."},
      {"the file cannot be written",
       [&] { os.failingWrites.insert(argumentFile); }, "",
       " The argument file " + argumentFile + " could not be written."},
      {"no temporary folder",
       [&] {
         os.tempDir.reset();
         os.unwritable.insert("C:\\Work\\tool-4242.args");
       },
       "Error getting temp path!\n",
       " The argument file tool-4242.args could not be written."},
  };
  for (Case& c : cases) {
    prepare();
    os.err.clear();
    os.tempDir = "C:\\Temp\\";
    os.unwritable.clear();
    os.failingWrites.clear();
    c.setUp();
    const std::string expected = c.before + refusal() + c.after + "\n";
    EXPECT_EQ(exitCodeOf([] { launchJava(); }), CHILD_START_FAILED_EXIT_CODE)
        << c.name;
    EXPECT_TRUE(os.started.empty()) << c.name;
    EXPECT_EQ(os.err, expected) << c.name;
    EXPECT_EQ(os.files.count(argumentFile), 0u) << c.name;
  }
}

TEST_F(ArgumentFileLaunchTest, RestartsRewriteOneFile) {
  FakeChildScript restart;
  restart.exitCode = RELAUNCH_EXIT_CODE;
  os.children = {restart, restart, FakeChildScript()};
  int result;
  do {
    result = launchJava();
  } while (result == RELAUNCH_EXIT_CODE);
  EXPECT_EQ(os.started.size(), 3u);
  EXPECT_EQ(os.removed, std::vector<std::string>(3, argumentFile));
  EXPECT_EQ(os.files.count(argumentFile), 0u);
}

}  // namespace
}  // namespace tarvik
