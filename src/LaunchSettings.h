// The process-wide record of everything that decides a launch.
//
// The command-line switches and the configuration directives fill it; the
// runtime discovery and the launchers read it. It lives for the whole
// process and a relaunch reads it again unchanged. Tests build a fresh one
// per case with resetLaunchState().
#ifndef TARVIK_LAUNCHSETTINGS_H
#define TARVIK_LAUNCHSETTINGS_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tarvik {

using OptionalText = std::optional<std::string>;

// How the service launcher's service is installed and run (the service
// directives).
struct ServiceSettings {
  // The service's name; the launcher's base name when not set.
  OptionalText name;
  OptionalText displayName;
  OptionalText description;
  // "automatic", "delayed" or "manual".
  std::string startType = "automatic";
  // LocalSystem, LocalService, NetworkService, or a user.
  std::string account = "LocalSystem";
  std::vector<std::string> dependencies;
  // How long a stop waits for the application's end before it is ended.
  int32_t stopTimeoutSeconds = 20;
  // A failed run starts again after this many seconds (negative: it does
  // not), at most `restartLimit` times in a row.
  int32_t restartDelaySeconds = -1;
  int32_t restartLimit = 3;
  // Where the service's logs go; the folder "logs" beside the launcher
  // when not set. Files roll at `logSizeBytes`, and `logFiles` are kept.
  OptionalText logFolder;
  int64_t logSizeBytes = 10 * 1024 * 1024;
  int32_t logFiles = 5;
  // In-process: the static method ("package.Class.method") a stop calls;
  // without one the VM ends as System.exit(0) ends it.
  OptionalText stopMethod;
};

struct LaunchSettings {
  OptionalText javaPath;
  OptionalText mainClass;
  OptionalText requiredJavaVersion;
  OptionalText appName;
  OptionalText consoleTitle;
  OptionalText workingDir;
  OptionalText outputFile;
  // Grow without a fixed capacity: nothing a user configures is dropped.
  std::vector<std::string> classPath;
  std::vector<std::string> appArguments;
  // `leadingArgument` lines: before the command line's words.
  std::vector<std::string> leadingArguments;
  std::vector<std::string> vmParams;
  std::map<std::string, std::string> vmParamValues;
  // The options whose text was written anew from the words they are meant
  // to be (a value held quotes or blanks that the text as written would
  // have made syntax): a VM run in-process is given those words.
  std::set<std::string> vmParamsAsWords;
  // The `var` definitions: byte-wise, case-sensitive names; a later
  // definition replaces an earlier one.
  std::map<std::string, std::string> variables;
  OptionalText appLogFile;
  std::string javaLib;
  // `javalib auto`: the JVM library of the runtime discovery chooses.
  bool javaLibAuto = false;
  // Runtime homes to try before any other source, in the order written.
  std::vector<std::string> runtimeHomes;
  // The runtime found for javaPath is a 32-bit one (its key is in the
  // registry's 32-bit view), which cannot have a large heap.
  bool runtimeIs32Bit = false;
  bool showConsole = false;
  bool keepAlive = false;
  int32_t keepAliveMillis = 3000;
  int32_t percentRam = -1;
  // One instance per this name (singleInstance), when set.
  OptionalText singleInstanceName;
  // The page offered when no fitting runtime is found (javaDownloadUrl).
  OptionalText javaDownloadUrl;
  // The taskbar identity of the application's windows (appUserModelId).
  OptionalText appUserModelId;
  // Keep a class-data archive of the application (`startupCache true`).
  bool startupCache = false;
  ServiceSettings service;

  // Whether the VM runs inside the launcher (`javalib`) rather than as a
  // child process.
  bool inProcess() const { return javaLibAuto || !javaLib.empty(); }
};

// Which program runs: the windowed launcher (tarvik, tarvik.exe) or the
// console one (tarvikc), which behaves like the command-line tool it starts.
// Each program's entry sets it before the launch.
enum class LauncherKind { Windowed, Console };

