#include "Tarvik.h"

#include "LaunchSettings.h"
#include "Version.h"
#include "cache/StartupCache.h"
#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "config/SampleConfig.h"
#include "config/VariableTable.h"
#include "launch/ChildLauncher.h"
#include "support/LogRedirector.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

constexpr size_t LAUNCHER_DIR_SIZE = 8192;
constexpr size_t DIAGNOSTIC_BUFFER_SIZE = 1024;
// -log or -sample refused to replace the configuration file.
constexpr int FILE_KEPT_EXIT_CODE = 1;
constexpr const char FILE_KEPT_CAPTION[] = "Configuration File Kept";

const char* const HELP_LINES[] = {
    "\nTarvik Options:",
    "-D\t\tAdd an additional -D flag to the JVM",
    "-c\t\tSpecify a custom config file. Otherwise, the name of the Tarvik "
    "exe will be used, substituting .exe with .config",
    "-con\t\tThe same as specifying showConsole true in the config file.",
    "-log [file]\tRedirect stdout and sterr to a log. Places it in tmp, "
    "unless file is specified.",
    "-sample\t\tWrite a sample config file",
    "-q\t\tEnable quiet mode. Suppresses any popups or dialogs (such as "
    "\"Exited with nonzero exit code\"). Useful for running in headless mode.",
    "-o\t\tWrites the generated command line to Tarvik.out",
    "-help\t\tPrints this message to console.",
    "-v\t\tDisplays the version number.",
    "-passExitCode\tIf the process launches and terminates, this flag causes "
    "Tarvik to exit with the same exit code (thus passing the exit code). "
    "Useful in scripts that require the exit code from the Java Application.",
};

[[noreturn]] void printHelpAndExit() {
  Platform& os = platform();
  openConsole();
  os.writeStdout(std::string("Version: ") + LAUNCHER_VERSION + "\n");
  os.flushStdout();
  for (const char* line : HELP_LINES) {
    os.writeStdout(std::string(line) + "\n");
    os.flushStdout();
  }
  os.freeConsole();
  exitLauncher(0);
}

// A text cut to fit a C buffer of `size` bytes with its terminator.
std::string fitBuffer(const std::string& text, size_t size) {
  return text.size() < size ? text : text.substr(0, size - 1);
}

bool isFullLauncherPath(const std::string& path,
                        const PlatformConventions& conv) {
  if (path.find(conv.separator) == std::string::npos) return false;
  if (conv.driveLetterPaths) return path.size() > 1 && path[1] == ':';
  return path[0] == conv.separator;
}

// The folder the launcher settles in: its own when started by full path,
// else the current one.
std::string launcherDirFor(const std::string& exePath) {
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();
  if (!isFullLauncherPath(exePath, conv))
    return fitBuffer(os.currentDirectory(), LAUNCHER_DIR_SIZE);
  std::string dir = exePath.substr(0, exePath.rfind(conv.separator));
  // A folder of just "/" keeps its root.
  if (dir.empty()) dir = std::string(1, conv.separator);
  return fitBuffer(dir, LAUNCHER_DIR_SIZE);
}

bool isAbsolute(const std::string& path, const PlatformConventions& conv) {
  if (path.empty()) return false;
  if (conv.driveLetterPaths)
    return (path.size() > 1 && path[1] == ':') || path[0] == '\\' ||
           path[0] == '/';
  return path[0] == conv.separator;
}

// The configuration file this run will read, while the switches are still
// walked: a -c word counts wherever it stands, and a relative -c path is
// read from the launcher's folder.
std::string configurationToBeRead(const std::vector<std::string>& argv) {
  LauncherOptions& opts = options();
  const OptionalText given = opts.customConfigPath;
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (word != "-d" && word != "-clearCache" && !startsWith(word, "-D") &&
        !startsWith(word, "-con") && startsWith(word, "-c"))
      opts.customConfigPath = word.substr(2);
  }
  const std::string& exePath = startup().exePath;
  const std::string dir = launcherDirFor(exePath);
  std::string path = configPathFor(exePath, dir);
  const PlatformConventions& conv = platform().conventions();
  if (opts.customConfigPath && !isAbsolute(path, conv))
    path = dir + conv.separator + path;
  opts.customConfigPath = given;
  return path;
}

