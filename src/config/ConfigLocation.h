// Which configuration file is read. The application's base name, which
// follows from it, is a service of support/ that this header passes on.
#ifndef TARVIK_CONFIG_CONFIGLOCATION_H
#define TARVIK_CONFIG_CONFIGLOCATION_H

#include <string>

#include "os/Platform.h"
#include "support/AppBaseName.h"

namespace tarvik {

// What is done where the configuration file cannot be read: given, before
// anything else is done or shown (the console launcher stops there; the
// windowed one goes on without the file).
using UnreadableConfiguration = void (*)(const std::string& path, const FileRead& read);

// Forms the configuration path, adds "-Dexe.mainConfig=" and reads the
// file. 0 when a path was formed, 1 when none could be.
int readApplicationConfig(const std::string& exePath,
                          const std::string& launcherDir,
                          UnreadableConfiguration unreadable = nullptr);

// The path of the configuration file that readApplicationConfig reads.
std::string configPathFor(const std::string& exePath,
                          const std::string& launcherDir);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGLOCATION_H
