#include "launch/SingleInstance.h"

#include <string>

#include "LaunchSettings.h"
#include "launch/InstanceForwarding.h"
#include "os/Platform.h"
#include "support/Message.h"

namespace tarvik {

namespace {

// The claimed instance's endpoint, named to every Java this launch starts.
void listenForArguments(const std::string& name) {
  const InstanceEndpoint endpoint = instanceEndpoint(name, true);
  if (endpoint.path)
    startup().instanceEndpoint = *endpoint.path;
  else if (!endpoint.problem.empty())
    writeLogNote("singleInstance " + name +
                 ": a second launch cannot hand over its arguments: " +
                 endpoint.problem + "\n");
}

}  // namespace

void keepToSingleInstance() {
  const OptionalText& name = settings().singleInstanceName;
  // -o starts nothing, so it has nothing to claim.
  if (!name || options().writeCommandFile) return;
  Platform& os = platform();
  const InstanceClaimResult claim = os.claimInstance(*name);
  const std::string prefix = "singleInstance " + *name + ": ";
  if (claim.outcome == InstanceClaim::Claimed) {
    listenForArguments(*name);
    return;
  }
  if (claim.outcome == InstanceClaim::Failed) {
    // Refusing to start would leave the user without the application.
    os.writeStderr(prefix + "cannot tell whether the application runs " +
                   "already (" + claim.errorText + "); starting it\n");
    return;
  }
  // Quiet or not, nothing is shown: the running application is the answer.
  // Brought forward first, so that it may raise itself for the arguments.
  const bool forward = os.bringInstanceForward(*name);
  const bool handed = handArgumentsToInstance(*name, claim.heldMillis);
  std::string line = prefix + "the application runs already";
  if (handed) line += "; the arguments were handed over to it";
  if (forward) line += std::string(handed ? " and" : ";") + " its window was brought forward";
  os.writeStderr(line + "\n");
  // Arguments that no one took are not reported as delivered.
  exitLauncher(handed ? 0 : ALREADY_RUNNING_EXIT_CODE);
}

}  // namespace tarvik
