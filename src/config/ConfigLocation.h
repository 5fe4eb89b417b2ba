// Which configuration file is read. The application's base name, which
// follows from it, is a service of support/ that this header passes on.
#ifndef TARVIK_CONFIG_CONFIGLOCATION_H
#define TARVIK_CONFIG_CONFIGLOCATION_H

#include <string>

#include "support/AppBaseName.h"

namespace tarvik {

// Forms the configuration path, adds "-Dexe.mainConfig=" and reads the
// file. 0 when a path was formed, 1 when none could be.
int readApplicationConfig(const std::string& exePath,
                          const std::string& launcherDir);

// The path of the configuration file that readApplicationConfig reads.
std::string configPathFor(const std::string& exePath,
                          const std::string& launcherDir);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGLOCATION_H
