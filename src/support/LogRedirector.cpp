#include "support/LogRedirector.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/AppBaseName.h"
#include "support/Message.h"

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
      writeNotice("Unable to create file!\n");
      return;
    case RedirectResult::CannotDuplicateHandle:
      writeNotice("Unable to create handle!\n");
      return;
    case RedirectResult::Done:
      opts.logRedirected = true;
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
