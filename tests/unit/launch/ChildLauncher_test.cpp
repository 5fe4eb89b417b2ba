#include "launch/ChildLauncher.h"

#include <functional>

#include "Tarvik.h"
#include "Version.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

FakeChildScript endsWith(uint32_t exitCode, int64_t runSeconds) {
  FakeChildScript script;
  script.exitCode = exitCode;
  script.runSeconds = runSeconds;
  return script;
}

FakeChildScript runsOn() {
  FakeChildScript script;
  script.runsForever = true;
  return script;
}

FakeChildScript cannotStart(const std::string& error) {
  FakeChildScript script;
  script.startError = error;
  return script;
}

class ChildLauncherTest : public LauncherTest {
 protected:
  ChildLauncherTest() {
    startup().exePath = "C:\\Apps\\tool.exe";
    set.javaPath = "java";
    set.mainClass = "app.Main";
  }

  static std::string records(const std::string& commandLine) {
    return "#Version " + identificationString() + "\n#Command line=\n" +
           commandLine + "\n";
  }

  const std::string line = "java -classpath \"\" app.Main";
};

TEST_F(ChildLauncherTest, StartsTheChildAndLeavesItAfterTheBoundedWait) {
  set.workingDir = "D:\\work";
  os.children.push_back(runsOn());
  EXPECT_EQ(launchJava(), 0);
  ASSERT_EQ(os.started.size(), 1u);
  const ChildStart& start = os.started[0];
  EXPECT_EQ(start.commandLine, line);
  EXPECT_EQ(start.workingDir, "D:\\work");
  EXPECT_FALSE(start.useStdHandles);
  EXPECT_TRUE(start.noWindow);
  EXPECT_FALSE(start.consoleTitle);
  EXPECT_EQ(os.out, records(line));
  EXPECT_EQ(os.idleWaits, std::vector<uint32_t>{5000});
  EXPECT_EQ(os.exitWaits, std::vector<int64_t>{3000});
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_TRUE(os.events.empty());
}

TEST_F(ChildLauncherTest, WaitsAsKeepaliveAndPassExitCodeAsk) {
  struct Case {
    bool keepAlive;
    bool passExitCode;
    int32_t millis;
    int64_t waited;
  } cases[] = {
      {false, false, 3000, 3000},  {false, false, 30000, 30000},
      {true, false, 3000, -1},     {false, true, 3000, -1},
      {true, true, 5000, -1},      {false, false, 0, 0},
  };
  for (const Case& c : cases) {
    os.exitWaits.clear();
    set.keepAlive = c.keepAlive;
    opt.passExitCodeFlag = c.passExitCode;
    set.keepAliveMillis = c.millis;
    os.children.push_back(endsWith(0, 3600));
    launchJava();
    EXPECT_EQ(os.exitWaits, std::vector<int64_t>{c.waited})
        << c.keepAlive << c.passExitCode << c.millis;
  }
}

