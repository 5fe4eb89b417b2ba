// Which configuration file is read, and the application's base name.
#ifndef TARVIK_CONFIG_CONFIGLOCATION_H
#define TARVIK_CONFIG_CONFIGLOCATION_H

#include <string>

namespace tarvik {

// Forms the configuration path, adds "-Dexe.mainConfig=" and reads the
// file. 0 when a path was formed, 1 when none could be.
int readApplicationConfig(const std::string& exePath,
                          const std::string& launcherDir);

// The path of the configuration file that readApplicationConfig reads.
std::string configPathFor(const std::string& exePath,
                          const std::string& launcherDir);

// The application's base name, which names the command and log files.
std::string appBaseName(const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGLOCATION_H
