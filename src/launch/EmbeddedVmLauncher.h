// Runs the Java VM inside the launcher's process through JNI.
#ifndef TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H
#define TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H

#include <string>
#include <vector>

#include "LaunchSettings.h"
#include "launch/JniTypes.h"

namespace tarvik {

struct ResolvedLaunch;

// Runs the application on the resolved launch's JVM library: 0, 1, -1234
// (library not loadable, or none found) or -1235 (no JNI_CreateJavaVM).
int launchInProcess(const ResolvedLaunch& launch);
// The same for this launch resolved now.
int launchInProcess();

// From another thread, while the application runs in-process: calls the
// static method `stopMethod` ("package.Class.method", taking () or
// (String[])) on a thread attached to the VM, or, with none, ends the VM as
// System.exit(0) does (its hooks run, then vmExitHook ends the process; the
// call does not come back). False when there is no VM or the call
// failed.
bool askVmToStop(const OptionalText& stopMethod);

// Where the DLLs a JVM library needs ship: the runtime's bin folder above
// its server or client folder ("C:\jdk\bin\server\jvm.dll" gives
// "C:\jdk\bin"); none for a library elsewhere.
std::vector<std::string> jvmDependencyFolders(const std::string& library);

// The VM's end through exit: ends the launcher with exactly `status`, or,
// when it asks for a restart, with the exit code of the launcher started
// anew. The VM's "exit" hook, or called from the process's exit handler
// where the system tells it the status; from any of the VM's threads.
[[noreturn]] void JNICALL vmExitHook(jni::jint status);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H
