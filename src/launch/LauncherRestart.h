// The restart an in-process application asks for (exit code 999): a VM
// cannot be made twice in one process, so the launcher is started anew.
#ifndef TARVIK_LAUNCH_LAUNCHERRESTART_H
#define TARVIK_LAUNCH_LAUNCHERRESTART_H

namespace tarvik {

// Starts the launcher anew with the words it was started with, in the
// folder it was started in, and ends with the new launcher's exit code.
// The variables this launch cleared once read are set again, and the log
// file is handed on. When no new launcher starts, the failure is shown and
// the launcher ends with `status`.
[[noreturn]] void restartLauncherFor(int status);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_LAUNCHERRESTART_H
