#include "service/InstallChecks.h"

#include <optional>

#include "LaunchSettings.h"
#include "config/ConfigLocation.h"
#include "config/ConfigReader.h"
#include "launch/CommandLineBuilder.h"
#include "os/Platform.h"
#include "runtime/JreLocator.h"
#include "runtime/RuntimeRelease.h"
#include "support/FileSystem.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// The folder a path names its file in; empty for a bare name.
std::string folderOf(const std::string& path) {
  const size_t cut = path.find_last_of(platform().conventions().folderSeparators);
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The path with the system's own separator throughout ("lib/*" in a
// Windows configuration names C:\app\lib\x.jar).
std::string withSystemSeparators(std::string path) {
  const PlatformConventions& conv = platform().conventions();
  for (char& c : path)
    if (conv.folderSeparators.find(c) != std::string::npos) c = conv.separator;
  return path;
}

void addIfThere(std::vector<ServiceFile>& files, const std::string& given,
                const std::string& what) {
  if (given.empty()) return;
  const std::string path = inLauncherFolder(withSystemSeparators(given));
  if (!platform().fileFacts(path)) return;
  for (const ServiceFile& file : files)
    if (file.path == path) return;
  files.push_back({path, what});
}

// The class path's entries: a folder wildcard's folder and every jar it
// matches, a jar or folder as it stands.
void addClassPath(std::vector<ServiceFile>& files) {
  const PlatformConventions& conv = platform().conventions();
  for (const std::string& handed : handedClassPathEntries(settings())) {
    const std::string bare = withoutQuotes(handed);
    if (bare.empty()) continue;
    const std::string entry = inLauncherFolder(withSystemSeparators(bare));
    if (entry.find('*') == std::string::npos) {
      addIfThere(files, entry, "the class path entry");
      continue;
    }
    addIfThere(files, folderOf(entry), "the class path folder");
    for (const std::string& jar : splitOn(expandWildcard(entry), conv.classPathSeparator))
      if (jar != entry) addIfThere(files, jar, "the class path entry");
  }
}

// The runtime the service would run: its executable or JVM library, the
// folders beside it, and what the VM loads from them. False when no runtime
// is found.
bool addRuntime(std::vector<ServiceFile>& files) {
  LaunchSettings& s = settings();
  const PlatformConventions& conv = platform().conventions();
  std::string home;
  if (s.inProcess()) {
    const OptionalText library =
        s.javaLibAuto ? locateJvmLibrary() : OptionalText(fromLauncherFolder(s.javaLib));
    if (!library) return false;
    addIfThere(files, *library, "the JVM library");
    home = runtimeHomeOfLibrary(*library).value_or("");
  } else {
    // The command is built as a launch builds it, without the cache's
    // options, which would make its files.
    const bool cache = s.startupCache;
    s.startupCache = false;
    const std::optional<ChildCommand> command = buildChildCommand();
    s.startupCache = cache;
    if (!command || !s.javaPath) return false;
    const std::string java = withoutQuotes(*s.javaPath);
    addIfThere(files, java, "the Java executable");
    home = runtimeHomeOfExecutable(java).value_or("");
  }
  if (home.empty()) return true;
  addIfThere(files, home, "the runtime's folder");
  const std::string sep(1, conv.separator);
  addIfThere(files, home + sep + "bin", "the runtime's folder");
  addIfThere(files, home + sep + "lib", "the runtime's folder");
  for (const std::string& library : conv.jvmLibraries)
    addIfThere(files, home + sep + library, "the JVM library");
  addIfThere(files, home + sep + "lib" + sep + "modules", "the runtime's modules");
  return true;
}

}  // namespace

std::vector<ServiceFile> filesTheServiceRuns(bool& runtimeFound) {
  const StartupState& start = startup();
  std::vector<ServiceFile> files;
  addIfThere(files, start.exePath, "the launcher");
  const std::string config = configPathFor(start.exePath, start.launcherDir);
  for (const std::string& read : lookThroughConfiguration(config, start.launcherDir).files)
    addIfThere(files, read, "the configuration");
  addClassPath(files);
  runtimeFound = addRuntime(files);
  return files;
}

std::vector<std::string> installRefusals(const std::vector<ServiceFile>& files) {
  std::vector<std::string> refusals;
  for (const ServiceFile& file : files) {
    std::string who = platform().othersWhoMayChange(file.path);
    if (who.empty()) continue;
    // The file itself needs no second naming.
    const std::string itself = " (" + file.path + ")";
    if (who.size() > itself.size() &&
        who.compare(who.size() - itself.size(), itself.size(), itself) == 0)
      who.erase(who.size() - itself.size());
    refusals.push_back(file.what + " " + file.path + " can be changed by " + who);
  }
  return refusals;
}

}  // namespace tarvik
