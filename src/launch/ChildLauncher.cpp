#include "launch/ChildLauncher.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LaunchSettings.h"
#include "Version.h"
#include "cache/StartupCache.h"
#include "config/ConfigLocation.h"
#include "launch/ArgumentFile.h"
#include "launch/CommandLineBuilder.h"
#include "launch/EmbeddedVmLauncher.h"
#include "launch/ResolvedLaunch.h"
#include "launch/WindowsCommandLine.h"
#include "runtime/JreLocator.h"
#include "support/AnsiCodePage.h"
#include "support/LauncherFiles.h"
#include "support/LogRedirector.h"
#include "support/Message.h"
#include "support/Utf8.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

constexpr uint32_t INPUT_IDLE_MILLIS = 5000;
constexpr size_t MESSAGE_BUFFER_SIZE = 1024;
// A child that fails within this many seconds failed to launch.
constexpr double QUICK_FAILURE_SECONDS = 3.0;
// How long a child runs before its argument file may go.
constexpr int32_t ARGUMENT_FILE_READ_MILLIS = 3000;

ChildWait gChildWait = nullptr;

// What the C runtime's "%s" prints for an absent text.
std::string orNull(const OptionalText& text) {
  return text ? *text : std::string("(null)");
}

// What a child's exit code means to the launcher. A system that cuts exit
// codes to fewer bits (Linux: 8, so 999 arrives as 231) delivers the restart
// code cut the same way, and that is taken as the restart request. The
// status of a VM in the launcher's process comes whole and is cut as the
// system would cut it.
enum class ChildEnd { Success, Relaunch, Failure };

ChildEnd classifyExitCode(uint32_t exitCode) {
  if (exitCode == 0) return ChildEnd::Success;
  const int bits = platform().conventions().exitCodeBits;
  const uint32_t mask = bits > 0 && bits < 32 ? (1u << bits) - 1 : ~0u;
  const uint32_t relaunch = static_cast<uint32_t>(RELAUNCH_EXIT_CODE) & mask;
  if ((exitCode & mask) == relaunch) return ChildEnd::Relaunch;
  return ChildEnd::Failure;
}

// The value launchJava returns for a child that ended with `exitCode`.
int launchResultFor(uint32_t exitCode) {
  if (classifyExitCode(exitCode) == ChildEnd::Relaunch)
    return RELAUNCH_EXIT_CODE;
  return static_cast<int>(exitCode);
}

}  // namespace

bool asksForRestart(uint32_t exitCode) {
  return classifyExitCode(exitCode) == ChildEnd::Relaunch;
}

void setChildWait(ChildWait wait) { gChildWait = wait; }

