// The application's base name, which names the files the launcher writes
// for it (the command file, the default log file, the argument file).
#ifndef TARVIK_SUPPORT_APPBASENAME_H
#define TARVIK_SUPPORT_APPBASENAME_H

#include <string>

namespace tarvik {

// The text after the last folder separator, or all of it.
std::string lastComponent(const std::string& path, char separator);

// The base name of the application started as `path`: the name of the
// custom configuration file (-c) up to ".config" when one is given, else
// the launcher's own name, without its folder and its ".exe".
std::string appBaseName(const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_APPBASENAME_H