TEST_F(ChildLauncherTest, ReportsAnEndByItsCodeLogFileAndTiming) {
  struct Case {
    const char* name;
    FakeChildScript child;
    std::function<void()> setUp;
    std::deque<int> answers;
    std::vector<RecordedBox> boxes;
    std::vector<std::string> opened;
    int result;
  };
  const std::string unexpected =
      " has closed in an unexpected way. Would you like to view the log "
      "file?\n\nLog file location:C:\\logs\\app.log\n\nJava returned the "
      "following error code: ";
  const std::string errorText =
      "Error launching Class app.Main\n with Java java.\nError=";
  Case cases[] = {
      {"0 never reports", endsWith(0, 1), [] {}, {}, {}, {}, 0},
      {"999 never reports", endsWith(999, 1), [] {}, {}, {}, {}, 999},
      {"a failure within 3 s is an error launching",
       endsWith(1, 2), [] {}, {}, {{"Error", errorText + "1", 0x10}}, {}, 1},
      {"at once too", endsWith(7, 0), [] {}, {}, {{"Error", errorText + "7", 0x10}}, {}, 7},
      {"3 s is no longer quick", endsWith(1, 3), [] {}, {}, {}, {}, 1},
      {"a late failure without a log file is silent", endsWith(1, 20),
       [&] { set.keepAliveMillis = 30000; }, {}, {}, {}, 1},
      {"quiet shows nothing", endsWith(1, 1), [&] { opt.quietMode = true; },
       {}, {}, {}, 1},
      {"no main class prints (null)", endsWith(2, 1),
       [&] { set.mainClass.reset(); }, {},
       {{"Error", "Error launching Class (null)\n with Java java.\nError=2", 0x10}},
       {}, 2},
      {"the full 32-bit code", endsWith(4294967295u, 1), [] {}, {},
       {{"Error", errorText + "4294967295", 0x10}}, {}, -1},
      {"log file after an hour, answered yes", endsWith(1, 3600),
       [&] {
         set.keepAlive = true;
         addVmParam("-DLOGFILE=C:\\logs\\app.log");
         set.appName = "Tool";
       },
       {ANSWER_YES}, {{"Unexpected Close", "Tool" + unexpected + "1", 0x11014}},
       {"C:\\logs\\app.log"}, 1},
      {"answered no", endsWith(3, 1),
       [&] { addVmParam("-DLOGFILE=C:\\logs\\app.log"); }, {ANSWER_NO},
       {{"Unexpected Close", "Application" + unexpected + "3", 0x11014}}, {},
       3},
      {"an empty appName reads Application", endsWith(3, 1),
       [&] {
         addVmParam("-DLOGFILE=C:\\logs\\app.log");
         set.appName = "";
       },
       {}, {{"Unexpected Close", "Application" + unexpected + "3", 0x11014}},
       {}, 3},
      {"an empty log file counts as none", endsWith(5, 1),
       [&] { set.appLogFile = ""; }, {}, {{"Error", errorText + "5", 0x10}},
       {}, 5},
      {"a spaced log folder opens without the quotes that group it",
       endsWith(1, 1),
       [&] {
         os.env["LOGS"] = "C:\\my logs";
         addVmParam("-DLOGFILE=$LOGS\\app.log");
       },
       {ANSWER_YES},
       {{"Unexpected Close",
         "Application has closed in an unexpected way. Would you like to "
         "view the log file?\n\nLog file location:\"C:/my logs/app.log\"\n\n"
         "Java returned the following error code: 1",
         0x11014}},
       {"C:/my logs/app.log"}, 1},
      {"quiet suppresses the question too", endsWith(1, 1),
       [&] {
         addVmParam("-DLOGFILE=C:\\logs\\app.log");
         opt.quietMode = true;
       },
       {ANSWER_YES}, {}, {}, 1},
  };
  for (Case& c : cases) {
    resetLaunchState();
    startup().exePath = "C:\\Apps\\tool.exe";
    set.javaPath = "java";
    set.mainClass = "app.Main";
    os.boxes.clear();
    os.opened.clear();
    os.answers = c.answers;
    os.children = {c.child};
    c.setUp();
    EXPECT_EQ(launchJava(), c.result) << c.name;
    EXPECT_EQ(os.boxes, c.boxes) << c.name;
    EXPECT_EQ(os.opened, c.opened) << c.name;
  }
}

TEST_F(ChildLauncherTest, LongMessagesAreCutToTheBuffer) {
  struct Case {
    std::string character;
    std::string cut;
  } cases[] = {
      {"n", std::string(1023, 'n')},
      // Never inside a character: 1023 bytes would end in half an é.
      {"\xC3\xA9", ""},
      {"\xE5\xB7\xA5", ""},
  };
  for (Case& c : cases) {
    if (c.cut.empty())
      for (size_t i = 0; i < 1023 / c.character.size(); ++i) c.cut += c.character;
    resetLaunchState();
    os.boxes.clear();
    set.javaPath = "java";
    set.appName.emplace();
    for (int i = 0; i < 2000; ++i) *set.appName += c.character;
    addVmParam("-DLOGFILE=x.log");
    os.children = {endsWith(1, 1)};
    launchJava();
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, c.cut) << c.character;
  }
}

