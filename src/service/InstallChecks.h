// What `install` asks before a service is made: that nobody but the
// system's administrators can change what the service would run with the
// service account's rights, now or later.
#ifndef TARVIK_SERVICE_INSTALLCHECKS_H
#define TARVIK_SERVICE_INSTALLCHECKS_H

#include <string>
#include <vector>

#include "launch/ResolvedLaunch.h"

namespace tarvik {

// A file the service runs, and what it is to the service.
using ServiceFile = LaunchFile;

// The files the service would run: those of its launch resolved as the
// service will resolve it, in the environment the service manager gives
// it. `runtimeFound` is false when the runtime discovery found none (it
// has said so).
std::vector<ServiceFile> filesTheServiceRuns(bool& runtimeFound);

// One line for each file that someone but the administrators may change,
// what it is, its path and who: a missing file by the folder where it would
// appear, a folder read whole by every entry to its whole depth.
std::vector<std::string> installRefusals(const std::vector<ServiceFile>& files);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_INSTALLCHECKS_H
