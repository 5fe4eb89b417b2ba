// The launcher's main routine, behind the system's process entry.
#ifndef TARVIK_TARVIK_H
#define TARVIK_TARVIK_H

#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// Walks the switches, reads the configuration, runs the launch loop and
// returns the exit code (or ends the process itself). `argv` is as started;
// `ownFile`, where the system tells it, is the launcher's own file when
// argv[0] does not name it (a bare name found through PATH, a link).
int runLauncher(const std::vector<std::string>& argv,
                const std::string& ownFile = std::string());

// The names of the launcher's switches, as its table holds them: the one
// list the manual is checked against.
std::vector<std::string_view> launcherSwitchNames();

}  // namespace tarvik

#endif  // TARVIK_TARVIK_H
