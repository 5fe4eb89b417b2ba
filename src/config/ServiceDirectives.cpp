#include "config/ServiceDirectives.h"

#include <cstdint>
#include <optional>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

void refuse(const char* directive, const std::string& value,
            const std::string& why) {
  platform().writeStderr(std::string(directive) + " " + value +
                         " ignored: " + why + "\n");
}

bool hasControlCharacter(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// A text the service manager shows: one line.
std::optional<std::string> shownText(const char* directive,
                                     const std::string& argument) {
  const std::string value = withoutSurroundingQuotes(trimmed(argument));
  if (hasControlCharacter(value)) {
    refuse(directive, value, "the text must be one line");
    return std::nullopt;
  }
  return value;
}

// A whole number of `what` from `low` to `high`.
std::optional<int64_t> wholeNumber(const char* directive,
                                   const std::string& argument, int64_t low,
                                   int64_t high, const char* what) {
  const std::string value = trimmed(argument);
  // Eighteen digits fit the number; more are refused unread.
  bool digits = !value.empty() && value.size() <= 18;
  int64_t number = 0;
  for (const char c : value) {
    if (!digits || c < '0' || c > '9') {
      digits = false;
      break;
    }
    number = number * 10 + (c - '0');
  }
  if (!digits || number < low || number > high) {
    refuse(directive, value,
           "the value must be a whole number of " + std::string(what) +
               " from " + std::to_string(low) + " to " + std::to_string(high));
    return std::nullopt;
  }
  return number;
}

// (An array, not a pointer: a table of pointers is relocated at every
// start.)
struct StartTypeName {
  char name[10];
};
const StartTypeName START_TYPES[] = {{"automatic"}, {"delayed"}, {"manual"}};

}  // namespace

std::optional<std::string> serviceNameProblem(const std::string& name) {
  if (name.empty()) return std::string("the name is empty");
  if (name.size() > MAX_SERVICE_NAME_BYTES)
    return "the name is longer than " + std::to_string(MAX_SERVICE_NAME_BYTES) +
           " bytes";
  for (const char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                         c == '.';
    if (!allowed)
      return std::string("the name may hold only letters, digits and - _ .");
  }
  return std::nullopt;
}

void applyServiceName(const std::string& argument) {
  const std::string name = withoutSurroundingQuotes(trimmed(argument));
  if (std::optional<std::string> problem = serviceNameProblem(name)) {
    refuse("serviceName", name, *problem);
    return;
  }
  settings().service.name = name;
}

void applyServiceDisplayName(const std::string& argument) {
  if (std::optional<std::string> text = shownText("serviceDisplayName", argument))
    settings().service.displayName = *text;
}

void applyServiceDescription(const std::string& argument) {
  if (std::optional<std::string> text = shownText("serviceDescription", argument))
    settings().service.description = *text;
}

void applyServiceStartType(const std::string& argument) {
  const std::string value = toLowerCase(trimmed(argument));
  for (const StartTypeName& type : START_TYPES) {
    if (value == type.name) {
      settings().service.startType = value;
      return;
    }
  }
  refuse("serviceStartType", trimmed(argument),
         "the start type is automatic, delayed or manual");
}

void applyServiceAccount(const std::string& argument) {
  const std::string value = withoutSurroundingQuotes(trimmed(argument));
  if (value.empty() || hasControlCharacter(value)) {
    refuse("serviceAccount", value, "the account must be a name on one line");
    return;
  }
  settings().service.account = value;
}

void applyServiceDependsOn(const std::string& argument) {
  const std::string name = withoutSurroundingQuotes(trimmed(argument));
  if (std::optional<std::string> problem = serviceNameProblem(name)) {
    refuse("serviceDependsOn", name, *problem);
    return;
  }
  settings().service.dependencies.push_back(name);
}

void applyServiceStopTimeout(const std::string& argument) {
  if (std::optional<int64_t> seconds =
          wholeNumber("serviceStopTimeout", argument, 1, 3600, "seconds"))
    settings().service.stopTimeoutSeconds = static_cast<int32_t>(*seconds);
}

void applyServiceRestartDelay(const std::string& argument) {
  if (std::optional<int64_t> seconds =
          wholeNumber("serviceRestartDelay", argument, 0, 86400, "seconds"))
    settings().service.restartDelaySeconds = static_cast<int32_t>(*seconds);
}

void applyServiceRestartLimit(const std::string& argument) {
  if (std::optional<int64_t> count =
          wholeNumber("serviceRestartLimit", argument, 0, 1000, "restarts"))
    settings().service.restartLimit = static_cast<int32_t>(*count);
}

void applyServiceLogFolder(const std::string& argument) {
  const std::string value = withoutSurroundingQuotes(trimmed(argument));
  if (value.empty() || hasControlCharacter(value)) {
    refuse("serviceLogFolder", value, "the folder must be a path on one line");
    return;
  }
  settings().service.logFolder = value;
}

void applyServiceLogSize(const std::string& argument) {
  if (std::optional<int64_t> megabytes =
          wholeNumber("serviceLogSize", argument, 1, 4096, "megabytes"))
    settings().service.logSizeBytes = *megabytes * 1024 * 1024;
}

void applyServiceLogFiles(const std::string& argument) {
  if (std::optional<int64_t> files =
          wholeNumber("serviceLogFiles", argument, 1, 100, "files"))
    settings().service.logFiles = static_cast<int32_t>(*files);
}

void applyServiceStopMethod(const std::string& argument) {
  const std::string value = trimmed(argument);
  const size_t dot = value.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == value.size() ||
      value.find_first_of(" \t\"/\\") != std::string::npos) {
    refuse("serviceStopMethod", value,
           "the method is written package.Class.method");
    return;
  }
  settings().service.stopMethod = value;
}

}  // namespace tarvik