// Java reads its command line in the ANSI code page (Latin-1 here), with
// Windows' best fit for what that lacks: what the child is handed holds
// '?' for such characters, while the records show what was configured.
TEST_F(ChildLauncherTest, WhatTheChildIsHanded) {
  struct Case {
    std::string javaPath, argument, handedLine, handedArgument;
  } cases[] = {
      {"java", "report\xEF\xBC\x82 --admin \xEF\xBC\x82.txt",
       "java -classpath \"\" app.Main \"report? --admin ?.txt\" ",
       "report? --admin ?.txt"},
      {"java", "\xEF\xBC\xBC\xEF\xBC\xA0x", "java -classpath \"\" app.Main \"??x\" ", "??x"},
      {"java", "\xEF\xBC\xA0opts", "java -classpath \"\" app.Main \"?opts\" ", "?opts"},
      {"java", "\xC5\x81\xC3\xA9", "java -classpath \"\" app.Main \"?\xC3\xA9\" ", "?\xC3\xA9"},
      {"java", "\xF0\x9F\x98\x80\xFF", "java -classpath \"\" app.Main \"??\" ", "??"},
      // The program stays as it is, to be found; one with a blank is quoted.
      {"C:\\\xC5\x81\\java.exe", "a", "C:\\\xC5\x81\\java.exe -classpath \"\" app.Main \"a\" ", "a"},
      {"C:\\Program Files\\jdk\\bin\\java.exe", "a",
       "\"C:\\Program Files\\jdk\\bin\\java.exe\" -classpath \"\" app.Main \"a\" ", "a"},
      {"\"C:\\Program Files\\java.exe\"", "a",
       "\"C:\\Program Files\\java.exe\" -classpath \"\" app.Main \"a\" ", "a"},
  };
  for (const Case& c : cases) {
    os.started.clear();
    os.out.clear();
    set.javaPath = c.javaPath;
    set.appArguments = {c.argument};
    opt.vistaOrLater = true;
    os.children = {runsOn()};
    launchJava();
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].commandLine, c.handedLine) << c.argument;
    EXPECT_EQ(os.started[0].arguments.back(), c.handedArgument) << c.argument;
    EXPECT_NE(os.out.find("app.Main \"" + c.argument + "\" \n"), std::string::npos)
        << os.out;
  }
}

TEST_F(ChildLauncherTest, DebugModeShowsEveryStepInOrder) {
  opt.debugMode = 1;
  set.showConsole = true;
  set.workingDir = "D:\\work";
  set.appArguments = {"a b"};
  addVmParam("-DLOGFILE=C:\\app.log");
  os.children.push_back(endsWith(0, 1));
  launchJava();
  const std::string commandLine =
      "java -DLOGFILE=C:\\app.log -classpath \"\" app.Main \"a b\" ";
  std::vector<RecordedBox> expected = {
      {"Javapath is", "java", 0},
      {"Adding double quotes around", "a b", 0},
      {"Starting dir", "D:\\work", 0},
      {"LogFile", "C:\\app.log", 0},
      {"Command Line is", commandLine, 0},
      {"Show Console", "true", 0},
  };
  EXPECT_EQ(os.boxes, expected);
  EXPECT_EQ(os.out,
            records(commandLine) + "CreateProcess ret 1, exitCode=0\n");
  EXPECT_TRUE(os.events.empty()) << "no console of its own in debug mode";
}

TEST_F(ChildLauncherTest, DebugModeWithoutStartingDirOrLogFile) {
  opt.debugMode = 1;
  os.children.push_back(runsOn());
  launchJava();
  ASSERT_EQ(os.boxes.size(), 4u);
  EXPECT_EQ(os.boxes[1], (RecordedBox{"Starting dir", "", 0}));
  EXPECT_EQ(os.boxes[2].caption, "Command Line is");
  EXPECT_EQ(os.boxes[3], (RecordedBox{"Show Console", "false", 0}));
}

TEST_F(ChildLauncherTest, ConsoleWindowAndTitle) {
  struct Case {
    bool showConsole;
    const char* javaPath;
    bool debug;
    const char* title;  // nullptr: none configured
    std::vector<std::string> events;
    bool noWindow;
    bool titleGiven;
  } cases[] = {
      {false, "java", false, "T", {}, true, false},
      {true, "java", false, nullptr, {"openConsole"}, false, false},
      {true, "java", false, "T", {"openConsole", "title T"}, false, true},
      {true, "java", false, "", {"openConsole"}, false, true},
      {true, "C:\\jre\\bin\\javaw.exe", false, "T", {"title T"}, false, true},
      {true, "C:\\javaw\\bin\\java.exe", false, nullptr, {}, false, false},
      {true, "JAVAW.EXE", false, nullptr, {"openConsole"}, false, false},
      {true, "java", true, nullptr, {}, false, false},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.events.clear();
    os.started.clear();
    os.boxes.clear();
    set.showConsole = c.showConsole;
    set.javaPath = c.javaPath;
    opt.debugMode = c.debug;
    if (c.title) set.consoleTitle = c.title;
    os.children = {runsOn()};
    launchJava();
    EXPECT_EQ(os.events, c.events) << c.javaPath << c.showConsole;
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].noWindow, c.noWindow) << c.javaPath;
    EXPECT_EQ(os.started[0].consoleTitle.has_value(), c.titleGiven)
        << c.javaPath;
  }
}

