#include "support/AppBaseName.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

std::string lastComponent(const std::string& path, char separator) {
  const size_t cut = path.rfind(separator);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string appBaseName(const std::string& path) {
  const LauncherOptions& opts = options();
  std::string name = path;
  if (opts.customConfigPath) {
    name = *opts.customConfigPath;
    const size_t config = name.find(".config");
    if (config != std::string::npos) name.resize(config);
  }
  name = lastComponent(name, platform().conventions().separator);
  const size_t exe = toLowerCase(name).find(".exe");
  if (exe != std::string::npos) name.resize(exe);
  return name;
}

}  // namespace tarvik
