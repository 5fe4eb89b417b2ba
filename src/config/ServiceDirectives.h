// The directives of the service launcher's service: its name and texts,
// how it starts and as whom, what it waits for, how it stops and restarts,
// and where it logs. A value they refuse is reported on standard error
// when the line is read, and the line is ignored.
#ifndef TARVIK_CONFIG_SERVICEDIRECTIVES_H
#define TARVIK_CONFIG_SERVICEDIRECTIVES_H

#include <optional>
#include <string>

namespace tarvik {

// The longest service name, in bytes (the service control manager's
// limit).
constexpr size_t MAX_SERVICE_NAME_BYTES = 256;

// Why `name` cannot name a service, or nothing when it can: it names a
// Windows service and a systemd unit file, so it is letters, digits and
// - _ . alone.
std::optional<std::string> serviceNameProblem(const std::string& name);

void applyServiceName(const std::string& argument);
void applyServiceDisplayName(const std::string& argument);
void applyServiceDescription(const std::string& argument);
void applyServiceStartType(const std::string& argument);
void applyServiceAccount(const std::string& argument);
void applyServiceDependsOn(const std::string& argument);
void applyServiceStopTimeout(const std::string& argument);
void applyServiceRestartDelay(const std::string& argument);
void applyServiceRestartLimit(const std::string& argument);
void applyServiceLogFolder(const std::string& argument);
void applyServiceLogSize(const std::string& argument);
void applyServiceLogFiles(const std::string& argument);
void applyServiceStopMethod(const std::string& argument);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_SERVICEDIRECTIVES_H