namespace {

std::string versionRecord() {
  return "#Version " + identificationString() + "\n";
}

// The records of a child's start: the version and the command line, made in
// room for both.
std::string startRecords(const std::string& commandLine) {
  const std::string& id = identificationString();
  std::string records;
  records.reserve(id.size() + commandLine.size() + 32);
  records += "#Version ";
  records += id;
  records += "\n#Command line=\n";
  records += commandLine;
  records += '\n';
  return records;
}

std::string libraryRecord(const std::string& library) {
  return "#JVM library=\n" + library + "\n";
}

[[noreturn]] void writeCommandFileAndExit(const std::string& records) {
  Platform& os = platform();
  const std::string name = appBaseName(startup().exePath) + ".out";
  std::string path = name;
  std::unique_ptr<OutputFile> file =
      createLauncherFile(LauncherFileKind::CommandFile, name).file;
  if (!file) {
    path = inTempDir(name);
    // The temporary folder is shared: the file is made anew there, never a
    // file or link that another user left under its name.
    file = createLauncherFile(LauncherFileKind::CommandFileInTemp, path).file;
    if (!file) {
      os.writeStderr("Error opening .out files: " + name + "\n");
      os.writeStderr("and " + path + "\n");
      exitLauncher(COMMAND_FILE_FAILED_EXIT_CODE);
    }
  }
  file->write(records);
  // A file that is not whole is no command file: fail as when none opens.
  if (!file->close()) {
    os.writeStderr("Error writing .out file: " + path + "\n");
    exitLauncher(COMMAND_FILE_FAILED_EXIT_CODE);
  }
  exitLauncher(0);
}

void debugLine(bool created, uint32_t exitCode) {
  if (!options().debugMode) return;
  writeRecord("CreateProcess ret " + std::to_string(created ? 1 : 0) +
                         ", exitCode=" + std::to_string(exitCode) + "\n");
}

// No child could be made: there is no application whose code could be
// passed on, and ending with 0 would read as success.
[[noreturn]] void failChildStart(const std::string& javaPath,
                                 const std::string& errorText) {
  const LaunchSettings& s = settings();
  platform().writeStderr("Unable to start Java " + javaPath + ": " +
                         errorText + "\n");
  showMessage(CHILD_START_FAILED_CAPTION,
              "Unable to start Java for class " + orNull(s.mainClass) +
                  "\n with Java " + javaPath + ".\n" + errorText,
              true);
  debugLine(false, 0);
  exitLauncher(CHILD_START_FAILED_EXIT_CODE);
}

// The argument file goes once Java has read it, which its launcher does
// first thing: when the child has ended, or has run for
// ARGUMENT_FILE_READ_MILLIS, however long the launcher waits beside it.
// After a failed wait nothing is known, and the file stays. The end of the
// wait the launcher asked for (`millis`, negative for none) is returned.
WaitResult waitRemovingArgumentFile(ChildProcess& child, int64_t millis,
                                    const std::string& path) {
  const bool longer = millis < 0 || millis > ARGUMENT_FILE_READ_MILLIS;
  const WaitResult first =
      child.waitForExit(longer ? ARGUMENT_FILE_READ_MILLIS : millis);
  if (first == WaitResult::Failed) return first;
  if (first == WaitResult::Running && !longer &&
      millis < ARGUMENT_FILE_READ_MILLIS)
    child.waitForExit(ARGUMENT_FILE_READ_MILLIS - millis);
  platform().removeFile(path);
  if (first != WaitResult::Running || !longer) return first;
  return child.waitForExit(millis < 0 ? millis
                                      : millis - ARGUMENT_FILE_READ_MILLIS);
}

void reportAbnormalEnd(const std::string& javaPath, uint32_t exitCode,
                       double elapsedSeconds) {
  const LaunchSettings& s = settings();
  const LauncherOptions& opts = options();
  if (s.appLogFile && !s.appLogFile->empty()) {
    const std::string name =
        s.appName && !s.appName->empty() ? *s.appName : "Application";
    const std::string text = fitBuffer(
        name +
            " has closed in an unexpected way. Would you like to view the "
            "log file?\n\nLog file location:" +
            *s.appLogFile + "\n\nJava returned the following error code: " +
            std::to_string(exitCode),
        MESSAGE_BUFFER_SIZE);
    if (opts.quietMode) return;
    if (tellUser(text, "Unexpected Close", MB_STYLE_UNEXPECTED_CLOSE) ==
        ANSWER_YES)
      // The value is command-line text; the file is the path without the
      // quotes that grouped it there.
      openForUser(withoutQuotes(*s.appLogFile));
    return;
  }
  if (elapsedSeconds < QUICK_FAILURE_SECONDS && !opts.quietMode) {
    tellUser(fitBuffer("Error launching Class " + orNull(s.mainClass) +
                           "\n with Java " + javaPath +
                           ".\nError=" + std::to_string(exitCode),
                       MESSAGE_BUFFER_SIZE),
             "Error", MB_STYLE_ICONERROR);
  }
}

}  // namespace