// -log and -sample create their file afresh; when it is the application's
// own configuration, they stop instead of destroying it.
void refuseToReplaceConfiguration(const std::vector<std::string>& argv,
                                  const std::string& file,
                                  const std::string& what,
                                  const std::string& advice) {
  const std::string config = configurationToBeRead(argv);
  if (!platform().sameFile(file, config)) return;
  const std::string text = "The " + what + " " + file +
                           " is this application's configuration file " +
                           config + ". It is left untouched: " + advice;
  platform().writeStderr(text + "\n");
  showMessage(FILE_KEPT_CAPTION, text, true);
  exitLauncher(FILE_KEPT_EXIT_CODE);
}

void walkSwitches(const std::vector<std::string>& argv) {
  LaunchSettings& s = settings();
  LauncherOptions& opts = options();
  const std::string& exePath = startup().exePath;
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (word == "-d") {
      opts.debugMode = 1;
    } else if (word == "-clearCache") {
      opts.clearCache = true;
    } else if (startsWith(word, "-D")) {
      addVmParam(substituteVariables(word));
    } else if (startsWith(word, "-con")) {
      s.showConsole = true;
    } else if (startsWith(word, "-c")) {
      opts.customConfigPath = word.substr(2);
    } else if (startsWith(word, "-sample")) {
      refuseToReplaceConfiguration(argv, SAMPLE_CONFIG_NAME, "sample file",
                                   "run -sample in another folder.");
      writeSampleConfig();
      exitLauncher(0);
    } else if (startsWith(word, "-q")) {
      opts.quietMode = true;
    } else if (startsWith(word, "-o")) {
      opts.writeCommandFile = true;
    } else if (startsWith(word, "-passExitCode")) {
      opts.passExitCodeFlag = true;
    } else if (startsWith(word, "-help")) {
      printHelpAndExit();
    } else if (startsWith(word, "-v")) {
      showMessage("Version", LAUNCHER_VERSION, false);
    } else if (startsWith(word, "-log")) {
      opts.logToFile = true;
      if (i + 1 < argv.size() && !startsWith(argv[i + 1], "-")) {
        opts.logFilePath = argv[++i];
        if (!opts.logRedirected)
          refuseToReplaceConfiguration(argv, opts.logFilePath, "log file",
                                       "name another file after -log.");
      }
      redirectToLog(exePath);
    } else {
      s.appArguments.push_back(word);
    }
  }
}

void settleWorkingDirectory() {
  Platform& os = platform();
  StartupState& start = startup();
  start.launcherDir = launcherDirFor(start.exePath);
  if (isFullLauncherPath(start.exePath, os.conventions()))
    os.changeDirectory(start.launcherDir);
  debugBox("CWD", start.launcherDir);
}

}  // namespace

int runLauncher(const std::vector<std::string>& argv) {
  Platform& os = platform();
  LauncherOptions& opts = options();
  StartupState& start = startup();
  start.exePath = argv.empty() ? std::string() : argv[0];

  walkSwitches(argv);
  // After the walk, so that a -c anywhere names the application.
  if (opts.clearCache) exitLauncher(clearStartupCache());

  if (opts.quietMode) opts.debugMode = 0;
  opts.vistaOrLater = os.osMajorVersion() > 5;
  if (opts.vistaOrLater) debugBox("Running on Vista", LAUNCHER_VERSION);
  const std::string bracketedPath =
      fitBuffer("[" + start.exePath + "]", DIAGNOSTIC_BUFFER_SIZE);
  if (opts.debugMode) {
    showBox("Version", LAUNCHER_VERSION);
    showBox("LpCmdLine", bracketedPath);
    showBox("passExitCode", opts.passExitCodeFlag ? "true" : "false");
  }

  settleWorkingDirectory();

  if (readApplicationConfig(start.exePath, start.launcherDir) != 0) {
    debugBox("LpCmdLine", bracketedPath);
    return 2;
  }

  if (opts.debugMode) {
    const LaunchSettings& s = settings();
    showBox("MainClass is", s.mainClass.value_or(""));
    for (size_t j = 0; j < s.classPath.size(); ++j) {
      os.writeStdout("vmpath " + std::to_string(j) + "=" + s.classPath[j] +
                     "\n");
    }
  }

  int result;
  do {
    result = launchJava();
  } while (result == RELAUNCH_EXIT_CODE);

  if (!opts.passExitCodeFlag) return 0;
  debugBox("Calling Post Quit Message With Code", std::to_string(result));
  exitLauncher(result);
}

}  // namespace tarvik
