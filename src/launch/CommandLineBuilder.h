// Builds the command line that starts the Java VM as a child process.
#ifndef TARVIK_LAUNCH_COMMANDLINEBUILDER_H
#define TARVIK_LAUNCH_COMMANDLINEBUILDER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// The whole command line, or nothing when no Java executable was found.
std::optional<std::string> buildCommandLine();

// The class path entries joined with the class path separator, between
// double quotes when an entry holds a blank.
std::string joinClassPath(const std::vector<std::string>& entries,
                          bool expandWildcards);

// Total physical memory in whole MiB.
uint64_t physicalMemoryMiB();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_COMMANDLINEBUILDER_H
