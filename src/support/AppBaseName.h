// The application's base name, which names the files the launcher writes
// for it (the command file, the default log file, the argument file).
#ifndef TARVIK_SUPPORT_APPBASENAME_H
#define TARVIK_SUPPORT_APPBASENAME_H

#include <string>

namespace tarvik {

// The text after the last of the folder separators, or all of it.
std::string lastComponent(const std::string& path,
                          const std::string& separators);

// The base name of the application started as `path`: the name of the
// custom configuration file (-c) without a ".config" at its end when one
// is given, else the launcher's own name; without its folder and an
// ".exe" (in any case) at its end. Every folder separator of the system
// ends a folder, `/` as well as `\` on Windows.
std::string appBaseName(const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_APPBASENAME_H
