#include "config/ConfigLocation.h"

#include <new>
#include <optional>
#include <utility>

#include "LaunchSettings.h"
#include "config/ConfigReader.h"
#include "launch/WindowsCommandLine.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/AppBaseName.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

constexpr size_t DIAGNOSTIC_TEXT_LIMIT = 8191;

std::string formConfigPath(const std::string& exePath,
                           const std::string& launcherDir) {
  const LauncherOptions& opts = options();
  const PlatformConventions& conv = platform().conventions();
  const char separator = conv.separator;
  // A -c file named without its folder is the launcher's folder's too, and
  // the application is told its full path.
  if (opts.customConfigPath)
    return opts.customConfigPath->empty() ||
                   isAbsolutePath(*opts.customConfigPath, conv)
               ? *opts.customConfigPath
               : launcherDir + separator + *opts.customConfigPath;
  std::string name = lastComponent(exePath, std::string(1, separator));
  // Only a lower-case ".exe" is the launcher's own ending.
  const std::string ending = ".exe";
  if (name.size() >= ending.size() &&
      name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
    name.resize(name.size() - ending.size());
  // The folder comes from launcherDir only, never from exePath itself.
  return launcherDir + separator + name + ".config";
}

}  // namespace

std::string configPathFor(const std::string& exePath,
                          const std::string& launcherDir) {
  return formConfigPath(exePath, launcherDir);
}

int readApplicationConfig(const std::string& exePath,
                          const std::string& launcherDir,
                          UnreadableConfiguration unreadable) {
  const LauncherOptions& opts = options();
  std::string path;
  try {
    path = formConfigPath(exePath, launcherDir);
  } catch (const std::bad_alloc&) {
    writeNotice("no Application config file\n");
    showMessage("Error", "No Application config file", false);
    return 1;
  }
  // Read once, for the check and the launch.
  std::optional<FileRead> read;
  if (unreadable) {
    read = readConfigurationBytes(path);
    if (!read->content) unreadable(path, *read);
  }

  if (opts.debugMode) {
    writeRecord("reading app config " + path + "\n");
    std::string framed = "[" + path + "]";
    if (framed.size() > DIAGNOSTIC_TEXT_LIMIT)
      framed.resize(DIAGNOSTIC_TEXT_LIMIT);
    showBox("Reading App Config file", framed);
  }

  // Added before the file is read, so the file's own options follow it and
  // a `rmvmparam` there can still take it away.
  // Quoted and escaped as one argument: where a folder name may hold a
  // double quote (POSIX), it cannot end the value and add options. The
  // launcher's own path is stored as it is: a '$' or '%' in a folder name
  // is part of the name, never a reference to expand.
  storeVmParam("-Dexe.mainConfig=" + quoteArgument(path));
  return readConfigFile(path, std::move(read));
}

}  // namespace tarvik
