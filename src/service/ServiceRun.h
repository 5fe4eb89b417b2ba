// The application run as a service, and by `run` in the foreground: the
// launches one after the other (999 and a failure with restarts
// configured start it again), a graceful stop when the service manager
// asks, and the code the service ends with.
#ifndef TARVIK_SERVICE_SERVICERUN_H
#define TARVIK_SERVICE_SERVICERUN_H

#include <functional>

#include "os/Platform.h"

namespace tarvik {

// As the service: the standard streams are taken into the log from the
// start, `readConfiguration` then settles the launch (0, or the code it
// failed with), and the application runs until it ends or a stop. The
// code the service ends with: 0 for an end by itself with 0 and for every
// stop the manager asked for, else the application's code.
int serveAsService(ServiceSession& session,
                   const std::function<int()>& readConfiguration);

// `run`: the same in the foreground, its output where the launcher's is
// (the log folder's files under systemd when serviceLogFolder is set), a
// Ctrl-C or SIGTERM stopping it as it stops Java.
int serveInForeground();

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SERVICERUN_H
