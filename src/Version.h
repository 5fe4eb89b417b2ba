// The launcher's version and the identification string of this build.
#ifndef TARVIK_VERSION_H
#define TARVIK_VERSION_H

#include <string>

namespace tarvik {

constexpr const char LAUNCHER_VERSION[] = "2.2.1";
constexpr int RELAUNCH_EXIT_CODE = 999;

// "@(#)src/Tarvik Version: 2.2.1 Dovrel Compiled: Mar  5 2021 at 09:07:03"
// from the compiler's build date and time.
const std::string& identificationString();

// The identification string for a given __DATE__ and __TIME__ text.
std::string identificationFor(const std::string& buildDate,
                              const std::string& buildTime);

}  // namespace tarvik

#endif  // TARVIK_VERSION_H
