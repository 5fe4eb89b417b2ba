#include "Tarvik.h"

#include <string_view>

#include "LaunchSettings.h"
#include "Version.h"
#include "cache/StartupCache.h"
#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "config/SampleConfig.h"
#include "config/VariableTable.h"
#include "launch/ChildLauncher.h"
#include "launch/WindowsCommandLine.h"
#include "launch/SingleInstance.h"
#include "service/ServiceRun.h"
#include "service/ServiceWords.h"
#include "support/LauncherFolder.h"
#include "support/LogRedirector.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

constexpr size_t DIAGNOSTIC_BUFFER_SIZE = 1024;
// -log or -sample refused to replace the configuration file.
constexpr int FILE_KEPT_EXIT_CODE = 1;
constexpr const char FILE_KEPT_CAPTION[] = "Configuration File Kept";
// The console launcher's own switches, as its command line is the
// application's.
constexpr const char OPTIONS_VARIABLE[] = "TARVIK_OPTIONS";
constexpr int NOT_A_SWITCH_EXIT_CODE = 3;
constexpr const char NOT_A_SWITCH_CAPTION[] = "Not A Tarvik Switch";
// The console launcher stops when it has no configuration to read.
constexpr int NO_CONFIGURATION_EXIT_CODE = 2;
constexpr const char NO_CONFIGURATION_CAPTION[] = "Configuration File Not Found";

