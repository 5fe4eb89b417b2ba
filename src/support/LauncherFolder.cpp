#include "support/LauncherFolder.h"

#include "LaunchSettings.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

constexpr size_t LAUNCHER_DIR_SIZE = 8192;

// "\\?\C:\..." and "\\server\share\...": full paths that name no drive
// letter up front.
bool isLongOrUncPath(const std::string& path, const PlatformConventions& conv) {
  return conv.driveLetterPaths && path.size() > 2 && path[0] == '\\' &&
         path[1] == '\\';
}

// The folder of the launcher's file `exePath`, or the current folder where
// the path is not a full one.
std::string folderOfLauncher(const std::string& exePath) {
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();
  if (!isFullLauncherPath(exePath, conv))
    return fitBuffer(os.currentDirectory(), LAUNCHER_DIR_SIZE);
  std::string dir = exePath.substr(0, exePath.rfind(conv.separator));
  // A folder of just "/" keeps its root.
  if (dir.empty()) dir = std::string(1, conv.separator);
  return fitBuffer(dir, LAUNCHER_DIR_SIZE);
}

}  // namespace

bool isAbsolutePath(const std::string& path, const PlatformConventions& conv) {
  if (path.empty()) return false;
  if (conv.driveLetterPaths)
    return (path.size() > 1 && path[1] == ':') || path[0] == '\\' ||
           path[0] == '/';
  return path[0] == conv.separator;
}

bool isFullyQualifiedPath(const std::string& path,
                          const PlatformConventions& conv) {
  if (!conv.driveLetterPaths) return !path.empty() && path[0] == '/';
  const auto separator = [&conv](char c) {
    return conv.folderSeparators.find(c) != std::string::npos;
  };
  if (path.size() > 2 && path[1] == ':' && separator(path[2])) return true;
  return path.size() > 2 && separator(path[0]) && separator(path[1]);
}

bool isFullLauncherPath(const std::string& path, const PlatformConventions& conv) {
  if (path.find(conv.separator) == std::string::npos) return false;
  if (isLongOrUncPath(path, conv)) return true;
  if (conv.driveLetterPaths) return path.size() > 1 && path[1] == ':';
  return path[0] == conv.separator;
}

std::string launcherFolder() {
  const StartupState& start = startup();
  if (!start.launcherDir.empty()) return start.launcherDir;
  return folderOfLauncher(start.exePath);
}

void settleInLauncherFolder() {
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();
  StartupState& start = startup();
  const std::string caller = os.currentDirectory();
  start.launcherDir = folderOfLauncher(start.exePath);
  // Where the system cannot name the launcher's file, the current folder is
  // taken for its own and nobody moves.
  const bool fileKnown = isFullLauncherPath(start.exePath, conv);
  if (fileKnown) os.changeDirectory(start.launcherDir);
  // The windowed launcher runs its application in its own folder only when
  // it was typed by its full path; the console launcher never does.
  start.appInCallersFolder =
      fileKnown && !isConsoleLauncher() && !isFullLauncherPath(start.startedAs, conv);
  // Recorded for every launch: a launcher started anew starts there too.
  start.callerDir = caller;
}

std::string inLauncherFolder(const std::string& path) {
  const PlatformConventions& conv = platform().conventions();
  if (isAbsolutePath(path, conv)) return path;
  return launcherFolder() + conv.separator + path;
}

std::string fullPathInLauncherFolder(const std::string& path) {
  return fullPathIn(launcherFolder(), path);
}

std::string fullPathIn(const std::string& folder, const std::string& path) {
  const PlatformConventions& conv = platform().conventions();
  if (isAbsolutePath(path, conv) &&
      (isFullyQualifiedPath(path, conv) || !conv.driveLetterPaths))
    return path;
  if (!isAbsolutePath(path, conv)) return folder + conv.separator + path;
  // "\\x" is of the folder's drive, "C:x" of that drive's current folder:
  // the folder itself where it is on that drive.
  const bool driveFolder = folder.size() > 1 && folder[1] == ':';
  if (path[1] != ':') {
    if (driveFolder) return folder.substr(0, 2) + path;
    // A server's share: "\\\\server\\share" is its root.
    size_t cut = folder.find_first_of(conv.folderSeparators, 2);
    if (cut != std::string::npos) cut = folder.find_first_of(conv.folderSeparators, cut + 1);
    return folder.substr(0, cut) + path;
  }
  if (driveFolder && toLowerCase(folder.substr(0, 1)) == toLowerCase(path.substr(0, 1)))
    return folder + conv.separator + path.substr(2);
  return path.substr(0, 2) + conv.separator + path.substr(2);
}

std::string fromLauncherFolder(const std::string& path) {
  if (!runsInCallersFolder()) return path;
  const std::string bare = withoutQuotes(path);
  if (bare.empty() || isAbsolutePath(bare, platform().conventions())) return path;
  return inLauncherFolder(bare);
}

}  // namespace tarvik