TEST_F(ChildLauncherTest, LogRedirectionHandsTheStandardHandlesOn) {
  opt.logToFile = true;
  os.children.push_back(runsOn());
  launchJava();
  ASSERT_EQ(os.started.size(), 1u);
  EXPECT_TRUE(os.started[0].useStdHandles);
}

// The handles are the log file's even when a console is opened after them.
TEST_F(ChildLauncherTest, StandardHandlesAreTakenBeforeTheConsoleOpens) {
  struct Case {
    bool log, console;
    uintptr_t output, error;
  } cases[] = {{true, true, 10, 11}, {true, false, 10, 11}, {false, true, 0, 0}};
  for (const Case& c : cases) {
    resetLaunchState();
    os.handles = {1, 2};
    os.started.clear();
    set.javaPath = "java";
    set.showConsole = c.console;
    opt.logToFile = c.log;
    if (c.log) os.redirectStdStreams("C:\\Temp\\x.log", FileCreation::Replace);
    os.children = {runsOn()};
    launchJava();
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].stdHandles.output, c.output) << c.log << c.console;
    EXPECT_EQ(os.started[0].stdHandles.error, c.error) << c.log << c.console;
  }
}

TEST_F(ChildLauncherTest, AFailedWaitIsNoEndOfTheChild) {
  struct Case {
    bool passExitCode;
    int code;
  } cases[] = {{false, kReturned}, {true, CHILD_WAIT_FAILED_EXIT_CODE}};
  for (const Case& c : cases) {
    os.err.clear();
    os.boxes.clear();
    opt.passExitCodeFlag = c.passExitCode;
    FakeChildScript child = endsWith(259, 0);
    child.waitFails = true;
    os.children = {child};
    int result = -1;
    EXPECT_EQ(exitCodeOf([&] { result = launchJava(); }), c.code);
    if (c.code == kReturned) {
      EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(os.err, "Unable to wait for Java java to end: Access is denied.\n");
    EXPECT_TRUE(os.boxes.empty());
  }
}

TEST_F(ChildLauncherTest, CommandFileThatCannotBeWrittenWhole) {
  opt.writeCommandFile = true;
  os.failingWrites.insert("C:\\Work\\tool.out");
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), COMMAND_FILE_FAILED_EXIT_CODE);
  EXPECT_EQ(os.err, "Error writing .out file: tool.out\n");
  EXPECT_TRUE(os.started.empty());
}

TEST_F(ChildLauncherTest, CommandFileInsteadOfAChild) {
  opt.writeCommandFile = true;
  set.appArguments = {"x"};
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), 0);
  EXPECT_TRUE(os.started.empty());
  EXPECT_EQ(os.out, "");
  EXPECT_EQ(os.files["C:\\Work\\tool.out"],
            "#Version " + identificationString() +
                "\r\n#Command line=\r\njava -classpath \"\" app.Main x \r\n");
}

TEST_F(ChildLauncherTest, CommandFileFallsBackToTheTemporaryDirectory) {
  opt.writeCommandFile = true;
  os.unwritable.insert("C:\\Work\\tool.out");
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), 0);
  EXPECT_EQ(os.files.count("C:\\Work\\tool.out"), 0u);
  EXPECT_EQ(os.files["C:\\Temp\\tool.out"],
            "#Version " + identificationString() + "\r\n#Command line=\r\n" +
                line + "\r\n");
}

