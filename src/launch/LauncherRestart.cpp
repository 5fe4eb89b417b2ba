#include "launch/LauncherRestart.h"

#include <string>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/LogRedirector.h"
#include "support/Message.h"

namespace tarvik {

namespace {

const char* const RESTART_FAILED_CAPTION = "Unable To Restart";

}  // namespace

void restartLauncherFor(int status) {
  Platform& os = platform();
  const StartupState& start = startup();
  for (const auto& variable : start.clearedVariables)
    os.setEnv(variable.first, variable.second);
  handOnLog();
  os.flushStdout();
  const std::string error = os.restartLauncher(start.callerDir);
  showMessage(RESTART_FAILED_CAPTION,
              "The application asked to be restarted (exit code " +
                  std::to_string(status) +
                  "), but the launcher could not be started again: " + error,
              true);
  exitLauncher(status);
}

}  // namespace tarvik