int launchJava() {
  LaunchSettings& s = settings();
  const LauncherOptions& opts = options();
  Platform& os = platform();

  const std::optional<ResolvedLaunch> launch = resolveLaunch();
  if (!launch) return NO_RUNTIME_RESULT;
  if (launch->inProcess) {
    if (s.javaLibAuto) {
      const std::string records = versionRecord() + libraryRecord(launch->jvmLibrary);
      if (opts.writeCommandFile) writeCommandFileAndExit(records);
      writeRecord(records);
      os.flushStdout();
    }
    return launchInProcess(*launch);
  }

  std::optional<ChildCommand> command = buildChildCommand(*launch);
  if (!command) return NO_RUNTIME_RESULT;
  const std::optional<std::string> commandLine = command->line;

  debugBox("Starting dir", s.workingDir.value_or(""));
  if (s.appLogFile && !s.appLogFile->empty())
    debugBox("LogFile", *s.appLogFile);
  debugBox("Command Line is", *commandLine);

  const bool console = isConsoleLauncher();
  ChildStart start;
  start.workingDir = launch->applicationFolder;
  // The console launcher's standard streams, input too, are the child's.
  start.useStdHandles = opts.logToFile || console;
  // Taken before a console is opened, which may rebind them: the child of
  // -log writes to the log file, console or not.
  if (start.useStdHandles) start.stdHandles = os.standardHandles();
  if (!console) start.stdHandles.input = 0;
  // A console child shares the launcher's console, and so its Ctrl-C.
  // A service has no console to share: its child gets one of its own,
  // without a window, for the Ctrl-C that stops it.
  start.noWindow = (!s.showConsole && !console) || opts.runsAsService;
  start.leaveInterruptsToChild = console;
  start.endsWithLauncher = console;
  start.forwardTermination = true;
  start.forwardUserSignals = console;
  if (s.showConsole) start.consoleTitle = s.consoleTitle;

  // The child is timed for the report of a quick failure, which only the
  // windowed launcher makes.
  const int64_t startTime = console ? 0 : os.timeSeconds();

  debugBox("Show Console", s.showConsole ? "true" : "false");

  // A windowed Java makes no console of its own use, and in debug mode the
  // boxes are the output.
  if (s.showConsole && launch->javaAsGiven.find("javaw") == std::string::npos &&
      !opts.debugMode)
    openConsole();

  if (opts.writeCommandFile) writeCommandFileAndExit(startRecords(*commandLine));

  if (recordsWritten()) writeRecord(startRecords(*commandLine));
  // The records must precede whatever the child writes to the same place.
  os.flushStdout();

  // What the child is handed holds no look-alike of command-line syntax.
  ChildCommand handed = handedToChild(std::move(*command));
  start.commandLine = std::move(handed.line);
  start.arguments = std::move(handed.words);
  const ArgumentFileRoute route = routeThroughArgumentFile(start, *commandLine, launch->program);
  if (route.refusal) failChildStart(launch->javaAsGiven, *route.refusal);
  const std::optional<std::string> argumentFile = route.file;
  ChildStartResult started = os.startChild(start);
  if (!started.child) {
    if (argumentFile) os.removeFile(*argumentFile);
    failChildStart(launch->javaAsGiven, started.errorText);
  }
  ChildProcess& child = *started.child;

  child.waitForInputIdle(INPUT_IDLE_MILLIS);

  if (s.showConsole && s.consoleTitle && !s.consoleTitle->empty())
    os.setConsoleTitle(*s.consoleTitle);

  // A negative bound waits without one, as the system's wait would.
  const bool unbounded = s.keepAlive || opts.passExitCodeFlag;
  const int64_t millis = unbounded ? -1 : s.keepAliveMillis;
  WaitResult waited;
  if (gChildWait) {
    // The argument file goes once Java has read it; the service's wait
    // takes the rest.
    waited = argumentFile ? child.waitForExit(ARGUMENT_FILE_READ_MILLIS)
                          : WaitResult::Running;
    if (argumentFile && waited != WaitResult::Failed) os.removeFile(*argumentFile);
    if (waited == WaitResult::Running) waited = gChildWait(child);
  } else {
    waited = argumentFile ? waitRemovingArgumentFile(child, millis, *argumentFile)
                          : child.waitForExit(millis);
  }
  if (waited == WaitResult::Running) return 0;
  if (waited == WaitResult::Failed) {
    // Nothing is known of the child's end: its code is not the system's
    // "still active", and no end is reported or restarted.
    os.writeStderr("Unable to wait for Java " + launch->javaAsGiven +
                   " to end: " + child.waitErrorText() + "\n");
    if (opts.passExitCodeFlag) exitLauncher(CHILD_WAIT_FAILED_EXIT_CODE);
    return 0;
  }

  finishStartupCache();
  const uint32_t exitCode = child.exitCode();
  dropArchiveAfterCrash(exitCode);

  // A command-line tool's code is its own word, passed on as it is.
  if (classifyExitCode(exitCode) == ChildEnd::Failure && !console) {
    const double elapsedSeconds = static_cast<double>(os.timeSeconds() - startTime);
    reportAbnormalEnd(launch->javaAsGiven, exitCode, elapsedSeconds);
  }

  debugLine(true, exitCode);
  return launchResultFor(exitCode);
}

}  // namespace tarvik