TEST_F(ChildLauncherTest, CommandFileInTheTemporaryFolderIsMadeAnew) {
  opt.writeCommandFile = true;
  os.unwritable.insert("C:\\Work\\tool.out");
  // An old file of the user's goes; a link planted by another user stays,
  // is not followed, and no command file is written through it.
  for (bool planted : {false, true}) {
    os.err.clear();
    os.files["C:\\Temp\\tool.out"] = "old";
    if (planted) os.planted.insert("C:\\Temp\\tool.out");
    EXPECT_EQ(exitCodeOf([] { launchJava(); }), planted ? -3 : 0);
    EXPECT_EQ(os.files.count("C:\\Temp\\tool.out"), planted ? 0u : 1u);
    EXPECT_EQ(os.privateFiles.size(), 1u);
  }
}

TEST_F(ChildLauncherTest, CommandFileThatCannotBeOpenedAnywhere) {
  opt.writeCommandFile = true;
  os.unwritable = {"C:\\Work\\tool.out", "C:\\Temp\\tool.out"};
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), -3);
  EXPECT_EQ(os.err,
            "Error opening .out files: tool.out\nand C:\\Temp\\tool.out\n");
  EXPECT_TRUE(os.started.empty());
}

TEST_F(ChildLauncherTest, CommandFileWithoutATemporaryDirectory) {
  opt.writeCommandFile = true;
  os.unwritable = {"C:\\Work\\tool.out"};
  os.tempDir.reset();
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), -3);
  EXPECT_EQ(os.err,
            "Error getting temp path!\nError opening .out files: tool.out\n"
            "and tool.out\n");
}

TEST_F(ChildLauncherTest, NoRuntimeStartsNothingAndWritesNoCommandFile) {
  set.javaPath.reset();
  opt.writeCommandFile = true;
  EXPECT_EQ(launchJava(), 2);
  EXPECT_TRUE(os.started.empty());
  EXPECT_EQ(os.files.count("C:\\Work\\tool.out"), 0u);
}

TEST_F(ChildLauncherTest, JvmLibraryRunsInProcessInstead) {
  set.javaLib = "C:\\nowhere\\jvm.dll";
  opt.writeCommandFile = true;
  EXPECT_EQ(launchJava(), -1234);
  EXPECT_TRUE(os.started.empty());
  EXPECT_TRUE(os.files.empty());
  EXPECT_EQ(os.out.find("#Version"), std::string::npos);
}

TEST_F(ChildLauncherTest, AChildThatCannotStartIsReportedAndEndsTheLauncher) {
  os.children.push_back(cannotStart("The system cannot find the file specified."));
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), CHILD_START_FAILED_EXIT_CODE);
  EXPECT_EQ(os.err,
            "Unable to start Java java: The system cannot find the file "
            "specified.\n");
  std::vector<RecordedBox> expected = {
      {"Unable To Start Java",
       "Unable to start Java for class app.Main\n with Java java.\nThe "
       "system cannot find the file specified.",
       0x10}};
  EXPECT_EQ(os.boxes, expected);
  EXPECT_EQ(os.out, records(line)) << "the attempt is on record";
}

TEST_F(ChildLauncherTest, StartFailureInQuietModeStillWritesTheLine) {
  opt.quietMode = true;
  os.children.push_back(cannotStart("Access is denied."));
  EXPECT_EQ(exitCodeOf([] { launchJava(); }), CHILD_START_FAILED_EXIT_CODE);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.err, "Unable to start Java java: Access is denied.\n");
}

TEST_F(ChildLauncherTest, StartFailureIsNoCodeOfTheLaunchersOwn) {
  for (int code : {0, 1, 2, 5, 11, -3, -1234, -1235, RELAUNCH_EXIT_CODE})
    EXPECT_NE(CHILD_START_FAILED_EXIT_CODE, code);
}

TEST_F(ChildLauncherTest, CommandLineOverTheSystemLimitIsNotStarted) {
  // "java -classpath "" app.Main " is 28 characters; the argument fills the
  // line to exactly `length` characters with its quotes and blank. The
  // system counts UTF-16 units: Д is one, U+1F600 two.
  struct Case {
    size_t length;
    bool started;
    std::string filler = "a";
  } cases[] = {{32766, true},  {32767, false}, {40000, false},
               {32766, true, "\xD0\x94"}, {32767, false, "\xD0\x94"},
               {32765, true, "\xF0\x9F\x98\x80"},
               {32767, false, "\xF0\x9F\x98\x80"}};
  for (const Case& c : cases) {
    os.started.clear();
    os.err.clear();
    opt.vistaOrLater = true;
    const size_t units = c.filler.size() == 4 ? 2 : 1;
    std::string argument;
    for (size_t i = 0; i < (c.length - 28 - 3) / units; ++i)
      argument += c.filler;
    set.appArguments = {argument};
    os.children = {runsOn()};
    int code = exitCodeOf([] { launchJava(); });
    EXPECT_EQ(os.started.size(), c.started ? 1u : 0u) << c.length << c.filler;
    if (!c.started) {
      EXPECT_EQ(code, CHILD_START_FAILED_EXIT_CODE);
      EXPECT_EQ(os.err, "Unable to start Java java: The command line has " +
                            std::to_string(c.length) +
                            " characters; the system accepts at most "
                            "32766.\n");
    }
  }
}

