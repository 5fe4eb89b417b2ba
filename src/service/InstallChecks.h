// What `install` asks before a service is made: that nobody but the
// system's administrators can change the code the service would run with
// the service account's rights.
#ifndef TARVIK_SERVICE_INSTALLCHECKS_H
#define TARVIK_SERVICE_INSTALLCHECKS_H

#include <string>
#include <vector>

namespace tarvik {

// A file the service runs, and what it is to the service.
struct ServiceFile {
  std::string path;
  std::string what;
};

// The files the service would run: the launcher, its configuration and
// what it includes, the class path's jars and folders, and the runtime
// (its Java executable or JVM library, and its bin and lib folders).
// `runtimeFound` is false when the runtime discovery found none (it has
// said so).
std::vector<ServiceFile> filesTheServiceRuns(bool& runtimeFound);

// One line for each file that someone but the administrators may change:
// what it is, its path and who.
std::vector<std::string> installRefusals(const std::vector<ServiceFile>& files);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_INSTALLCHECKS_H