struct LauncherOptions {
  LauncherKind kind = LauncherKind::Windowed;
  int32_t debugMode = 0;
  bool quietMode = false;
  bool writeCommandFile = false;
  bool passExitCodeFlag = false;
  OptionalText customConfigPath;
  bool logToFile = false;
  std::string logFilePath;
  bool vistaOrLater = false;
  // Set once the log redirection has been done.
  bool logRedirected = false;
  bool clearCache = false;
  // The service launcher (tarvikd), a console launcher whose words manage
  // the application's service.
  bool serviceLauncher = false;
  // It runs as the service now: the service manager started it. What a
  // box would show goes to the system's log too, from this source.
  bool runsAsService = false;
  std::string systemLogSource;
  // install --replace: the service takes the place of one of its name that
  // tarvikd did not make.
  bool replaceService = false;
};

// The launcher's own path, the word it was started with, and the folder it
// settles on.
struct StartupState {
  std::string exePath;
  std::string startedAs;
  std::string launcherDir;
  // The folder the launcher was started in: the one the user typed the
  // command in, where the application runs unless the windowed launcher
  // was started by its full path.
  std::string callerDir;
  // The windowed launcher was typed by its name or a relative path: it
  // reads from its own folder, and its application runs in the caller's.
  bool appInCallersFolder = false;
  // Variables this launch cleared once read, with the values it found: a
  // restarted launcher is given them again.
  std::vector<std::pair<std::string, std::string>> clearedVariables;
  // Every configuration file this launch read or tried to read (an
  // include that is missing too), by its full path, in the order read.
  std::vector<std::string> configurationFiles;
  // The archive this launch's VM writes at its exit, until it is in place.
  std::string pendingArchive;
  // The archive this launch's VM was given to start from.
  std::string archiveInUse;
  // Java 25 on: the training this launch's VM runs (its files' common
  // name, without their endings), and the Java executable and class path
  // that make the cache from it once the VM has ended.
  std::string pendingTraining;
  std::string trainingJava;
  std::vector<std::string> trainingClassPath;
  // The endpoint where this launch's Java listens for the arguments of a
  // second launch (singleInstance, the instance claimed); empty for none.
  std::string instanceEndpoint;
};

LaunchSettings& settings();
LauncherOptions& options();
StartupState& startup();

inline bool isConsoleLauncher() {
  return options().kind == LauncherKind::Console;
}

// Whether the application runs in the folder the launcher was started in
// rather than in the launcher's own: always for the console launcher, never
// for the service launcher, whose service the system starts in a folder of
// its own (Windows: System32), and whose `run` is a first try of it.
inline bool runsInCallersFolder() {
  return (isConsoleLauncher() && !options().serviceLauncher) ||
         startup().appInCallersFolder;
}

// Whether the child is the console Java (java.exe) rather than the windowed
// one (javaw.exe): in debug mode, and always for the console launcher.
inline bool startsConsoleJava() {
  return options().debugMode || isConsoleLauncher();
}

// The folder the application runs in: the workingDir directive's, else the
// caller's where it runs there; nothing where the launcher's own
// current folder serves.
OptionalText applicationFolder();

// Replaces every piece of process-wide state (settings with their
// variables, options and start-up state) by a fresh one.
void resetLaunchState();

// Stores one JVM parameter as it is given: a "name=value" text as its name
// and value, where a later value of a name replaces an earlier one; an
// option that Java takes many times (--add-opens=...) as a name of its own.
// `asWords`: the text was written anew from the words it is meant to be.
void storeVmParam(const std::string& param, bool asWords = false);

// Removes every JVM parameter named `pattern`, or beginning with its prefix
// when it ends in '*'.
void removeVmParams(const std::string& pattern);

// The application's arguments in the order main gets them: the leading
// ones, then the command line's words and the `argument` lines.
std::vector<std::string> applicationArguments(const LaunchSettings& s);

// The name shown in requirement messages: appName when set and non-empty,
// else mainClass, else the C runtime's "(null)".
std::string applicationNameForMessages();

}  // namespace tarvik

#endif  // TARVIK_LAUNCHSETTINGS_H
