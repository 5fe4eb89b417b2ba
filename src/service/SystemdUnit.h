// The systemd unit of the service launcher's service on Linux.
#ifndef TARVIK_SERVICE_SYSTEMDUNIT_H
#define TARVIK_SERVICE_SYSTEMDUNIT_H

#include <optional>
#include <string>

#include "LaunchSettings.h"

namespace tarvik {

// `word` as one word of a unit's command line (between double quotes, its
// `\`, `"`, `$` and `%` escaped), or nothing when it holds a line end,
// which no unit line can.
std::optional<std::string> unitCommandWord(const std::string& word);

// The unit: its ExecStart is `launcher run`, in `folder`; nothing when a
// path cannot be written in a unit, with `problem` saying which.
std::optional<std::string> systemdUnitText(const ServiceSettings& service,
                                           const std::string& name,
                                           const std::string& launcher,
                                           const std::string& folder,
                                           std::string& problem);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SYSTEMDUNIT_H
