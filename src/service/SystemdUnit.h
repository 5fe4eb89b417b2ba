// The systemd unit of the service launcher's service on Linux.
#ifndef TARVIK_SERVICE_SYSTEMDUNIT_H
#define TARVIK_SERVICE_SYSTEMDUNIT_H

#include <optional>
#include <string>

#include "LaunchSettings.h"

namespace tarvik {

// `path` as the program of a unit's command line (between double quotes,
// its `%` doubled), or nothing when systemd would not run it.
std::optional<std::string> unitExecutable(const std::string& path);

// The unit: its ExecStart is `launcher run`, in `folder`; nothing when a
// path cannot be written in a unit, with `problem` saying which.
std::optional<std::string> systemdUnitText(const ServiceSettings& service,
                                           const std::string& name,
                                           const std::string& launcher,
                                           const std::string& folder,
                                           std::string& problem);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SYSTEMDUNIT_H
