// The console launcher (tarvikc) against the windowed one, over the fake
// platform: what each makes of the same configuration and words.
#include "Tarvik.h"

#include "fakes/FakeJvm.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

const char CONFIG[] =
    "javapath C:\\jdk\\bin\\java.exe\nmainclass app.Main\n"
    "addjar lib\\a.jar\naddjar C:\\abs\\b.jar\n";

class ConsoleLauncherTest : public LauncherTest {
 protected:
  ConsoleLauncherTest() {
    os.cwd = "C:\\Work";
    os.handles = {1, 2, 3};
    os.files["C:\\Apps\\tool.config"] = CONFIG;
  }
  // The launcher of `kind` on `words`; its exit code.
  int run(LauncherKind kind, std::vector<std::string> words = {}) {
    opt.kind = kind;
    words.insert(words.begin(), "C:\\Apps\\tool.exe");
    int result = kReturned;
    int code = exitCodeOf([&] { result = runLauncher(words); });
    return code == kReturned ? result : code;
  }
};

TEST_F(ConsoleLauncherTest, TheChildIsStartedAsACommandLineToolWants) {
  struct Row {
    LauncherKind kind;
    OptionalText folder;
    bool handles, noWindow, console;
    uintptr_t input;
    std::string java;
  } rows[] = {
      {LauncherKind::Windowed, {}, false, true, false, 0, "C:\\jdk\\bin\\java.exe "},
      {LauncherKind::Console, std::string("C:\\Work"), true, false, true, 3,
       "C:\\jdk\\bin\\java.exe "},
  };
  for (const Row& row : rows) {
    resetLaunchState();
    os.started.clear();
    os.out.clear();
    os.exitWaits.clear();
    os.boxes.clear();
    os.cwd = "C:\\Work";
    FakeChildScript fails;
    fails.exitCode = 7;
    os.children = {fails};
    const int code = run(row.kind, {"-x"});
    ASSERT_EQ(os.started.size(), 1u);
    const ChildStart& start = os.started[0];
    EXPECT_EQ(start.workingDir, row.folder);
    EXPECT_EQ(start.useStdHandles, row.handles);
    EXPECT_EQ(start.stdHandles.input, row.input);
    EXPECT_EQ(start.noWindow, row.noWindow);
    EXPECT_EQ(start.leaveInterruptsToChild, row.console);
    EXPECT_EQ(start.endsWithLauncher, row.console);
    EXPECT_TRUE(start.forwardTermination);
    EXPECT_EQ(start.forwardUserSignals, row.console);
    // Relative class path entries stay the launcher folder's.
    EXPECT_NE(start.commandLine.find(row.console ? "C:\\Apps\\lib\\a.jar;C:\\abs\\b.jar"
                                                 : " lib\\a.jar;C:\\abs\\b.jar"),
              std::string::npos)
        << start.commandLine;
    // The console launcher waits without bound and passes the code on;
    // its standard output is the application's alone.
    EXPECT_EQ(code, row.console ? 7 : 0);
    EXPECT_EQ(os.exitWaits.front(), row.console ? -1 : 3000);
    EXPECT_EQ(os.out.empty(), row.console) << os.out;
    EXPECT_EQ(os.boxes.size(), row.console ? 0u : 1u) << "Error launching Class";
  }
}

