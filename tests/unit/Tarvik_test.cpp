#include "Tarvik.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "Version.h"
#include "config/SampleConfig.h"
#include "fakes/LauncherTest.h"
#include "support/RandomName.h"

namespace tarvik {
namespace {

class EntryTest : public LauncherTest {
 protected:
  int run(std::vector<std::string> words) {
    words.insert(words.begin(), "C:\\Apps\\tool.exe");
    int result = kReturned;
    int code = exitCodeOf([&] { result = runLauncher(words); });
    return code == kReturned ? result : code;
  }
};

// The launcher's switches are whole words; only -D and -c carry a value in
// the word. Any other word reaches the application.
TEST_F(EntryTest, SwitchesAreMatchedInOrderWithTheirPrefixRules) {
  struct Case {
    std::vector<std::string> words;
    bool console, quiet, command, pass;
    int debug;
    std::vector<std::string> arguments;
    OptionalText custom;
  } cases[] = {
      {{"-d"}, false, false, false, false, 1, {}, {}},
      {{"-dx"}, false, false, false, false, 0, {"-dx"}, {}},
      {{"-con"}, true, false, false, false, 0, {}, {}},
      {{"-config"}, false, false, false, false, 0, {}, std::string("onfig")},
      {{"-cmy.cfg"}, false, false, false, false, 0, {}, std::string("my.cfg")},
      {{"-c", "my.cfg"}, false, false, false, false, 0, {"my.cfg"}, std::string("")},
      {{"-q", "-d"}, false, true, false, false, 0, {}, {}},
      {{"-d", "-q"}, false, true, false, false, 0, {}, {}},
      {{"-q", "-o", "-passExitCode"}, false, true, true, true, 0, {}, {}},
      {{"-quiet", "-output"}, false, false, false, false, 0, {"-quiet", "-output"}, {}},
      {{"-passExitCodeNow"}, false, false, false, false, 0, {"-passExitCodeNow"}, {}},
      {{"-passExit"}, false, false, false, false, 0, {"-passExit"}, {}},
      {{"-logfile", "data.txt"}, false, false, false, false, 0, {"-logfile", "data.txt"}, {}},
      {{"-verbose", "-helpme", "-samples", "-debug"}, false, false, false, false, 0,
       {"-verbose", "-helpme", "-samples", "-debug"}, {}},
      {{"a", "-x", "b c"}, false, false, false, false, 0, {"a", "-x", "b c"}, {}},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.boxes.clear();
    run(c.words);
    SCOPED_TRACE(c.words[0]);
    EXPECT_EQ(set.showConsole, c.console);
    EXPECT_EQ(opt.quietMode, c.quiet);
    EXPECT_EQ(opt.writeCommandFile, c.command);
    EXPECT_EQ(opt.passExitCodeFlag, c.pass);
    EXPECT_EQ(opt.debugMode, c.debug);
    EXPECT_EQ(set.appArguments, c.arguments);
    EXPECT_EQ(opt.customConfigPath, c.custom);
    EXPECT_FALSE(opt.logToFile);
    if (!c.debug) {
      for (const RecordedBox& box : os.boxes) EXPECT_NE(box.caption, "Version");
    }
  }
}

TEST_F(EntryTest, DashCapitalDWordsBecomeVmParamsBeforeTheConfiguration) {
  run({"-Dx=1", "-Dflag", "-D%%y=2"});
  ASSERT_GE(set.vmParams.size(), 3u);
  EXPECT_EQ(set.vmParams[0], "-Dx");
  EXPECT_EQ(set.vmParams[1], "-Dflag");
  EXPECT_EQ(set.vmParams[2], "-D%y");
  EXPECT_EQ(set.vmParamValues["-Dx"], "1");
  EXPECT_EQ(set.vmParams[3], "-Dexe.mainConfig");
}

// A -D word is one JVM option; a JVM given "-Dx=a b" unquoted takes "b" for
// its main class.
TEST_F(EntryTest, ADashCapitalDWordWithBlanksStaysOneOption) {
  struct Row {
    const char* word;
    const char* name;
    const char* value;  // nullptr: no value of its own
  } rows[] = {
      {"-Dgreeting=hello world", "-Dgreeting", "\"hello world\""},
      {"-Dtab=a\tb", "-Dtab", "\"a\tb\""},
      {"-Dplain=1", "-Dplain", "1"},
      {"-Dflag with blank", "\"-Dflag with blank\"", nullptr},
      // Quotes of the word's own are part of the value: escaped.
      {"-Dq=\"a b\"", "-Dq", "\"\\\"a b\\\"\""},
      // So is a trailing backslash: doubled before the closing quote.
      {"-Ddir=C:\\a b\\", "-Ddir", "\"C:\\a b\\\\\""},
  };
  for (const Row& row : rows) {
    resetLaunchState();
    run({row.word});
    ASSERT_FALSE(set.vmParams.empty()) << row.word;
    EXPECT_EQ(set.vmParams[0], row.name) << row.word;
    EXPECT_EQ(set.vmParamValues.count(row.name), row.value ? 1u : 0u) << row.word;
    if (row.value) {
      EXPECT_EQ(set.vmParamValues[row.name], row.value) << row.word;
    }
  }
}

TEST_F(EntryTest, HelpPrintsItsLinesIntoAConsoleAndEndsWithZero) {
  EXPECT_EQ(run({"-d", "-help", "-v"}), 0);
  EXPECT_TRUE(os.boxes.empty()) << "words after -help are not looked at";
  EXPECT_EQ(os.events, (std::vector<std::string>{"openConsole", "freeConsole"}));
  EXPECT_EQ(os.out.rfind("Version: 2.2.1\n\nTarvik Options:\n-D\t\t", 0), 0u);
  size_t lines = 0;
  for (char c : os.out) lines += c == '\n';
  EXPECT_EQ(lines, 14u);  // the second line starts with a line break
  EXPECT_NE(os.out.find("\n-log [file]\tRedirect stdout and sterr to a log. "
                        "Places it in tmp, unless file is specified.\n"),
            std::string::npos);
  const std::string last = "\n-clearCache\tRemoves this application's files "
                           "from the startup cache and exits.\n";
  EXPECT_EQ(os.out.substr(os.out.size() - last.size()), last);
}

TEST_F(EntryTest, VersionBoxRespectsQuietModeSetBeforeIt) {
  run({"-v"});
  ASSERT_FALSE(os.boxes.empty());
  EXPECT_EQ(os.boxes[0], (RecordedBox{"Version", "2.2.1", MB_STYLE_OK}));

  resetLaunchState();
  os.boxes.clear();
  run({"-q", "-v"});
  for (const RecordedBox& box : os.boxes) EXPECT_NE(box.caption, "Version");

  resetLaunchState();
  os.boxes.clear();
  run({"-v", "-q"});
  ASSERT_FALSE(os.boxes.empty());
  EXPECT_EQ(os.boxes[0].caption, "Version");
}

TEST_F(EntryTest, DebugModeShowsItsBoxesInOrder) {
  os.osMajor = 6;
  run({"-d", "-passExitCode", "-o"});
  std::vector<RecordedBox> expected = {
      {"Running on Vista", "2.2.1", MB_STYLE_OK},
      {"Version", "2.2.1", MB_STYLE_OK},
      {"LpCmdLine", "[C:\\Apps\\tool.exe]", MB_STYLE_OK},
      {"passExitCode", "true", MB_STYLE_OK},
      {"CWD", "C:\\Apps", MB_STYLE_OK},
  };
  ASSERT_GE(os.boxes.size(), expected.size());
  EXPECT_EQ(std::vector<RecordedBox>(os.boxes.begin(), os.boxes.begin() + 5),
            expected);
}

TEST_F(EntryTest, OldWindowsIsNotVista) {
  os.osMajor = 5;
  run({"-d"});
  EXPECT_FALSE(opt.vistaOrLater);
  ASSERT_FALSE(os.boxes.empty());
  EXPECT_EQ(os.boxes[0].caption, "Version");
}

TEST_F(EntryTest, WorkingDirectoryFollowsAFullLauncherPathOnly) {
  struct Case {
    const char* exePath;  // the word it was started with
    const char* launcherDir;
    bool changed;
    const char* ownFile = "";  // the launcher's file, where the system says
  } cases[] = {
      // Linux: found through PATH, the configuration's folder is the
      // launcher's own, and the launcher reads from it (its application
      // runs in the caller's).
      {"tool", "/opt/app", true, "/opt/app/tool"},
      {"/usr/local/bin/tool", "/opt/app", true, "/opt/app/tool"},
      {"C:\\apps\\tool.exe", "C:\\apps", true},
      {"C:\\a\\b\\c\\tool.exe", "C:\\a\\b\\c", true},
      {"tool.exe", "C:\\Work", false},
      {"Apps\\tool.exe", "C:\\Work", false},
      {"C:/apps/tool.exe", "C:\\Work", false},
      {"C:tool.exe", "C:\\Work", false},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.conv = *c.ownFile ? PlatformConventions::posix() : PlatformConventions::windows();
    os.cwd = *c.ownFile ? "/home/u/project" : "C:\\Work";
    os.chdirs.clear();
    exitCodeOf([&] { runLauncher({c.exePath}, c.ownFile); });
    EXPECT_EQ(startup().launcherDir, c.launcherDir) << c.exePath;
    EXPECT_EQ(!os.chdirs.empty() && os.chdirs[0] == c.launcherDir, c.changed)
        << c.exePath;
  }
}

TEST_F(EntryTest, LauncherDirIsBoundedLikeItsBuffer) {
  std::string longDir = "C:\\" + std::string(9000, 'd');
  exitCodeOf([&] { runLauncher({longDir + "\\tool.exe"}); });
  EXPECT_EQ(startup().launcherDir.size(), 8191u);
}

TEST_F(EntryTest, PosixConventionsTakeAnAbsolutePathAsFull) {
  os.conv = PlatformConventions::posix();
  os.cwd = "/home/u";
  exitCodeOf([&] { runLauncher({"/opt/app/tool"}); });
  EXPECT_EQ(startup().launcherDir, "/opt/app");
  resetLaunchState();
  exitCodeOf([&] { runLauncher({"bin/tool"}); });
  EXPECT_EQ(startup().launcherDir, "/opt/app") << "the current directory";
}

TEST_F(EntryTest, SampleWritesTheFileAndEndsWithZero) {
  os.cwd = "D:\\Work";
  os.files["D:\\Work\\sample.config"] = "old content that is much longer";
  EXPECT_EQ(run({"-con", "-sample", "-d"}), 0);
  EXPECT_TRUE(set.showConsole);
  EXPECT_EQ(opt.debugMode, 0) << "words after -sample are not looked at";
  const std::string& bytes = os.files["D:\\Work\\sample.config"];
  std::string header = "#Created with version " + identificationString() + "\r\n";
  ASSERT_EQ(bytes.rfind(header, 0), 0u);
  EXPECT_EQ(bytes.size(), header.size() + strlen(sampleConfigText) + 161);
  // Every directive of the reader's table has its line.
  for (std::string_view keyword : directiveKeywords()) {
    const std::string line(keyword);
    EXPECT_TRUE(bytes.find("\n#" + line + " ") != std::string::npos ||
                bytes.find("\n" + line + " ") != std::string::npos)
        << line;
  }
  // The lines of later directives come after the text of old.
  const size_t oldEnd = bytes.find("-Dfoobar=testbartest\r\n");
  ASSERT_NE(oldEnd, std::string::npos);
  EXPECT_GT(bytes.find("\n#javalib <"), oldEnd);
  EXPECT_EQ(bytes.substr(header.size(), 2), "\r\n") << "second line is empty";
  EXPECT_TRUE(os.chdirs.empty()) << "written before the directory changes";
}

// A sample that cannot be written whole says why, and leaves no file of
// its name behind (an old one was emptied already).
TEST_F(EntryTest, SampleThatCannotBeWrittenEndsWithOneAndItsLine) {
  const std::string sample = "C:\\Work\\sample.config";
  const struct {
    std::set<std::string> FakePlatform::*failing;
    int64_t diskBytes;
    const char* why;
  } rows[] = {{&FakePlatform::unwritable, -1, "Access is denied."},
              {&FakePlatform::failingWrites, -1, "No space left on device"},
              {nullptr, 1000, "No space left on device"}};
  for (const auto& row : rows) {
    os = FakePlatform();
    os.files[sample] = "old";
    if (row.failing) (os.*row.failing).insert(sample);
    os.diskBytes = row.diskBytes;
    EXPECT_EQ(run({"-sample"}), 1);
    EXPECT_EQ(os.err, "Unable to write sample.config: " + std::string(row.why) + "\n");
    EXPECT_EQ(os.files.count(sample), row.failing == &FakePlatform::unwritable ? 1u : 0u);
    EXPECT_TRUE(os.boxes.empty() && os.out.empty());
  }
}

TEST_F(EntryTest, LogSwitchTakesTheNextWordUnlessItIsASwitch) {
  run({"-log", "out.txt", "x"});
  EXPECT_EQ(opt.logFilePath, "out.txt");
  EXPECT_EQ(set.appArguments, std::vector<std::string>{"x"});
  ASSERT_FALSE(os.events.empty());
  EXPECT_EQ(os.events[0], "redirect out.txt");

  resetLaunchState();
  os.events.clear();
  run({"-log", "-q"});
  EXPECT_TRUE(opt.quietMode);
  EXPECT_EQ(opt.logFilePath, "C:\\Temp\\tool-4242.log");
  ASSERT_FALSE(os.events.empty());
  EXPECT_EQ(os.events[0], "redirect C:\\Temp\\tool-4242.log");
}

TEST_F(EntryTest, SecondLogSwitchDoesNotOpenAnotherFile) {
  run({"-log", "a.txt", "-log", "b.txt"});
  EXPECT_EQ(os.events.size(), 1u);
  EXPECT_EQ(os.events[0], "redirect a.txt");
}

TEST_F(EntryTest, FailedLogRedirectionIsReportedAndTheRunGoesOn) {
  os.redirectResult = CreateResult::CannotCreateFile;
  run({"-log", "x.log"});
  EXPECT_EQ(os.out.rfind("Unable to create file!\n", 0), 0u);
  EXPECT_FALSE(opt.logRedirected);
  EXPECT_TRUE(opt.logToFile);

  resetLaunchState();
  os.out.clear();
  os.redirectResult = CreateResult::CannotDuplicateHandle;
  run({"-log", "x.log"});
  EXPECT_EQ(os.out.rfind("Unable to create handle!\n", 0), 0u);
}

// On a full disk the log is not made, so no empty file stays behind; one
// with bytes of its own frees their room as it is replaced.
TEST_F(EntryTest, ALogOnAFullDiskIsNotMade) {
  const struct {
    std::vector<std::string> words;
    const char* old;  // C:\Work\x.log before
    size_t logs;      // the .log files after
  } rows[] = {{{"-log", "x.log"}, nullptr, 0}, {{"-log"}, nullptr, 0},
              {{"-log", "x.log"}, "old run", 1}};
  for (const auto& row : rows) {
    os = FakePlatform();
    resetLaunchState();
    os.freeBytes = 0;
    if (row.old) os.files["C:\\Work\\x.log"] = row.old;
    run(row.words);
    EXPECT_EQ(opt.logRedirected, row.old != nullptr);
    EXPECT_EQ(std::count_if(os.files.begin(), os.files.end(),
                            [](const auto& file) { return file.first.find(".log") != std::string::npos; }),
              row.logs);
    EXPECT_EQ(os.out.rfind("Unable to create file!\n", 0), row.old ? std::string::npos : 0u);
  }
}

// In the shared temporary folder the log is a new file, never one planted
// under its name.
TEST_F(EntryTest, DefaultLogIsANewPrivateFile) {
  struct Case {
    const char* name;
    int plantedNames;
    std::string path;
  } cases[] = {
      {"the usual name", 0, "C:\\Temp\\tool-4242.log"},
      {"a name taken", 1, "C:\\Temp\\tool-4242-0000000000000001.log"},
      {"every name taken", NEW_NAME_TRIES, "<none>"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.out.clear();
    os.privateFiles.clear();
    os.planted = {"C:\\Temp\\tool-4242.log"};
    os.randomNumbers.clear();
    for (int i = 1; i < NEW_NAME_TRIES; ++i) {
      os.randomNumbers.push_back(static_cast<uint64_t>(i));
      if (i < c.plantedNames)
        os.planted.insert("C:\\Temp\\tool-4242-000000000000000" +
                          std::string(1, "0123456789abcdef"[i]) + ".log");
    }
    if (c.plantedNames == 0) os.planted.clear();
    run({"-log"});
    EXPECT_EQ(os.privateFiles.empty() ? "<none>" : os.privateFiles[0], c.path)
        << c.name;
    EXPECT_EQ(opt.logRedirected, c.plantedNames < NEW_NAME_TRIES) << c.name;
    if (!opt.logRedirected) {
      EXPECT_EQ(os.out.rfind("Unable to create file!\n", 0), 0u) << c.name;
    }
  }
}

TEST_F(EntryTest, MissingTempDirectoryPutsTheLogInTheCurrentDirectory) {
  os.tempDir.reset();
  run({"-log"});
  EXPECT_EQ(opt.logFilePath, "tool-4242.log");
  EXPECT_EQ(os.err.rfind("Error getting temp path!\n", 0), 0u);
}

TEST_F(EntryTest, LogAndSampleNeverReplaceTheConfigurationFile) {
  struct Case {
    const char* name;
    std::string exe, cwd;
    std::vector<std::string> words;
    std::string kept;  // the configuration left as it was, or "" when none
  } cases[] = {
      {"-log naming it", "C:\\Apps\\tool.exe", "C:\\Apps", {"-log", "tool.config"},
       "C:\\Apps\\tool.config"},
      {"a -c file named later", "C:\\Apps\\tool.exe", "C:\\Apps",
       {"-log", "my.cfg", "-cmy.cfg"}, "C:\\Apps\\my.cfg"},
      {"-sample beside sample.exe", "C:\\Apps\\sample.exe", "C:\\Apps",
       {"-sample"}, "C:\\Apps\\sample.config"},
      {"-sample from a console", "sample", "C:\\Apps", {"-sample"},
       "C:\\Apps\\sample.config"},
      {"-log naming an included file", "C:\\Apps\\tool.exe", "D:\\Work",
       {"-log", "C:\\Apps\\common.config"}, "C:\\Apps\\common.config"},
      {"-log naming a file an include includes through a var",
       "C:\\Apps\\tool.exe", "C:\\Apps", {"-log", "sub\\deep.config"},
       "C:\\Apps\\sub\\deep.config"},
      {"-log naming a file an include names through setenv",
       "C:\\Apps\\tool.exe", "D:\\Work", {"-log", "C:/Shared/env.config"},
       "C:/Shared/env.config"},
      {"another folder's tool.config", "C:\\Apps\\tool.exe", "D:\\Work",
       {"-log", "tool.config"}, ""},
      {"another application's sample", "C:\\Apps\\tool.exe", "C:\\Apps",
       {"-sample"}, ""},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.files.clear();
    os.events.clear();
    os.boxes.clear();
    os.err.clear();
    os.cwd = c.cwd;
    for (const char* name : {"sample.config", "my.cfg", "sub\\deep.config"})
      os.files[std::string("C:\\Apps\\") + name] = "mainclass app.Main\n";
    os.files["C:\\Apps\\tool.config"] =
        "mainclass app.Main\ninclude common.config\nsetenv SHARED=C:\\Shared\n"
        "include $SHARED\\env.config\n";
    os.files["C:/Shared/env.config"] = "argument shared\n";
    os.files["C:\\Apps\\common.config"] = "var D=sub\ninclude %D%\\deep.config\n";
    const std::map<std::string, std::string> before = os.files;
    std::vector<std::string> argv = {c.exe};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    const int code = exitCodeOf([&] { runLauncher(argv); });
    if (c.kept.empty()) {
      EXPECT_TRUE(os.err.empty()) << c.name << os.err;
      continue;
    }
    EXPECT_EQ(code, 1) << c.name;
    EXPECT_EQ(os.files[c.kept], before.at(c.kept)) << c.name;
    EXPECT_TRUE(set.variables.empty()) << c.name;
    EXPECT_EQ(os.env.count("SHARED"), 0u) << c.name << ": the look sets nothing";
    EXPECT_TRUE(os.events.empty()) << c.name;
    ASSERT_EQ(os.boxes.size(), 1u) << c.name;
    EXPECT_EQ(os.boxes[0].caption, "Configuration File Kept");
    EXPECT_EQ(os.err, os.boxes[0].text + "\n");
  }
  EXPECT_EQ(os.boxes.size(), 0u);
}

// Given no file, -log writes the one outputFile names (relative to the
// launcher's folder), as it writes a file named after it.
TEST_F(EntryTest, OutputFileIsTheLogFileWhenLogNamesNone) {
  struct Case {
    const char* name;
    std::string lines;
    std::vector<std::string> words;
    std::string redirected;  // "" when -log refused it
  } cases[] = {
      {"relative", "outputFile logs\\run.log\n", {"-log"}, "C:\\Apps\\logs\\run.log"},
      {"absolute, trailing blanks", "outputFile D:\\run.log  \n", {"-log"}, "D:\\run.log"},
      {"through setenv and an include", "include more.config\n", {"-log"},
       "C:/Logs/x.log"},
      {"the last line wins", "outputFile a.log\noutputFile b.log\n", {"-log"},
       "C:\\Apps\\b.log"},
      {"a file after -log wins", "outputFile a.log\n", {"-log", "mine.log"}, "mine.log"},
      {"no outputFile", "", {"-log"}, "C:\\Temp\\tool-4242.log"},
      {"the configuration itself", "outputFile tool.config\n", {"-log"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetLaunchState();
    os.events.clear();
    os.err.clear();
    os.env.clear();
    os.cwd = "D:\\Work";
    os.files["C:\\Apps\\tool.config"] = "mainclass app.Main\n" + c.lines;
    os.files["C:\\Apps\\more.config"] = "setenv LOGS=C:\\Logs\noutputFile $LOGS\\x.log\n";
    std::vector<std::string> argv = {"C:\\Apps\\tool.exe"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    const int code = exitCodeOf([&] { runLauncher(argv); });
    if (c.redirected.empty()) {
      EXPECT_EQ(code, 1);
      EXPECT_TRUE(os.events.empty());
      EXPECT_EQ(os.err.rfind("The log file C:\\Apps\\tool.config is this "
                             "application's configuration file ", 0), 0u) << os.err;
      continue;
    }
    ASSERT_FALSE(os.events.empty());
    EXPECT_EQ(os.events[0], "redirect " + c.redirected);
  }
}

TEST(VersionTest, IdentificationStringHasTheBuildDateForm) {
  EXPECT_EQ(identificationFor("Mar  5 2021", "09:07:03"),
            "@(#)src/Tarvik Version: 2.2.1 Dovrel Compiled: Mar  5 2021 at "
            "09:07:03");
  const std::string& id = identificationString();
  const std::string head = "@(#)src/Tarvik Version: 2.2.1 Dovrel Compiled: ";
  ASSERT_EQ(id.rfind(head, 0), 0u);
  std::string date = id.substr(head.size());
  // "Mmm dd yyyy at hh:mm:ss", the day padded with a blank.
  ASSERT_EQ(date.size(), 23u) << date;
  EXPECT_EQ(date.substr(11, 4), " at ");
  EXPECT_EQ(date[3], ' ');
  EXPECT_TRUE(date[4] == ' ' || (date[4] >= '1' && date[4] <= '3'));
  EXPECT_EQ(date[17], ':');
  EXPECT_EQ(date[20], ':');
}

}  // namespace
}  // namespace tarvik