TEST_F(ChildLauncherTest, PosixConventionsSetNoLengthLimit) {
  os.conv = PlatformConventions::posix();
  set.appArguments = {std::string(100000, 'a')};
  os.children.push_back(runsOn());
  EXPECT_EQ(launchJava(), 0);
  EXPECT_EQ(os.started.size(), 1u);
}

class LaunchLoopTest : public LauncherTest {
 protected:
  LaunchLoopTest() {
    os.files["C:\\Apps\\tool.config"] =
        "javapath java\nmainclass app.Main\n";
  }
  int run(std::vector<std::string> switches) {
    std::vector<std::string> argv = {"C:\\Apps\\tool.exe"};
    argv.insert(argv.end(), switches.begin(), switches.end());
    int code = kReturned;
    int exited = exitCodeOf([&] { code = runLauncher(argv); });
    return exited == kReturned ? code : exited;
  }
};

TEST_F(LaunchLoopTest, RestartsWhileTheChildEndsWith999) {
  os.children = {endsWith(999, 1), endsWith(999, 1), endsWith(0, 1)};
  EXPECT_EQ(run({}), 0);
  ASSERT_EQ(os.started.size(), 3u);
  EXPECT_EQ(os.started[2].commandLine, os.started[0].commandLine);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(LaunchLoopTest, EightBitExitCodesTakeTheCutRestartCode) {
  struct Case {
    bool posix;
    uint32_t code;
    size_t starts;
  } cases[] = {
      {true, 231, 2},   // 999 as Linux reports it
      {false, 231, 1},  // Windows passes 999 in full
      {false, 999, 2},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.conv = c.posix ? PlatformConventions::posix() : PlatformConventions::windows();
    os.started.clear();
    os.files[c.posix ? "/apps/tool.config" : "C:\\Apps\\tool.config"] =
        "javapath java\n";
    os.children = {endsWith(c.code, 1), endsWith(0, 1)};
    exitCodeOf([&] { runLauncher({c.posix ? "/apps/tool" : "C:\\Apps\\tool.exe"}); });
    EXPECT_EQ(os.started.size(), c.starts) << c.posix << " " << c.code;
  }
}

TEST_F(LaunchLoopTest, PassesTheLastCodeOn) {
  struct Case {
    std::vector<FakeChildScript> children;
    std::vector<std::string> switches;
    int code;
    size_t starts;
  } cases[] = {
      {{endsWith(999, 1), endsWith(3, 1)}, {"-passExitCode"}, 3, 2},
      {{endsWith(3, 1)}, {}, 0, 1},
      {{endsWith(3, 100)}, {"-passExitCode"}, 3, 1},
      {{runsOn()}, {}, 0, 1},
      {{endsWith(999, 10)}, {}, 0, 1},  // the bounded wait ran out first
      {{endsWith(0, 1)}, {"-passExitCode"}, 0, 1},
      {{endsWith(999, 1), cannotStart("gone")},
       {},
       CHILD_START_FAILED_EXIT_CODE,
       2},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.started.clear();
    os.children.assign(c.children.begin(), c.children.end());
    EXPECT_EQ(run(c.switches), c.code) << c.starts;
    EXPECT_EQ(os.started.size(), c.starts);
  }
}

TEST_F(LaunchLoopTest, NoRuntimePassesTwo) {
  os.files["C:\\Apps\\tool.config"] = "mainclass app.Main\n";
  EXPECT_EQ(run({"-q", "-passExitCode"}), 2);
  EXPECT_TRUE(os.started.empty());
}

}  // namespace
}  // namespace tarvik
