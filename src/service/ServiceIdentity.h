// Who the service is: its name (the directive's, else the launcher's base
// name), and what the system's service manager is told of it.
#ifndef TARVIK_SERVICE_SERVICEIDENTITY_H
#define TARVIK_SERVICE_SERVICEIDENTITY_H

#include <optional>
#include <string>

#include "os/Platform.h"

namespace tarvik {

// Who made a service, as install tells the service manager.
constexpr const char SERVICE_MAKER[] = "tarvikd";

// The service's name, or nothing after a line saying why the launcher's
// base name cannot be one.
std::optional<std::string> serviceName();

// The service for Windows' service control manager: the launcher's path
// quoted in its command, the account's system name, the password a user
// account needs (from TARVIK_SERVICE_PASSWORD), and tarvikd as its maker.
// Nothing after a line saying what is missing, or why the command cannot
// be written.
std::optional<ServiceDefinition> serviceDefinition(const std::string& name);

// The account as Windows names it ("NT AUTHORITY\\LocalService" for
// LocalService), and whether it needs a password.
std::string systemAccountName(const std::string& account);
bool accountNeedsPassword(const std::string& account);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SERVICEIDENTITY_H
