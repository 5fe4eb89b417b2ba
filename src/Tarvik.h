// The launcher's main routine, behind the system's process entry.
#ifndef TARVIK_TARVIK_H
#define TARVIK_TARVIK_H

#include <string>
#include <vector>

namespace tarvik {

// Walks the switches, reads the configuration, runs the launch loop and
// returns the exit code (or ends the process itself).
int runLauncher(const std::vector<std::string>& argv);

}  // namespace tarvik

#endif  // TARVIK_TARVIK_H
