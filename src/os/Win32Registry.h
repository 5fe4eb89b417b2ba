// The registry through the wide calls.
#ifndef TARVIK_OS_WIN32REGISTRY_H
#define TARVIK_OS_WIN32REGISTRY_H

#include <memory>
#include <string>

#include "os/Platform.h"

namespace tarvik {

// Opens a key for reading below a root, in a view; null when it cannot.
std::unique_ptr<RegistryKey> openWin32RegistryKey(const RegistryPlace& place,
                                                  const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32REGISTRY_H
