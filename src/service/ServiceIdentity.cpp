#include "service/ServiceIdentity.h"

#include "LaunchSettings.h"
#include "config/ServiceDirectives.h"
#include "launch/WindowsCommandLine.h"
#include "support/AppBaseName.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

constexpr const char PASSWORD_VARIABLE[] = "TARVIK_SERVICE_PASSWORD";

// (Arrays, not pointers: a table of pointers is relocated at every start.)
struct AccountName {
  char given[32];
  char system[32];
  bool needsPassword;
};

// The accounts Windows keeps for services: none has a password to give.
const AccountName ACCOUNTS[] = {
    {"localsystem", "LocalSystem", false},
    {"localservice", "NT AUTHORITY\\LocalService", false},
    {"nt authority\\localservice", "NT AUTHORITY\\LocalService", false},
    {"networkservice", "NT AUTHORITY\\NetworkService", false},
    {"nt authority\\networkservice", "NT AUTHORITY\\NetworkService", false},
};

const AccountName* knownAccount(const std::string& account) {
  const std::string lower = toLowerCase(account);
  for (const AccountName& row : ACCOUNTS)
    if (lower == row.given) return &row;
  return nullptr;
}

}  // namespace

std::optional<std::string> serviceName() {
  const LaunchSettings& s = settings();
  if (s.service.name) return *s.service.name;
  const std::string name = appBaseName(startup().exePath);
  if (std::optional<std::string> problem = serviceNameProblem(name)) {
    platform().writeStderr("The launcher's name " + name +
                           " cannot name a service: " + *problem +
                           ". Name it with a serviceName line.\n");
    return std::nullopt;
  }
  return name;
}

std::string systemAccountName(const std::string& account) {
  if (const AccountName* known = knownAccount(account)) return known->system;
  return account;
}

bool accountNeedsPassword(const std::string& account) {
  if (knownAccount(account)) return false;
  // A virtual account (NT SERVICE\name) and a managed service account
  // (name$) have their passwords kept by the system.
  if (startsWith(toLowerCase(account), "nt service\\")) return false;
  return account.empty() || account.back() != '$';
}

std::optional<ServiceDefinition> serviceDefinition(const std::string& name) {
  Platform& os = platform();
  const ServiceSettings& service = settings().service;
  ServiceDefinition definition;
  definition.name = name;
  definition.displayName = service.displayName.value_or(name);
  definition.description = service.description.value_or("");
  // A path with blanks and no quotes would be read as a shorter path and
  // its rest (C:\Program.exe, CWE-428): the path is always one quoted word.
  const std::string launcher = startup().exePath;
  definition.commandLine = quoteArgument(launcher);
  if (launcher.find('"') != std::string::npos) {
    os.writeStderr("The launcher's path " + launcher +
                   " holds a quote, which a service's command cannot.\n");
    return std::nullopt;
  }
  // The manager expands %name% in the command before it runs it, and
  // Windows has no way to write a % that it leaves as it is.
  if (launcher.find('%') != std::string::npos) {
    os.writeStderr("The launcher's path " + launcher +
                   " holds a %, which the service manager would read as the start of an "
                   "environment variable's name: the service could run another file.\n");
    return std::nullopt;
  }
  definition.startType = service.startType == "manual"    ? ServiceStartType::Manual
                         : service.startType == "delayed" ? ServiceStartType::Delayed
                                                          : ServiceStartType::Automatic;
  definition.account = systemAccountName(service.account);
  if (accountNeedsPassword(service.account)) {
    const std::optional<std::string> password = os.getEnv(PASSWORD_VARIABLE);
    if (!password || password->empty()) {
      os.writeStderr("The account " + service.account +
                     " needs its password: set " + PASSWORD_VARIABLE +
                     " for the install.\n");
      return std::nullopt;
    }
    definition.password = *password;
  }
  definition.dependencies = service.dependencies;
  definition.stopTimeoutMillis =
      static_cast<uint32_t>(service.stopTimeoutSeconds) * 1000u;
  definition.madeBy = SERVICE_MAKER;
  return definition;
}

}  // namespace tarvik
