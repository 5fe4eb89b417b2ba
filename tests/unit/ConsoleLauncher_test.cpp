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

// Either launcher is typed by its name (found through PATH), by a relative
// path, through a link or by its full path; its configuration and the
// configuration's relative paths are always the folder of its own file.
// The application runs in the launcher's folder only when the windowed
// launcher was typed by its full path, else in the caller's.
TEST_F(ConsoleLauncherTest, RelativePathsAreTheLaunchersFolderHoweverItIsTyped) {
  const LauncherKind W = LauncherKind::Windowed, C = LauncherKind::Console;
  struct Row {
    LauncherKind kind;
    bool posix;
    const char* typed;
    const char* own;  // the launcher's file as the system names it
    const char* java;  // the runtime the included file names
    OptionalText runsIn;  // the application's folder, when not the launcher's
    const char* jar;  // the class path entry of "addjar lib\\a.jar"
    const char* options = "";  // -c and the like, for either launcher
    const char* mainConfig = nullptr;  // when not the launcher's tool.config
  } rows[] = {
      {C, false, "tool", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar"},
      {C, false, "..\\Apps\\tool.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar"},
      {C, false, "C:\\Apps\\tool.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar"},
      {W, false, "tool", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar"},
      {W, false, "..\\Apps\\tool.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar"},
      {W, false, "C:\\Apps\\tool.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", {}, "lib\\a.jar"},
      {W, false, "\\\\?\\C:\\Apps\\tool.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", {}, "lib\\a.jar"},
      {W, false, "\\\\srv\\share\\tool.exe", "\\\\srv\\share\\tool.exe", "jre\\bin\\java.exe", {}, "lib\\a.jar", "", "\\\\srv\\share\\tool.config"},
      // A -c file named without a folder is the launcher's folder's.
      {W, false, "tool", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar", "-ctool.config", "C:\\Apps\\tool.config"},
      {C, false, "tool", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe", "C:\\Work", "C:\\Apps\\lib\\a.jar", "-ctool.config", "C:\\Apps\\tool.config"},
      {W, true, "tool", "/opt/app/tool", "jre/bin/java", "/home/u", "/opt/app/lib/a.jar"},
      {W, true, "bin/tool", "/opt/app/tool", "jre/bin/java", "/home/u", "/opt/app/lib/a.jar"},
      {W, true, "/usr/local/bin/tool", "/opt/app/tool", "jre/bin/java", {}, "lib/a.jar"},
      {C, true, "tool", "/opt/app/tool", "jre/bin/java", "/home/u", "/opt/app/lib/a.jar"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.typed) + " " + row.options);
    resetLaunchState();
    os.started.clear();
    os.files.clear();
    os.env.clear();
    os.conv = row.posix ? PlatformConventions::posix() : PlatformConventions::windows();
    const std::string folder = row.posix ? "/opt/app" : std::string(row.own).substr(0, std::string(row.own).rfind('\\'));
    const std::string sep = row.posix ? "/" : "\\";
    const std::string work = row.posix ? "/home/u" : "C:\\Work";
    os.cwd = work;
    os.files[folder + sep + "tool.config"] =
        "mainclass app.Main\ninclude common.config\naddjar lib" + sep + "a.jar\n";
    os.files[folder + sep + "common.config"] = std::string("javapath ") + row.java + "\n";
    os.files[work + sep + "tool.config"] = "mainclass evil.Main\n";
    os.files[work + sep + "common.config"] = "javapath " + work + sep + "decoy\n";
    opt.kind = row.kind;
    std::vector<std::string> argv = {row.typed};
    if (*row.options) {
      if (row.kind == C) os.env["TARVIK_OPTIONS"] = row.options;
      else argv.push_back(row.options);
    }
    exitCodeOf([&] { runLauncher(argv, row.own); });
    ASSERT_EQ(os.started.size(), 1u);
    const std::string& command = os.started[0].commandLine;
    // A relative Java executable is the launcher's folder's too: by its full
    // path where the application runs elsewhere.
    EXPECT_EQ(command.rfind(row.runsIn ? folder + sep + row.java : std::string(row.java), 0),
              0u) << command;
    EXPECT_NE(command.find(row.jar), std::string::npos) << command;
    const std::string config = row.mainConfig ? row.mainConfig : folder + sep + "tool.config";
    EXPECT_NE(command.find("-Dexe.mainConfig=\"" + config + "\" "), std::string::npos)
        << command;
    EXPECT_EQ(os.cwd, folder);
    EXPECT_EQ(os.started[0].workingDir, row.runsIn);
  }
}

TEST_F(ConsoleLauncherTest, AMissingConfigurationIsALineAndCodeTwo) {
  os.files.clear();
  EXPECT_EQ(run(LauncherKind::Console), 2);
  EXPECT_EQ(os.err, "Configuration File Not Found: The configuration file "
                    "C:\\Apps\\tool.config cannot be read.\n");
  EXPECT_TRUE(os.started.empty());
  EXPECT_TRUE(os.boxes.empty());
  // In the debug mode, before any line about the reading.
  resetLaunchState();
  os.err.clear();
  os.env["TARVIK_OPTIONS"] = "-d";
  EXPECT_EQ(run(LauncherKind::Console), 2);
  const std::string settled = "CWD: C:\\Apps\n";
  EXPECT_EQ(os.err.substr(os.err.find(settled) + settled.size()),
            "Configuration File Not Found: The configuration file "
            "C:\\Apps\\tool.config cannot be read.\n");
}

TEST_F(ConsoleLauncherTest, TheConfigurationIsReadOnce) {
  for (LauncherKind kind : {LauncherKind::Windowed, LauncherKind::Console}) {
    resetLaunchState();
    os.readWhole.clear();
    run(kind);
    EXPECT_EQ(os.readWhole, std::vector<std::string>{"C:\\Apps\\tool.config"});
  }
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

// In-process, exit code 999 cannot make a second VM: the launcher is
// started anew, in the folder it was started in, with the switches it
// cleared once read and the log it writes to, and its exit code is the
// launch's. Where it cannot start, the failure is told and 999 passed on.
TEST_F(ConsoleLauncherTest, InProcessRestartStartsTheLauncherAnew) {
  const std::string log = "C:\\Logs\\tool.log";
  struct Row {
    const char* name;
    LauncherKind kind;
    bool posix;
    int status;
    std::string options;  // TARVIK_OPTIONS
    std::string restartError;
    int restarts;
    int code;
    std::string err;
  } rows[] = {
      {"console, switches and log handed on", LauncherKind::Console, false, 999,
       "-log " + log, "", 1, 5, ""},
      {"windowed", LauncherKind::Windowed, false, 999, "", "", 1, 5, ""},
      {"Linux: the status comes whole", LauncherKind::Console, true, 999, "", "", 1, 5, ""},
      {"Linux: 999 as the system cuts it", LauncherKind::Console, true, 231, "", "", 1, 5, ""},
      {"Windows: 231 is a code of its own", LauncherKind::Console, false, 231, "", "", 0,
       231, ""},
      {"no other code restarts", LauncherKind::Console, false, 3, "", "", 0, 3, ""},
      {"the new launcher does not start", LauncherKind::Console, false, 999, "", "denied",
       1, 999,
       "Unable To Restart: The application asked to be restarted (exit code 999), but "
       "the launcher could not be started again: denied\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    resetLaunchState();
    os = FakePlatform();
    // Linux's 8-bit exit codes are what matters here, and the status its
    // exit handlers are told.
    if (row.posix) os.conv.exitCodeBits = PlatformConventions::posix().exitCodeBits;
    os.exitStatusTold = row.posix;
    os.cwd = "C:\\Work";
    os.files["C:\\Apps\\tool.config"] =
        std::string(CONFIG) + "javalib C:\\Apps\\jvm\\server\\jvm.dll\n";
    os.env["TARVIK_OPTIONS"] = row.options;
    os.restartExitCode = 5;
    os.restartError = row.restartError;
    FakeJvm jvm;
    jvm.install(os, "C:\\Apps\\jvm\\server\\jvm.dll");
    jvm.exitStatus = row.status;
    EXPECT_EQ(run(row.kind), row.code);
    ASSERT_EQ(os.restarts.size(), static_cast<size_t>(row.restarts));
    EXPECT_EQ(os.err, row.err);
    if (!row.restarts) continue;
    FakePlatform::Restart& restart = os.restarts[0];
    EXPECT_EQ(restart.workingDir, "C:\\Work");
    if (row.kind == LauncherKind::Console) {
      EXPECT_EQ(restart.env["TARVIK_OPTIONS"], row.options);
    }
    EXPECT_EQ(restart.env["TARVIK_LOG_HANDED_ON"], row.options.empty() ? "" : log);
  }
}

// A launcher started anew by one that logs writes on in the same file: it
// neither empties that file nor makes a new one.
TEST_F(ConsoleLauncherTest, HandedOnLogIsKept) {
  os.env["TARVIK_OPTIONS"] = "-log C:\\Logs\\tool.log";
  os.env["TARVIK_LOG_HANDED_ON"] = "C:\\Logs\\tool.log";
  os.files["C:\\Logs\\tool.log"] = "first run\n";
  run(LauncherKind::Console);
  EXPECT_EQ(os.files["C:\\Logs\\tool.log"], "first run\n");
  EXPECT_EQ(os.handles.output, 1u);
  EXPECT_EQ(os.env["TARVIK_LOG_HANDED_ON"], "");
  EXPECT_EQ(opt.logFilePath, "C:\\Logs\\tool.log");
}

}  // namespace
}  // namespace tarvik
