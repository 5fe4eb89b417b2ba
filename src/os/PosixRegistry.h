// The registry of the Linux build: a directory tree that stands in for
// HKEY_LOCAL_MACHINE. A key is a directory, a string value is a file that
// holds the value, and each backslash of a key path is one directory level:
//
//   <root>/SOFTWARE/JavaSoft/Java Runtime Environment/CurrentVersion
//   <root>/SOFTWARE/JavaSoft/Java Runtime Environment/17/JavaHome
//
// The root is the directory named by TARVIK_REGISTRY, or
// /etc/tarvik/registry (machine-wide, like HKEY_LOCAL_MACHINE) without it.
// HKEY_CURRENT_USER is a second tree of the same form, named by
// TARVIK_USER_REGISTRY, or ~/.config/tarvik/registry without it. The 32-bit
// view of either reads SOFTWARE\X at SOFTWARE\Wow6432Node\X, as 64-bit
// Windows does.
#ifndef TARVIK_OS_POSIXREGISTRY_H
#define TARVIK_OS_POSIXREGISTRY_H

#include <memory>
#include <optional>
#include <string>

#include "os/Platform.h"

namespace tarvik {

constexpr const char REGISTRY_ROOT_VARIABLE[] = "TARVIK_REGISTRY";
constexpr const char DEFAULT_REGISTRY_ROOT[] = "/etc/tarvik/registry";
constexpr const char USER_REGISTRY_ROOT_VARIABLE[] = "TARVIK_USER_REGISTRY";
constexpr const char USER_REGISTRY_BELOW_HOME[] = "/.config/tarvik/registry";

class DirectoryRegistry {
 public:
  explicit DirectoryRegistry(std::string root) : root_(std::move(root)) {}

  // The store the environment names (TARVIK_REGISTRY, else the default).
  static DirectoryRegistry fromEnvironment();
  // The per-user store (TARVIK_USER_REGISTRY, else below $HOME).
  static DirectoryRegistry userFromEnvironment();

  // The key path a view reads for `keyPath`.
  static std::string viewPath(const std::string& keyPath, RegistryView view);

  const std::string& root() const { return root_; }

  // The directory of a key path, or nothing when the path cannot name a key
  // inside the root (empty, "." or ".." levels, '/' or NUL in a name).
  std::optional<std::string> directoryOf(const std::string& keyPath) const;

  // Opens a key for reading; null when its directory is missing or
  // cannot be read.
  std::unique_ptr<RegistryKey> open(const std::string& keyPath) const;

 private:
  std::string root_;
};

}  // namespace tarvik

#endif  // TARVIK_OS_POSIXREGISTRY_H
