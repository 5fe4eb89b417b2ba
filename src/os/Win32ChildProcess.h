// A child process started with the wide call, so that it receives exactly
// the characters of its command line.
#ifndef TARVIK_OS_WIN32CHILDPROCESS_H
#define TARVIK_OS_WIN32CHILDPROCESS_H

#include <cstdint>
#include <string>

#include "os/Platform.h"
#include "os/Win32Instance.h"

namespace tarvik {

// A started child gets its share of `instance` when one is held.
ChildStartResult startWin32Child(const ChildStart& start,
                                 Win32Instance* instance);

// Whether Ctrl-C reached the console the launcher shares with its child.
bool win32StopSignalled();

// Starts the launcher's own file with the process's own command line in
// `workingDir`, handing on the standard handles, and waits for it to end:
// empty with its `exitCode`, or the system's text when it did not start.
std::string runWin32LauncherAgain(const std::string& workingDir,
                                  uint32_t& exitCode);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32CHILDPROCESS_H
