// The taskbar identity of the application's windows (appUserModelId). Set
// in the process that owns the windows: the launcher's own for a VM run in
// it, before the VM is made; a child Java's from inside it, by the JVMTI
// agent beside the launcher, which the child is handed as an option.
#ifndef TARVIK_LAUNCH_TASKBARIDENTITY_H
#define TARVIK_LAUNCH_TASKBARIDENTITY_H

#include <optional>
#include <string>

namespace tarvik {

struct ResolvedLaunch;

// The agent a child Java of this launch loads, by its full path; empty
// when it loads none: no ID, a VM in the launcher's process, a service
// (which has no windows), a system without the agent. A missing agent, or
// one whose path Java would cut, is a line in the -log file.
std::string taskbarIdentityAgent(bool inProcess);

// The child's option "-agentpath:<agent>=<ID>", or nothing without an agent.
std::optional<std::string> taskbarIdentityOption(const ResolvedLaunch& launch);

// Sets the ID on the launcher's own process, where a VM will run (not a
// service's); a line in the -log file when the system refuses it.
void setOwnTaskbarIdentity();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_TASKBARIDENTITY_H
