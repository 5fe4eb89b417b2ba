// The Windows platform. Only the Windows build compiles it.
#ifndef TARVIK_OS_WIN32PLATFORM_H
#define TARVIK_OS_WIN32PLATFORM_H

#include <memory>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

std::unique_ptr<Platform> makeWin32Platform();

// The C runtime's parsed wide argument vector as UTF-8, element 0 as
// started.
std::vector<std::string> win32Arguments(int count, wchar_t** arguments);

// The program's own file (GetModuleFileNameW), however it was started;
// empty where the system cannot name it.
std::string win32ModulePath();

// The same with element 0 the program's own file, however it was started
// (a command typed in a console names no folder), so its configuration is
// found beside it.
std::vector<std::string> win32ModuleArguments(int count, wchar_t** arguments);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32PLATFORM_H