// (Arrays, not pointers, which the loader would relocate at every start.)
const char HELP_LINES[][212] = {
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
    "-clearCache\tRemoves this application's files from the startup cache "
    "and exits.",
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

// A switch is its whole word, or its name with the value it carries joined
// to it (-Dname=value, -cfile).
enum class SwitchForm { Whole, ValueInWord };

// The words being walked and the one at hand; an action may take the next.
struct SwitchWalk {
  const std::vector<std::string>& words;
  size_t at;
  const std::string& word() const { return words[at]; }
};

using SwitchAction = void (*)(SwitchWalk& walk);

struct LauncherSwitch {
  std::string_view name;
  SwitchForm form;
  SwitchAction apply;
};

void chooseConfigurationFile(SwitchWalk& walk) {
  options().customConfigPath = walk.word().substr(2);
}

ConfigurationLook lookAtConfiguration(const std::vector<std::string>& argv);
void refuseToReplaceConfiguration(const std::vector<std::string>& read,
                                  const std::string& file,
                                  const std::string& what,
                                  const std::string& advice);

void writeSampleAndStop(SwitchWalk& walk) {
  refuseToReplaceConfiguration(lookAtConfiguration(walk.words).files,
                               SAMPLE_CONFIG_NAME, "sample file",
                               "run -sample in another folder.");
  writeSampleConfig();
  exitLauncher(0);
}

void logToFile(SwitchWalk& walk) {
  LauncherOptions& opts = options();
  opts.logToFile = true;
  const std::vector<std::string>& words = walk.words;
  if (walk.at + 1 < words.size() && !startsWith(words[walk.at + 1], "-")) {
    opts.logFilePath = words[++walk.at];
    if (!opts.logRedirected)
      refuseToReplaceConfiguration(lookAtConfiguration(words).files,
                                   opts.logFilePath, "log file",
                                   "name another file after -log.");
  } else if (!opts.logRedirected && opts.logFilePath.empty()) {
    // Given no file, -log writes the one outputFile names, relative to the
    // launcher's folder, as it would a file named after it.
    const ConfigurationLook look = lookAtConfiguration(words);
    if (look.outputFile && !look.outputFile->empty()) {
      opts.logFilePath = inLauncherFolder(*look.outputFile);
      refuseToReplaceConfiguration(look.files, opts.logFilePath, "log file",
                                   "name another file in outputFile.");
    }
  }
  redirectToLog(startup().exePath);
}

// Any word that is none of these is passed to the application.
const LauncherSwitch SWITCHES[] = {
    {"-d", SwitchForm::Whole, [](SwitchWalk&) { options().debugMode = 1; }},
    {"-D", SwitchForm::ValueInWord,
     // The switches come before any `var` line: no value can grow the word.
     [](SwitchWalk& w) {
       addVmParamWord(substituteVariables(w.word()).value_or(w.word()));
     }},
    {"-con", SwitchForm::Whole, [](SwitchWalk&) { settings().showConsole = true; }},
    {"-c", SwitchForm::ValueInWord, chooseConfigurationFile},
    {"-sample", SwitchForm::Whole, writeSampleAndStop},
    {"-q", SwitchForm::Whole, [](SwitchWalk&) { options().quietMode = true; }},
    {"-o", SwitchForm::Whole, [](SwitchWalk&) { options().writeCommandFile = true; }},
    {"-passExitCode", SwitchForm::Whole,
     [](SwitchWalk&) { options().passExitCodeFlag = true; }},
    {"-help", SwitchForm::Whole, [](SwitchWalk&) { printHelpAndExit(); }},
    {"-v", SwitchForm::Whole,
     [](SwitchWalk&) { showMessage("Version", LAUNCHER_VERSION, false); }},
    {"-log", SwitchForm::Whole, logToFile},
    {"-clearCache", SwitchForm::Whole,
     [](SwitchWalk&) { options().clearCache = true; }},
};

// The switch a word is, or null. A whole word is tried before the forms
// that carry a value, so "-con" is never "-c" with the file "on".
const LauncherSwitch* launcherSwitch(const std::string& word) {
  for (const LauncherSwitch& row : SWITCHES)
    if (row.form == SwitchForm::Whole && word == row.name) return &row;
  for (const LauncherSwitch& row : SWITCHES)
    if (row.form == SwitchForm::ValueInWord && startsWith(word, std::string(row.name)))
      return &row;
  return nullptr;
}

// The configuration file this run will read, while the switches are still
// walked: a -c word counts wherever it stands.
std::string configurationToBeRead(const std::vector<std::string>& argv) {
  LauncherOptions& opts = options();
  const OptionalText given = opts.customConfigPath;
  for (size_t i = 1; i < argv.size(); ++i) {
    const LauncherSwitch* row = launcherSwitch(argv[i]);
    if (row && row->apply == chooseConfigurationFile)
      opts.customConfigPath = argv[i].substr(2);
  }
  const std::string path = configPathFor(startup().exePath, launcherFolder());
  opts.customConfigPath = given;
  return path;
}

// What the configuration this run will read holds, looked at while the
// switches are walked.
ConfigurationLook lookAtConfiguration(const std::vector<std::string>& argv) {
  return lookThroughConfiguration(configurationToBeRead(argv), launcherFolder());
}

// -log and -sample create their file afresh; when it is one of the files
// the application's configuration reads (`read`: its own or one it
// includes), they stop instead of destroying it.
void refuseToReplaceConfiguration(const std::vector<std::string>& read,
                                  const std::string& file,
                                  const std::string& what,
                                  const std::string& advice) {
  for (const std::string& config : read) {
    if (!platform().sameFile(file, config)) continue;
    const std::string text = "The " + what + " " + file +
                             " is this application's configuration file " +
                             config + ". It is left untouched: " + advice;
    platform().writeStderr(text + "\n");
    showMessage(FILE_KEPT_CAPTION, text, true);
    exitLauncher(FILE_KEPT_EXIT_CODE);
  }
}

// Applies the launcher's switches among `argv` (the first word is the
// launcher's own); every other word becomes an application argument.
void walkSwitches(const std::vector<std::string>& argv) {
  for (SwitchWalk walk{argv, 1}; walk.at < argv.size(); ++walk.at) {
    if (const LauncherSwitch* row = launcherSwitch(walk.word()))
      row->apply(walk);
    else
      settings().appArguments.push_back(walk.word());
  }
}

// The console launcher: the switches are the words of TARVIK_OPTIONS, read
// as tarvik.exe reads its command line; every word of the command line is
// the application's, and the launcher waits for it and passes its code on.
void walkConsoleSwitches(const std::vector<std::string>& argv) {
  LaunchSettings& s = settings();
  std::vector<std::string> words(argv.begin(), argv.begin() + 1);
  if (const OptionalText value = platform().getEnv(OPTIONS_VARIABLE)) {
    startup().clearedVariables.push_back({OPTIONS_VARIABLE, *value});
    const std::vector<std::string> given = splitWindowsArguments(*value);
    words.insert(words.end(), given.begin(), given.end());
    // The switches are this launch's: a tool the application starts through
    // another launcher must not log over this one's file, or stop at -o.
    platform().setEnv(OPTIONS_VARIABLE, "");
  }
  walkSwitches(words);
  if (!s.appArguments.empty()) {
    showErrorBox(NOT_A_SWITCH_CAPTION,
                 std::string(OPTIONS_VARIABLE) + " holds \"" +
                     s.appArguments.front() +
                     "\", which is not a switch of the launcher. The "
                     "application's arguments go on the command line.");
    exitLauncher(NOT_A_SWITCH_EXIT_CODE);
  }
  s.appArguments.assign(argv.begin() + 1, argv.end());
  options().passExitCodeFlag = true;
}

// The console launcher says so when the configuration cannot be read,
// where tarvik.exe goes on with none.
[[noreturn]] void refuseUnreadableConfiguration(const std::string& path,
                                                const FileRead& read) {
  // A file that is there but is no text file says why.
  const std::string why = read.refusal == ReadRefusal::CannotRead
                              ? std::string()
                              : ": " + readRefusalReason(read.refusal);
  showErrorBox(NO_CONFIGURATION_CAPTION,
               "The configuration file " + path + " cannot be read" + why + ".");
  exitLauncher(NO_CONFIGURATION_EXIT_CODE);
}

void settleWorkingDirectory() {
  settleInLauncherFolder();
  debugBox("CWD", startup().launcherDir);
}

}  // namespace

