// The launcher's folder: the folder of its own file, where its configuration
// sits and from which every relative path the configuration names is read,
// however the launcher was typed (by its full path, by its name through
// PATH, by a relative path, through a link). Every question of that folder
// is answered here.
#ifndef TARVIK_SUPPORT_LAUNCHERFOLDER_H
#define TARVIK_SUPPORT_LAUNCHERFOLDER_H

#include <string>

#include "os/Platform.h"

namespace tarvik {

// Whether `path` names its file without a folder to read it from: a
// leading separator, and on Windows also a drive ("C:") or a leading '/'.
// "\\?\C:\..." and UNC paths are absolute.
bool isAbsolutePath(const std::string& path, const PlatformConventions& conv);

// Whether `path` names its file whatever folder or drive is current: from
// the root, or on Windows from a drive's root ("C:\x", "C:/x") or a server
// ("\\server\share"); not "C:x" or "\x", which depend on the current drive.
bool isFullyQualifiedPath(const std::string& path,
                          const PlatformConventions& conv);

// Whether `path` is a launcher's full path, from a root down to the file:
// "/opt/app/tool"; "C:\Apps\tool.exe", "\\?\C:\Apps\tool.exe" or
// "\\server\share\tool.exe". A bare name or a relative path is not.
bool isFullLauncherPath(const std::string& path, const PlatformConventions& conv);

// The launcher's folder as the start-up state records its own file; the
// current folder where the launcher's file is not known by a full path.
std::string launcherFolder();

// Moves the launcher into its folder, so that the configuration's relative
// paths are that folder's. The application runs in the launcher's folder
// when the launcher was started by its full path (the windowed launcher),
// else in the caller's, which is recorded for it.
void settleInLauncherFolder();

// `path` as a path of the launcher's folder: a relative one behind the
// folder; any other as it is.
std::string inLauncherFolder(const std::string& path);

// The same as a full path, whatever folder or drive is current: on Windows
// also "\\x" (on the launcher's drive) and "C:x" (in the launcher's folder
// where it is on C:, else below C:'s root).
std::string fullPathInLauncherFolder(const std::string& path);

// `path` as a full path of `folder` (a full path itself) by the same rules.
std::string fullPathIn(const std::string& folder, const std::string& path);

// A relative path of the configuration (a class path entry, the JVM
// library) for an application that runs in another folder than the
// launcher's: the launcher's folder's, without the quotes that grouped it.
// Any other path, and every path of an application that runs in the
// launcher's folder, is returned as it is.
std::string fromLauncherFolder(const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_LAUNCHERFOLDER_H
