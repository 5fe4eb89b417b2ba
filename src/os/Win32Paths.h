// Where Windows finds a program, where links lead, what a folder holds, and
// the environment: through the wide calls.
#ifndef TARVIK_OS_WIN32PATHS_H
#define TARVIK_OS_WIN32PATHS_H

#include <optional>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

std::optional<std::string> win32FindProgram(const std::string& name);
std::optional<std::string> win32FinalPath(const std::string& path);
std::optional<std::vector<std::string>> win32FolderEntries(const std::string& folder);
Platform::Environment win32Environment();
void win32ReplaceEnvironment(const Platform::Environment& variables);
// The system's variables, as the service manager gives a service.
Platform::Environment win32SystemEnvironment();

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32PATHS_H
