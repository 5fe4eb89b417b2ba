// The log file of `-log`, the console, and the temporary directory.
#ifndef TARVIK_SUPPORT_LOGREDIRECTOR_H
#define TARVIK_SUPPORT_LOGREDIRECTOR_H

#include <string>

namespace tarvik {

// Sends standard output and error to the log file (once per run). A
// launcher started anew by one whose streams went to its log writes on in
// that file, whose name it is handed.
void redirectToLog(const std::string& exePath);

// Hands the log file, when the streams go to one, to the launcher this
// one starts anew.
void handOnLog();

// Attaches to the parent's console or allocates one.
void openConsole();

// `name` placed in the temporary directory, or unchanged without one.
std::string inTempDir(const std::string& name);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_LOGREDIRECTOR_H
