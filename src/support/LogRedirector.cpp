#include "support/LogRedirector.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/AppBaseName.h"
#include "support/LauncherFiles.h"
#include "support/Message.h"

namespace tarvik {

void redirectToLog(const std::string& exePath) {
  LauncherOptions& opts = options();
  if (!opts.logToFile || opts.logRedirected) return;
  LauncherFile made;
  if (opts.logFilePath.empty()) {
    // In the shared temporary folder the log is a new file of the user's
    // alone, never a file or link found under its name; when the usual
    // name is taken, an unguessable one stands in for it.
    made = createLauncherFile(
        LauncherFileKind::DefaultLog,
        inTempDir(appBaseName(exePath) + "-" +
                  std::to_string(platform().processId()) + ".log"));
  } else {
    made = createLauncherFile(LauncherFileKind::NamedLog, opts.logFilePath);
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
