// What the startup cache trusts. The JVM runs whatever an archive holds, so
// a folder or file of the cache is used only when it belongs to the user
// the launcher runs as and nobody else may change it: its owner is the
// user, neither the group nor others may write it, the cache's own folder
// and files are no links, and the place is an absolute path. Every use of
// the cache asks here first.
#ifndef TARVIK_CACHE_CACHETRUST_H
#define TARVIK_CACHE_CACHETRUST_H

#include <optional>
#include <string>

namespace tarvik {

// The cache folder as far as it may be used. Its place is below the first
// of the system's variables that holds an absolute path (a relative value
// is ignored, as the XDG rules say).
struct TrustedFolder {
  // The folder, or nothing when it may not be used (`problem` says why).
  std::optional<std::string> path;
  std::string problem;
  // Whether it exists (without `create`, a folder yet to be made is used
  // by no one and trusted).
  bool exists = false;
  // Whether a variable placed it at all.
  bool placed = true;
};

// The cache folder, when it and every folder from its variable's place
// down to it are the user's alone. With `create`, the missing ones are
// made, the user's alone.
TrustedFolder trustedCacheFolder(bool create);

// Why the file `path` of the trusted cache folder may not be used (named
// to the VM, moved into place, removed), or nothing when it may.
std::optional<std::string> distrustOfCacheFile(const std::string& path);

}  // namespace tarvik

#endif  // TARVIK_CACHE_CACHETRUST_H
