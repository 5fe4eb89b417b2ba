#include "LaunchSettings.h"


namespace tarvik {

namespace {
LaunchSettings gSettings;
LauncherOptions gOptions;
StartupState gStartup;
}  // namespace

LaunchSettings& settings() { return gSettings; }
LauncherOptions& options() { return gOptions; }
StartupState& startup() { return gStartup; }

void resetLaunchState() {
  gSettings = LaunchSettings();
  gOptions = LauncherOptions();
  gStartup = StartupState();
}

void storeVmParam(const std::string& param) {
  LaunchSettings& s = settings();
  size_t equals = param.find('=');
  if (equals == std::string::npos) {
    s.vmParams.push_back(param);
    return;
  }
  std::string name = param.substr(0, equals);
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
    s.vmParams.erase(s.vmParams.begin() + static_cast<long>(i));
  }
}

std::string applicationNameForMessages() {
  const LaunchSettings& s = settings();
  if (s.appName && !s.appName->empty()) return *s.appName;
  if (s.mainClass) return *s.mainClass;
  return "(null)";
}

}  // namespace tarvik
