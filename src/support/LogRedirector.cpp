#include "support/LogRedirector.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/AppBaseName.h"
#include "support/LauncherFiles.h"
#include "support/Message.h"

namespace tarvik {

namespace {

// The log file a restarting launcher hands on; the standard streams the
// new one is given are that file already. Cleared once read, as the
// application's own tools must not take it.
const char* const HANDED_ON_LOG_VARIABLE = "TARVIK_LOG_HANDED_ON";

// Whether the disk of `path` has no byte left for a log there: the file
// would stay behind empty. A file of that name with bytes of its own frees
// their room as it is replaced.
bool noRoomForLog(const std::string& path) {
  Platform& os = platform();
  const size_t cut = path.find_last_of(os.conventions().folderSeparators);
  // The folder with its separator: a drive's or a share's root is named so.
  const std::string folder =
      cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
  const std::optional<uint64_t> free = os.freeDiskBytes(folder);
  if (!free || *free > 0) return false;
  const std::optional<FileFacts> facts = os.fileFacts(path);
  return !facts || facts->size == 0;
}

}  // namespace

void handOnLog() {
  const LauncherOptions& opts = options();
  if (opts.logRedirected)
    platform().setEnv(HANDED_ON_LOG_VARIABLE, opts.logFilePath);
}

void redirectToLog(const std::string& exePath) {
  LauncherOptions& opts = options();
  if (!opts.logToFile || opts.logRedirected) return;
  Platform& os = platform();
  const std::optional<std::string> handedOn = os.getEnv(HANDED_ON_LOG_VARIABLE);
  if (handedOn && !handedOn->empty()) {
    os.setEnv(HANDED_ON_LOG_VARIABLE, "");
    opts.logFilePath = *handedOn;
    opts.logRedirected = true;
    return;
  }
  LauncherFile made;
  // In the shared temporary folder the log is a new file of the user's
  // alone, never a file or link found under its name; when the usual
  // name is taken, an unguessable one stands in for it.
  const bool named = !opts.logFilePath.empty();
  const std::string path =
      named ? opts.logFilePath
            : inTempDir(appBaseName(exePath) + "-" +
                        std::to_string(platform().processId()) + ".log");
  if (noRoomForLog(path)) {
    made.path = path;
  } else {
    made = createLauncherFile(
        named ? LauncherFileKind::NamedLog : LauncherFileKind::DefaultLog, path);
  }
  opts.logFilePath = made.path;
  const CreateResult result = made.result;
  switch (result) {
    case CreateResult::Done:
      opts.logRedirected = true;
      return;
    case CreateResult::CannotDuplicateHandle:
      writeNotice("Unable to create handle!\n");
      return;
    default:
      writeNotice("Unable to create file!\n");
      return;
  }
}

// The console launcher has the console it was started in.
void openConsole() {
  if (!isConsoleLauncher()) platform().openConsole();
}

std::string inTempDir(const std::string& name) {
  Platform& os = platform();
  std::optional<std::string> dir = os.tempDirectory();
  if (!dir) {
    os.writeStderr("Error getting temp path!\n");
    return name;
  }
  return *dir + name;
}

}  // namespace tarvik
