#include "launch/TaskbarIdentity.h"

#include "LaunchSettings.h"
#include "launch/ResolvedLaunch.h"
#include "os/Platform.h"
#include "support/AnsiCodePage.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"

namespace tarvik {

namespace {

void noteNotSet(const std::string& why) {
  writeLogNote("appUserModelId " + *settings().appUserModelId + " not set: " + why + "\n");
}

}  // namespace

std::string taskbarIdentityAgent(bool inProcess) {
  const std::string& name = platform().conventions().taskbarIdentityAgent;
  if (!settings().appUserModelId || inProcess || options().serviceLauncher || name.empty())
    return std::string();
  const std::string agent = fullPathInLauncherFolder(name);
  const std::optional<FileFacts> facts = platform().fileFacts(agent);
  if (!facts || facts->isDirectory) {
    noteNotSet("the agent " + agent + " is missing");
    return std::string();
  }
  // Java takes the first '=' of -agentpath: for the end of the path.
  if (ansiReadablePath(agent).find('=') != std::string::npos) {
    noteNotSet("the agent's path " + agent + " holds '=', where Java's option ends the path");
    return std::string();
  }
  return agent;
}

std::optional<std::string> taskbarIdentityOption(const ResolvedLaunch& launch) {
  if (launch.taskbarAgent.empty()) return std::nullopt;
  return "-agentpath:" + ansiReadablePath(launch.taskbarAgent) + "=" +
         *settings().appUserModelId;
}

void setOwnTaskbarIdentity() {
  const OptionalText& id = settings().appUserModelId;
  // A service has no windows.
  if (id && !options().serviceLauncher && !platform().setAppUserModelId(*id)) noteNotSet("the system refused it");
}

}  // namespace tarvik