TEST_F(ConsoleLauncherTest, SwitchesComeFromTarvikOptionsAndWordsGoToTheApplication) {
  const std::vector<std::string> words = {"-o", "-q", "-DskipTests", "-cp", "x", "-log", "--"};
  struct Row {
    std::string options;
    int code;
    std::string err;  // a part of standard error
    bool started;
    bool recordsOnStdout;
  } rows[] = {
      {"", 0, "", true, false},
      {"-d -Dp=1", 0, "#Command line=\nC:\\jdk\\bin\\java.exe -Dp=1 ", true, false},
      {"-log \"C:\\Logs\\my run.log\"", 0, "", true, true},
      {"-o", 0, "", false, false},
      {"-q stray", 3, "Not A Tarvik Switch: TARVIK_OPTIONS holds \"stray\", which is not "
                      "a switch of the launcher.", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    resetLaunchState();
    os.started.clear();
    os.out.clear();
    os.err.clear();
    os.cwd = "C:\\Work";
    os.env["TARVIK_OPTIONS"] = row.options;
    EXPECT_EQ(run(LauncherKind::Console, words), row.code);
    EXPECT_NE(os.err.find(row.err), std::string::npos) << os.err;
    EXPECT_EQ(os.started.size(), row.started ? 1u : 0u);
    EXPECT_EQ(os.out.find("#Version") == 0, row.recordsOnStdout) << os.out;
    if (row.started) {
      EXPECT_EQ(set.appArguments, words);
    }
    EXPECT_TRUE(os.boxes.empty());
    // Tools the application starts through a launcher get none of them.
    EXPECT_EQ(os.env["TARVIK_OPTIONS"], "");
  }
  EXPECT_EQ(os.files.count("C:\\Apps\\tool.out"), 1u);
}

// A command-line tool is typed by its name (found through PATH) or by a
// relative path; its configuration's relative paths stay its folder's.
TEST_F(ConsoleLauncherTest, RelativePathsAreTheLaunchersFolderHoweverItIsTyped) {
  struct Row {
    LauncherKind kind;
    const char* typed;
    const char* java;  // the runtime the included file names
    const char* launcherFolder;
  } rows[] = {
      {LauncherKind::Console, "tool", "jre\\bin\\java.exe", "C:\\Apps"},
      {LauncherKind::Console, "..\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Apps"},
      {LauncherKind::Console, "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Apps"},
      // The windowed launcher settles only when started by its full path.
      {LauncherKind::Windowed, "tool", "C:\\decoy\\java.exe", "C:\\Work"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    resetLaunchState();
    os.started.clear();
    os.cwd = "C:\\Work";
    os.files["C:\\Apps\\tool.config"] = "mainclass app.Main\ninclude common.config\n";
    os.files["C:\\Apps\\common.config"] = "javapath jre\\bin\\java.exe\n";
    os.files["C:\\Work\\common.config"] = "javapath C:\\decoy\\java.exe\n";
    opt.kind = row.kind;
    exitCodeOf([&] { runLauncher({row.typed, "-x"}, "C:\\Apps\\tool.exe"); });
    ASSERT_EQ(os.started.size(), 1u);
    EXPECT_EQ(os.started[0].commandLine.rfind(row.java, 0), 0u) << os.started[0].commandLine;
    EXPECT_EQ(os.cwd, row.launcherFolder);
    if (row.kind == LauncherKind::Console) {
      EXPECT_EQ(os.started[0].workingDir, OptionalText("C:\\Work"));
    }
  }
}

TEST_F(ConsoleLauncherTest, AMissingConfigurationIsALineAndCodeTwo) {
  os.files.clear();
  EXPECT_EQ(run(LauncherKind::Console), 2);
  EXPECT_EQ(os.err, "Configuration File Not Found: The configuration file "
                    "C:\\Apps\\tool.config cannot be read.\n");
  EXPECT_TRUE(os.started.empty());
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(ConsoleLauncherTest, AConfigurationThatIsNoTextFileIsNotFoundWithItsReason) {
  struct Row {
    bool notRegular;
    size_t size;
    std::string reason;
  } rows[] = {
      {true, 10, "it is no regular file (a FIFO or a device, say)"},
      {false, (64u << 20) + 1, "it holds more than 67108864 bytes"},
  };
  for (const Row& row : rows) {
    resetLaunchState();
    os.err.clear();
    os.notRegular.clear();
    os.files["C:\\Apps\\tool.config"] = std::string(row.size, '#');
    if (row.notRegular) os.notRegular.insert("C:\\Apps\\tool.config");
    EXPECT_EQ(run(LauncherKind::Console), 2);
    EXPECT_EQ(os.err, "Configuration File Not Found: The configuration file "
                      "C:\\Apps\\tool.config cannot be read: " + row.reason + ".\n");
    EXPECT_TRUE(os.started.empty());
  }
}

TEST_F(ConsoleLauncherTest, InProcessTheVmRunsInTheCallersFolder) {
  struct Row {
    const char* javalib;
    const char* library;
  } rows[] = {
      {"javalib jvm\\server\\jvm.dll\n", "C:\\Apps\\jvm\\server\\jvm.dll"},
      // The library discovery chooses: its records are no output either.
      {"javalib auto\n", "C:\\jdk\\bin\\server\\jvm.dll"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.javalib);
    resetLaunchState();
    os.out.clear();
    FakeJvm jvm;
    jvm.install(os, row.library);
    os.findResults[row.library] = {"jvm.dll"};
    os.files["C:\\Apps\\tool.config"] = std::string(CONFIG) + row.javalib;
    run(LauncherKind::Console);
    ASSERT_EQ(jvm.creations, 1);
    EXPECT_EQ(jvm.cwdAtCreate, "C:\\Work");
    EXPECT_EQ(jvm.options[0], "-Djava.class.path=C:\\Apps\\lib\\a.jar;C:\\abs\\b.jar");
    EXPECT_TRUE(os.out.empty()) << os.out;
  }
}

}  // namespace
}  // namespace tarvik
