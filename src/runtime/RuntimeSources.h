// The places a Java runtime may be found besides the registry key the
// launcher has always read: newer registry keys, JAVA_HOME, PATH and the
// folders the platform names.
#ifndef TARVIK_RUNTIME_RUNTIMESOURCES_H
#define TARVIK_RUNTIME_RUNTIMESOURCES_H

#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct RuntimeCandidate {
  std::string home;
  // From the home's release file, else from its key or folder name.
  std::optional<std::string> version;
  // Where it was found, for the report: a key, "JAVA_HOME", "PATH" or a folder.
  std::string source;
};

// Every runtime the sources name, in source order, each home once. Only
// homes that hold the executable this launch starts count; each of them
// is reported on standard output. The 32-bit registry view is read only
// for a child launch: a 64-bit launcher cannot load a 32-bit JVM itself.
std::vector<RuntimeCandidate> findRuntimeCandidates(bool childLaunch);

// The homes the configuration names with `runtimeHome`, in the order
// written, that hold what this launch needs: each reported on standard
// output as a candidate from "runtimeHome".
std::vector<RuntimeCandidate> findConfiguredHomes();

// Whether a runtime home holds what this launch needs: its JVM library
// for `javalib auto`, else the executable the child starts.
bool homeServesLaunch(const std::string& home);

}  // namespace tarvik

#endif  // TARVIK_RUNTIME_RUNTIMESOURCES_H