std::vector<std::string_view> launcherSwitchNames() {
  std::vector<std::string_view> names;
  for (const LauncherSwitch& row : SWITCHES) names.push_back(row.name);
  return names;
}

namespace {

// The switches, the launcher's folder and the configuration: 0 when the
// application can be launched, else the code to end with.
int settleLaunch(const std::vector<std::string>& argv) {
  Platform& os = platform();
  LauncherOptions& opts = options();
  StartupState& start = startup();

  if (isConsoleLauncher()) {
    walkConsoleSwitches(argv.empty() ? std::vector<std::string>{""} : argv);
  } else {
    walkSwitches(argv);
  }
  // After the walk, so that a -c anywhere names the application; the
  // launcher's folder tells its archives from those of another of its name.
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

  if (readApplicationConfig(start.exePath, start.launcherDir,
                            isConsoleLauncher() ? refuseUnreadableConfiguration
                                                : nullptr) != 0) {
    debugBox("LpCmdLine", bracketedPath);
    return 2;
  }

  if (opts.debugMode) {
    const LaunchSettings& s = settings();
    showBox("MainClass is", s.mainClass.value_or(""));
    for (size_t j = 0; j < s.classPath.size(); ++j) {
      writeRecord("vmpath " + std::to_string(j) + "=" + s.classPath[j] + "\n");
    }
  }
  return 0;
}

[[noreturn]] void refuseServiceWords(const std::string& launcher) {
  showErrorBox(SERVICE_USAGE_CAPTION, serviceUsage(launcher));
  exitLauncher(SERVICE_USAGE_EXIT_CODE);
}

// The service launcher: the first word says what to do with the service,
// and `run`'s further words are the application's. Without a word it is
// the service, when the service manager started it.
int runServiceLauncher(const std::vector<std::string>& argv) {
  const std::string launcher = argv.empty() ? std::string() : argv[0];
  std::vector<std::string> words(argv.begin(), argv.begin() + (argv.empty() ? 0 : 1));
  if (words.empty()) words.push_back(launcher);
  if (argv.size() < 2) {
    int code = 0;
    const bool served = platform().runAsService([&](ServiceSession& session) {
      code = serveAsService(session, [&] {
        const int failed = settleLaunch(words);
        if (failed == 0) keepToSingleInstance();
        return failed;
      });
      return code;
    });
    if (served) exitLauncher(code);
    refuseServiceWords(launcher);
  }
  const std::string word = argv[1];
  const std::vector<std::string> further(argv.begin() + 2, argv.end());
  if (!serviceWordTakes(word, further)) refuseServiceWords(launcher);
  if (word == "run") words.insert(words.end(), further.begin(), further.end());
  if (const int failed = settleLaunch(words)) exitLauncher(failed);
  // Only run starts the application; the other words may be typed while
  // it runs.
  if (word == "run") keepToSingleInstance();
  exitLauncher(runServiceWord(word, further));
}

}  // namespace

int runLauncher(const std::vector<std::string>& argv,
                const std::string& ownFile) {
  LauncherOptions& opts = options();
  StartupState& start = startup();
  start.startedAs = argv.empty() ? std::string() : argv[0];
  start.exePath = ownFile.empty() ? start.startedAs : ownFile;
  if (opts.serviceLauncher) return runServiceLauncher(argv);

  if (const int failed = settleLaunch(argv)) return failed;

  keepToSingleInstance();

  int result;
  do {
    result = launchJava();
  } while (result == RELAUNCH_EXIT_CODE);

  if (!opts.passExitCodeFlag) return 0;
  debugBox("Calling Post Quit Message With Code", std::to_string(result));
  exitLauncher(result);
}

}  // namespace tarvik
