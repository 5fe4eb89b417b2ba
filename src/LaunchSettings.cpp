#include "LaunchSettings.h"


namespace tarvik {

namespace {
LaunchSettings gSettings;
LauncherOptions gOptions;
StartupState gStartup;

// Java options that may be given many times, each adding to the others
// (where a later -D value replaces an earlier one). (Arrays, not pointers:
// a table of pointers is relocated at every start.)
const char REPEATABLE_JAVA_OPTIONS[][24] = {
    "--add-opens",   "--add-exports",      "--add-reads",
    "--add-modules", "--patch-module",     "-XX:CompileCommand",
    "--enable-native-access",
};

bool isRepeatable(const std::string& name) {
  for (const char* option : REPEATABLE_JAVA_OPTIONS)
    if (name == option) return true;
  return false;
}
}  // namespace

LaunchSettings& settings() { return gSettings; }
LauncherOptions& options() { return gOptions; }
StartupState& startup() { return gStartup; }

void resetLaunchState() {
  gSettings = LaunchSettings();
  gOptions = LauncherOptions();
  gStartup = StartupState();
}

void storeVmParam(const std::string& param, bool asWords) {
  LaunchSettings& s = settings();
  size_t equals = param.find('=');
  std::string name = param.substr(0, equals);
  // Each line of a repeatable option keeps its value: the whole text is
  // its name.
  if (equals == std::string::npos || isRepeatable(name)) name = param;
  if (asWords)
    s.vmParamsAsWords.insert(name);
  else
    s.vmParamsAsWords.erase(name);
  if (name == param) {
    s.vmParams.push_back(param);
    return;
  }
  std::string value = param.substr(equals + 1);
  if (name == "-DLOGFILE") s.appLogFile = value;
  s.vmParams.push_back(name);
  s.vmParamValues[name] = value;
}

void removeVmParams(const std::string& pattern) {
  // An empty pattern names no parameter: nothing is removed.
  if (pattern.empty()) return;
  LaunchSettings& s = settings();
  const bool wildcard = pattern.back() == '*';
  const std::string prefix =
      wildcard ? pattern.substr(0, pattern.size() - 1) : pattern;
  for (size_t i = s.vmParams.size(); i-- > 0;) {
    const std::string& entry = s.vmParams[i];
    bool matches = wildcard ? entry.compare(0, prefix.size(), prefix) == 0
                            : entry == pattern;
    if (!matches) continue;
    s.vmParamValues.erase(entry);
    s.vmParamsAsWords.erase(entry);
    s.vmParams.erase(s.vmParams.begin() + static_cast<long>(i));
  }
}

OptionalText applicationFolder() {
  if (settings().workingDir) return settings().workingDir;
  // A caller's folder that cannot be named (removed meanwhile) is none.
  if (runsInCallersFolder() && !startup().callerDir.empty())
    return startup().callerDir;
  return std::nullopt;
}

std::vector<std::string> applicationArguments(const LaunchSettings& s) {
  std::vector<std::string> arguments = s.leadingArguments;
  arguments.insert(arguments.end(), s.appArguments.begin(), s.appArguments.end());
  return arguments;
}

std::string applicationNameForMessages() {
  const LaunchSettings& s = settings();
  if (s.appName && !s.appName->empty()) return *s.appName;
  if (s.mainClass) return *s.mainClass;
  return "(null)";
}

}  // namespace tarvik
