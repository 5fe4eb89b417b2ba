#include "support/LogRedirector.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/AppBaseName.h"

namespace tarvik {

void redirectToLog(const std::string& exePath) {
  LauncherOptions& opts = options();
  if (!opts.logToFile || opts.logRedirected) return;
  Platform& os = platform();
  if (opts.logFilePath.empty()) {
    opts.logFilePath = inTempDir(appBaseName(exePath) + "-" +
                                 std::to_string(os.processId()) + ".log");
  }
  switch (os.redirectStdStreams(opts.logFilePath)) {
    case RedirectResult::CannotCreateFile:
      os.writeStdout("Unable to create file!\n");
      return;
    case RedirectResult::CannotDuplicateHandle:
      os.writeStdout("Unable to create handle!\n");
      return;
    case RedirectResult::Done:
      opts.logRedirected = true;
      return;
  }
}

void openConsole() { platform().openConsole(); }

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
