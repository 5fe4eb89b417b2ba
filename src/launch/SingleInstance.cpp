#include "launch/SingleInstance.h"

#include <string>

#include "LaunchSettings.h"
#include "os/Platform.h"

namespace tarvik {

void keepToSingleInstance() {
  const OptionalText& name = settings().singleInstanceName;
  // -o starts nothing, so it has nothing to claim.
  if (!name || options().writeCommandFile) return;
  Platform& os = platform();
  const InstanceClaimResult claim = os.claimInstance(*name);
  if (claim.outcome == InstanceClaim::Claimed) return;
  const std::string prefix = "singleInstance " + *name + ": ";
  if (claim.outcome == InstanceClaim::Failed) {
    // Refusing to start would leave the user without the application.
    os.writeStderr(prefix + "cannot tell whether the application runs " +
                   "already (" + claim.errorText + "); starting it\n");
    return;
  }
  // Quiet or not, nothing is shown: the running application is the answer.
  const bool forward = os.bringInstanceForward(*name);
  os.writeStderr(prefix + "the application runs already" +
                 (forward ? "; its window was brought forward" : "") + "\n");
  exitLauncher(ALREADY_RUNNING_EXIT_CODE);
}

}  // namespace tarvik
