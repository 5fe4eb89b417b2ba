#include "service/InstallChecks.h"

#include <algorithm>
#include <optional>
#include <set>

#include "LaunchSettings.h"
#include "config/ConfigLocation.h"
#include "os/Platform.h"

namespace tarvik {

namespace {

// Bounds of a folder's walk: a runtime holds a few thousand files, and a
// loop of links ends at the depth.
constexpr size_t MAX_ENTRIES_CHECKED = 200000;
constexpr int MAX_FOLDER_DEPTH = 64;
// The lines one folder's walk says at most; the rest are counted.
constexpr size_t MAX_LINES_PER_FOLDER = 10;

// The launch read anew in the environment the service manager gives the
// service, and then everything as it was: the configuration's `$NAME`
// references, JAVA_HOME and PATH are the service's, not the installer's.
std::optional<ResolvedLaunch> launchTheServiceRuns() {
  Platform& os = platform();
  struct Kept {
    Platform::Environment environment = platform().environment();
    LaunchSettings settings = tarvik::settings();
    std::vector<std::string> configurationFiles = startup().configurationFiles;
    int32_t debugMode = options().debugMode;
    ~Kept() {
      platform().replaceEnvironment(environment);
      tarvik::settings() = settings;
      startup().configurationFiles = configurationFiles;
      options().debugMode = debugMode;
    }
  } kept;
  os.replaceEnvironment(os.serviceEnvironment());
  settings() = LaunchSettings();
  startup().configurationFiles.clear();
  options().debugMode = 0;
  const StartupState& start = startup();
  if (readApplicationConfig(start.exePath, start.launcherDir) != 0)
    return std::nullopt;
  // The cache's options would make its files; what it trusts is its own
  // rule.
  settings().startupCache = false;
  return resolveLaunch(FileList::Made);
}

std::string parentOf(const std::string& path) {
  const PlatformConventions& conv = platform().conventions();
  const size_t cut = path.find_last_of(conv.folderSeparators);
  if (cut == std::string::npos) return std::string();
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

// Whether `path` is listed in its folder though nothing is there: a link
// that leads nowhere yet.
bool isNameOfItsFolder(const std::string& path) {
  const size_t cut = path.find_last_of(platform().conventions().folderSeparators);
  if (cut == std::string::npos || cut + 1 == path.size()) return false;
  const std::optional<std::vector<std::string>> names =
      platform().folderEntries(parentOf(path));
  const std::string name = path.substr(cut + 1);
  return names && std::find(names->begin(), names->end(), name) != names->end();
}

// Who besides the administrators may change `path`, without naming the
// path itself a second time.
std::string othersOf(const std::string& path) {
  std::string who = platform().othersWhoMayChange(path);
  const std::string itself = " (" + path + ")";
  if (who.size() > itself.size() &&
      who.compare(who.size() - itself.size(), itself.size(), itself) == 0)
    who.erase(who.size() - itself.size());
  return who;
}

struct FolderWalk {
  const ServiceFile& top;
  std::vector<std::string>& refusals;
  size_t checked = 0;
  size_t lines = 0;
  size_t unsaid = 0;
  std::set<std::string> visited;

  void refuse(const std::string& line) {
    if (lines++ < MAX_LINES_PER_FOLDER)
      refusals.push_back(line);
    else
      ++unsaid;
  }

  void walk(const std::string& folder, int depth) {
    Platform& os = platform();
    // A folder reached again through a link is walked once.
    if (!visited.insert(os.finalPath(folder).value_or(folder)).second) return;
    const std::optional<std::vector<std::string>> entries = os.folderEntries(folder);
    if (!entries) {
      refuse("the folder " + folder + " in " + top.what + " " + top.path +
             " cannot be read to see what it holds");
      return;
    }
    const char separator = os.conventions().separator;
    for (const std::string& name : *entries) {
      if (++checked > MAX_ENTRIES_CHECKED) {
        refuse(top.what + " " + top.path + " holds more than " +
               std::to_string(MAX_ENTRIES_CHECKED) + " files to check");
        return;
      }
      const std::string path = folder + separator + name;
      const std::optional<FileFacts> facts = os.fileFacts(path);
      const bool isFolder = facts && facts->isDirectory;
      const std::string who = othersOf(path);
      if (!who.empty()) {
        refuse((isFolder ? "the folder " : "the file ") + path + " in " + top.what +
               " " + top.path + " can be changed by " + who);
        continue;
      }
      if (isFolder) {
        if (depth >= MAX_FOLDER_DEPTH) {
          refuse(top.what + " " + top.path + " holds folders more than " +
                 std::to_string(MAX_FOLDER_DEPTH) + " deep");
          return;
        }
        walk(path, depth + 1);
      }
    }
  }
};

}  // namespace

std::vector<ServiceFile> filesTheServiceRuns(bool& runtimeFound) {
  const std::optional<ResolvedLaunch> launch = launchTheServiceRuns();
  // A Java the service's search finds nowhere is no runtime to run.
  runtimeFound = launch.has_value() && !launch->javaNotFound;
  return launch ? launch->files : std::vector<ServiceFile>();
}

std::vector<std::string> installRefusals(const std::vector<ServiceFile>& files) {
  Platform& os = platform();
  std::vector<std::string> refusals;
  for (const ServiceFile& file : files) {
    const std::optional<FileFacts> facts = os.fileFacts(file.path);
    // A link that leads nowhere yet is judged as the file it will be.
    if (!facts && !isNameOfItsFolder(file.path)) {
      // Whoever may add to the folder where it would appear may make it; a
      // link on the way that leads nowhere yet is judged where it leads.
      std::string folder = parentOf(file.path);
      while (!folder.empty() && !os.fileFacts(folder) && !isNameOfItsFolder(folder)) {
        const std::string up = parentOf(folder);
        folder = up == folder ? std::string() : up;
      }
      const std::string who = folder.empty() ? std::string() : othersOf(folder);
      if (!who.empty())
        refusals.push_back(file.what + " " + file.path + " is missing, and the folder " +
                           folder + " where it would appear can be changed by " + who);
      continue;
    }
    const std::string who = othersOf(file.path);
    if (!who.empty()) {
      refusals.push_back(file.what + " " + file.path + " can be changed by " + who);
      continue;
    }
    if (!file.wholeFolder || !facts || !facts->isDirectory) continue;
    FolderWalk walk{file, refusals, 0, 0, 0, {}};
    walk.walk(file.path, 0);
    if (walk.unsaid > 0)
      refusals.push_back(std::to_string(walk.unsaid) + " more files in " + file.what +
                         " " + file.path + " can be changed by others");
  }
  return refusals;
}

}  // namespace tarvik
