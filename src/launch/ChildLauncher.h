// Runs the application: in-process, as a command file, or as a child.
#ifndef TARVIK_LAUNCH_CHILDLAUNCHER_H
#define TARVIK_LAUNCH_CHILDLAUNCHER_H

#include <cstdint>

#include "os/Platform.h"

namespace tarvik {

// launchJava's result when no Java runtime was found.
constexpr int NO_RUNTIME_RESULT = 2;
// The launcher's exit code when `-o` could open no command file.
constexpr int COMMAND_FILE_FAILED_EXIT_CODE = -3;
// The launcher's exit code when the Java child could not be created
// (missing executable, command line too long): the process ends with it,
// whether or not -passExitCode was given.
constexpr int CHILD_START_FAILED_EXIT_CODE = 4;
constexpr const char CHILD_START_FAILED_CAPTION[] = "Unable To Start Java";
// The launcher's exit code with -passExitCode when the wait for the child
// failed, so that its exit code cannot be known.
constexpr int CHILD_WAIT_FAILED_EXIT_CODE = 6;

// One launch; 999 asks the entry to launch again.
int launchJava();

// The wait for a child that the service launcher makes in place of the
// launcher's own (it stops the child when the service is asked to stop);
// null for the launcher's own wait.
using ChildWait = WaitResult (*)(ChildProcess& child);
void setChildWait(ChildWait wait);

// Whether an application's exit code asks for a restart: 999, as the
// system delivers it (Linux: cut to 8 bits, 231).
bool asksForRestart(uint32_t exitCode);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_CHILDLAUNCHER_H
